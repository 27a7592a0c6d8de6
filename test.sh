#!/usr/bin/env bash
# Vimo's whole test run: formatting and lint, the unit tests under the sanitizers
# against the simulated desktop, the native Linux build with its own tests and its
# Debian package, the Windows cross build, and the end-to-end tests of both real
# programs on Xvfb: build/linux/vimo natively and vimo.exe under Wine; last the Linux
# build on a headless GNOME Wayland session.
set -euo pipefail
cd "$(dirname "$0")"

scripts/ensure-deps.sh test
jobs=$(nproc)

echo "== format"
git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' |
  xargs clang-format --dry-run --Werror

echo "== host build and unit tests (ASan + UBSan)"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs"

echo "== Linux build, its own tests (Xvfb) and package"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --preset linux
(cd build/linux && rm -f vimo_*.deb && cpack -G DEB >/dev/null)
deb=$(ls build/linux/vimo_*.deb)
depends=$(dpkg-deb --field "$deb" Depends)
contents=$(dpkg-deb --contents "$deb")
[[ "$depends" == *libgtk-3-0* ]] || { echo "$deb does not depend on GTK 3: $depends" >&2; exit 1; }
for f in ./usr/bin/vimo ./usr/share/applications/vimo.desktop \
  ./usr/share/icons/hicolor/48x48/apps/vimo.png ./usr/share/icons/hicolor/256x256/apps/vimo.png; do
  grep -q " $f\$" <<<"$contents" || { echo "$deb lacks $f" >&2; exit 1; }
done
echo "$deb: $depends"

echo "== lint"
git ls-files 'src/app/*.cpp' 'src/render/*.cpp' 'src/input/*.cpp' 'src/ui/*.cpp' \
  'src/settings/*.cpp' ':(glob)src/platform/*.cpp' 'src/platform/sim/*.cpp' |
  xargs -P "$jobs" -n 4 clang-tidy -p build/host --quiet 2>/dev/null
git ls-files 'src/platform/x11/*.cpp' 'src/platform/wayland/*.cpp' 'src/main_linux.cpp' |
  xargs -P "$jobs" -n 4 clang-tidy -p build/linux --quiet 2>/dev/null

echo "== Windows cross build"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"

echo "== end-to-end under Wine"
e2e() { python3 tests/e2e/run_e2e.py --exe build/mingw/vimo.exe \
  --pattern build/mingw/tests/e2e/vimo_pattern.exe "$@"; }
e2e --out build/e2e
for dpi in 144 192; do  # 150% and 200% scaling
  echo "== end-to-end at $dpi DPI"
  e2e --out "build/e2e/dpi$dpi" --dpi "$dpi" --case views --case keys --case measure --case about --case pixel_info \
    --case settings_survive
done

echo "== end-to-end of the native Linux build"
e2e_linux() { python3 tests/e2e/run_e2e.py --target linux --exe build/linux/vimo \
  --pattern build/linux/tests/e2e/vimo_pattern_x11 "$@"; }
e2e_linux --out build/e2e-linux
echo "== end-to-end of the Linux build on a composited screen (xcompmgr)"
e2e_linux --out build/e2e-linux/composited --compositor --case views --case still_screen \
  --case measure
for dpi in 144 192; do  # 150% and 200% scaling
  echo "== end-to-end of the Linux build at $dpi DPI"
  e2e_linux --out "build/e2e-linux/dpi$dpi" --dpi "$dpi" --case views --case keys --case measure \
    --case about --case pixel_info --case settings_survive
done

echo "== end-to-end on a headless GNOME Wayland session"
e2e_wayland() { python3 tests/e2e/run_e2e.py --target wayland --exe build/linux/vimo \
  --pattern build/linux/tests/e2e/vimo_pattern_x11 "$@"; }
e2e_wayland --out build/e2e-wayland
