#!/bin/bash
# Every benchmark; each prints its own figures (they vary with the machine).
#   - native, pure code (bench/): CRC-32 throughput and language table
#     lookups;
#   - under Wine, in a throwaway Windows 7 prefix: the registry tree
#     deletion against the system's RegDeleteTreeA (regtree_bench.exe of
#     the 64-bit test build), and a whole setup and its removal
#     (apply_bench.exe), also in a Windows XP prefix; uninstall's deletion
#     passes over 5000 entries nested 8 deep (uninstall_bench.exe); loading
#     a full 131,072-byte language file and looking up every key
#     (langload_bench.exe).
# VELMOR_TESTS_BUILD and VELMOR_BENCH_BUILD name other build folders than
# build/tests and build/bench.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
tests_build=${VELMOR_TESTS_BUILD:-build/tests}
bench_build=${VELMOR_BENCH_BUILD:-build/bench}

# The test build holds regtree_bench.exe; a fresh checkout gets the full
# build first.
if [ -f "$tests_build/CMakeCache.txt" ]; then
  cmake --build "$tests_build" -j "$jobs" --target regtree_bench apply_bench uninstall_bench langload_bench >/dev/null
else
  bash tools/build.sh >/dev/null
fi

echo "== Native: CRC-32 and language table lookups"
cmake -S bench -B "$bench_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench_build" -j "$jobs" >/dev/null
"$bench_build/lang_bench"

echo
echo "== Wine, Windows 7: registry tree deletion"
work=$root/$tests_build/bench-prefixes
trap 'bash "$root/tests/wine/prefixes.sh" cleanup "$work" >/dev/null 2>&1 || true' EXIT
bash tests/wine/prefixes.sh setup "$work" win7 winxp64 >/dev/null
WINEPREFIX=$work/win7 LC_ALL=zh_CN.UTF-8 tests/wine/run.sh "$tests_build/stage/regtree_bench.exe"

echo
echo "== Wine, Windows 7 and XP: setup's apply sequence and its removal"
for group in win7 winxp64; do
  WINEPREFIX=$work/$group LC_ALL=zh_CN.UTF-8 tests/wine/run.sh "$tests_build/stage/apply_bench.exe"
done

echo
echo "== Wine, Windows 7: uninstall's deletion passes"
WINEPREFIX=$work/win7 LC_ALL=zh_CN.UTF-8 tests/wine/run.sh "$tests_build/stage/uninstall_bench.exe"

echo
echo "== Wine, Windows 7: loading a full language file"
WINEPREFIX=$work/win7 LC_ALL=zh_CN.UTF-8 tests/wine/run.sh "$tests_build/stage/langload_bench.exe"
