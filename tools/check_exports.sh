#!/usr/bin/env bash
# Usage: check_exports.sh DLL NAME...
# Fails unless the DLL exports exactly the given names, undecorated (no _name, name@N).
# Uses objdump -p; set OBJDUMP to choose one, otherwise a mingw-w64 objdump is used.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 DLL NAME..." >&2
  exit 2
fi
dll=$1
shift

objdump=${OBJDUMP:-}
if [[ -z $objdump ]]; then
  for candidate in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump objdump; do
    if command -v "$candidate" >/dev/null; then
      objdump=$candidate
      break
    fi
  done
fi
if [[ -z $objdump ]]; then
  echo "check_exports: no objdump found" >&2
  exit 2
fi
if [[ ! -f $dll ]]; then
  echo "check_exports: $dll: no such file" >&2
  exit 2
fi

# The name table of the export directory: lines like "	[   0] VpiEnable".
dump=$("$objdump" -p "$dll") || { echo "check_exports: $objdump cannot read $dll" >&2; exit 2; }
actual=$(awk '
  /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && /^[[:space:]]*\[ *[0-9]+\]/ { sub(/^[[:space:]]*\[ *[0-9]+\][[:space:]]*/, ""); print; next }
  inside { exit }
' <<<"$dump" | LC_ALL=C sort)
expected=$(printf '%s\n' "$@" | LC_ALL=C sort -u)

status=0
while IFS= read -r name; do
  [[ -z $name ]] && continue
  if [[ $name == *@* || $name == _* ]]; then
    echo "check_exports: $dll: decorated export: $name" >&2
    status=1
  fi
done <<<"$actual"

missing=$(LC_ALL=C comm -23 <(echo "$expected") <(echo "$actual") | sed '/^$/d')
extra=$(LC_ALL=C comm -13 <(echo "$expected") <(echo "$actual") | sed '/^$/d')
if [[ -n $missing ]]; then
  echo "check_exports: $dll: missing export(s):" $missing >&2
  status=1
fi
if [[ -n $extra ]]; then
  echo "check_exports: $dll: unexpected export(s):" $extra >&2
  status=1
fi
if [[ $status -eq 0 ]]; then
  echo "check_exports: $dll exports exactly: $(echo $actual)"
fi
exit $status
