#!/usr/bin/env bash
# Runs the edit box engine's fuzz target for a number of executions (default 10 million)
# from a corpus folder that is kept between runs, and prints libFuzzer's final count.
# Not part of CI (ctest runs the target for 5 seconds only).
#
#   editbox/fuzz/run_fuzz.sh [build folder] [executions]   (FUZZ_MAX_LEN: input size, 128)
set -euo pipefail
build=${1:-build}
runs=${2:-10000000}
maxlen=${FUZZ_MAX_LEN:-128}
corpus=${FUZZ_CORPUS:-$build/fuzz-corpus/vrexeditbox}

cmake --build "$build" --target fuzz_vrexeditbox
mkdir -p "$corpus"
export QT_QPA_PLATFORM=offscreen TZ=UTC ASAN_OPTIONS=detect_leaks=0
"$build/bin/fuzz_vrexeditbox" -runs="$runs" -max_len="$maxlen" -rss_limit_mb=4096 -print_final_stats=1 \
    "$corpus" 2>&1 | tee "$build/fuzz-vrexeditbox.log" | grep -E "^(#[0-9]+ +DONE|Done|stat::number_of_executed_units|==[0-9]+==ERROR)"
