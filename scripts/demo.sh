#!/usr/bin/env bash
# The main job: captures an X display with the real helper under a small
# controller, saves the first frame as a PNG and reports the header, the
# achieved frame rate and the exit status after stdin is closed.
# Usage: scripts/demo.sh [seconds]   (DISPLAY given: that display; else a private Xvfb)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-5}
scripts/setup.sh
scripts/build.sh release >/dev/null

xvfb_pid=""
numfile=$(mktemp)
cleanup() {
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$numfile"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  # Xvfb picks a free display number itself and tells us which.
  Xvfb -displayfd 3 -screen 0 1280x720x24 -noreset -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 200); do [ -s "$numfile" ] && break; sleep 0.05; done
  [ -s "$numfile" ] || { echo "demo: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$numfile")"
  # Something to look at: a checkered root window (it stays: -noreset).
  xsetroot -mod 16 16 -fg '#2060c0' -bg '#f0e8d0'
  echo "demo: private Xvfb on $DISPLAY"
fi

out=${DEMO_PNG:-build/demo-frame.png}
build/release/tools/demo_controller build/release/screenshare-helper "$out" "$seconds"
