#!/usr/bin/env bash
# Sets up Tallymerge on a Debian 12 machine, run as root from the project folder.
#   bash tools/setup.sh run    install what is needed, build, start on the sample company
#   bash tools/setup.sh test   install what is needed, build, run every test (plain build,
#                              then once more under AddressSanitizer and UBSan)
#   bash tools/setup.sh package [FOLDER]
#                              install what is needed, build for /usr in FOLDER (build-deb
#                              unless given) and make the Debian packages there
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
    scdoc dpkg-dev file lintian appstream desktop-file-utils
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
share_with_group() {
    if ! getent group tallymerge >/dev/null; then
        groupadd --system tallymerge
        echo "Made the system group tallymerge for the users of Tallymerge."
    fi
    install -d -m 2770 -g tallymerge /var/lib/tallymerge
    build/bin/tallymerge-admin secure /var/lib/tallymerge
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

# ccache serves every build of this tree and of its clones, wherever they lie: paths inside
# the project are hashed relative to it, and the build folder itself is not hashed.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

# build <folder> [cmake options...]
build() {
    local dir=$1
    shift
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@"
    cmake --build "$dir" -j "$(nproc)"
}

case "${1:-}" in
run)
    install_packages
    build build -DCMAKE_BUILD_TYPE=Release -DTALLYMERGE_BUILD_TESTS=OFF -DTALLYMERGE_BUILD_BENCH=OFF
    share_with_group
    # First start: the sample site, its company database and its ODBC data source. Its
    # files are made for the group; its last line tells about the sample passwords.
    build/bin/tallymerge-sample --install-default
    exec build/bin/tallymerge
    ;;
test)
    install_packages
    build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ctest --test-dir build --output-on-failure -j "$(nproc)"
    build build-asan -DCMAKE_BUILD_TYPE=Debug -DTALLYMERGE_SANITIZE=ON \
        -DTALLYMERGE_BUILD_BENCH=OFF
    ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
    ;;
package)
    # The build type of the test build, so that ccache serves both; CPack strips the
    # programs and libraries it packs.
    install_packages
    dir=${2:-build-deb}
    build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
        -DTALLYMERGE_BUILD_TESTS=OFF -DTALLYMERGE_BUILD_BENCH=OFF
    rm -f "$dir"/*.deb
    (cd "$dir" && cpack -G DEB)
    ls "$dir"/*.deb
    ;;
*)
    echo "usage: bash tools/setup.sh run|test|package [FOLDER]" >&2
    exit 2
    ;;
esac
