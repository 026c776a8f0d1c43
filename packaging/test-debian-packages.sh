#!/usr/bin/env bash
# test-debian-packages.sh SOURCE_DIR WORK_DIR: builds the Debian packages in
# SOURCE_DIR/build-deb (beside the tests' build, so that ccache serves it from that build's
# objects), keeps its reports and scratch files in WORK_DIR, checks the packages with
# lintian, installs them on this machine with dpkg, uses them, purges them, and checks that
# nothing of them is left but the shared data folder, on a fresh machine and on one set up
# by tools/setup.sh with a site.
#
# It runs in a private mount namespace with a copy of /etc (the group tallymerge and the
# ODBC data sources are made there) and a temporary folder over /var/lib/tallymerge, so the
# machine's own group, settings and books are never touched. The packages' files do go to
# /usr, so they are purged whatever happens; the programs tests run from the build tree
# find their library by their RUNPATH, never these. Needs root (exit 77, skipped, without).
set -euo pipefail
src=$(realpath "$1")
work=$(realpath -m "$2")
packages=(tallymerge libvrexeditbox1 libvrexeditbox-dev vrexeditbox-designer-plugin)

if [ "$(id -u)" -ne 0 ]; then
    echo "needs root to install packages; skipped"
    exit 77
fi
if [ "${TALLYMERGE_PACKAGE_NS:-}" != 1 ]; then
    # One run on the machine at a time (the lock is held through the exec): another build
    # tree's run would install and purge the same packages.
    exec 9>/run/lock/tallymerge-package-test.lock
    flock 9
    export TALLYMERGE_PACKAGE_NS=1
    exec unshare --mount --propagation private bash "$0" "$@"
fi

for package in "${packages[@]}"; do
    if [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" == *" installed" ]]; then
        echo "FAIL: $package is installed on this machine already; the test would remove it"
        exit 1
    fi
done

# dpkg_waiting LOG ARGS...: dpkg ARGS, waiting (up to two minutes) while another program,
# such as apt-get, holds dpkg's lock.
dpkg_waiting() {
    local log=$1 tries=0
    shift
    until dpkg "$@" >"$log" 2>&1; do
        grep -q "dpkg frontend lock\|dpkg status database is locked" "$log" && [ $tries -lt 60 ] ||
            return 1
        tries=$((tries + 1))
        sleep 2
    done
}

purge_packages() {
    dpkg_waiting "$work/purge.log" --purge "${packages[@]}"
}
trap 'purge_packages || true' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Build ---------------------------------------------------------------------------------
mkdir -p "$work"
rm -rf "$work/reports" "$work/host" "$work/etc" "$work/home" "$work/site-copy" "$work"/varlib-*
mkdir -p "$work/reports"
bash "$src/tools/setup.sh" package "$src/build-deb" >"$work/reports/build.log" 2>&1 ||
    { tail -30 "$work/reports/build.log"; exit 1; }
debs=()
for package in "${packages[@]}"; do
    debs+=("$(ls "$src/build-deb/${package}"_*.deb)")
done

# The packages and their metadata pass Debian's checkers (warnings count as failures; the
# override files give the reason for each one overridden).
lintian --fail-on error,warning "${debs[@]}" >"$work/reports/lintian.txt" 2>&1 ||
    fail "lintian: $(cat "$work/reports/lintian.txt")"

# Every path of the packages that the machine does not have now must be gone after purge.
for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '{print $6}' |
    sed 's|^\.||; s|/$||' | grep . | sort -u >"$work/contents"
: >"$work/new-paths"
while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || echo "$path" >>"$work/new-paths"
done <"$work/contents"

# A private /etc, /var/lib/tallymerge and home folder -----------------------------------
export HOME=$work/home
mkdir -p "$HOME"
cp -a /etc "$work/etc"
mount --bind "$work/etc" /etc
mkdir -p /var/lib/tallymerge

# use_shared_folder FOLDER: binds FOLDER (made empty) over /var/lib/tallymerge.
use_shared_folder() {
    mkdir -p "$1"
    mount --bind "$1" /var/lib/tallymerge
}

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
    dpkg_waiting "$work/reports/$1-install.log" -i "${debs[@]}" ||
        { fail "dpkg -i: $(cat "$work/reports/$1-install.log")"; return 1; }
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

# Fresh machine: no group, an empty shared folder ----------------------------------------
if getent group tallymerge >/dev/null; then groupdel tallymerge; fi
use_shared_folder "$work/varlib-fresh"
if install_packages fresh; then
    said fresh-install.log "made the system group tallymerge"
    said fresh-install.log "made /var/lib/tallymerge (group tallymerge, mode 2770)"
    [ "$(stat -c '%a %U %G' /var/lib/tallymerge)" = "2770 root tallymerge" ] ||
        fail "the shared folder is $(stat -c '%a %U %G' /var/lib/tallymerge)"
    while read -r path; do
        [ -e "$path" ] || [ -L "$path" ] || fail "$path is missing after install"
    done <"$work/contents"

    # The installed programs, found on PATH and with the installed library.
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
purge_packages || fail "dpkg --purge: $(cat "$work/purge.log")"
cp "$work/purge.log" "$work/reports/fresh-purge.log"
said fresh-purge.log "/var/lib/tallymerge is kept"
[ "$(stat -c '%a %G' /var/lib/tallymerge)" = "2770 tallymerge" ] ||
    fail "the shared folder changed at purge"
getent group tallymerge >/dev/null || fail "the purge removed the group"
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then fail "$path is left after purge"; fi
done <"$work/new-paths"
umount /var/lib/tallymerge

# A machine set up by tools/setup.sh, with its site and settings -------------------------
use_shared_folder "$work/varlib-setup"
install -d -m 2770 -g tallymerge /var/lib/tallymerge
"$src/build-deb/bin/tallymerge-sample" --fast --install-default >"$work/reports/site.log" 2>&1 ||
    fail "the sample site could not be made: $(cat "$work/reports/site.log")"
"$src/build-deb/bin/tallymerge-admin" secure /var/lib/tallymerge >>"$work/reports/site.log" 2>&1 ||
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
purge_packages || fail "dpkg --purge: $(cat "$work/purge.log")"
fingerprint | diff "$work/before" - >"$work/reports/setup-changes.txt" ||
    fail "the purge changed the site: $(cat "$work/reports/setup-changes.txt")"

if [ "$failures" -eq 0 ]; then
    echo "the packages built, installed, worked and purged cleanly (reports in $work/reports)"
fi
exit $((failures > 0))
