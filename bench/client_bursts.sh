#!/usr/bin/env bash
# Bursts of characters outside the US keymap into real X clients with one
# core kept busy: xterm running cat in raw mode, a GTK 3 entry (zenity),
# which rebuilds its keymap on every change and falls behind most, and a
# plain Xlib client (the tests' own: Xlib's input method, Xutf8LookupString),
# whose keymap forgets changes that reach it while it fetches another one,
# and st, a terminal on plain Xlib.
# Counts the characters that arrived as another one, or not at all.
# Usage: bench/client_bursts.sh [RUNS] [CHARACTERS]
# HELPER_BUILD_DIR=dir uses an existing build; REUSE_MS=n measures a helper
# built with another spare-key reuse age (into build/reuse-n).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
count=${2:-300}
scripts/setup.sh xterm zenity xdotool stterm >&2
if [ -n "${REUSE_MS:-}" ]; then
  export HELPER_BUILD_DIR=build/reuse-$REUSE_MS
  cmake -S . -B "$HELPER_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHELPER_BUILD_TESTS=OFF \
    -DHELPER_SPARE_KEY_REUSE_MS="$REUSE_MS" >/dev/null
  cmake --build "$HELPER_BUILD_DIR" --target screenshare-helper >/dev/null
fi
source bench/private_xvfb.sh burst_typist
xlib_client=$build/tests/xlib_text_client
[ -n "${HELPER_BUILD_DIR:-}" ] && cmake --build "$build" --target xlib_text_client >&2
export LC_ALL=C.UTF-8
work=$(mktemp -d)
( while :; do :; done ) &
busy=$!
trap 'kill "$busy" "$xvfb" 2>/dev/null || true; rm -rf "$work" "$fifo"' EXIT

# 41 characters: 31 accented Latin letters, 5 CJK characters, 5 emoji.
alphabet=$(python3 -c 'print("".join(chr(c) for c in range(0xE0, 0x100) if c != 0xF7) + "中文日本語😀🎉👍🚀🌍", end="")')
burst() { python3 -c 'import random,sys; r=random.Random(int(sys.argv[2])); print("".join(r.choice(sys.argv[1]) for _ in range(int(sys.argv[3]))), end="")' "$alphabet" "$1" "$count"; }
# Characters that arrived as another one, and those that did not arrive (or arrived extra).
wrong() {
  python3 -c '
import difflib, sys
sent, got = sys.argv[1], sys.argv[2]
wrong = lost = 0
for op, a0, a1, b0, b1 in difflib.SequenceMatcher(None, sent, got, autojunk=False).get_opcodes():
    if op == "replace": wrong += max(a1 - a0, b1 - b0)
    elif op != "equal": lost += max(a1 - a0, b1 - b0)
print(wrong, lost)' "$1" "$2"
}

# Runs the typist at the middle of window $1 with text $2, until `done` holds (60 s at most).
type_into() {
  local window=$1 text=$2 done=$3
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool windowfocus --sync "$window"
  coproc TYPIST { "$out/burst_typist" "$build/screenshare-helper" $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) "$text"; }
  for _ in $(seq 600); do eval "$done" && break; sleep 0.1; done
  eval "exec ${TYPIST[1]}>&-"
  wait "$TYPIST_PID"
}

echo "reuse age: ${REUSE_MS:-200 (the default)} ms; $runs runs of $count characters from a ${#alphabet}-character alphabet"
echo "| client | run | wrong | missing |"
echo "|---|---|---|---|"
total_xterm=0 total_gtk=0 total_xlib=0 total_st=0
# terminal_burst NAME COMMAND...: types $text into a raw terminal that
# COMMAND starts (titled burst-NAME; the shell to run follows its last
# argument), prints the run's row, and leaves wrong + missing in $last.
terminal_burst() {
  local name=$1
  shift
  rm -f "$work/ready" "$work/typed"
  "$@" sh -c "stty raw -echo; touch '$work/ready'; exec cat > '$work/typed'" &
  local term=$!
  until [ -e "$work/ready" ]; do sleep 0.1; done
  local window
  window=$(xdotool search --sync --name "burst-$name" | head -1)
  type_into "$window" "$text" "grep -q \$'\\r' '$work/typed' 2>/dev/null"
  kill "$term" 2>/dev/null || true; wait "$term" 2>/dev/null || true
  local got w m
  got=$(tr -d '\r' < "$work/typed")
  read -r w m < <(wrong "$text" "$got")
  last=$((w + m))
  echo "| $name | $run | $w | $m |"
}

for run in $(seq "$runs"); do
  text=$(burst "$run")

  terminal_burst xterm xterm -u8 -geometry 100x30+0+0 -title burst-xterm -e; total_xterm=$((total_xterm + last))
  terminal_burst st stterm -t burst-st -g 100x30+0+0 -e; total_st=$((total_st + last))

  zenity --entry --title=burst-gtk > "$work/entry" 2>/dev/null &
  entry=$!
  window=$(xdotool search --sync --name burst-gtk | head -1)
  type_into "$window" "$text" "! kill -0 $entry 2>/dev/null"
  wait "$entry" || true
  read -r w m < <(wrong "$text" "$(cat "$work/entry")"); total_gtk=$((total_gtk + w + m))
  echo "| GTK 3 entry | $run | $w | $m |"

  # It takes the focus itself, prints what it read and ends at Return.
  rm -f "$work/ready"
  "$xlib_client" > "$work/xlib" 2> "$work/ready" &
  client=$!
  until grep -q ready "$work/ready" 2>/dev/null; do sleep 0.1; done
  coproc TYPIST { "$out/burst_typist" "$build/screenshare-helper" 100 50 "$text"; }
  for _ in $(seq 600); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
  eval "exec ${TYPIST[1]}>&-"
  wait "$TYPIST_PID"; wait "$client" || true
  read -r w m < <(wrong "$text" "$(cat "$work/xlib")"); total_xlib=$((total_xlib + w + m))
  echo "| Xlib client | $run | $w | $m |"
done
echo
echo "total wrong or missing: xterm $total_xterm, GTK 3 entry $total_gtk, Xlib client $total_xlib, st $total_st (of $((runs * count)) each)"
