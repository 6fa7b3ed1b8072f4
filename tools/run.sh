#!/usr/bin/env bash
# Builds vo.exe and starts it under Wine with the Japanese locale. Without a display it
# starts a virtual one and writes a screenshot of the running strip to build/screenshot.png.
set -euo pipefail
source "$(dirname "$0")/common.sh"

"$VO_ROOT/tools/setup.sh"

if can_run_32bit; then
  build="$VO_OUT/win32"
  toolchain="$VO_ROOT/cmake/mingw-i686.cmake"
  wine=/usr/lib/wine/wine
else
  # This kernel runs no 32-bit code: the same sources built for x86-64, under 64-bit Wine.
  echo "run: 32-bit programs cannot run here; starting the x86-64 build"
  build="$VO_OUT/win64"
  toolchain="$VO_ROOT/cmake/mingw-x86_64.cmake"
  wine=/usr/lib/wine/wine64
fi
configure_and_build "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" --target vo

export LANG=ja_JP.UTF-8 WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-vo}"

cleanup() { :; }
if [ -z "${DISPLAY:-}" ]; then
  display=":$((90 + RANDOM % 9))"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY="$display"
  cleanup() { kill "$xvfb" 2>/dev/null || true; }
  trap cleanup EXIT
  sleep 1
  (
    sleep 12
    import -window root "$VO_OUT/screenshot.png" &&
      echo "run: screenshot of the running clock: $VO_OUT/screenshot.png"
  ) &
fi

cd "$build"
echo "run: starting vo.exe (close it from its menu, or press Ctrl+C)"
"$wine" vo.exe
