#!/usr/bin/env bash
# Sets up Tallymerge on a Debian 12 machine, run as root from the project folder.
#   bash tools/setup.sh run    install what is needed, build (build-release), start on the
#                              sample company as the user who ran sudo
#   bash tools/setup.sh test   install what is needed, build, run every test (plain build,
#                              then once more under AddressSanitizer and UBSan)
#   bash tools/setup.sh package [FOLDER]
#                              install what is needed, make the Debian packages of debian/
#                              with dpkg-buildpackage and put them in FOLDER (build-deb
#                              unless given)
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
    libqt6opengl6-dev
    fonts-dejavu-core
    libsqlite3-dev sqlite3 libpq-dev
    unixodbc unixodbc-dev libsqliteodbc odbc-postgresql postgresql
    libsodium-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    poppler-utils clang-14 libclang-rt-14-dev clang-format
    locales-all
    xvfb xauth openbox xdotool x11-utils imagemagick dbus at-spi2-core python3 python3-pyatspi
    scdoc dpkg-dev debhelper file lintian appstream desktop-file-utils
)

install_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"
    fi
}

# The machine's shared data (settings hive, sites, drive C) belongs to the system group
# tallymerge: its members use the program, other accounts can neither read nor change it.
# A folder left by an older install (mode 0777, world-writable files) is repaired.
# share_with_group <build folder>
share_with_group() {
    if ! getent group tallymerge >/dev/null; then
        groupadd --system tallymerge
        echo "Made the system group tallymerge for the users of Tallymerge."
    fi
    install -d -m 2770 -g tallymerge /var/lib/tallymerge
    "$1"/bin/tallymerge-admin secure /var/lib/tallymerge
    local user=${SUDO_USER:-}
    if [ -n "$user" ] && [ "$user" != root ]; then
        if id -nG "$user" | tr ' ' '\n' | grep -qx tallymerge; then
            echo "$user is a member of the group tallymerge already."
        else
            usermod -a -G tallymerge "$user"
            echo "Added $user to the group tallymerge (it applies from $user's next login)."
        fi
    fi
}

# ccache names an object by the paths relative to the project folder, not by the build
# folder, so that the package build reuses the test build's objects. debhelper gives the
# package build a HOME of its own, so the cache and its settings are named outright.
use_ccache() {
    command -v ccache >/dev/null || return 0
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
    export CCACHE_DIR=${CCACHE_DIR:-$(ccache --get-config cache_dir)}
    local config
    config=${CCACHE_CONFIGPATH:-$(ccache --show-stats --verbose | sed -n 's/^Config file: *//p')}
    if [ -f "$config" ]; then export CCACHE_CONFIGPATH=$config; fi
}

# build <folder> [cmake options...]
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j "$(nproc)"
}

# debian_build <folder> [cmake options...]: build as the Debian packages are built, so that
# the tests test that and ccache serves the package build: debian/rules' compiler flags
# (hardening on; CMake ignores CPPFLAGS, so they join the compilers' flags as debhelper adds
# them) and debhelper's locale, which ccache counts in.
debian_build() (
    eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS" LC_ALL=C.UTF-8
    build "$@"
)

use_ccache
case "${1:-}" in
run)
    # A folder of its own: the test build's flags differ, and sharing one would rebuild all.
    install_packages
    build build-release -DCMAKE_BUILD_TYPE=Release -DTALLYMERGE_BUILD_TESTS=OFF \
        -DTALLYMERGE_BUILD_BENCH=OFF
    share_with_group build-release
    # First start: the sample site, its company database and its ODBC data source. Its
    # files are made for the group; its last line tells about the sample passwords.
    build-release/bin/tallymerge-sample --install-default
    # The program runs as the user who ran sudo (runuser gives it the group at once, with
    # that user's home for its settings and log); as plain root it runs as root.
    if [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
        exec runuser -u "$SUDO_USER" -- build-release/bin/tallymerge
    fi
    exec build-release/bin/tallymerge
    ;;
test)
    # Each phase's wall time is told as it ends, so that a slow run shows where it went.
    phase() {
        local name=$1 start=$SECONDS
        shift
        "$@"
        echo "setup.sh test: $name took $((SECONDS - start)) s" >&2
    }
    phase "packages" install_packages
    phase "plain build" debian_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    phase "plain tests" ctest --test-dir build --output-on-failure -j "$(nproc)"
    phase "sanitizer build" build build-asan -DCMAKE_BUILD_TYPE=Debug -DTALLYMERGE_SANITIZE=ON \
        -DTALLYMERGE_BUILD_BENCH=OFF
    phase "sanitizer tests" ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
    echo "setup.sh test: all phases took $SECONDS s" >&2
    ;;
package)
    # dpkg-buildpackage works in the project folder (debian/ and build-debian/; one build at
    # a time) and leaves the packages beside it, from where they move to FOLDER.
    install_packages
    dir=$(realpath -m "${2:-build-deb}")
    exec 9>debian/.package-build.lock
    flock 9
    dpkg-buildpackage -us -uc -b
    mkdir -p "$dir"
    rm -f "$dir"/*.deb "$dir"/*.ddeb "$dir"/*.buildinfo "$dir"/*.changes
    version=$(dpkg-parsechangelog -S Version)
    changes=tallymerge_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).changes
    for file in $(awk '{print $1}' debian/files) "$changes"; do mv "../$file" "$dir/"; done
    ls "$dir"/*.deb
    ;;
*)
    echo "usage: bash tools/setup.sh run|test|package [FOLDER]" >&2
    exit 2
    ;;
esac
