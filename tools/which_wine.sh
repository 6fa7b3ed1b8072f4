#!/bin/sh
# Which build runs here under which Wine loader, decided once for the scripts, CMake and the
# end-to-end harness. Prints "<preset> <loader>":
#   which_wine.sh         the product build that runs here: win32 where this kernel runs
#                         32-bit programs (some VMs switch that off), else win64
#   which_wine.sh PRESET  the loader for that build (win32 or win64)
# The 32-bit Wine loader itself is the honest test of 32-bit support. A Wine that ships one
# loader for both kinds of program has no wine64.
set -eu
wine=/usr/lib/wine/wine
preset="${1:-}"
if [ -z "$preset" ]; then
  if [ -x "$wine" ] && "$wine" --version >/dev/null 2>&1; then preset=win32; else preset=win64; fi
fi
case "$preset" in
  win32) ;;
  win64) [ -e /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64 ;;
  *) echo "which_wine.sh: no build $preset (win32 or win64)" >&2; exit 2 ;;
esac
echo "$preset $wine"
