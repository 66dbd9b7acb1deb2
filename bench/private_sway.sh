# Sourced by the Wayland benchmarks: starts a private headless sway with one
# 1920x1080 output in a runtime directory of its own, as the unprivileged
# user scripts/setup.sh makes when we are root (sway refuses root; setpriv
# execs it, so the process group is sway's own), exports
# WAYLAND_DISPLAY as the socket's absolute path and unsets DISPLAY. Sets
# $sway_pid to the compositor's own pid (for its CPU time) and stops it when
# the script exits.
runtime=$(mktemp -d)
printf 'output HEADLESS-1 resolution 1920x1080\ndefault_border none\nxwayland disable\n' >"$runtime/config"
chmod 644 "$runtime/config"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown screenshare-test "$runtime"
  as_user=(setpriv --reuid screenshare-test --regid screenshare-test --init-groups --)
fi
chmod 700 "$runtime"
setsid "${as_user[@]}" env -i XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_RENDERER=pixman \
  WLR_LIBINPUT_NO_DEVICES=1 sway -c "$runtime/config" >/dev/null 2>&1 &
sway_group=$!
trap 'kill -- -"$sway_group" 2>/dev/null || true; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do [ -S "$runtime/wayland-1" ] && break; sleep 0.1; done
export WAYLAND_DISPLAY=$runtime/wayland-1
unset DISPLAY
sway_pid=$(pgrep -x -s "$sway_group" sway)
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), sway $(sway --version | awk '{print $3}') headless 1920x1080, pixman"
