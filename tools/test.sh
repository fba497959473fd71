#!/usr/bin/env bash
# The whole test suite: a Release build, the same suite under AddressSanitizer + UBSan, the
# concurrency suites under ThreadSanitizer, a bounded run of every fuzzer, and the Windows build
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

echo "== Release"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

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

echo "== Windows (mingw-w64, Wine)"
tools/windows.sh
echo "== all suites passed"
