#!/usr/bin/env bash
# Installs what Vimo's build and tests need on a Debian or Ubuntu machine, and only
# what is missing. Usage: scripts/ensure-deps.sh [run|test]
set -euo pipefail

want=(cmake ninja-build g++-mingw-w64-x86-64 wine wine64 xvfb xdotool imagemagick fonts-liberation)
if [ "${1:-test}" = test ]; then
  want+=(x11-utils g++ libgtest-dev libgmock-dev libbenchmark-dev python3 clang-format clang-tidy)
fi

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
