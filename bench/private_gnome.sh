# Sourced by the GNOME benchmark: starts a private headless GNOME (a session
# bus that lets other users in, pipewire, wireplumber, mutter with one
# 1280x720 virtual monitor) in a runtime directory of its own, as the
# unprivileged user scripts/setup.sh makes when we are root, in a process
# group of its own. Exports what a program of that desktop needs
# (DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR, WAYLAND_DISPLAY), unsets
# DISPLAY, sets $mutter_pid, and stops it all when the script exits.
runtime=$(mktemp -d)
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown screenshare-test "$runtime"
  as_user=(setpriv --reuid screenshare-test --regid screenshare-test --init-groups --)
fi
chmod 700 "$runtime"
cat >"$runtime/bus.conf" <<CONF
<busconfig><type>session</type><listen>unix:path=$runtime/bus</listen><auth>EXTERNAL</auth>
<standard_session_servicedirs/><policy context="default"><allow user="*"/>
<allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF
chmod 644 "$runtime/bus.conf"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$runtime/bus XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wayland-bench
unset DISPLAY
setsid "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$runtime" XDG_RUNTIME_DIR="$runtime" \
  DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" sh -c "
    dbus-daemon --nofork --config-file=$runtime/bus.conf & sleep 0.5
    pipewire &
    # WirePlumber gives up at once when PipeWire does not answer yet.
    while [ ! -S $runtime/pipewire-0 ]; do sleep 0.05; done
    wireplumber & sleep 0.5
    exec mutter --headless --virtual-monitor 1280x720 --wayland --no-x11 --wayland-display=$WAYLAND_DISPLAY" \
  >/dev/null 2>&1 &
gnome_group=$!
trap 'kill -- -"$gnome_group" 2>/dev/null || true; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do [ -S "$runtime/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
sleep 1
mutter_pid=$(pgrep -x -s "$gnome_group" mutter)
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), mutter $(mutter --version | awk 'NR==1 {print $2}') headless 1280x720, PipeWire $(pipewire --version | awk '/libpipewire/ {print $NF; exit}')"
