#!/usr/bin/env bash
# Installs what building and testing vo needs on a fresh Debian 12 machine (as root or
# with sudo). Safe to run again: it only installs what is missing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
  cmake ninja-build g++ python3 python3-pil locales
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev clang-format
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic fonts-ipafont-mincho
  fonts-liberation
  # Two monitors for the end-to-end tests: Xorg's dummy driver, joined by Xinerama.
  xserver-xorg-core xserver-xorg-video-dummy
)
# 32-bit Wine runs the i686 build where the kernel allows 32-bit programs.
if [ "${VO_NO_WINE32:-0}" != 1 ]; then
  packages+=(wine32:i386 libxinerama1:i386)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # A mirror in the middle of a sync serves an index of the wrong size for a while; the
  # 32-bit packages then cannot match their 64-bit halves. Try again before giving up.
  for attempt in 1 2 3 4 5 6; do
    if $SUDO apt-get update -q 2>&1 | tee /dev/stderr | grep -q '^E:'; then
      echo "setup: the package index is incomplete (attempt $attempt of 6), trying again in 30 s"
      sleep 30
    else
      break
    fi
  done
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes its locale from LANG: the Japanese desktop needs ja_JP.UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  $SUDO sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
