#!/usr/bin/env bash
# tools/fuzz.sh BUILD_DIR SECONDS: runs every fuzzer of BUILD_DIR/fuzz for SECONDS, seeded from
# tests/fuzz/corpus/<name>/ and, for the PNG fuzzers, the PNG test suite in tests/data/pngsuite.
# Memory is bounded: an input that makes the process exceed 2 GiB, or ask for more than 1 GiB at
# once, is a finding.
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
for fuzzer in "$build"/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  seeds=()
  [ -d "$root/tests/fuzz/corpus/$name" ] && seeds+=("$root/tests/fuzz/corpus/$name")
  case "$name" in *png*) seeds+=("$root/tests/data/pngsuite") ;; esac
  echo "-- $name for ${seconds}s"
  # A fixed seed keeps the bounded run repeatable: what CI explores is what a developer reruns.
  "$fuzzer" -seed="${KVX_FUZZ_SEED:-1}" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-" "$work" "${seeds[@]}" 2>&1 | tail -n 12
done
