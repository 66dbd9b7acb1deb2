#!/usr/bin/env bash
# Fuzzes the control channel for a while (default 60 s) with libFuzzer.
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
scripts/setup.sh
build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHELPER_SANITIZE=fuzzer -DHELPER_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" control_fuzzer >/dev/null

# Work on a copy: what the run finds stays out of the kept seeds.
corpus=$build/corpus
mkdir -p "$corpus"
cp fuzz/corpus/* "$corpus"/
# stderr of the program under test is closed (its log lines); libFuzzer's own
# report still shows. Any crash, leak, sanitizer report or hang fails the run.
log=$build/fuzz.log
status=0
"$build/fuzz/control_fuzzer" -max_total_time="$seconds" -timeout=5 -close_fd_mask=2 \
  -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzz: FAILED (status $status)"
  exit "$status"
fi
grep -E 'DONE|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
echo "fuzz: no crash, leak or hang in $seconds s"
