#!/usr/bin/env bash
# Runs the several-workstations harness long, outside the test command.
#   tools/workstations.sh [WORKSTATIONS] [ROUNDS] [SEED] [BUILD_DIR]
# By default 8 workstations x 1,000 rounds with a random seed. Prints the figures: rounds,
# invoices made, receipt batches, double invoices, time per invoice (p50, p99) and the
# refusals by kind; a failure names the round and the seed that repeats it.
set -euo pipefail
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
