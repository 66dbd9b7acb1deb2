#!/usr/bin/env bash
# Typing throughput and move delay behind typing, on a private Xvfb.
# Usage: bench/typing_bench.sh [TRIALS]
# HELPER_BUILD_DIR=dir uses an existing build there instead of building release.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/private_xvfb.sh typing_bench
"$out/typing_bench" "$build/screenshare-helper" "${1:-300}"
