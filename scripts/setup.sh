#!/usr/bin/env bash
# Installs what building and testing need, on a Debian machine, if missing.
# Usage: scripts/setup.sh [extra-package ...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev libxcb-xfixes0-dev libxcb-damage0-dev libxcb-xtest0-dev libxcb-keysyms1-dev libxcb-xkb-dev
  libxcb-res0-dev  # the tests count the X clients a helper leaves behind
  libx11-dev  # a plain Xlib client that the tests type into; the viewer watches its window with it
  xvfb x11-xserver-utils x11-xkb-utils libpng-dev
  libwayland-dev libwayland-bin wayland-protocols libxkbcommon-dev  # the Wayland backend
  sway grim wev wf-recorder  # a headless compositor for the tests, what they see with, and a benchmark
  zenity  # a GTK entry that the tests type into
  libpipewire-0.3-dev libsystemd-dev  # the remote-desktop backends: PipeWire, and sd-bus for D-Bus
  mutter pipewire wireplumber dbus dbus-user-session foot  # a headless GNOME for the tests, and a client on it
  gstreamer1.0-pipewire gstreamer1.0-tools  # a plain PipeWire consumer for a benchmark
  libsdl2-dev xdotool xterm  # the viewer, and what its test types with and into
  openssh-server openssh-client  # the viewer over ssh, tested through a private sshd
  g++-mingw-w64-x86-64-posix  # the portable core must compile for Windows, and the Windows helper is built with it
  wine wine64  # the Windows helper's tests run it under Wine
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# sway refuses to run as root: the tests, when run as root, run it as this user.
test_user=screenshare-test
if ! id "$test_user" >/dev/null 2>&1; then
  echo "setup: creating the system user $test_user"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo useradd --system --no-create-home --shell /usr/sbin/nologin "$test_user"
fi
