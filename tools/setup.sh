#!/usr/bin/env bash
# Sets up Tallymerge on a Debian 12 machine, run as root from the project folder.
#   bash tools/setup.sh run    install what is needed, build, start on the sample company
#   bash tools/setup.sh test   install what is needed, build, run every test (plain build,
#                              then once more under AddressSanitizer and UBSan)
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libgl-dev
    fonts-dejavu-core
    libsqlite3-dev sqlite3
    unixodbc unixodbc-dev libsqliteodbc odbc-postgresql postgresql
    libsodium-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    poppler-utils clang-14 libclang-rt-14-dev clang-format
    xvfb xauth
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
    # The machine's shared data (settings hive, sample site, drive C): every user of the
    # machine writes there, and a write replaces the file, so no sticky bit.
    install -d -m 0777 /var/lib/tallymerge
    # First start: the sample site, its company database and its ODBC data source.
    build/bin/tallymerge-sample --install-default
    chmod -R a+rwX /var/lib/tallymerge
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
*)
    echo "usage: bash tools/setup.sh run|test" >&2
    exit 2
    ;;
esac
