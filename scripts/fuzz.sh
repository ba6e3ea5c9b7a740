#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (the fuzz preset) and runs
# each one for a fixed time from its committed seed corpus.
#   bash scripts/fuzz.sh [SECONDS]     (default 15 per target; FUZZ_TARGETS="a b" to pick)
# A crash stops the script with the fuzzer's report; the input that caused it
# is kept in build-fuzz/artifacts/ (make it a regular test, then fix).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
if ! command -v clang++ >/dev/null ||
   ! ls "$(clang++ -print-resource-dir)"/lib/linux/libclang_rt.fuzzer-*.a >/dev/null 2>&1; then
  echo "fuzz: clang++ with its libFuzzer run-time is not installed; the fuzz targets are skipped"
  exit 0
fi
cmake --preset fuzz >/dev/null
targets=${FUZZ_TARGETS:-$(sed -n 's/^qor_fuzz(\([a-z_]*\) .*/\1/p' fuzz/CMakeLists.txt)}
# shellcheck disable=SC2086
cmake --build --preset fuzz -j "$(nproc)" --target $targets
mkdir -p build-fuzz/artifacts
# The targets write their scratch files (debug log, INI) under TMPDIR: memory is much faster.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
for t in $targets; do
  # The fuzzer adds what it learns to a working copy; the committed seeds stay as they are.
  work="build-fuzz/corpus/$t"
  mkdir -p "$work"
  echo "fuzz: $t for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$t-" "$work" "fuzz/corpus/$t" 2>"build-fuzz/$t.log" ||
    { tail -n 60 "build-fuzz/$t.log"; echo "fuzz: $t found a failure (see build-fuzz/artifacts/)"; exit 1; }
  grep -E '^stat::number_of_executed_units' "build-fuzz/$t.log" | sed "s/^/fuzz: $t /"
done
