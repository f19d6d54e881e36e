#!/usr/bin/env bash
# Builds the byte-level units for the host with ASan and UBSan, runs their
# unit tests, then runs every fuzz target for a bounded time over its seed
# corpus (test/fuzz/corpus/<target>, copied so the repository stays clean).
# A finding fails the run.
#
#   tools/fuzz/run_host_checks.sh [build dir]     LITE_FUZZ_SECONDS=N (default 20)
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$repo/build/host}
seconds=${LITE_FUZZ_SECONDS:-20}

cmake -S "$repo/test/host" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" >/dev/null

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$build/host_unittests" --gtest_brief=1

for fuzzer in installer_tag_fuzzer distrib_params_fuzzer json_comments_fuzzer \
  trust_bytes_fuzzer response_body_fuzzer; do
  corpus="$build/corpus/$fuzzer"
  mkdir -p "$corpus" "$build/findings/$fuzzer"
  cp -n "$repo/test/fuzz/corpus/$fuzzer"/* "$corpus"/ 2>/dev/null || true
  echo "fuzzing $fuzzer for ${seconds}s"
  "$build/$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/findings/$fuzzer/" "$corpus" 2>&1 |
    grep -E '^(stat::number_of_executed_units|==.*ERROR|SUMMARY)' || true
  # grep hides the exit status; the fuzzer's own decides.
  test "${PIPESTATUS[0]}" -eq 0
done
