#!/usr/bin/env bash
# Windows capture benchmark, under Wine on a private 1280x720 Xvfb: the
# helper against bench/windows/bitblt_loop.exe (BitBlt the screen, make it
# opaque, write it; nothing else) in the same run, each stream read to the
# last byte by bench/capture_reader. A still screen (the test window's
# pattern), then a busy one (bench/windows/busy_window.exe repaints the whole
# screen at 60 fps). CPU counts the program, Xvfb and wineserver. Prints one
# Markdown table row per run.
# Usage: bench/windows_capture_bench.sh [window_seconds] [fps]
set -euo pipefail
cd "$(dirname "$0")/.."

window=${1:-10}
fps=${2:-30}
warmup=2
frame_bytes=$((1280 * 720 * 4))

scripts/setup.sh
scripts/build.sh release >/dev/null
scripts/build.sh windows >/dev/null
work=$(mktemp -d)
win=build/windows
reader=build/release/bench/capture_reader

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x720x24 -noreset -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
pids+=("$xvfb")
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")" WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1 </dev/null
wineserver=$(pgrep -n -x wineserver64 || pgrep -n wineserver)
# The helper's stdin: a pipe that we hold open and never write, so it runs
# until it is killed (closing stdin would stop it).
mkfifo "$work/stdin"
exec 4<>"$work/stdin"

# run SCENE NAME COMMAND...: the command writes the stream to the fifo.
run() {
  local scene=$1 name=$2
  shift 2
  rm -f "$work/fifo"
  mkfifo "$work/fifo"
  wine "$@" >"$work/fifo" 2>/dev/null <"$work/stdin" &
  local pid=$!
  pids+=("$pid")
  local raw=()
  [ "$name" = helper ] || raw=(--raw "$frame_bytes")
  local result
  result=$("$reader" "$fps" "$warmup" "$window" "$pid" "$xvfb" "$wineserver" "${raw[@]}" <"$work/fifo" ||
    echo "- 0 - - -")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  read -r got frames missed cpu per_frame cpu_proc cpu_x cpu_wine <<<"$result"
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$scene" "$name" "$fps" "$got" "$frames" \
    "${cpu_proc:--}" "${cpu_x:--}" "${cpu_wine:--}" "$per_frame"
}

both() {
  run "$1" helper "$win/screenshare-helper.exe" "$fps"
  run "$1" "BitBlt loop" "$win/bitblt_loop.exe" "$fps"
}

echo "| screen | program | target fps | achieved fps | frames in ${window} s | CPU s (program) | CPU s (Xvfb) | CPU s (wineserver) | CPU ms per frame (all) |"
echo "|---|---|---|---|---|---|---|---|---|"
wine "$win/test_window.exe" >/dev/null 2>&1 </dev/null &
pids+=("$!")
sleep 3
both still
wine "$win/busy_window.exe" 60 >/dev/null 2>&1 </dev/null &
pids+=("$!")
sleep 3
both "whole redrawn at 60 fps"
