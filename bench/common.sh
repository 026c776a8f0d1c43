# Shared by the benchmark scripts (sourced, not run).

# require_programs SCRIPT BIN PROGRAM...: ends the script (exit status 2) naming the first
# benchmark program that BIN lacks.
require_programs() {
    local script=$1 bin=$2
    shift 2
    local program
    for program in "$@"; do
        if [ ! -x "$bin/$program" ]; then
            echo "$script: $bin/$program is missing; build with -DTALLYMERGE_BUILD_BENCH=ON" >&2
            exit 2
        fi
    done
}
