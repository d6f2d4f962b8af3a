#!/usr/bin/env bash
# The whole test run on a fresh Debian machine: installs what is missing,
# builds the x64 deliverables and tests and the x86 deliverables, and runs
# every test under Wine with CTest (a private prefix inside the build tree,
# an Xvfb display for anything with windows).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QRX_BUILD_DIR:-$root/build}
jobs=$(nproc)

bash "$root/tools/setup.sh"

cmake -S "$root" -B "$build/x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x64.cmake" >/dev/null
cmake --build "$build/x64" -j "$jobs"
cmake -S "$root" -B "$build/x86" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86.cmake" -DQRX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build/x86" -j "$jobs"
"$root/tools/check-imports.sh" i686-w64-mingw32-objdump "$build"/x86/deliverables/*

source "$root/tools/display.sh"
start_display
trap 'stop_display; WINEPREFIX="$build/x64/wineprefix" wineserver -k 2>/dev/null || true' EXIT

ctest --test-dir "$build/x64" --output-on-failure --timeout 600
