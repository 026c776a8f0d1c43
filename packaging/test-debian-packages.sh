#!/usr/bin/env bash
# test-debian-packages.sh SOURCE_DIR BUILD_DIR WORK_DIR: makes the Debian packages with
# `tools/setup.sh package` into WORK_DIR/debs, checks them with lintian, and installs, uses
# and purges them in a throwaway root: an overlay over / in a private mount namespace, whose
# changes live in memory and vanish with the test. The machine's own /usr, /etc, packages,
# group and shared data are never touched, and packages installed on the machine already
# do not matter. BUILD_DIR is the test build, whose programs make a site as
# `tools/setup.sh run` does. Needs root (exit 77, skipped, without).
set -euo pipefail
src=$(realpath "$1")
build=$(realpath "$2")
work=$(realpath -m "$3")
packages=(tallymerge libvrexeditbox1 libvrexeditbox-dev vrexeditbox-designer-plugin)

if [ "$(id -u)" -ne 0 ]; then
    echo "needs root to install packages; skipped"
    exit 77
fi

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Outside the root: the packages, lintian, the throwaway root --------------------------------
if [ "${TALLYMERGE_PACKAGE_ROOT:-}" = "" ]; then
    if [ "${TALLYMERGE_PACKAGE_NS:-}" != 1 ]; then
        export TALLYMERGE_PACKAGE_NS=1
        exec unshare --mount --propagation private bash "$0" "$@"
    fi
    mkdir -p "$work"
    rm -rf "$work/reports" "$work/host" "$work/site-copy"
    mkdir -p "$work/reports"
    bash "$src/tools/setup.sh" package "$work/debs" >"$work/reports/build.log" 2>&1 ||
        { tail -30 "$work/reports/build.log"; exit 1; }

    # The packages pass Debian's checker (warnings count as failures).
    lintian --pedantic --fail-on error,warning "$work/debs"/*.changes \
        >"$work/reports/lintian.txt" 2>&1 || fail "lintian: $(cat "$work/reports/lintian.txt")"

    # The root: / seen through an overlay whose upper layer is a tmpfs, with the kernel's
    # file systems, a fresh /tmp and /run, and the project's folders written through.
    layers=$work/layers root=$work/root
    mkdir -p "$layers" "$root"
    mount -t tmpfs tmpfs "$layers"
    mkdir "$layers/upper" "$layers/work"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$layers/upper,workdir=$layers/work" "$root"
    for fs in /proc /sys /dev; do mount --rbind "$fs" "$root$fs"; done
    mount -t tmpfs tmpfs "$root/tmp"
    mount -t tmpfs tmpfs "$root/run"
    # The project may lie below /tmp, which the root's own tmpfs hides: make the mount points.
    for dir in "$src" "$build" "$work"; do
        mkdir -p "$root$dir"
        mount --bind "$dir" "$root$dir"
    done
    TALLYMERGE_PACKAGE_ROOT=1 chroot "$root" bash "$0" "$@" || failures=$((failures + 1))
    exit $((failures > 0))
fi

# Inside the root -----------------------------------------------------------------------------
debs=()
for package in "${packages[@]}"; do
    debs+=("$(ls "$work/debs/${package}"_*.deb)")
done
# Copies installed on the machine are none of the test's business: they go, in this root.
dpkg --purge "${packages[@]}" >"$work/reports/machine-purge.log" 2>&1 ||
    fail "dpkg --purge of the machine's copies: $(cat "$work/reports/machine-purge.log")"

# Every path of the packages that the root does not have now must be gone after purge.
for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '{print $6}' |
    sed 's|^\.||; s|/$||' | grep . | sort -u >"$work/contents"
: >"$work/new-paths"
while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || echo "$path" >>"$work/new-paths"
done <"$work/contents"
export HOME=/tmp/home
mkdir -p "$HOME"

# fingerprint: every file of the shared folder with its mode, owners and contents, the group
# and the ODBC data sources.
fingerprint() {
    (
        cd /var/lib/tallymerge
        find . -printf '%p %m %u %g %s\n' | sort
        find . -type f -print0 | sort -z | xargs -0r sha256sum
        getent group tallymerge
        sha256sum /etc/odbc.ini
    )
}

install_packages() {
    dpkg -i "${debs[@]}" >"$work/reports/$1-install.log" 2>&1 ||
        { fail "dpkg -i: $(cat "$work/reports/$1-install.log")"; return 1; }
}

purge_packages() {
    dpkg --purge "${packages[@]}" >"$work/reports/$1-purge.log" 2>&1 ||
        fail "dpkg --purge: $(cat "$work/reports/$1-purge.log")"
}

# loads_installed_library PROGRAM: PROGRAM loads the edit box library from the system's
# library folder (/lib is /usr/lib on Debian 12).
loads_installed_library() {
    local libraries
    libraries=$(ldd "$1")
    grep -Eq "libvrexeditbox\.so\.1 => /(usr/)?lib/" <<<"$libraries" ||
        fail "$1 does not load the installed library: $libraries"
}

# said LOG PATTERN: the maintainer scripts' output in LOG says PATTERN.
said() {
    grep -Fq -e "$2" "$work/reports/$1" || fail "$1 does not say \"$2\": $(cat "$work/reports/$1")"
}

# Fresh machine: no group, no shared folder ----------------------------------------------
if getent group tallymerge >/dev/null; then groupdel tallymerge; fi
rm -rf /var/lib/tallymerge
if install_packages fresh; then
    said fresh-install.log "made the system group tallymerge"
    said fresh-install.log "made /var/lib/tallymerge (group tallymerge, mode 2770)"
    [ "$(stat -c '%a %U %G' /var/lib/tallymerge)" = "2770 root tallymerge" ] ||
        fail "the shared folder is $(stat -c '%a %U %G' /var/lib/tallymerge)"
    while read -r path; do
        [ -e "$path" ] || [ -L "$path" ] || fail "$path is missing after install"
    done <"$work/contents"

    # The installed programs, found on PATH and with the installed library, hardened.
    out=$(tallymerge-admin --version) || fail "tallymerge-admin --version failed"
    [ "${out:-}" = "tallymerge-admin $(dpkg-query -W -f='${Version}' tallymerge)" ] ||
        fail "tallymerge-admin --version said: ${out:-}"
    tallymerge-check --help >"$work/reports/check-help.txt" 2>&1 ||
        fail "tallymerge-check --help failed: $(cat "$work/reports/check-help.txt")"
    grep -q "^Usage: .*tallymerge-check" "$work/reports/check-help.txt" ||
        fail "tallymerge-check --help said: $(cat "$work/reports/check-help.txt")"
    for program in tallymerge tallymerge-admin tallymerge-check tallymerge-sample; do
        [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin's"
        dynamic=$(readelf -d "/usr/bin/$program")
        if grep -Eq "RPATH|RUNPATH" <<<"$dynamic"; then fail "/usr/bin/$program has a run path"; fi
        grep -q "BIND_NOW" <<<"$dynamic" || fail "/usr/bin/$program is not linked with -z now"
        man -w "$program" >/dev/null 2>&1 || fail "no manual page for $program"
    done
    loads_installed_library /usr/bin/tallymerge
    desktop-file-validate /usr/share/applications/tallymerge.desktop \
        >"$work/reports/desktop-file-validate.txt" 2>&1 ||
        fail "desktop-file-validate: $(cat "$work/reports/desktop-file-validate.txt")"
    appstreamcli validate --no-net /usr/share/metainfo/com.norvane.tallymerge.metainfo.xml \
        >"$work/reports/appstreamcli.txt" 2>&1 ||
        fail "appstreamcli validate: $(cat "$work/reports/appstreamcli.txt")"

    # A program of another project built with find_package(VrexEditbox) from the -dev
    # package, run offscreen with the packaged Designer plugin loaded.
    plugin=$(dpkg -L vrexeditbox-designer-plugin | grep 'libvrexeditbox_designer\.so$')
    if cmake -S "$src/tests/editbox/host" -B "$work/host" -G Ninja >"$work/reports/host.log" 2>&1 &&
        cmake --build "$work/host" >>"$work/reports/host.log" 2>&1; then
        loads_installed_library "$work/host/host"
        QT_QPA_PLATFORM=offscreen "$work/host/host" "$plugin" >>"$work/reports/host.log" 2>&1 ||
            fail "the host program failed: $(cat "$work/reports/host.log")"
        grep -q "^host ok$" "$work/reports/host.log" || fail "the host program said no \"host ok\""
    else
        fail "the host program did not build: $(tail -30 "$work/reports/host.log")"
    fi
fi
purge_packages fresh
said fresh-purge.log "/var/lib/tallymerge is kept"
[ "$(stat -c '%a %G' /var/lib/tallymerge)" = "2770 tallymerge" ] ||
    fail "the shared folder changed at purge"
getent group tallymerge >/dev/null || fail "the purge removed the group"
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then fail "$path is left after purge"; fi
done <"$work/new-paths"

# A machine set up by tools/setup.sh, with its site and settings -------------------------
rm -rf /var/lib/tallymerge
install -d -m 2770 -g tallymerge /var/lib/tallymerge
"$build/bin/tallymerge-sample" --fast --install-default >"$work/reports/site.log" 2>&1 ||
    fail "the sample site could not be made: $(cat "$work/reports/site.log")"
"$build/bin/tallymerge-admin" secure /var/lib/tallymerge >>"$work/reports/site.log" 2>&1 ||
    fail "tallymerge-admin secure: $(cat "$work/reports/site.log")"
[ -f /var/lib/tallymerge/site/system.db ] && [ -f /var/lib/tallymerge/HKEY_LOCAL_MACHINE.reg ] ||
    fail "the set-up machine has no site or settings"
fingerprint >"$work/before"
if install_packages setup; then
    said setup-install.log "the group tallymerge exists already and is kept"
    said setup-install.log "/var/lib/tallymerge holds data already; it is kept as it is"
    said setup-install.log "tallymerge-admin upgrade"
    # The installed auditor reads the books of a copy of the site (opening them may leave
    # SQLite's files beside them).
    cp -a /var/lib/tallymerge/site "$work/site-copy"
    tallymerge-check --site "$work/site-copy" SAMINC >"$work/reports/check.txt" 2>&1 ||
        fail "tallymerge-check: $(cat "$work/reports/check.txt")"
    grep -q "the books agree" "$work/reports/check.txt" ||
        fail "tallymerge-check said: $(cat "$work/reports/check.txt")"
    fingerprint | diff "$work/before" - >"$work/reports/setup-changes.txt" ||
        fail "the install changed the site: $(cat "$work/reports/setup-changes.txt")"
fi
purge_packages setup
fingerprint | diff "$work/before" - >"$work/reports/setup-changes.txt" ||
    fail "the purge changed the site: $(cat "$work/reports/setup-changes.txt")"

if [ "$failures" -eq 0 ]; then
    echo "the packages built, installed, worked and purged cleanly (reports in $work/reports)"
fi
exit $((failures > 0))
