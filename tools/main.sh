#!/bin/bash
# The main job: installs what is missing, builds the shipping 32-bit
# uninstall.exe, and shows the program working under Wine: in a throwaway
# prefix the program (the 64-bit build of the same sources, since this
# machine runs 64-bit Wine only) runs with /wait /warning; the window robot
# reads the notice and closes it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup-machine.sh
bash tools/build.sh >/dev/null

work=$root/build/main-job
trap 'bash "$root/tests/wine/prefixes.sh" cleanup "$work" >/dev/null 2>&1 || true' EXIT
bash tests/wine/prefixes.sh setup "$work" win7 >/dev/null
export WINEPREFIX=$work/win7 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
export LC_ALL=zh_CN.UTF-8
unset DISPLAY

app=$WINEPREFIX/drive_c/Velmor
mkdir -p "$app"
cp build/tests/src/uninstall.exe "$app/uninstall.exe" 2>/dev/null ||
  cp build/tests/stage/uninstall.exe "$app/uninstall.exe"
cp build/tests/stage/robot.exe "$WINEPREFIX/drive_c/robot.exe"
cd "$app"

echo "Running C:\\Velmor\\uninstall.exe /wait /warning under Wine (Windows 7, code page 936)"
start=$(date +%s%N)
/usr/lib/wine/wine64 'C:\Velmor\uninstall.exe' /wait /warning &
prog=$!
/usr/lib/wine/wine64 'C:\robot.exe' --exe uninstall.exe --timeout 30000 --press '确定' |
  sed -n 's/^\(window\|caption\|text\|pressed\): /  \1: /p'
wait $prog
code=$?
end=$(date +%s%N)
echo "  exit code $code after $(( (end - start) / 1000000 )) ms"

exe=$root/build/win32/src/uninstall.exe
echo
echo "Deliverable: $exe"
if command -v file >/dev/null; then echo "  $(file -b "$exe")"; fi
echo "  $(stat -c %s "$exe") bytes"
