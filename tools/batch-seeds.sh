#!/usr/bin/env bash
# Runs the randomized batch runs over any number of seeds, outside the test command.
#   tools/batch-seeds.sh [FIRST] [COUNT] [BUILD_DIR]
# e.g. tools/batch-seeds.sh 301 5000. Every failing seed is printed with the line that replays
# it; the last line counts the seeds and lists the failing ones.
set -euo pipefail
first=${1:-1}
count=${2:-1000}
build=${3:-build}
cd "$(dirname "$0")/.."
QT_QPA_PLATFORM=offscreen LANG=en_US.UTF-8 LC_ALL=C.UTF-8 TZ=UTC \
    TALLYMERGE_BATCH_SEEDS="$first:$count" \
    "$build/bin/tm_batchgen_tests" \
    --gtest_filter=RandomizedBatchRuns.PreviewRunRulesAndBooksAgree
