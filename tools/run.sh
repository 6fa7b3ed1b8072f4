#!/usr/bin/env bash
# Builds the product and starts vo.exe under Wine with the Japanese locale. Without a display
# it starts a virtual one and, once the strip is painted, writes build/screenshot.png of it;
# the clock then runs until it is closed.
#
#   ./tools/run.sh               build, start, keep running
#   ./tools/run.sh --screenshot  build, start, take the screenshot, close the clock, exit
set -euo pipefail
source "$(dirname "$0")/common.sh"

screenshot_only=0
case "${1:-}" in
  "") ;;
  --screenshot) screenshot_only=1 ;;
  *)
    echo "usage: $0 [--screenshot]" >&2
    exit 2
    ;;
esac

"$VO_ROOT/tools/setup.sh"

preset="$(product_preset)"
wine="$(product_wine)"
if [ "$preset" != win32 ]; then
  echo "run: 32-bit programs cannot run here; starting the x86-64 build"
fi
configure_and_build "$preset"
build="$(build_dir "$preset")"
screenshot="$VO_OUT/screenshot.png"
# Seconds allowed from the start of vo.exe to a painted strip: a new Wine prefix takes a while.
limit=300

export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-vo}"

xvfb=""
clock=""
cleanup() {
  if [ -n "$clock" ]; then kill "$clock" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT

start_display() {  # a virtual display on the first free number
  local number_file
  number_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 200); do
    grep -q . "$number_file" && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$number_file")"
  rm -f "$number_file"
  [ "$DISPLAY" != ":" ] || { echo "run: Xvfb did not start" >&2; exit 1; }
}

probe() { "$wine" "$build/probe.exe" "$@" 2>/dev/null; }

field() {  # field name, record line: the value of name=value
  sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"
}

# Polls until the clock's window is shown and its strip painted, then leaves the screenshot
# in $screenshot. Fails after $limit seconds.
take_screenshot() {
  local started=$1 record left top
  while :; do
    if [ $((SECONDS - started)) -ge "$limit" ]; then
      echo "run: no painted clock after $limit s" >&2
      return 1
    fi
    kill -0 "$clock" 2>/dev/null || { echo "run: vo.exe ended early" >&2; return 1; }
    record="$(probe window TClockPanel 2000 || true)"
    if [ "$(field visible "$record")" = 1 ]; then
      left="$(field left "$record")"
      top="$(field top "$record")"
      if import -window root "$screenshot" 2>/dev/null &&
        /usr/bin/python3 "$VO_ROOT/tools/check_strip.py" --left "$left" --top "$top" "$screenshot" >/dev/null; then
        # Painted; the first tick (date, time, the day's colours) follows within moments.
        sleep 1
        import -window root "$screenshot"
        echo "run: screenshot of the running clock after $((SECONDS - started)) s: $screenshot"
        return 0
      fi
    fi
    sleep 0.5
  done
}

want_screenshot=$screenshot_only
if [ -z "${DISPLAY:-}" ]; then
  start_display
  want_screenshot=1
fi

# The clock runs from a folder of its own: the build folder also holds the test plug-ins,
# and vo loads every vo*.DLL beside it.
app="$VO_OUT/app"
mkdir -p "$app"
cp "$build/vo.exe" "$build/sample.wav" "$app/"
cd "$app"
started=$SECONDS
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  echo "run: making the Wine prefix $WINEPREFIX (once; this takes a while)"
  "$wine" wineboot -i >/dev/null 2>&1 || true
fi
echo "run: starting $app/vo.exe (close it from its menu, or press Ctrl+C)"
"$wine" vo.exe &
clock=$!

if [ "$want_screenshot" = 1 ]; then
  take_screenshot "$started"
fi
if [ "$screenshot_only" = 1 ]; then
  # A close from outside: the clock saves its place and colours and ends by itself.
  probe close >/dev/null
  for _ in $(seq 600); do
    kill -0 "$clock" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$clock" 2>/dev/null; then
    echo "run: vo.exe did not close within 60 s" >&2
    exit 1
  fi
  wait "$clock" || true
  clock=""
  timeout 60 wineserver -w || true
  exit 0
fi
wait "$clock"
clock=""
