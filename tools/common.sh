# Shared by the build scripts: where things go and which Wine runs them.
VO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VO_OUT="${VO_OUT:-$VO_ROOT/build}"
JOBS="${JOBS:-$(nproc)}"

# The build that runs here as the product and its Wine loader (tools/which_wine.sh decides):
# the 32-bit one under 32-bit Wine, or where this kernel runs no 32-bit code, the same
# sources built for x86-64 under 64-bit Wine.
product_preset() { "$VO_ROOT/tools/which_wine.sh" | cut -d' ' -f1; }
product_wine() { "$VO_ROOT/tools/which_wine.sh" | cut -d' ' -f2; }
# True when this kernel runs 32-bit programs.
can_run_32bit() { [ "$(product_preset)" = win32 ]; }

# The builds are the presets of CMakePresets.json: native, sanitize, win32 (the product)
# and win64, each in $VO_OUT/<name>.
build_dir() { echo "$VO_OUT/$1"; }

configure() {  # preset, then extra cmake cache arguments
  local preset="$1"
  shift
  (cd "$VO_ROOT" && cmake --preset "$preset" -B "$(build_dir "$preset")" "$@" >/dev/null)
}

configure_and_build() {  # preset, then extra cmake cache arguments
  configure "$@"
  cmake --build "$(build_dir "$1")" -j "$JOBS"
}

# The time a release carries, in seconds since 1970: SOURCE_DATE_EPOCH when set, else the
# commit's time, else the newest source file's (a source archive keeps the commit's times).
source_date_epoch() {
  local top
  top="$(git -C "$VO_ROOT" rev-parse --show-toplevel 2>/dev/null || true)"
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    echo "$SOURCE_DATE_EPOCH"
  elif [ "$top" = "$(cd "$VO_ROOT" && pwd -P)" ]; then
    git -C "$VO_ROOT" log -1 --format=%ct
  else
    find "$VO_ROOT"/{CMakeLists.txt,CMakePresets.json,cmake,sdk,src,tools} \
      -name __pycache__ -prune -o -type f -printf '%T@\n' | sort -n | tail -1 | cut -d. -f1
  fi
}
