#!/usr/bin/env bash
# Typing throughput and move delay behind typing, on a private Xvfb.
# Usage: bench/typing_bench.sh [TRIALS]
# HELPER_BUILD_DIR=dir uses an existing build there instead of building release;
# BUSY=1 keeps one core busy meanwhile.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/private_xvfb.sh typing_bench
if [ -n "${BUSY:-}" ]; then
  ( while :; do :; done ) &
  busy=$!
  trap 'kill "$busy" "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
  echo "one core kept busy"
fi
"$out/typing_bench" "$build/screenshare-helper" "${1:-300}"
