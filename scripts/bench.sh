#!/usr/bin/env bash
# The benchmark of the 15 ms tick. Not a test: it prints figures and judges none.
#
#   1. tick_bench: the tick over the simulated desktop, host Release build (preset
#      "bench"), Google Benchmark;
#   2. vimo_bench.exe: the tick of the real Win32 backend, cross-built with the "mingw"
#      preset and run under Wine on a private Xvfb display in a throw-away Wine prefix.
# Each prints a table of configurations (time per tick, heap allocations per tick, handles)
# and then the ratios between rows: pointer shown / not shown, 1002 x 1002 with / without
# the grid, stuck to the resting pointer / not stuck.
#
# Usage: scripts/bench.sh [sim|wine|all|soak] [tick_bench arguments...]
#   e.g. scripts/bench.sh sim --benchmark_filter=1002 --benchmark_repetitions=5
#   VIMO_BENCH_ARGS="--calls 5000" scripts/bench.sh wine
#     (vimo_bench.exe's arguments: time each Win32 call of the tick; ticks per row)
#
# scripts/bench.sh soak: the soak run instead of the tables. 1,000,000 ticks on the
# simulated desktop (tick_bench --soak) and 100,000 ticks of the Win32 backend under Wine
# (vimo_bench.exe --soak), grid, stick to mouse and pointer on, the pointer resting and
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
  sim | wine | all) ;;
  soak)
    [ $# -gt 0 ] || set -- --soak
    VIMO_BENCH_ARGS="${VIMO_BENCH_ARGS:---soak}"
    ;;
  *)
    echo "usage: $0 [sim|wine|all|soak] [tick_bench arguments...]" >&2
    exit 2
    ;;
esac

scripts/ensure-deps.sh test
jobs=$(nproc)

if [ "$what" != wine ]; then
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
timeout 900 wine "$exe" "${exe_args[@]}" </dev/null
