#!/bin/bash
# Throwaway Wine prefixes for one test run, one per Windows version group.
#
#   prefixes.sh setup ROOT GROUP...   fresh prefixes ROOT/GROUP, each with a
#                                     persistent wineserver; GROUP is a Wine
#                                     version name (win98, winxp64, win7, ...)
#   prefixes.sh cleanup ROOT          stops their wineservers, removes them
#
# A pristine base prefix is kept in ROOT/base between runs (creating one
# takes about 10 s); each run copies it. Every prefix is cut off from the
# host: no Z: drive, and the user folders that Wine links to the Linux home
# are real folders, so a program under test that deletes files cannot reach
# anything outside C:.
set -euo pipefail

WINE=/usr/lib/wine/wine64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
unset DISPLAY

sanitize() {
  local pfx=$1
  rm -f "$pfx/dosdevices/z:"
  local link
  while IFS= read -r -d '' link; do
    rm -f "$link"
    mkdir -p "$link"
  done < <(find "$pfx/drive_c/users" -maxdepth 3 -type l -print0)
}

check_isolated() {
  local pfx=$1
  if [ -e "$pfx/dosdevices/z:" ] || [ -L "$pfx/dosdevices/z:" ]; then
    echo "prefix $pfx still maps Z:" >&2; return 1
  fi
  if [ -n "$(find "$pfx/drive_c/users" -maxdepth 3 -type l)" ]; then
    echo "prefix $pfx still links user folders to the host" >&2; return 1
  fi
  local dev
  for dev in "$pfx"/dosdevices/*:; do
    case "$(readlink "$dev")" in
      ../drive_c) ;;
      *) echo "prefix $pfx maps $(basename "$dev") outside C:" >&2; return 1 ;;
    esac
  done
}

make_base() {
  local base=$1
  [ -f "$base/.velmor-ready" ] && return 0
  rm -rf "$base"
  mkdir -p "$(dirname "$base")"
  WINEPREFIX=$base "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$base "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  WINEPREFIX=$base /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$base /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
  [ -f "$base/system.reg" ] || { echo "wineboot failed for $base" >&2; exit 1; }
  sanitize "$base"
  check_isolated "$base"
  touch "$base/.velmor-ready"
}

stop_server() {
  local pfx=$1
  if [ -d "$pfx" ]; then
    WINEPREFIX=$pfx /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$pfx /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
  fi
}

cmd=${1:?usage: prefixes.sh setup|cleanup ROOT [GROUP...]}
root=${2:?usage: prefixes.sh setup|cleanup ROOT [GROUP...]}
shift 2
# Wine needs an absolute prefix path; with a relative one the steps below
# would fail after the copy, and a later run could let Wine make a new,
# unsanitised prefix in its place.
mkdir -p "$root"
root=$(cd "$root" && pwd)

case "$cmd" in
  setup)
    make_base "$root/base"
    for group in "$@"; do
      pfx=$root/$group
      stop_server "$pfx"
      rm -rf "$pfx"
      cp -a "$root/base" "$pfx"
      rm -f "$pfx/.velmor-ready"
      check_isolated "$pfx"
      # The server and the services Wine starts keep running; they must not
      # hold the caller's output open, or CTest waits for them.
      WINEPREFIX=$pfx /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
      WINEPREFIX=$pfx "$WINE" reg add 'HKCU\Software\Wine' /v Version /d "$group" /f >/dev/null 2>&1
      mkdir -p "$pfx/drive_c/velmor-tests"
      echo "prefix $group ready"
    done
    ;;
  cleanup)
    for pfx in "$root"/*/; do
      pfx=${pfx%/}
      [ "$(basename "$pfx")" = base ] && continue
      stop_server "$pfx"
      rm -rf "$pfx"
    done
    ;;
  *)
    echo "unknown command $cmd" >&2; exit 2 ;;
esac
