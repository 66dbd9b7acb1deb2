#!/usr/bin/env bash
# Input latency of the helper against xdotool on a private Xvfb.
# Usage: bench/input_latency.sh [MOVES]
# HELPER_BUILD_DIR=dir uses an existing build there instead of building release.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh xdotool >&2
source bench/private_xvfb.sh input_latency
"$out/input_latency" "$build/screenshare-helper" "${1:-2000}"
