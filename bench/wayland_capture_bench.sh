#!/usr/bin/env bash
# Wayland capture benchmark: the helper against wf-recorder (raw BGRA, a
# frame asked for every refresh with -D) on the same private headless sway
# at 1920x1080 and 60 fps, each stream read to the last byte by
# bench/capture_reader. Scenes: a still screen, and a busy one, a foot
# terminal filling the whole output with new text every refresh. Then grim,
# which takes one picture per run, for its CPU per picture. Prints Markdown
# table rows; CPU counts the program and sway. (wf-recorder is given
# "pipe:1": an existing file such as /dev/stdout makes it ask whether to
# overwrite.)
# Usage: bench/wayland_capture_bench.sh [window_seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

window=${1:-10}
warmup=2
fps=60
frame_bytes=$((1920 * 1080 * 4))

scripts/setup.sh foot
scripts/build.sh release >/dev/null
work=$(mktemp -d)
reader=$PWD/build/release/bench/capture_reader
helper=$PWD/build/release/screenshare-helper
source bench/private_sway.sh
trap 'kill -- -"$sway_group" 2>/dev/null || true; rm -rf "$runtime" "$work"' EXIT

# The helper's stdin: a pipe held open and never written, so it runs until killed.
mkfifo "$work/stdin"
exec 4<>"$work/stdin"

# run SCENE NAME COMMAND...: the command writes its stream to the fifo.
run() {
  local scene=$1 name=$2
  shift 2
  rm -f "$work/fifo"
  mkfifo "$work/fifo"
  "$@" >"$work/fifo" 2>/dev/null <"$work/stdin" &
  local pid=$!
  local raw=()
  [ "$name" = helper ] || raw=(--raw "$frame_bytes")
  local result
  result=$("$reader" "$fps" "$warmup" "$window" "$pid" "$sway_pid" "${raw[@]}" <"$work/fifo" ||
    echo "- 0 - - -")
  kill -INT "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  read -r got frames missed cpu per_frame cpu_proc cpu_sway <<<"$result"
  printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' "$scene" "$name" "$got" "$frames" "$missed" \
    "${cpu_proc:--}" "${cpu_sway:--}" "$per_frame"
}

both() {
  run "$1" helper "$helper" "$fps"
  run "$1" wf-recorder wf-recorder -D -c rawvideo -m rawvideo -x bgra -f pipe:1
}

# CPU of grim and sway per picture, over 30 pictures of the scene.
grim_row() {
  local before after pictures=30
  before=$(awk '{print $14 + $15}' "/proc/$sway_pid/stat")
  local start=$SECONDS
  local used
  used=$( { /usr/bin/time -f '%U %S' bash -c "for i in \$(seq $pictures); do grim -t ppm - >/dev/null; done"; } 2>&1 | tail -1)
  after=$(awk '{print $14 + $15}' "/proc/$sway_pid/stat")
  awk -v u="$used" -v b="$before" -v a="$after" -v n="$pictures" -v t="$(getconf CLK_TCK)" -v s="$1" 'BEGIN {
    split(u, p, " "); grim = p[1] + p[2]; sway = (a - b) / t;
    printf "| %s | grim (one picture a run) | - | %d | - | %.2f | %.2f | %.2f |\n", s, n, grim, sway, (grim + sway) * 1000 / n }'
}

echo "| screen | program | achieved fps | frames in ${window} s | missed ticks | CPU s (program) | CPU s (sway) | CPU ms per frame (both) |"
echo "|---|---|---|---|---|---|---|---|"
both still
grim_row still
foot -e sh -c 'while :; do base64 -w 200 /dev/urandom | head -c 2000000; done' >/dev/null 2>&1 &
painter=$!
trap 'kill "$painter" 2>/dev/null || true; kill -- -"$sway_group" 2>/dev/null || true; rm -rf "$runtime" "$work"' EXIT
sleep 2
both busy
grim_row busy
kill "$painter" 2>/dev/null || true
