#!/bin/bash
# The desktop shortcut that the shortcut tests had the program make (copied
# to C:\velmor-tests-out) must read the same in an independent link parser:
# liblnk's lnkinfo finds the archiver beside the test program as its local
# path and the shortcut description in Chinese, and nothing else to run.
set -euo pipefail
file="${WINEPREFIX:?}/drive_c/velmor-tests-out/Velmor.lnk"
[ -f "$file" ] || { echo "no shortcut at $file" >&2; exit 1; }
command -v lnkinfo >/dev/null || { echo "lnkinfo missing (package liblnk-utils)" >&2; exit 1; }
echo "shortcut: $(stat -c %s "$file") bytes"

# Strings the link holds in the ANSI code page are read as code page 936.
info=$(lnkinfo -c windows-936 "$file") || { echo "$info"; echo "lnkinfo cannot read it" >&2; exit 1; }

# The value of one "Name<tabs>: value" line of lnkinfo's link information.
field() {
  printf '%s\n' "$info" | sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" | head -n 1
}

fail=0
expect() {
  local name=$1 want=$2 got
  got=$(field "$name")
  if [ "$got" = "$want" ]; then
    echo "$name: $got"
  else
    echo "$name: expected [$want], found [$got]" >&2
    fail=1
  fi
}

expect "Local path" 'C:\velmor-tests\Velmor.exe'
expect "Description" "处理 VMZ、ZIP 和其他压缩格式"
for absent in "Command line arguments" "Working directory"; do
  if printf '%s\n' "$info" | grep -q "^[[:space:]]*$absent[[:space:]]*:"; then
    echo "unexpected $absent: $(field "$absent")" >&2
    fail=1
  fi
done
# The item list names the same file as the link information.
last_item=$(printf '%s\n' "$info" | sed -n 's/^[[:space:]]*Name[[:space:]]*: //p' | tail -n 1)
if [ "$last_item" = "Velmor.exe" ]; then
  echo "last shell item: $last_item"
else
  echo "last shell item: expected [Velmor.exe], found [$last_item]" >&2
  fail=1
fi
if [ $fail -ne 0 ]; then
  printf '%s\n' "$info"
  exit 1
fi
