#!/usr/bin/env bash
# Capture benchmark: the helper against ffmpeg's x11grab on the same private
# 1920x1080 Xvfb, each stream read to the last byte by bench/capture_reader.
# First a still screen at 30, 60 and 120 fps; then at 60 fps a still screen, a
# 200x50 area redrawn every frame and the whole screen redrawn every frame
# (bench/screen_painter). Prints one Markdown table row per run.
# Usage: [SCENES="still60 small60 full60"] bench/capture_bench.sh [window_seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

window=${1:-10}
warmup=2
size=1920x1080
frame_bytes=$((1920 * 1080 * 4))

scripts/setup.sh ffmpeg
scripts/build.sh release >/dev/null
work=$(mktemp -d)
bench=build/release/bench
helper=build/release/screenshare-helper

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 ${size}x24 -noreset -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
pids+=("$xvfb")
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
display=":$(head -n1 "$work/display")"
export DISPLAY=$display
unset WAYLAND_DISPLAY  # the helper would take a Wayland desktop before our Xvfb
xsetroot -mod 16 16 -fg '#2060c0' -bg '#f0e8d0'
# The helper's stdin: a pipe that we hold open and never write, so it runs
# until it is killed (closing stdin would stop it).
mkfifo "$work/stdin"
exec 4<>"$work/stdin"

# run SCENE NAME FPS COMMAND...: the command writes the stream to the fifo.
run() {
  local scene=$1 name=$2 fps=$3
  shift 3
  rm -f "$work/fifo"
  mkfifo "$work/fifo"
  "$@" >"$work/fifo" 2>/dev/null <"$work/stdin" &
  local pid=$!
  pids+=("$pid")
  local raw=()
  [ "$name" = helper ] || raw=(--raw "$frame_bytes")
  local result
  result=$("$bench/capture_reader" "$fps" "$warmup" "$window" "$pid" "$xvfb" "${raw[@]}" <"$work/fifo" || echo "- 0 - - -")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  read -r got frames missed cpu per_frame cpu_proc cpu_x <<<"$result"
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$scene" "$name" "$fps" "$got" "$frames" "$missed" \
    "${cpu_proc:--}" "${cpu_x:--}" "$per_frame"
}

both() {
  local scene=$1 fps=$2
  run "$scene" helper "$fps" "$helper" "$fps"
  run "$scene" ffmpeg "$fps" ffmpeg -loglevel error -nostdin -f x11grab -framerate "$fps" \
    -video_size $size -i "$display" -fps_mode passthrough -f rawvideo -pix_fmt bgra -
}

# painted FPS X Y W H SCENE: the scene with that area redrawn every frame.
painted() {
  local fps=$1
  "$bench/screen_painter" "$fps" "$2" "$3" "$4" "$5" &
  local painter=$!
  pids+=("$painter")
  both "$6" "$fps"
  kill "$painter" 2>/dev/null || true
  wait "$painter" 2>/dev/null || true
}

echo "| screen | program | target fps | achieved fps | frames in ${window} s | missed ticks | CPU s (program) | CPU s (Xvfb) | CPU ms per frame (both) |"
echo "|---|---|---|---|---|---|---|---|---|"
scenes=${SCENES:-"still30 still60 still120 small60 full60"}
for scene in $scenes; do
  case $scene in
    still*) both still "${scene#still}" ;;
    small*) painted "${scene#small}" 860 515 200 50 "200x50 redrawn" ;;
    full*) painted "${scene#full}" 0 0 1920 1080 "whole redrawn" ;;
  esac
done
