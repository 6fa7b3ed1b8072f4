#!/usr/bin/env bash
# Builds the product for 32-bit and 64-bit Windows and writes the archives a Windows user
# unzips: build/release/vo-<version>-win32.zip and vo-<version>-win64.zip. The version is
# project(VERSION) in CMakeLists.txt.
set -euo pipefail
source "$(dirname "$0")/common.sh"

"$VO_ROOT/tools/setup.sh"
configure_and_build win32
configure_and_build win64
/usr/bin/python3 "$VO_ROOT/tools/release/pack.py" "$VO_OUT"
