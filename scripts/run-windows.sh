#!/usr/bin/env bash
# `./run.sh windows`: builds vimo.exe and starts it under Wine. Without a display it
# starts a virtual one (Xvfb) with a few lines of text in Wine's notepad, parks the
# pointer on them, starts Vimo beside them and writes a screenshot of it at work to
# build/vimo-windows-screenshot.png.
# `./run.sh windows screenshots` retakes the README's pictures in docs/ the same way, in a
# throw-away Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh windows
cmake --preset mingw >/dev/null
cmake --build --preset mingw
exe="$PWD/build/mingw/vimo.exe"
mode="${1:-run}"

tmp=$(mktemp -d)
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
[ "$mode" = screenshots ] && WINEPREFIX="$tmp/prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
boot() { [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || true; }

if [ -n "${DISPLAY:-}" ] && [ "$mode" = run ]; then
  rm -rf "$tmp"
  boot
  exec wine "$exe"
fi

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -rf "$tmp"' EXIT
trap 'exit 130' INT TERM
until [ -s "$tmp/display" ]; do sleep 0.1; done
DISPLAY=":$(cat "$tmp/display")"
export DISPLAY
boot  # on this display, so that Wine's desktop process draws there

wait_for() {  # a window whose title matches $1; the first start in a new prefix is slow
  for _ in $(seq 240); do
    xdotool search --name "$1" 2>/dev/null && return 0
    sleep 0.5
  done
  echo "run.sh: no window '$1' came up" >&2
  return 1
}

# Something to magnify: the desktop DC under Wine sees only Wine's own windows. Notepad
# opens at the top left; Vimo's window stays away from the area it magnifies there.
printf '%s\r\n' "Vimo shows the screen around the mouse pointer," \
  "enlarged 1 to 10 times and redrawn every 15 ms." "" \
  "A right click in its window opens the menu:" \
  "magnification, grid, lock and measure, ..." >"$tmp/welcome.txt"
wine notepad "$(winepath -w "$tmp/welcome.txt")" >/dev/null 2>&1 &
wait_for '^welcome' >/dev/null
xdotool mousemove 140 80

start_vimo() {  # with the settings given as arguments, in the throw-away prefix
  if [ $# -gt 0 ]; then
    local ini
    ini="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Vimo/Vimo.ini"
    mkdir -p "$(dirname "$ini")"
    printf '[Settings]\r\n' >"$ini"
    printf '%s\r\n' "$@" >>"$ini"
  fi
  wine "$exe" >/dev/null 2>&1 &
  vimo=$!
  vimo_window=$(wait_for '^Vimo \(')
  sleep 1  # a few dozen ticks
}

stop_vimo() {
  kill "$vimo"
  while xdotool search --name '^Vimo \(' >/dev/null 2>&1; do sleep 0.1; done
}

shot() {  # name, then the area: the window $2 (with a margin of 8) or X Y W H
  local x y w h
  if [ $# -eq 2 ]; then
    eval "$(xdotool getwindowgeometry --shell "$2")"
    x=$((X - 8)) y=$((Y - 8)) w=$((WIDTH + 16)) h=$((HEIGHT + 16))
  else
    x=$2 y=$3 w=$4 h=$5
  fi
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"
}

if [ "$mode" = run ]; then
  start_vimo
  shot build/vimo-windows-screenshot.png 0 0 1280 1024
  echo "Vimo runs on the virtual display $DISPLAY; screenshot: build/vimo-windows-screenshot.png"
  echo "Press Ctrl+C to stop."
  wait
fi

# The README's pictures. Positions and sizes are in twips, 15 to the pixel.
start_vimo Left=6000 Top=600
shot docs/vimo.png 0 20 640 264
stop_vimo

xdotool mousemove 150 66
start_vimo FactorIndex=8 Grid=-1 Left=6000 Top=600 Width=5400 Height=4500
shot docs/grid.png "$vimo_window"
stop_vimo

start_vimo FactorIndex=4 Locked=-1 Measure=-1 XPos=20 YPos=44 Left=6000 Top=600
eval "$(xdotool getwindowgeometry --shell "$vimo_window")"
xdotool mousemove $((X + 4 + 4 * 5 + 2)) $((Y + 23 + 4 * 6 + 2)) click 1
xdotool mousemove $((X + 4 + 4 * 38 + 2)) $((Y + 23 + 4 * 24 + 2))
sleep 0.5
shot docs/measure.png "$vimo_window"
stop_vimo

start_vimo Locked=-1 XPos=100 YPos=43 Left=6000 Top=600
eval "$(xdotool getwindowgeometry --shell "$vimo_window")"
xdotool windowfocus --sync "$vimo_window" mousemove $((X + 60)) $((Y + 80)) click 3
sleep 1
shot docs/menu.png $((X - 70)) $((Y - 8)) 290 410
xdotool key --delay 30 Down Down Down Down Down Down Down Down Down Down Down Down Down Down Return
eval "$(xdotool getwindowgeometry --shell "$(wait_for '^About Vimo$')")"
sleep 0.5
shot docs/about.png "$X" "$Y" "$WIDTH" "$HEIGHT"  # no window manager, so no frame
echo "Pictures written: docs/vimo.png, docs/grid.png, docs/measure.png, docs/menu.png," \
  "docs/about.png"
