# Shared by the build scripts: where things go and which Wine runs them.
VO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VO_OUT="${VO_OUT:-$VO_ROOT/build}"
JOBS="${JOBS:-$(nproc)}"

# True when this kernel runs 32-bit programs (some VMs switch that off): the 32-bit
# Wine loader itself is the honest test.
can_run_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

configure_and_build() {  # dir, then cmake arguments
  local dir="$1"
  shift
  cmake -S "$VO_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}
