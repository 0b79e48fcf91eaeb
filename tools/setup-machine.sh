#!/bin/bash
# Installs what the builds and tests need on a Debian 12 machine (as root).
# Quick when everything is there already: apt is asked only for what is
# missing, and the locales are generated only once.
set -euo pipefail

packages=(
  cmake make
  g++-mingw-w64-i686-win32        # the shipping build
  g++-mingw-w64-x86-64-posix      # the test build (GoogleTest needs std::mutex)
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  googletest                      # sources in /usr/src/googletest
  g++                             # the native build of the pure code, with sanitizers
  clang libclang-rt-14-dev        # libFuzzer for the language core
  wine wine64                     # 64-bit Wine only
  locales
  python3 unzip                   # a real ZIP reader checks the New-menu template
  liblnk-utils                    # lnkinfo, an independent reader of the shortcuts
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Code page 936 (the resources' language) and 1252 for the tests; without
# the locales Wine cannot open program paths with Chinese letters.
need_locale=0
for l in zh_CN.utf8 en_US.utf8; do
  locale -a 2>/dev/null | grep -qx "$l" || need_locale=1
done
if [ $need_locale = 1 ]; then
  sed -i -E 's/^# *(zh_CN.UTF-8 UTF-8|en_US.UTF-8 UTF-8)/\1/' /etc/locale.gen
  grep -qE '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  grep -qE '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
