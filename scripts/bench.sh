#!/usr/bin/env bash
# The benchmark of the 15 ms tick. Not a test: it prints figures and judges none.
#
#   1. tick_bench: the tick over the simulated desktop, host Release build (preset
#      "bench"), Google Benchmark;
#   2. vimo_bench.exe: the tick of the real Win32 backend, cross-built with the "mingw"
#      preset and run under Wine on a private Xvfb display in a throw-away Wine prefix;
#   3. vimo_bench (Linux): the tick of the native X11 backend ("linux" preset), beside
#      bare shared-memory reads and puts of the same sizes, on the same Xvfb display,
#      before vimo.exe; at the end, its 1002 x 1002 1 X tick against Wine's.
# Each prints a table of configurations (time per tick, heap allocations per tick, handles)
# and then the ratios between rows: pointer shown / not shown, 1002 x 1002 with / without
# the grid, stuck to the resting pointer / not stuck.
#
# scripts/bench.sh idle [seconds] [another vimo]: what the running native program costs
# the machine, Vimo's CPU time and the X server's from /proc, on its own Xvfb display
# (bench/idle_cpu.py): idle at the start size, locked and measuring, and at 1002 x 1002 with
# the grid, the pointer moving beside the large view and over it locked. With another build's vimo (an older
# commit's, say) its rows follow in the same run, for a before and after.
#
# scripts/bench.sh wayland [frames per row]: vimo_bench on a headless GNOME Wayland session
# (scripts/wayland-session.sh), the screen from the desktop's screen cast: the tick rows
# at the start size and at 1002 x 1002, with and without the grid.
#
# Usage: scripts/bench.sh [sim|wine|linux|all|soak|idle|wayland] [tick_bench arguments...]
#   (wine: vimo.exe alone; linux: vimo_bench and vimo.exe in one display; all: every one)
#   e.g. scripts/bench.sh sim --benchmark_filter=1002 --benchmark_repetitions=5
#   VIMO_BENCH_ARGS="--calls 5000" scripts/bench.sh wine
#     (vimo_bench.exe's arguments: time each Win32 call of the tick; ticks per row)
#
# scripts/bench.sh soak: the soak run instead of the tables. 1,000,000 ticks on the
# simulated desktop (tick_bench --soak), 100,000 ticks of the native X11 backend
# (vimo_bench --soak: X resources, resident memory, allocations inside the ticks) and of
# the Win32 backend under Wine (vimo_bench.exe --soak), grid, stick to mouse and pointer on, the pointer resting and
# moving; each prints its handles (the sim's DCs and bitmaps; the process's GDI and USER
# objects), its private bytes and its heap allocations before and after. Other counts:
#   VIMO_BENCH_ARGS="--soak 20000" scripts/bench.sh soak --soak=50000
# The Windows build goes to build/bench-mingw, apart from build/mingw, so that the
# benchmark can run beside a test run.
set -euo pipefail
cd "$(dirname "$0")/.."

what="${1:-all}"
[ $# -gt 0 ] && shift
case "$what" in
  sim | wine | linux | all) ;;
  idle)
    scripts/ensure-deps.sh test
    cmake --preset linux >/dev/null
    cmake --build --preset linux --target vimo
    seconds="${1:-20}"
    python3 bench/idle_cpu.py build/linux/vimo --seconds "$seconds" --label "(this build)"
    if [ -n "${2:-}" ]; then
      python3 bench/idle_cpu.py "$2" --seconds "$seconds" --label "($2)"
    fi
    exit 0
    ;;
  wayland)
    scripts/ensure-deps.sh test
    cmake --preset linux >/dev/null
    cmake --build --preset linux --target vimo_bench
    echo "== tick of the native backend on a headless GNOME Wayland session (screen cast)"
    exec scripts/wayland-session.sh --allow timeout 900 build/linux/bench/vimo_bench "$@"
    ;;
  soak)
    [ $# -gt 0 ] || set -- --soak
    VIMO_BENCH_ARGS="${VIMO_BENCH_ARGS:---soak}"
    ;;
  *)
    echo "usage: $0 [sim|wine|linux|all|soak|idle|wayland] [tick_bench arguments...]" >&2
    exit 2
    ;;
esac

scripts/ensure-deps.sh test
jobs=$(nproc)

if [ "$what" != wine ] && [ "$what" != linux ]; then
  echo "== tick on the simulated desktop (host, Release)"
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j "$jobs" --target tick_bench
  build/bench/bench/tick_bench "$@"
  echo
fi

[ "$what" = sim ] && exit 0

echo "== tick of the Win32 backend under Wine (MinGW-w64, Release)"
cmake --preset mingw -B build/bench-mingw >/dev/null
cmake --build build/bench-mingw -j "$jobs" --target vimo_bench
exe="$PWD/build/bench-mingw/bench/vimo_bench.exe"

work=$(mktemp -d "${TMPDIR:-/tmp}/vimo-bench.XXXXXX")
xvfb=""
cleanup() {
  if [ -d "$work/prefix" ]; then
    WINEPREFIX="$work/prefix" timeout 20 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$work/prefix" timeout 20 wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and writes its number to the descriptor.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1920x1200x24 -nolisten tcp -noreset \
  >"$work/xvfb.log" 2>&1 &
xvfb=$!
number=""
read -r -t 15 -u "$displayfd" number || true
exec {displayfd}<&-
if [ -z "$number" ]; then
  echo "Xvfb did not start; see its log:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

export DISPLAY=":$number"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINESERVER
echo "display $DISPLAY, prefix $WINEPREFIX"
timeout 300 wineboot -i >/dev/null 2>&1
timeout 120 wineserver -w >/dev/null 2>&1 || true
read -r -a exe_args <<<"${VIMO_BENCH_ARGS:-}"
native_out="$work/native.txt"
if [ "$what" != wine ]; then
  echo "== tick of the native X11 backend (linux preset, Release), display $DISPLAY"
  cmake --preset linux >/dev/null
  cmake --build --preset linux -j "$jobs" --target vimo_bench
  XDG_CONFIG_HOME="$work/config" timeout 900 build/linux/bench/vimo_bench "${exe_args[@]}" \
    </dev/null | tee "$native_out"
  echo
  echo "== tick of the Win32 backend under Wine, same display"
fi
timeout 900 wine "$exe" "${exe_args[@]}" </dev/null | tee "$work/wine.txt"

# The large view at 1 X, native against Wine: the row's median microseconds (5th field in
# both tables).
median() { awk -v row="$2" '$1 " " $2 == row && $5 ~ /^[0-9.]+$/ { print $5 }' "$1" | head -1; }
if [ "$what" != wine ] && [ "$what" != soak ]; then
  native=$(median "$native_out" "1002 x1")
  wine=$(median "$work/wine.txt" "1002 x1")
  if [ -n "$native" ] && [ -n "$wine" ]; then
    awk -v n="$native" -v w="$wine" 'BEGIN { printf "\n1002 x1, median us: Wine %.1f, native %.1f: native %.1f times faster (goal >= 10)\n", w, n, w / n }'
  fi
fi
