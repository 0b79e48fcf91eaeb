#!/bin/bash
# Runs a test program of the 64-bit build under Wine in the prefix named by
# WINEPREFIX (made by prefixes.sh). The program's folder (the test stage:
# test programs, the program under test, fixtures) is copied to
# C:\velmor-tests first, since the prefix has no drive that reaches the host.
set -euo pipefail
exe=${1:?usage: run.sh PROGRAM.exe [ARGS...]}
shift
: "${WINEPREFIX:?WINEPREFIX must name a test prefix}"
case "$WINEPREFIX" in
  /*) ;;
  *) echo "refusing to run: WINEPREFIX must be an absolute path" >&2; exit 2 ;;
esac
# Only a prefix that prefixes.sh made and cut off from the host; Wine would
# otherwise create a fresh one that maps the host as Z: and links the user
# folders to the Linux home.
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINEPREFIX/drive_c/velmor-tests" ]; then
  echo "refusing to run: $WINEPREFIX is not a prepared test prefix" >&2
  exit 2
fi
if [ -e "$WINEPREFIX/dosdevices/z:" ] || [ -L "$WINEPREFIX/dosdevices/z:" ]; then
  echo "refusing to run: $WINEPREFIX maps the host as Z:" >&2
  exit 2
fi
stage=$(dirname "$(readlink -f "$exe")")
dest=$WINEPREFIX/drive_c/velmor-tests
mkdir -p "$dest"
cp -u -r "$stage"/. "$dest"/
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
unset DISPLAY
cd "$dest"
exec /usr/lib/wine/wine64 "C:\\velmor-tests\\$(basename "$exe")" "$@"
