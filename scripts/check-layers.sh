#!/usr/bin/env bash
# Fails when an include crosses the layers of src/: capture/ and input/ never
# include each other (app/ alone wires them together), platform/ includes
# neither of them nor app/, and nothing but app/ includes app/. The viewer is
# a controller: it includes nothing of the helper. Pure rules (keysyms,
# keymaps, cursor compositing) stay out of the backend folders. Every file
# outside a backend folder compiles for Windows (mingw-w64) as it is.
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

misplaced=$(find . -path '*/x11/*' -o -path '*/wayland/*' -o -path '*/macos/*' -o -path '*/windows/*' | grep -iE 'keysym|keymap|cursor')
if [ -n "$misplaced" ]; then
  echo "check-layers: pure rules in a backend folder:" >&2
  echo "$misplaced" | sed 's/^/  /' >&2
  status=1
fi
# The portable core: everything outside the folders of one platform.
mingw=x86_64-w64-mingw32-g++-posix
if ! command -v "$mingw" >/dev/null; then
  echo "check-layers: $mingw is missing (scripts/setup.sh installs it)" >&2
  status=1
else
  portable=$(find app capture input platform \( -name '*.cpp' -o -name '*.h' \) |
    grep -vE '/(x11|wayland|pipewire|remote_desktop|macos|posix|linux|windows)/' | sort)
  failed=$(echo "$portable" | xargs -P 2 -I{} sh -c \
    "$mingw -std=c++20 -fsyntax-only -I . -x c++ {} >/dev/null 2>&1 || echo {}")
  if [ -n "$failed" ]; then
    echo "check-layers: portable files that do not compile for Windows:" >&2
    for f in $failed; do
      echo "  $f" >&2
      "$mingw" -std=c++20 -fsyntax-only -I . -x c++ "$f" 2>&1 | grep -m 3 'error' | sed 's/^/    /' >&2
    done
    status=1
  fi
fi
[ "$status" -eq 0 ] && echo "check-layers: no include crosses the layers, and the portable core compiles for Windows"
exit "$status"
