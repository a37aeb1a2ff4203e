#!/usr/bin/env bash
# Configures (once) and builds the Linux tree in build/linux and the Windows tree in build/windows.
# Usage: scripts/build.sh [linux|windows|all] [cmake --build options...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
which=${1:-all}
[ $# -gt 0 ] && shift
jobs=${TIDELOOM_JOBS:-$(nproc)}

if [ "$which" = linux ] || [ "$which" = all ]; then
  [ -f build/linux/CMakeCache.txt ] || cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build/linux -j "$jobs" "$@"
fi
if [ "$which" = windows ] || [ "$which" = all ]; then
  scripts/fetch_sqlite.sh
  [ -f build/windows/CMakeCache.txt ] || cmake -S . -B build/windows -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DTIDELOOM_NATIVE_BIN_DIR="$root/build/linux/bin"
  cmake --build build/windows -j "$jobs" "$@"
fi
