#!/usr/bin/env bash
# Builds Vimo and starts it.
#
#   ./run.sh            the native Linux program (X11), build/linux/vimo
#   ./run.sh windows    vimo.exe under Wine (scripts/run-windows.sh; `windows screenshots`
#                       retakes the README's Windows pictures)
#
# Without a display, the native program runs on a virtual one (Xvfb): an xterm shows a
# few lines of text, the pointer is parked on them, Vimo starts (with its settings in a
# throw-away folder) and a screenshot of it at work goes to build/vimo-screenshot.png.
set -euo pipefail
cd "$(dirname "$0")"

if [ "${1:-}" = windows ]; then
  shift
  exec scripts/run-windows.sh "$@"
fi

scripts/ensure-deps.sh run
cmake --preset linux >/dev/null
cmake --build --preset linux --target vimo
exe="$PWD/build/linux/vimo"

if [ -n "${DISPLAY:-}" ]; then
  exec "$exe"
fi

tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$tmp"' EXIT
trap 'exit 130' INT TERM
until [ -s "$tmp/display" ]; do sleep 0.1; done
DISPLAY=":$(cat "$tmp/display")"
export DISPLAY
export XDG_CONFIG_HOME="$tmp/config"
openbox --sm-disable >/dev/null 2>&1 &  # a window manager, for the title bars

wait_for() {  # a window whose title matches $1
  for _ in $(seq 100); do
    xdotool search --name "$1" 2>/dev/null | head -1 && return 0
    sleep 0.1
  done
  echo "run.sh: no window '$1' came up" >&2
  return 1
}

# Something to magnify: a native X11 program with text, at the top left.
printf '%s\n' "Vimo shows the screen around the mouse pointer," \
  "enlarged 1 to 10 times and redrawn every 15 ms." "" \
  "A right click in its window opens the menu:" \
  "magnification, grid, lock and measure, ..." >"$tmp/welcome.txt"
xterm -geometry 60x12+0+0 -fa 'Liberation Mono' -fs 11 -bg white -fg black -T welcome \
  -e sh -c "cat '$tmp/welcome.txt'; exec sleep 100000" &
wait_for '^welcome$' >/dev/null
xdotool mousemove 150 64

# Vimo beside it, larger than at its first start (sizes and places in twips, 15 a pixel).
mkdir -p "$XDG_CONFIG_HOME/Vimo"
printf '%s\n' "[Settings]" Left=9000 Top=600 Width=8400 Height=4200 >"$XDG_CONFIG_HOME/Vimo/Vimo.ini"
"$exe" &
wait_for '^Vimo \(' >/dev/null
sleep 1  # a few dozen ticks
import -window root build/vimo-screenshot.png
echo "Vimo runs on the virtual display $DISPLAY; screenshot: build/vimo-screenshot.png"
echo "Press Ctrl+C to stop."
wait "$xvfb"
