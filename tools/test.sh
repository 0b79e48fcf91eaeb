#!/bin/bash
# Every test: installs what is missing, builds both Windows builds and the
# native sanitizer build, then runs the native checks and the Wine suites
# (fresh throwaway prefixes per run, one per Windows version group).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup-machine.sh
bash tools/build.sh

cmake -S tests/native -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j "$(nproc)"

status=0
(cd build/native && ctest --output-on-failure) || status=1
(cd build/tests && ctest --output-on-failure -j 2) || status=1
exit $status
