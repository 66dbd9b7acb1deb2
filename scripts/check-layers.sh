#!/usr/bin/env bash
# Fails when an include crosses the layers of src/: capture/ and input/ never
# include each other (app/ alone wires them together), platform/ includes
# neither of them nor app/, and nothing but app/ includes app/. The viewer is
# a controller: it includes nothing of the helper. Pure rules (keysyms,
# keymaps, cursor compositing) stay out of the backend folders.
set -uo pipefail
cd "$(dirname "$0")/../src"

status=0
crossing() {  # folder, pattern of includes it must not have
  local hits
  hits=$(grep -rnE "^\s*#\s*(include|import)\s+\"($2)/" "$1" 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "check-layers: $1/ includes what it must not:" >&2
    echo "$hits" | sed 's/^/  /' >&2
    status=1
  fi
}
crossing capture 'input|app'
crossing input 'capture|app'
crossing platform 'capture|input|app'
crossing viewer 'capture|input|app|platform'

misplaced=$(find . -path '*/x11/*' -o -path '*/wayland/*' -o -path '*/macos/*' | grep -iE 'keysym|keymap|cursor')
if [ -n "$misplaced" ]; then
  echo "check-layers: pure rules in a backend folder:" >&2
  echo "$misplaced" | sed 's/^/  /' >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "check-layers: no include crosses the layers"
exit "$status"
