#!/bin/bash
# The ZIP template that the association tests had the program write
# (copied to C:\velmor-tests-out) must open in real ZIP readers as an empty
# archive.
set -euo pipefail
file="${WINEPREFIX:?}/drive_c/velmor-tests-out/zipnew.dat"
[ -f "$file" ] || { echo "no template at $file" >&2; exit 1; }
echo "template: $(stat -c %s "$file") bytes"
/usr/bin/python3 - "$file" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    names = z.namelist()
    bad = z.testzip()
if names or bad is not None:
    sys.exit("not an empty archive: %r %r" % (names, bad))
print("python zipfile: empty archive, 0 entries")
PY
out=$(unzip -l "$file" 2>&1) || {
  # unzip exits 1 with a warning for a zero-entry archive; anything else fails.
  rc=$?
  echo "$out"
  [ $rc -eq 1 ] && echo "$out" | grep -q "zipfile is empty" || exit 1
}
echo "$out" | tail -n 2
