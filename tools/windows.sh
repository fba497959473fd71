#!/usr/bin/env bash
# The Windows build: installs what is missing, cross-builds the plug-in (ub37t.dll), the host
# (vsthost.exe) and the tests for 64-bit Windows into build-windows/ (the benchmarks too with
# --bench), and runs the Windows suite under Wine (headless, in a Wine prefix of its own under the
# build folder).
# Usage: tools/windows.sh [--bench]   (--bench also runs the overdrive benchmark under Wine)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-windows"
jobs=$(nproc)

# The benchmarks (and Google Benchmark) only when they are to run.
bench=OFF
if [ "${1:-}" = "--bench" ]; then bench=ON; fi

tools/windows-deps.sh "$build" "$bench"

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
  -DKVX_BENCH="$bench" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"

# One Wine server for the whole suite: starting it once saves a second for every test.
"$wineserver" --persistent=60 || true
status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=$?

if [ "$bench" = ON ]; then
  # The same benchmark of the plug-in built for each system, one after the other in one run.
  cmake --build build -j "$jobs" --target bench_overdrive
  linux_csv=$(build/bench/bench_overdrive --benchmark_format=csv --benchmark_min_time=0.3 2>/dev/null)
  wine_csv=$(cd "$build" && "$wine" bench/bench_overdrive.exe --benchmark_format=csv --benchmark_min_time=0.3 2>/dev/null | tr -d '\r')
  echo "== overdrive: real-time factor (seconds of audio per second of CPU), 44.1 kHz, 512-frame blocks"
  awk -F, '
    FNR == 1 { for (i = 1; i <= NF; ++i) if ($i == "\"rt\"") col = i; next }
    NR == FNR { linux[$1] = $col; order[++n] = $1; next }
    { wine[$1] = $col }
    function shown(v) { return v == "" ? "failed" : sprintf("%.1f", v) }
    END {
      printf "%-42s %12s %12s\n", "benchmark", "Linux", "Wine"
      for (i = 1; i <= n; ++i) { name = order[i]; gsub(/"/, "", name)
        printf "%-42s %12s %12s\n", name, shown(linux[order[i]]), shown(wine[order[i]]) }
    }' <(printf '%s\n' "$linux_csv") <(printf '%s\n' "$wine_csv")
fi
"$wineserver" -k || true
exit $status
