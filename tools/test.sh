#!/bin/bash
# Every test: installs what is missing, builds both Windows builds and the
# native sanitizer build and the language fuzzer, then runs the native
# checks, about a minute of fuzzing and the Wine suites
# (fresh throwaway prefixes per run, one per Windows version group).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup-machine.sh
bash tools/build.sh

cmake -S tests/native -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j "$(nproc)"
cmake -S tests/fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/fuzz -j "$(nproc)"

status=0
(cd build/native && ctest --output-on-failure) || status=1
(cd build/fuzz && ctest --output-on-failure) || status=1
(cd build/tests && ctest --output-on-failure -j 2) || status=1
exit $status
