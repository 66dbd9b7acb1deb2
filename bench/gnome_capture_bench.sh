#!/usr/bin/env bash
# GNOME capture benchmark: the helper through mutter's remote desktop against
# a plain PipeWire consumer (gst-launch-1.0 pipewiresrc ! fakesink) reading
# a screen cast of the same monitor, on a private headless mutter at
# 1280x720 and 30 fps. Scenes: a still screen, and a busy one, a foot
# terminal over the whole monitor printing continuously. The helper's stream
# is read to the last byte by bench/capture_reader; gst's buffers are counted
# from fakesink's messages. Prints Markdown table rows; CPU counts the
# program and mutter.
# Usage: bench/gnome_capture_bench.sh [window_seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

window=${1:-10}
warmup=2
fps=30

scripts/setup.sh
scripts/build.sh release >/dev/null
work=$(mktemp -d)
c++ -O2 -std=c++20 -o "$work/capture_reader" bench/capture_reader.cpp
c++ -O2 -std=c++20 -o "$work/mutter_screencast" bench/mutter_screencast.cpp $(pkg-config --cflags --libs libsystemd)
helper=$PWD/build/release/screenshare-helper
source bench/private_gnome.sh
trap 'kill -- -"$gnome_group" 2>/dev/null || true; rm -rf "$runtime" "$work"' EXIT

mkfifo "$work/stdin"
exec 4<>"$work/stdin"

cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }

helper_row() {
  rm -f "$work/fifo"
  mkfifo "$work/fifo"
  SCREENSHARE_HELPER_BACKEND=mutter "$helper" "$fps" >"$work/fifo" 2>/dev/null <"$work/stdin" &
  local pid=$!
  local got frames missed total per_frame cpu_proc cpu_mutter
  read -r got frames missed total per_frame cpu_proc cpu_mutter <<<"$("$work/capture_reader" "$fps" "$warmup" "$window" \
    "$pid" "$mutter_pid" <"$work/fifo" || echo "- 0 - - - - -")"
  kill -INT "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  printf '| %s | helper | %s | %s | %s | %s | %s |\n' "$1" "$got" "$frames" "$cpu_proc" "$cpu_mutter" "$per_frame"
}

# gst-launch on a screen cast of its own, at most $fps buffers a second; each
# buffer fakesink takes is one line of its messages.
gst_row() {
  coproc cast { "$work/mutter_screencast"; }
  local node
  read -r node <&"${cast[0]}"
  gst-launch-1.0 -v pipewiresrc path="$node" ! "video/x-raw,max-framerate=$fps/1" ! fakesink silent=false \
    >"$work/gst.log" 2>&1 &
  local pid=$!
  sleep "$warmup"
  local lines0 gst0 mutter0 lines1 gst1 mutter1
  lines0=$(grep -c 'last-message = chain' "$work/gst.log" || true)
  gst0=$(cpu "$pid") mutter0=$(cpu "$mutter_pid")
  sleep "$window"
  lines1=$(grep -c 'last-message = chain' "$work/gst.log" || true)
  gst1=$(cpu "$pid") mutter1=$(cpu "$mutter_pid")
  kill -INT "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  eval "exec ${cast[1]}>&-"
  wait "$cast_PID" 2>/dev/null || true
  awk -v f=$((lines1 - lines0)) -v g0="$gst0" -v g1="$gst1" -v m0="$mutter0" -v m1="$mutter1" -v w="$window" \
    -v t="$(getconf CLK_TCK)" -v s="$1" 'BEGIN {
      g = (g1 - g0) / t; m = (m1 - m0) / t;
      printf "| %s | gst-launch pipewiresrc ! fakesink | %.1f | %d | %.2f | %.2f | %s |\n", s, f / w, f, g, m,
        f ? sprintf("%.2f", (g + m) * 1000 / f) : "-" }'
}

echo "| screen | program | frames a second | frames in ${window} s | CPU s (program) | CPU s (mutter) | CPU ms per frame (both) |"
echo "|---|---|---|---|---|---|---|"
helper_row still
gst_row still
setpriv_user=()
[ "$(id -u)" -eq 0 ] && setpriv_user=(setpriv --reuid screenshare-test --regid screenshare-test --init-groups --)
"${setpriv_user[@]}" env -i PATH=/usr/bin:/bin HOME="$runtime" XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" \
  foot --fullscreen -- sh -c 'while :; do base64 -w 180 /dev/urandom | head -c 2000000; done' >/dev/null 2>&1 &
painter=$!
trap 'kill "$painter" 2>/dev/null || true; kill -- -"$gnome_group" 2>/dev/null || true; rm -rf "$runtime" "$work"' EXIT
sleep 2
helper_row busy
gst_row busy
kill "$painter" 2>/dev/null || true
