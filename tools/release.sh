#!/usr/bin/env bash
# Builds the product for 32-bit and 64-bit Windows and writes the archives a Windows user
# unzips, build/release/vo-<version>-win32.zip and vo-<version>-win64.zip, with SHA256SUMS
# beside them. Both builds come first: each archive carries the helper program of either
# processor (vohost32.exe, vohost64.exe), one of them from the other build. The version is project(VERSION) in CMakeLists.txt. The same source and tools
# give the same bytes in any folder at any time; the archives carry the source's time
# (source_date_epoch in common.sh).
set -euo pipefail
source "$(dirname "$0")/common.sh"

"$VO_ROOT/tools/setup.sh"
for preset in win32 win64; do
  configure "$preset"
  cmake --build "$(build_dir "$preset")" -j "$JOBS" --target vo vohost vo_sample_wav
done
SOURCE_DATE_EPOCH="$(source_date_epoch)" /usr/bin/python3 "$VO_ROOT/tools/release/pack.py" "$VO_OUT"
