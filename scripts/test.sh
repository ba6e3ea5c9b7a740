#!/usr/bin/env bash
# Builds and runs every test: once in the normal build, then clang-tidy over
# what changed since the merge base with main (scripts/tidy.sh: every source
# in a clone without that history), once under AddressSanitizer and
# UndefinedBehaviorSanitizer; then the Windows lane
# (scripts/test-windows.sh: both Windows architectures built and checked,
# the 64-bit tests under wine); then each fuzz target for a short fixed time
# when clang is installed (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --tests
jobs=$(nproc)
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"
bash scripts/tidy.sh
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j "$jobs"
bash scripts/test-windows.sh
# The fuzz targets, 15 seconds each, when clang and its libFuzzer run-time are installed.
bash scripts/fuzz.sh 15
