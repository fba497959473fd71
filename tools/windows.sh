#!/usr/bin/env bash
# The Windows build: installs what is missing, cross-builds the plug-in (ub37t.dll), the host
# (vsthost.exe), the tests and the benchmarks for 64-bit Windows into build-windows/, and runs the
# Windows suite under Wine (headless, in a Wine prefix of its own under the build folder).
# Usage: tools/windows.sh [--bench]   (--bench also runs the overdrive benchmark under Wine)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-windows"
jobs=$(nproc)

tools/windows-deps.sh "$build"

# The Linux host and plug-in, whose renders the Windows ones must equal byte for byte.
tools/deps.sh
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build build -j "$jobs" --target ub37t vsthost

# Debian's wine64 keeps its loader and server out of PATH.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export KVX_WINE="$wine"
export WINEPREFIX="$build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating the Wine prefix"
  "$wine" wineboot --init >/dev/null 2>&1 || true
  "$wineserver" --wait || true
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
export PKG_CONFIG_LIBDIR="$build/prefix/lib/pkgconfig"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DKVX_WINDOWS_PREFIX="$build/prefix" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"

# One Wine server for the whole suite: starting it once saves a second for every test.
"$wineserver" --persistent=60 || true
status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=$?

if [ "${1:-}" = "--bench" ]; then
  (cd "$build" && "$wine" bench/bench_overdrive.exe --benchmark_min_time=0.2)
fi
"$wineserver" -k || true
exit $status
