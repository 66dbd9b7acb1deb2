#!/usr/bin/env bash
# The main job: runs the helper under a small controller that reads its frame
# stream and reports what arrived.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh release
# stdin stays open while the reader runs: closing it is the stop request.
sleep 4 | build/release/tests/screenshare-helper-fake 30 2>/dev/null | build/release/tools/stream_reader 3 || true
