#!/usr/bin/env bash
# A headless GNOME Wayland session for Vimo's benchmark and for trying Vimo on Wayland
# without a desktop: a private D-Bus, PipeWire, WirePlumber and mutter with Xwayland on a
# virtual 1280 x 1024 monitor, the desktop's screen-cast portal started by the bus.
#
#   scripts/wayland-session.sh [--allow] CMD [ARGS...]
#
# CMD runs inside with WAYLAND_DISPLAY, DISPLAY and XAUTHORITY set and private XDG folders
# (removed at the end); its exit code is the script's. --allow stores the portal's
# permission to share the monitor, as a user's "Share" would, and Vimo's restore token
# for it, so that Vimo starts without the dialog. Everything is ended by its PID at the
# end, the portals the bus started too. VIMO_WL_SIZE=WxH sets the monitor's size.
set -u
allow=""
if [ "${1:-}" = --allow ]; then
  allow=1
  shift
fi
[ $# -gt 0 ] || {
  echo "usage: $0 [--allow] CMD [ARGS...]" >&2
  exit 2
}
home=$(mktemp -d "${TMPDIR:-/tmp}/vimo-wayland.XXXXXX")
chmod 700 "$home"
mkdir -p "$home"/{run,config,data,state,cache}
# Before the bus starts: the portals it starts look for PipeWire and mutter there.
export XDG_RUNTIME_DIR=$home/run XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data \
  XDG_STATE_HOME=$home/state XDG_CACHE_HOME=$home/cache XDG_CURRENT_DESKTOP=GNOME \
  XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=vimo-wayland GSETTINGS_BACKEND=memory
unset DISPLAY XAUTHORITY
pids=()
bus=""
stop() {
  local children p
  children=$(ps -o pid= --ppid "${bus:-0}" 2>/dev/null)
  for p in $children "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in $children "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$p" 2>/dev/null
  done
  rm -rf "$home"
}
trap stop EXIT
trap 'exit 130' INT TERM
await() {
  for _ in $(seq 150); do eval "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "wayland-session: no $2 within 15 s; mutter's log:" >&2
  tail -n 20 "$home/mutter.log" >&2
  exit 97
}
# Xwayland's sockets go in /tmp/.X11-unix, which mutter wants writable by everyone.
if [ ! -d /tmp/.X11-unix ]; then
  mkdir -m 1777 /tmp/.X11-unix
elif [ "$(stat -c %a /tmp/.X11-unix)" != 1777 ] && [ -O /tmp/.X11-unix ]; then
  chmod 1777 /tmp/.X11-unix
fi

read -r DBUS_SESSION_BUS_ADDRESS bus < <(dbus-daemon --session --fork --nopidfile \
  --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=1 --print-pid=1 | paste -sd' ')
export DBUS_SESSION_BUS_ADDRESS
pids+=("$bus")
pipewire >"$home/pipewire.log" 2>&1 &
pids+=($!)
await "[ -S $XDG_RUNTIME_DIR/pipewire-0 ]" PipeWire
wireplumber >"$home/wireplumber.log" 2>&1 &
pids+=($!)
await "pw-cli ls Metadata | grep -q '\"default\"'" WirePlumber
mutter --headless --wayland --virtual-monitor "${VIMO_WL_SIZE:-1280x1024}" \
  --wayland-display="$WAYLAND_DISPLAY" >"$home/mutter.log" 2>&1 &
pids+=($!)
await "grep -q 'Using public X11 display' $home/mutter.log" Xwayland
DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$home/mutter.log" | head -1)
await "ls $XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" "Xwayland's authority file"
XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -1)
export DISPLAY XAUTHORITY
await "gdbus introspect --session --dest org.gnome.Mutter.ScreenCast --object-path /org/gnome/Mutter/ScreenCast" \
  "mutter's screen cast"
dbus-update-activation-environment DISPLAY XAUTHORITY WAYLAND_DISPLAY XDG_RUNTIME_DIR \
  XDG_CURRENT_DESKTOP XDG_CONFIG_HOME XDG_DATA_HOME XDG_STATE_HOME GSETTINGS_BACKEND

if [ -n "$allow" ]; then
  # The permission as xdg-desktop-portal-gnome stores a "Share" of the virtual monitor.
  token=$(cat /proc/sys/kernel/random/uuid)
  now=$(($(date +%s) * 1000000))
  store=(gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore
    --object-path /org/freedesktop/impl/portal/PermissionStore
    --method org.freedesktop.impl.portal.PermissionStore)
  "${store[@]}.SetValue" screencast true "$token" "<('GNOME', uint32 1, <(int64 $now, \
int64 $now, [(uint32 0, uint32 1, <'MetaVendor:MetaVirtualMonitor:0x00'>)])>)>" >/dev/null &&
    "${store[@]}.SetPermission" screencast true "$token" "" "['yes']" >/dev/null ||
    exit 97
  mkdir -p "$XDG_STATE_HOME/vimo"
  echo "$token" >"$XDG_STATE_HOME/vimo/screencast-token"
fi
"$@"
