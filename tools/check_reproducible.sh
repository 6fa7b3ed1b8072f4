#!/usr/bin/env bash
# Builds the release twice and compares the bytes: first here into $VO_OUT/release, then
# from a copy of the source in another folder into another output folder, later, under
# another umask and time zone. Fails, naming the archive entries that differ, unless both
# give the same SHA256SUMS.
set -euo pipefail
source "$(dirname "$0")/common.sh"

started=$SECONDS
# The copy has no git history, so both builds take the time from here.
SOURCE_DATE_EPOCH="$(source_date_epoch)"
export SOURCE_DATE_EPOCH
"$VO_ROOT/tools/release.sh"
# The link itself carries no time: vo.exe and the helper linked afresh without
# SOURCE_DATE_EPOCH have a zero time stamp (the release's strip stamps the source's time;
# without the check a development build could gain a link time unseen).
for preset in win32 win64; do
  helper="vohost${preset#win}.exe"
  rm -f "$(build_dir "$preset")"/{vo.exe,"$helper"}
  env -u SOURCE_DATE_EPOCH cmake --build "$(build_dir "$preset")" -j "$JOBS" --target vo vohost
  /usr/bin/python3 "$VO_ROOT/tools/check_image.py" "$(build_dir "$preset")/vo.exe"
  /usr/bin/python3 "$VO_ROOT/tools/check_image.py" --helper "$(build_dir "$preset")/$helper"
done

# Under the output folder, so that a later run rebuilds only what changed; the source is
# copied afresh (times kept) so that files deleted here are gone there too.
again="$VO_OUT/again"
rm -rf "$again/source"
mkdir -p "$again/source"
tar -C "$VO_ROOT" --exclude='./build*' --exclude=./out --exclude=./.git -c . |
  tar -x -C "$again/source"
(umask 077 && TZ=Asia/Tokyo VO_OUT="$again/out" "$again/source/tools/release.sh")

# One line per archive entry: CRC, size, time, attributes, name.
entries() {
  /usr/bin/python3 -c 'import sys, zipfile
for e in zipfile.ZipFile(sys.argv[1]).infolist():
    print(f"{e.CRC:08x} {e.file_size:8} {e.date_time} {e.external_attr >> 16:o} {e.filename}")' "$1"
}

first="$VO_OUT/release"
second="$again/out/release"
if ! cmp -s "$first/SHA256SUMS" "$second/SHA256SUMS"; then
  echo "release: the two builds differ ($first, $second):" >&2
  while read -r _ archive; do
    cmp -s "$first/$archive" "$second/$archive" && continue
    echo "$archive, entries (<) here and (>) there:" >&2
    diff <(entries "$first/$archive") <(entries "$second/$archive") >&2 || true
  done <"$first/SHA256SUMS"
  exit 1
fi
echo "release: built twice in two folders in $((SECONDS - started)) s, byte for byte the same"
