#!/usr/bin/env bash
# The Windows lane of the test command: builds the 32-bit set (warnings as
# errors; it cannot run here, the kernel refuses 32-bit programs) and the
# 64-bit set with its tests, checks both sets' DLLs (exports, the standard
# call of the vendor entry points), runs the 64-bit tests under wine (each
# test binary whole, the fault sessions' in parts and the whole-day gates on
# a sample: cmake/QorTest.cmake; the example sessions) and
# compares the example day under wine with Linux's (scripts/main.sh's day;
# needs the default build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps-windows.sh x86_64 i686 >/dev/null
jobs=$(nproc)
# A wine prefix of the project's own, made once; no desktop integration, no
# .NET or HTML engine (nothing here needs them, and their setup is slow).
export WINEPREFIX=${WINEPREFIX:-${QOR_MINGW_CACHE:-$HOME/.cache/qor-mingw}/wine}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$WINEPREFIX"

cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 -j "$jobs"
python3 scripts/check-windows-dlls.py build-windows-x86 i686

cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 -j "$jobs"
python3 scripts/check-windows-dlls.py build-windows-x64 x86_64

# One server for every run below, started before anything else of wine (a
# server that wineboot started would refuse a second, persistent one), with
# no standard stream of ours held open; wineboot then sets the prefix up.
wineserver -p </dev/null >/dev/null 2>&1 || true
wineboot -i >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Folders that failed tests kept in the prefix's temporary folder are let go
# after a day.
find "$WINEPREFIX"/drive_c/users/*/Temp -mindepth 1 -maxdepth 1 -mmin +1440 -exec rm -rf {} + 2>/dev/null || true
ctest --preset windows-x64 -j "$jobs"
bash scripts/compare-windows-day.sh
