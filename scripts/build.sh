#!/usr/bin/env bash
# Configures and builds one flavour into build/<flavour>.
# Usage: scripts/build.sh [release|asan|tsan|windows]
# windows cross-compiles build/windows/screenshare-helper.exe with mingw-w64.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
if [ "$flavour" = windows ]; then
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DHELPER_BUILD_TESTS=OFF >/dev/null
  exec cmake --build build/windows
fi
case "$flavour" in
  release) sanitize="" ;;
  asan) sanitize="address" ;;
  tsan) sanitize="thread" ;;
  *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

cmake -S . -B "build/$flavour" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHELPER_SANITIZE="$sanitize" >/dev/null
cmake --build "build/$flavour"
