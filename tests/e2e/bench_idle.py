#!/usr/bin/python3
"""Idle CPU benchmark: how much more than a bare 50 ms timer does the running clock cost?

Runs vo.exe and then idle_timer.exe (a hidden window with a 50 ms timer and nothing else)
under 64-bit Wine on a private Xvfb display, each alone for the same time, and reads the CPU
time (utime + stime from /proc) that each one, the prefix's wineserver, Wine's other service
processes and the X server spend meanwhile. Start-up is left out (a settling pause).

  /usr/bin/python3 tests/e2e/bench_idle.py [--seconds 60] [--settle 5]

Uses VO_BUILD_DIR / VO_WINEPREFIX like the tests (run `harness.py prepare-prefix` first).
"""

import argparse
import os
import sys
import time
from pathlib import Path

import harness

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    # After the command name: state is field 3, utime 14 and stime 15 (1-based, whole line).
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def prefix_processes(prefix):
    """pid -> command of every process whose WINEPREFIX is ours."""
    wanted = f"WINEPREFIX={prefix}".encode()
    found = {}
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if wanted in (entry / "environ").read_bytes().split(b"\0"):
                found[int(entry.name)] = (entry / "cmdline").read_bytes().split(b"\0")[0].decode(
                    "utf-8", "replace")
        except OSError:
            continue
    return found


def measure(wine, desktop, process_pid, seconds, settle):
    time.sleep(settle)
    xvfb = desktop.pid
    processes = prefix_processes(wine.prefix)
    server = [pid for pid, command in processes.items() if "wineserver" in command]
    services = [pid for pid in processes if pid != process_pid and pid not in server]

    def sample():
        return {
            "program": cpu_seconds(process_pid),
            "wineserver": sum(cpu_seconds(pid) for pid in server),
            "services": sum(cpu_seconds(pid) for pid in services),
            "Xvfb": cpu_seconds(xvfb),
        }

    start = sample()
    time.sleep(seconds)
    end = sample()
    return {name: end[name] - start[name] for name in start}


def run_clock(wine, desktop, seconds, settle):
    clock = wine.start_clock()
    try:
        return measure(wine, desktop, clock.process.pid, seconds, settle)
    finally:
        clock.cleanup()
        wine.wait_idle()


def run_idle_timer(wine, desktop, seconds, settle):
    process = wine.popen(harness.BUILD_DIR / "idle_timer.exe")
    try:
        return measure(wine, desktop, process.pid, seconds, settle)
    finally:
        process.kill()
        process.wait()
        wine.wait_idle()


def report(name, usage, seconds):
    own = usage["program"] + usage["wineserver"]
    print(f"{name:12s} program {usage['program']:7.2f} s  wineserver {usage['wineserver']:6.2f} s"
          f"  services {usage['services']:5.2f} s  Xvfb {usage['Xvfb']:5.2f} s"
          f"  | program+wineserver {own:6.2f} s = {100 * own / seconds:5.2f} % of a core")
    return own


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--settle", type=float, default=5)
    args = parser.parse_args()
    for needed in (harness.VO_EXE, harness.PROBE_EXE, harness.BUILD_DIR / "idle_timer.exe"):
        if not Path(needed).exists():
            print(f"missing {needed}: build the x86_64 cross build first", file=sys.stderr)
            return 1

    with harness.Desktop() as desktop:
        wine = harness.Wine(display=desktop.display)
        wine.wait_idle()
        clock = run_clock(wine, desktop, args.seconds, args.settle)
        idle = run_idle_timer(wine, desktop, args.seconds, args.settle)
        wine.kill_all()

    print(f"CPU time over {args.seconds:g} s each, after {args.settle:g} s to settle:")
    clock_total = report("vo.exe", clock, args.seconds)
    idle_total = report("idle_timer", idle, args.seconds)
    ratio = clock_total / idle_total if idle_total > 0 else float("inf")
    print(f"ratio vo / idle timer (program + wineserver): {ratio:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
