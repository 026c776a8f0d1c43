#!/usr/bin/env bash
# Runs the several-workstations harness long, outside the test command.
#   tools/workstations.sh [--server [CONNINFO]] [WORKSTATIONS] [ROUNDS] [SEED] [BUILD_DIR]
# By default 8 workstations x 1,000 rounds with a random seed, the company on an SQLite site
# of this machine; with --server the company is on a private PostgreSQL server the test
# starts (each workstation signs on to it and its grid reads through psqlODBC), or, given an
# administrator's connection string, on that server: in new databases of the run, removed
# with their roles at its end. Faults come at rounds the seed picks, each kind once in 50
# rounds: a workstation killed inside its invoice's write; on a server also its connections
# ended (the private server restarted; on the administrator's server the run's sessions
# ended with pg_terminate_backend, since a shared server is never restarted) and a clerk's
# grant taken away for a round. Prints the faults' rounds first, the figures every 100
# rounds and at the end: rounds, invoices made, receipt batches, double invoices, time per
# invoice (p50, p99), the refusals by kind and the faults made; a failure names the round
# and the seed that repeats it.
set -euo pipefail
if [ "${1:-}" = "--server" ]; then
    export TALLYMERGE_TEST_BACKEND=postgres
    shift
    # A connection string is anything but a number of workstations.
    if [ -n "${1:-}" ] && ! [[ "$1" =~ ^[0-9]+$ ]]; then
        export TALLYMERGE_TEST_SERVER="$1"
        shift
    fi
fi
workstations=${1:-8}
rounds=${2:-1000}
seed=${3:-}
build=${4:-build}
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen LANG=en_US.UTF-8 LC_ALL=C.UTF-8 TZ=UTC
export TALLYMERGE_WORKSTATIONS="$workstations" TALLYMERGE_ROUNDS="$rounds"
if [ -n "$seed" ]; then
    export TALLYMERGE_SEED="$seed"
fi
start=$(date +%s)
status=0
"$build/bin/tm_workstations_tests" \
    --gtest_filter=Workstations.ClerksBillingTheSameShipmentsAtOnceNeverDoubleAnInvoice \
    2> >(grep -iv '^tallymerge\.\|^In procedure\|^Please contact\|^$\|XDG_RUNTIME_DIR' >&2) || status=$?
echo "wall time: $(($(date +%s) - start)) s"
exit $status
