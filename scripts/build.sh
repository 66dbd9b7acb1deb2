#!/usr/bin/env bash
# Configures and builds one flavour into build/<flavour>.
# Usage: scripts/build.sh [release|asan|tsan]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
case "$flavour" in
  release) sanitize="" ;;
  asan) sanitize="address" ;;
  tsan) sanitize="thread" ;;
  *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

cmake -S . -B "build/$flavour" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHELPER_SANITIZE="$sanitize" >/dev/null
cmake --build "build/$flavour"
