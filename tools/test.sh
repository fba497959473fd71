#!/usr/bin/env bash
# The whole test suite: a Release build, the Windows build's suite under Wine, the same suite
# under AddressSanitizer + UBSan, the concurrency suites under ThreadSanitizer, and a bounded run
# of every fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh

# The GUI suites need an X server: without a display, an Xvfb of our own on the first free
# display number (other users of the machine run theirs), stopped when the script ends.
if [ -z "${DISPLAY:-}" ]; then
  xvfb_number=$(mktemp)
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$xvfb_number" >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null; rm -f "$xvfb_number"' EXIT
  for _ in $(seq 100); do [ -s "$xvfb_number" ] && break; sleep 0.1; done
  [ -s "$xvfb_number" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$xvfb_number")"
  echo "== Xvfb on $DISPLAY"
fi

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

echo "== Release"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# Cross-built with mingw-w64 into build-windows/, run under Wine; its renders are compared with
# those of the Release build above.
echo "== Windows (mingw-w64, Wine)"
tools/windows.sh

echo "== AddressSanitizer + UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_SANITIZE=address -DKVX_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (concurrency suites)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_SANITIZE=thread -DKVX_BENCH=OFF >/dev/null
concurrency=$(ls tests/test_*_concurrency.cpp 2>/dev/null | xargs -r -n1 basename | sed 's/\.cpp$//')
if [ -n "$concurrency" ]; then
  # shellcheck disable=SC2086
  cmake --build build-tsan -j "$jobs" --target $concurrency
  ctest --test-dir build-tsan --output-on-failure -L concurrency
fi

if ls tests/fuzz/fuzz_*.cpp >/dev/null 2>&1; then
  echo "== Fuzzers (bounded)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVX_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j "$jobs"
  tools/fuzz.sh build-fuzz "${KVX_FUZZ_SECONDS:-60}"
fi
echo "== all suites passed"
