#!/usr/bin/env bash
# Typing on Wayland: N distinct CJK characters (1,000 unless given), each a
# text message press and release, written to the helper at once on a private
# headless sway, with wev's window focused. Every one needs a spare key with a
# new symbol, so a new keymap for the compositor and for wev. Prints how many
# arrived at wev, how many were not the character sent, and the rate.
# Usage: bench/wayland_typing_bench.sh [characters]
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-1000}
scripts/setup.sh
scripts/build.sh release >/dev/null
source bench/private_sway.sh
work=$(mktemp -d)
trap 'kill -- -"$sway_group" 2>/dev/null || true; rm -rf "$runtime" "$work"' EXIT

stdbuf -oL wev >"$work/wev" 2>&1 &
wev=$!
# wev outlives its compositor, spinning: it goes first.
trap 'kill "$wev" 2>/dev/null || true; kill -- -"$sway_group" 2>/dev/null || true; rm -rf "$runtime" "$work"' EXIT
mkfifo "$work/stdin"
build/release/screenshare-helper 30 <"$work/stdin" >/dev/null 2>"$work/log" &
exec 5>"$work/stdin"
for _ in $(seq 100); do grep -q "control loop started" "$work/log" && grep -q "wl_keyboard] enter" "$work/wev" && break; sleep 0.1; done

build/release/bench/text_burst 0x4E00 "$count" >"$work/messages"
expected=()
for ((i = 0; i < count; i++)); do
  expected+=("$(printf 'U%04X' $((0x4E00 + i)))")
done
last=${expected[$((count - 1))]}
start=$(date +%s.%N)
cat "$work/messages" >&5
for _ in $(seq 600); do grep -q "sym: $last " "$work/wev" && break; sleep 0.05; done
end=$(date +%s.%N)
exec 5>&-

grep -A1 "state: 1 (pressed)" "$work/wev" | grep -o "sym: U[0-9A-F]*" | cut -d' ' -f2 >"$work/arrived"
printf '%s\n' "${expected[@]}" >"$work/expected"
arrived=$(wc -l <"$work/arrived")
wrong=$(diff <(head -n "$arrived" "$work/expected") "$work/arrived" | grep -c '^>' || true)
awk -v n="$arrived" -v w="$wrong" -v s="$start" -v e="$end" -v c="$count" 'BEGIN {
  printf "| %d distinct CJK characters | %d arrived | %d wrong | %.2f s | %.0f chars/s |\n", c, n, w, e - s, n / (e - s) }'
