#!/bin/bash
# Pictures of the three dialogs of setup mode as Wine draws them, for a
# look at their layout: docs/setupdlg.png, docs/contextitems.png and
# docs/donedlg.png.
#
#   tools/render_dialogs.sh [STAGE]
#
# STAGE is a folder holding the 64-bit uninstall.exe and robot.exe of a test
# build (default build/tests/stage); nothing is built here. The program runs
# with Wine's X11 driver on a private Xvfb display in a throwaway prefix
# below build/ that tests/wine/prefixes.sh makes and cuts off from the host
# (no Z: drive, real user folders, winemenubuilder disabled), with the
# Chinese code page and the WenQuanYi Micro Hei font (fonts-wqy-microhei)
# standing in for SimSun. Wine draws the window frames itself (no window
# manager runs), so the captions are in the pictures. The robot opens the
# context items dialog, cancels it, confirms setup (which changes only the
# throwaway prefix) and finishes the completion dialog. Prefix and display
# are gone afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

stage=${1:-$root/build/tests/stage}
stage=$(cd "$stage" && pwd)
for f in uninstall.exe robot.exe; do
  [ -f "$stage/$f" ] || { echo "missing $stage/$f: build the tests first" >&2; exit 2; }
done

# What this needs from Debian; installed when missing (as root).
need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v import >/dev/null || need+=(imagemagick)
command -v xwininfo >/dev/null || need+=(x11-utils)
[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || need+=(fonts-wqy-microhei)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "missing packages: ${need[*]} (run as root to install them)" >&2; exit 2
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

work=$root/build/render-dialogs
xpid=
cleanup() {
  bash "$root/tests/wine/prefixes.sh" cleanup "$work" >/dev/null 2>&1 || true
  if [ -n "$xpid" ]; then kill "$xpid" 2>/dev/null || true; fi
}
trap cleanup EXIT
bash tests/wine/prefixes.sh setup "$work" win7 >/dev/null
export WINEPREFIX=$work/win7 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
export LC_ALL=zh_CN.UTF-8
# The same isolation checks as the test runner makes.
if [ ! -f "$WINEPREFIX/system.reg" ] || [ -e "$WINEPREFIX/dosdevices/z:" ]; then
  echo "prefix $WINEPREFIX is not isolated" >&2; exit 2
fi
WINE=/usr/lib/wine/wine64

# A free display.
display=
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 2; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
export DISPLAY=$display
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

reg() { "$WINE" reg add "$@" /f >/dev/null 2>&1; }
reg 'HKCU\Software\Wine\Drivers' /v Graphics /d x11
# No window manager: Wine draws the caption and frame itself.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
# This Wine does not find its own fonts, so the caption buttons would show
# letters in place of Marlett's symbols; the prefix gets a copy.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
font='WenQuanYi Micro Hei'
for face in '宋体' SimSun Tahoma 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS Sans Serif'; do
  reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" /d "$font"
done

app=$WINEPREFIX/drive_c/Velmor
mkdir -p "$app"
cp "$stage/uninstall.exe" "$app/uninstall.exe"
cp "$stage/robot.exe" "$WINEPREFIX/drive_c/robot.exe"
[ -f "$stage/Velmor.exe" ] && cp "$stage/Velmor.exe" "$app/Velmor.exe"
mkdir -p docs

setup_caption='Velmor 简体中文版安装'
items_caption='关联菜单项目'

robot() { (cd "$app" && "$WINE" 'C:\robot.exe' --exe uninstall.exe --timeout 30000 "$@" </dev/null); }

# The X window of the top-level window with this caption (Wine names its
# X windows after their captions), once it is drawn.
xwindow() {
  local id
  for _ in $(seq 100); do
    id=$(xwininfo -root -children | awk -v t="\"$1\"" 'index($0, t) { print $1; exit }')
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "no window \"$1\" on $DISPLAY" >&2
  return 1
}

shoot() {   # CAPTION FILE
  local id
  id=$(xwindow "$1")
  sleep 1   # the first paint
  import -window "$id" "$2"
  echo "$2: $(identify -format '%wx%h' "$2")"
}

(cd "$app" && "$WINE" 'C:\Velmor\uninstall.exe' /setup </dev/null >/dev/null 2>&1) &
prog=$!
robot --caption "$setup_caption" >/dev/null
shoot "$setup_caption" docs/setupdlg.png
robot --caption "$setup_caption" --click 5123 >/dev/null
robot --caption "$items_caption" >/dev/null
shoot "$items_caption" docs/contextitems.png
robot --caption "$items_caption" --press '#2' --wait-gone >/dev/null
robot --caption "$setup_caption" --press '#1' --wait-gone >/dev/null
robot --caption "$setup_caption" >/dev/null
shoot "$setup_caption" docs/donedlg.png
robot --caption "$setup_caption" --press '#1' --wait-gone >/dev/null
wait "$prog" || true
