#!/usr/bin/env bash
# Runs the several-workstations harness long, outside the test command.
#   tools/workstations.sh [--server] [WORKSTATIONS] [ROUNDS] [SEED] [BUILD_DIR]
# By default 8 workstations x 1,000 rounds with a random seed, the company on an SQLite site
# of this machine; with --server the company is on a private PostgreSQL server the test
# starts (each workstation signs on to it and its grid reads through psqlODBC). Prints the
# figures every 100 rounds and at the end: rounds, invoices made, receipt batches, double
# invoices, time per invoice (p50, p99) and the refusals by kind; a failure names the round
# and the seed that repeats it.
set -euo pipefail
if [ "${1:-}" = "--server" ]; then
    export TALLYMERGE_TEST_BACKEND=postgres
    shift
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
    2> >(grep -v '^tallymerge\.\|^In procedure\|^$\|XDG_RUNTIME_DIR' >&2) || status=$?
echo "wall time: $(($(date +%s) - start)) s"
exit $status
