# Sourced by the input benchmarks: builds the helper and the benchmarks (or
# takes the build in HELPER_BUILD_DIR, bringing the benchmark named $1 up to
# date there), sets $out to where the benchmarks are, and starts a private
# 1920x1080 Xvfb, exporting DISPLAY. Xvfb picks a
# free display number itself and tells it on a descriptor; it is stopped by
# its own pid when the script exits.
build=${HELPER_BUILD_DIR:-build/release}
if [ -n "${HELPER_BUILD_DIR:-}" ]; then
  cmake --build "$build" --target "$1" >&2
else
  scripts/build.sh release >&2
fi
out=$build/bench

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -noreset -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r display <"$fifo"
export DISPLAY=":$display"
unset WAYLAND_DISPLAY  # the helper would take a Wayland desktop before our Xvfb
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), Xvfb 1920x1080"
