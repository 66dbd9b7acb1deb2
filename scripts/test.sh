#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. The end-to-end tests
# start their own private Xvfb servers, headless sway compositors and headless
# GNOME desktops (sway and GNOME as the unprivileged user that scripts/setup.sh
# makes, when run as root).
# Usage: scripts/test.sh [release|asan|tsan]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
scripts/setup.sh
scripts/check-layers.sh
scripts/build.sh "$flavour"
# The Windows helper, which windows_tests runs under Wine.
scripts/build.sh windows

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
ctest --test-dir "build/$flavour" --output-on-failure -j2 --timeout 300
