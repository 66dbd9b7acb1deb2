#!/usr/bin/env bash
# Typing throughput and move delay behind typing, on a private Xvfb.
# Usage: bench/typing_bench.sh [TRIALS]
# HELPER_BUILD_DIR=dir uses an existing build there instead of building release.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${HELPER_BUILD_DIR:-build/release}
[ -n "${HELPER_BUILD_DIR:-}" ] || scripts/build.sh release >&2
out=$build/bench
mkdir -p "$out"
c++ -std=c++20 -O2 -o "$out/typing_bench" bench/typing_bench.cpp $(pkg-config --cflags --libs xcb)

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -noreset -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r display <"$fifo"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), Xvfb 1920x1080"
DISPLAY=":$display" "$out/typing_bench" "$build/screenshare-helper" "${1:-300}"
