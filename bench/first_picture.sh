#!/usr/bin/env bash
# How long after the capture says it started the first picture comes, on a
# still desktop: X11 (Xvfb), wlroots (headless sway) and GNOME (headless
# mutter). The helper gives up on a capture that sends none for 10 s.
# Usage: bench/first_picture.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
scripts/build.sh release >/dev/null

# Milliseconds from "stream started OK" to the first picture's size. stdin
# stays open (and empty) until the first picture has come.
first_picture_ms() {
  local log started="" now
  log=$(mktemp)
  (sleep 30 | build/release/screenshare-helper 15 >/dev/null 2>"$log") &
  local pipeline=$!
  while :; do
    now=$(date +%s%N)
    if [ -z "$started" ] && grep -q "stream started OK" "$log"; then started=$now; fi
    if [ -n "$started" ] && grep -q "dimensions resolved" "$log"; then break; fi
    sleep 0.001
  done
  pkill -P "$pipeline" -x sleep 2>/dev/null || true
  wait "$pipeline" 2>/dev/null || true
  rm -f "$log"
  echo $(((now - started) / 1000000))
}

measure() {  # desktop
  local times=()
  for _ in $(seq "$runs"); do times+=("$(first_picture_ms)"); done
  echo "$1: ${times[*]} ms"
}

(source bench/private_xvfb.sh screenshare-helper >/dev/null; measure "X11 (Xvfb 1920x1080)")
(source bench/private_sway.sh >/dev/null; measure "wlroots (sway 1920x1080)")
(source bench/private_gnome.sh >/dev/null; SCREENSHARE_HELPER_BACKEND=mutter measure "GNOME (mutter 1280x720)")
