#!/usr/bin/env bash
# The main job: shares an X display through the real helper under a small
# controller and operates a terminal on it from afar. Saves the first and the
# last frame as PNGs and the session as a video under build/, and reports the
# header, the frame rate achieved, the exit status after stdin is closed, and
# whether the typed line and the double-clicked word reached the terminal.
# Usage: scripts/demo.sh [seconds]
#   DISPLAY unset: a private Xvfb with a terminal, operated through the helper.
#   DISPLAY given: that display is only captured; no input is sent to it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-5}
# xterm to operate, ffmpeg for the video, xclip to read the selection back,
# xwininfo (x11-utils) to find the terminal.
scripts/setup.sh xterm ffmpeg xclip x11-utils
scripts/build.sh release >/dev/null
mkdir -p build

xvfb_pid=""
xterm_pid=""
work=$(mktemp -d)
cleanup() {
  [ -z "$xterm_pid" ] || kill "$xterm_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Polls a command until it succeeds or the deadline (in seconds) passes.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The demo is about an X display: the helper must not take a Wayland
# desktop the demo is run from instead.
unset WAYLAND_DISPLAY
terminal_args=()
if [ -z "${DISPLAY:-}" ]; then
  # Xvfb picks a free display number itself and tells us which. Another
  # server starting at the same moment can take that number first: try again.
  settled() { [ -s "$work/display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; }
  for _ in 1 2 3; do
    Xvfb -displayfd 3 -screen 0 1280x720x24 -noreset -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for 10 settled && [ -s "$work/display" ] && break
    kill "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  done
  [ -n "$xvfb_pid" ] || { echo "demo: Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$work/display")"
  # Something to look at: a checkered root window (it stays: -noreset).
  xsetroot -mod 16 16 -fg '#2060c0' -bg '#f0e8d0'
  echo "demo: private Xvfb on $DISPLAY"

  # The program to operate: a terminal that reads one line, writes it to a
  # file for us, and stays open so that a word of it can be selected.
  cols=60 rows=12 border=2
  LC_ALL=C.UTF-8 xterm -T screenshare-demo -fa Monospace -fs 14 -b "$border" -geometry "${cols}x${rows}+80+60" \
    -e sh -c 'echo "Waiting for a line from the remote user:"; IFS= read -r line; printf "%s\n" "$line" >"$1.part";
              mv "$1.part" "$1"; echo "Got it. Now a double-click on a word selects it."; exec sleep 3600' \
    sh "$work/line" &
  xterm_pid=$!
  viewable() { xwininfo -name screenshare-demo 2>/dev/null | grep -q 'IsViewable'; }
  wait_for 20 viewable || { echo "demo: the terminal did not appear" >&2; exit 1; }
  geometry=$(xwininfo -name screenshare-demo)
  field() { sed -n "s/^ *$1: *\([0-9]*\)$/\1/p" <<<"$geometry"; }
  x=$(field 'Absolute upper-left X') y=$(field 'Absolute upper-left Y')
  cell_w=$((($(field Width) - 2 * border) / cols)) cell_h=$((($(field Height) - 2 * border) / rows))
  echo "demo: terminal at ${x},${y}, character cells ${cell_w}x${cell_h}"
  terminal_args=(--terminal $((x + border)) $((y + border)) "$cell_w" "$cell_h" "$work/line")
else
  echo "demo: DISPLAY=$DISPLAY given: capture only; no key or click is sent to a desktop the demo did not start"
fi

build/release/tools/demo_controller build/release/screenshare-helper build "$seconds" "${terminal_args[@]}"
