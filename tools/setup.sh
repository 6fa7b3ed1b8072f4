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
  wine wine64 xvfb xcompmgr xdotool x11-utils imagemagick fonts-ipafont-gothic fonts-ipafont-mincho
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
# While a mirror is mid-sync it can serve the 32-bit security index at another size than its
# signed release file names; apt then drops that index, and the 32-bit halves of libraries the
# 64-bit system has from the security suite cannot be matched. Bridge it: bring the 64-bit
# system up to date, then take from the served index the 32-bit packages of exactly the
# installed versions, through a folder-local source used for this one install.
bridge_security_index() {
  local suite index="http://deb.debian.org/debian-security/dists" folder=/var/cache/vo/security-i386
  suite="$(. /etc/os-release && echo "$VERSION_CODENAME")-security"
  echo "setup: the 32-bit security index of $suite is incomplete; bridging it from $folder"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends curl xz-utils dpkg-dev
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get upgrade -y -q
  # The 64-bit halves first, so that every library whose 32-bit half must match is installed
  # and its version known (wine64 brings some the system did not have yet).
  local package native=()
  for package in "$@"; do [[ $package == *:i386 ]] || native+=("$package"); done
  [ "${#native[@]}" -eq 0 ] ||
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${native[@]}"
  $SUDO mkdir -p "$folder"
  curl -fsS "$index/$suite/main/binary-i386/Packages.xz" | xz -dc |
    awk '$1=="Package:"{p=$2} $1=="Version:"{v=$2} $1=="Filename:"{print p, v, $2}' |
    while read -r package version file; do
      [ "$(dpkg-query -W -f='${Version}' "$package:amd64" 2>/dev/null)" = "$version" ] || continue
      [ -f "$folder/${file##*/}" ] || $SUDO curl -fsS -o "$folder/${file##*/}" \
        "http://deb.debian.org/debian-security/$file"
    done
  (cd "$folder" && dpkg-scanpackages . /dev/null 2>/dev/null | $SUDO tee Packages >/dev/null)
  echo "deb [trusted=yes] file:$folder ./" | $SUDO tee /etc/apt/sources.list.d/vo-bridge.list >/dev/null
  $SUDO apt-get update -q || true
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@"
  $SUDO rm -f /etc/apt/sources.list.d/vo-bridge.list
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  for attempt in 1 2 3; do  # a mirror mid-sync may be whole again a little later
    if ! $SUDO apt-get update -q 2>&1 | tee /dev/stderr | grep -q '^E:'; then break; fi
    echo "setup: the package index is incomplete (attempt $attempt of 3)"
    sleep 20
  done
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    [ "${VO_NO_WINE32:-0}" != 1 ] || exit 1
    bridge_security_index "${missing[@]}"
  fi
fi

# Wine takes its locale from LANG: the Japanese desktop needs ja_JP.UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  $SUDO sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
