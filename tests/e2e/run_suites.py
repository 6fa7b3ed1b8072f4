#!/usr/bin/python3
"""Runs the end-to-end suites where CTest is not at hand (the Wine 10 root of tools/wine10.sh):
prepares the prefix, then runs the suites VO_E2E_JOBS at a time (default 3), each in a prefix
of its own (harness.claim_prefix), and prints each one's result and time, the output of the
failed ones in full. The same environment as under CTest (VO_BUILD_DIR, VO_WINEPREFIX, ...).

Arguments: suite names (display, telop, ... or the Win32 checks foreign_string, plugin_host,
form_dialog) to run only those; all by default."""

import os
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor, as_completed
from pathlib import Path

import harness

CHECKS = ("foreign_string", "plugin_host", "form_dialog")  # Win32 checks, run by the harness
PASSED_CHECK = "passed, 0 failed"  # what a check prints when all its cases pass


def suites():
    """name -> command. The longest scripts first, so that the short ones fill the tail."""
    scripts = sorted(harness.HERE.glob("test_*.py"), key=lambda path: -path.stat().st_size)
    found = {path.stem.removeprefix("test_"): [sys.executable, str(path)] for path in scripts}
    for check in CHECKS:
        program = harness.BUILD_DIR / f"{check}_test.exe"
        if program.exists():
            found[check] = [sys.executable, str(harness.HERE / "harness.py"), "run", str(program)]
    return found


def run(name, command):
    started = time.monotonic()
    try:
        result = subprocess.run(command, cwd=harness.HERE, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=900)
    except subprocess.TimeoutExpired as timeout:
        output = (timeout.stdout or b"").decode("utf-8", "replace")
        return name, False, time.monotonic() - started, output + "\n(timed out)"
    output = result.stdout.decode("utf-8", "replace")
    passed = result.returncode == 0 and (name not in CHECKS or PASSED_CHECK in output)
    return name, passed, time.monotonic() - started, output


def main(names):
    started = time.monotonic()
    if harness.main(["harness.py", "prepare-prefix"]) != 0:
        return 1
    chosen = suites()
    unknown = [name for name in names if name not in chosen]
    if unknown:
        print(f"no such suite: {', '.join(unknown)} (there are {', '.join(chosen)})")
        return 2
    if names:
        chosen = {name: chosen[name] for name in names}
    harness.log("testing", harness.describe_build())
    failed = []
    with ThreadPoolExecutor(int(os.environ.get("VO_E2E_JOBS", "3"))) as pool:
        runs = [pool.submit(run, name, command) for name, command in chosen.items()]
        for done in as_completed(runs):
            name, passed, seconds, output = done.result()
            print(f"e2e.{name:<16} {'passed' if passed else 'FAILED'} {seconds:7.1f} s",
                  flush=True)
            if not passed:
                failed.append(name)
                print(output, flush=True)
    print(f"{len(chosen) - len(failed)} of {len(chosen)} suites passed under "
          f"{Path(harness.WINE)} in {time.monotonic() - started:.0f} s"
          + (f"; failed: {', '.join(failed)}" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
