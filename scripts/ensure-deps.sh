#!/usr/bin/env bash
# Installs what Vimo's build and tests need on a Debian or Ubuntu machine, and only
# what is missing. Usage: scripts/ensure-deps.sh [run|windows|test]
#   run      the native Linux program (./run.sh)
#   windows  vimo.exe under Wine (./run.sh windows)
#   test     everything ./test.sh builds and runs: both targets, tests, lint, package
set -euo pipefail

native=(cmake ninja-build g++ pkg-config libgtk-3-dev libx11-dev libxext-dev libxdamage-dev libxfixes-dev
  libxrandr-dev libxi-dev libxtst-dev libxres-dev libpipewire-0.3-dev xvfb xauth xdotool xterm openbox imagemagick
  fonts-liberation x11-xserver-utils)
windows=(cmake ninja-build g++-mingw-w64-x86-64 wine wine64 xvfb xdotool imagemagick
  fonts-liberation)
# The headless GNOME session the Wayland end-to-end tests run in.
wayland=(dbus libglib2.0-bin mutter pipewire pipewire-bin wireplumber xwayland xdg-desktop-portal
  xdg-desktop-portal-gnome python3-dbus python3-gi python3-gi-cairo gir1.2-gtk-3.0)
case "${1:-test}" in
  run) want=("${native[@]}") ;;
  windows) want=("${windows[@]}") ;;
  test)
    want=("${native[@]}" "${windows[@]}" x11-utils libgtest-dev libgmock-dev libbenchmark-dev
      python3 clang-format clang-tidy dpkg-dev file xclip xcompmgr
      "${wayland[@]}")
    ;;
  *)
    echo "usage: $0 [run|windows|test]" >&2
    exit 2
    ;;
esac

missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
