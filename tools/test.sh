#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively (plain, then with
# AddressSanitizer and UBSan), the Windows builds with warnings as errors, the plug-in
# export check, the end-to-end tests of the real vo.exe under Wine and Xvfb, the release
# archives (twice, compared byte for byte), a short fuzz run and one smoke run of each
# benchmark, then the end-to-end tests again under Wine 10 (tools/wine10.sh; VO_NO_WINE10=1
# leaves them out).
set -euo pipefail
source "$(dirname "$0")/common.sh"

"$VO_ROOT/tools/setup.sh"

# Every test run adds to one tally, printed last.
passed=0
tally() {  # sed script printing the number of tests passed, then the command that runs them
  local log count script="$1"
  shift
  log="$(mktemp)"
  "$@" | tee "$log"
  count="$(sed -n "$script" "$log" | tail -1)"
  passed=$((passed + ${count:-0}))
  rm -f "$log"
}
CTEST_PASSED='s/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p'
run_ctest() {  # build dir [jobs [ctest arguments]]
  tally "$CTEST_PASSED" ctest --test-dir "$1" --output-on-failure -j "${2:-1}" "${@:3}"
}

echo "== native build and unit tests"
configure_and_build native
run_ctest "$VO_OUT/native" "$JOBS"

echo "== native unit tests under AddressSanitizer and UBSan"
configure_and_build sanitize
run_ctest "$VO_OUT/sanitize" "$JOBS"

# The end-to-end suites run in the 32-bit product build where this kernel runs 32-bit
# programs, and in the x86-64 build elsewhere; each suite logs the vo.exe and Wine it tested.
# They run side by side, each on a display and in a Wine prefix of its own; as they mostly
# wait for the clock and for Wine, one more than the cores keeps the cores busy.
e2e_jobs="${VO_E2E_JOBS:-$((JOBS + 1))}"
# Both cross builds come before either's tests: the end-to-end suites of one load the other's
# helper program and test plug-ins (a module of the other processor, run apart).
echo "== Windows 32-bit build (the product) and 64-bit build"
configure_and_build win32
echo "vo.exe (i686, stripped): $(stat -c %s "$VO_OUT/win32/vo.exe") bytes"
configure_and_build win64

echo "== Windows 32-bit tests$(can_run_32bit && echo ' and end-to-end tests under Wine')"
run_ctest "$VO_OUT/win32" "$e2e_jobs"
echo "== Windows 64-bit tests$(can_run_32bit || echo ' and end-to-end tests under Wine')"
if can_run_32bit; then
  run_ctest "$VO_OUT/win64" 1 -R '^image\.'  # the e2e tests ran in the 32-bit build
else
  run_ctest "$VO_OUT/win64" "$e2e_jobs"
fi

echo "== release archives (from the builds above), built again in another folder and compared"
"$VO_ROOT/tools/check_reproducible.sh"

echo "== fuzz target, 30 s on its corpus (new inputs go to a scratch folder)"
CC=clang CXX=clang++ cmake -S "$VO_ROOT" -B "$VO_OUT/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVO_WERROR=ON -DVO_FUZZ=ON >/dev/null
cmake --build "$VO_OUT/fuzz" -j "$JOBS" --target fuzz_format_telop
scratch="$(mktemp -d)"
"$VO_OUT/fuzz/fuzz_format_telop" -max_total_time=30 -print_final_stats=1 "$scratch" "$VO_ROOT/fuzz/corpus"
rm -rf "$scratch"

echo "== benchmarks, each once as a smoke run (nothing timed is asserted)"
"$VO_OUT/native/vo_bench" --benchmark_min_time=0.001
# The idle benchmark's size and request count, briefly, on the build the e2e tests ran.
VO_BUILD_DIR="$(build_dir "$(product_preset)")" VO_WINE="$(product_wine)" \
  /usr/bin/python3 "$VO_ROOT/tests/e2e/bench_idle.py" --only size,requests --settle 2 --trace 3

# Last, the same builds under a second Win32, Wine 10 of Debian 13, in a root made on first use.
if [ "${VO_NO_WINE10:-0}" != 1 ]; then
  echo "== end-to-end tests under Wine 10 (Debian 13 root, tools/wine10.sh)"
  VO_E2E_JOBS="$e2e_jobs" tally "$CTEST_PASSED" "$VO_ROOT/tools/wine10.sh"
fi

echo "== all test runs above"
echo "tests: $passed passed, 0 failed"
