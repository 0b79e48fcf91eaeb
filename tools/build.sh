#!/bin/bash
# Builds the shipping 32-bit uninstall.exe (build/win32) and the 64-bit
# test build (build/tests), which also stages the shipping exe for its
# resource checks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

cmake --no-warn-unused-cli -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
      -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win32 -j "$jobs"

cmake --no-warn-unused-cli -S . -B build/tests -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Debug -DVELMOR_TESTS=ON \
      -DVELMOR_SHIPPING_EXE="$root/build/win32/src/uninstall.exe" >/dev/null
cmake --build build/tests -j "$jobs"
