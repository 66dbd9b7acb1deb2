#!/usr/bin/env bash
# Soak run: the release helper at 60 fps on a private 1280x720 Xvfb for a long
# while, under a few hundred random control messages a second, its stream and
# log read throughout by bench/soak_driver. Prints a Markdown table; fails if
# the helper does not run to the end and exit 0 within 2 s of stdin closing.
# Usage: bench/soak.sh [seconds]   (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."

duration=${1:-600}
fps=60
warmup=5
rate=300
seed=20240611

scripts/setup.sh >&2
scripts/build.sh release >&2
work=$(mktemp -d)

xvfb=""
cleanup() {
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and tells it on a descriptor.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x720x24 -noreset -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
read -r display <"$work/display"
export DISPLAY=":$display"
unset WAYLAND_DISPLAY  # the helper would take a Wayland desktop before our Xvfb
xsetroot -mod 16 16 -fg '#2060c0' -bg '#f0e8d0'

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), Xvfb 1280x720"
build/release/bench/soak_driver build/release/screenshare-helper "$fps" "$warmup" "$duration" "$rate" "$seed"
