#!/usr/bin/python3
"""Idle benchmark: what does the running clock cost beyond an empty 50 ms timer program?

Compares vo.exe with idle_timer.exe (our own empty program: a window, a 50 ms timer, nothing
else) under the Wine that the end-to-end tests use, on a private Xvfb display, and prints
side by side:

  size      the stripped size of vo.exe and of the helper programs that run a plug-in
            apart, and of the release archives where tools/release.sh has made them
  requests  Wine server requests per steady tick (a tick with nothing to redraw), per
            seconds-bar step and per tick of every kind, counted in Wine's own server trace
            (WINEDEBUG=+server) of each program running alone under a fresh wineserver; with
            a module apart, its helper's requests per tick of the clock beside
  memory    private memory (Linux's private pages of the Wine process, which include Wine's
            own) of the clock, of each helper and of idle_timer as the floor, once settled
  start-up  process start to the first painted pixels of the strip, against idle_timer
            showing one window of the same size and place; median and fastest of
            alternating starts, and the median ratio of each start to the empty one before it
  idle CPU  CPU time of each program plus the Wine processes of its prefix over the same
            wall-clock span, both running at once, each under its own wineserver (the
            yardstick's prefix is a copy of the tests' prefix, made on first use); the
            median ratio of several such spans

  /usr/bin/python3 tests/e2e/bench_idle.py [--seconds 60] [--rounds 3] [--settle 5] [--trace 12]
                                           [--starts 21]
                                           [--only size,requests,memory,startup,cpu]
                                           [--plugin voRecA.DLL] [--apart voRecB.dll]
                                           [--option Name=1] [--pointer-over]

--plugin puts a module of the build beside vo.exe, --apart one that runs in a helper process
of its own (the value RunApart\<file name> = 1 under the clock's key); both count for the
requests, memory and start-up. For instance, no plug-in, one inside and one apart:

  bench_idle.py --only requests,memory
  bench_idle.py --only requests,memory --plugin voRecA.DLL
  bench_idle.py --only requests,memory,startup --apart voRecA.DLL

Uses VO_BUILD_DIR / VO_WINEPREFIX / VO_WINE / VO_EXE like the tests (`harness.py
prepare-prefix` first). A benchmark: it asserts nothing.
"""

import argparse
import collections
import contextlib
import ctypes
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

import harness

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
IDLE_TIMER = harness.BUILD_DIR / "idle_timer.exe"
SIZE_BUDGET = 256 * 1024
STRIP = (293, 0, 102, 21)  # where both the clock (first run) and the shown yardstick appear
# A module named here by its file name runs in a helper process of its own.
APART_KEY = harness.SETTINGS_KEY + r"\RunApart"
RELEASE_DIR = harness.BUILD_DIR.parent / "release"


# ---- requests per tick --------------------------------------------------------------------

REQUEST = re.compile(r"^([0-9a-f]{4}): ([a-z_0-9]+)\((?!\) = )")
FIRST_THREAD = re.compile(r"^([0-9a-f]{4}): init_first_thread\( unix_pid=(\d+), unix_tid=(\d+)")
THREAD = re.compile(r"^([0-9a-f]{4}): init_thread\( unix_tid=(\d+)")
MESSAGE = re.compile(r"^([0-9a-f]{4}): get_message\(\) = 0 \{ win=([0-9a-f]+), msg=([0-9a-f]+), "
                     r"wparam=([0-9a-f]+)")
WM_TIMER, WM_PAINT = 0x113, 0x0F


def tasks_of(pid):
    return {int(task.name) for task in Path(f"/proc/{pid}/task").iterdir()}


def forget_last_run(wine):
    """Clears the run record the last clock, ended from outside, left: with plug-ins beside
    it, the next start would ask first whether to leave them out."""
    wine.reg_delete(harness.SETTINGS_KEY, harness.RUN_RECORD)


@contextlib.contextmanager
def alone(wine, args, cwd, stderr=subprocess.DEVNULL, env=None):
    """Runs a program alone under a fresh wineserver, which ends with it."""
    forget_last_run(wine)
    wine.wait_idle()
    process = wine.popen(*args, env=env, cwd=cwd, stdout=subprocess.DEVNULL, stderr=stderr)
    try:
        yield process
    finally:
        process.kill()
        process.wait()
        wine.kill_all()
        wine.wait_idle()


def trace_program(wine, args, seconds, cwd):
    """Runs a program alone under a fresh wineserver that traces every request; returns the
    trace's lines and the Linux process and thread ids of the program and of its helpers,
    {pid: tasks} each."""
    with tempfile.TemporaryFile() as trace:
        with alone(wine, args, cwd, stderr=trace, env={"WINEDEBUG": "+server"}) as process:
            time.sleep(seconds)
            program = {process.pid: tasks_of(process.pid)}
            helpers = {pid: tasks_of(pid) for pid in wine.helper_processes()}
        trace.seek(0)
        return trace.read().decode("utf-8", "replace").splitlines(), program, helpers


def program_threads(lines, processes):
    """The trace's thread ids of the given Linux processes, {pid: tasks}."""
    tasks = set().union(*processes.values())
    threads = set()
    for line in lines:
        if match := FIRST_THREAD.match(line):
            if int(match[2]) in processes:
                threads.add(match[1])
        elif match := THREAD.match(line):
            if int(match[2]) in tasks:
                threads.add(match[1])
    return threads


def ticks_of(lines, threads, skip_seconds, helpers=frozenset()):
    """The program's requests cut into ticks: each tick runs from the get_message that
    returns a WM_TIMER of the ticking window to the next one. Returns (names, painted,
    helper requests) per tick, the last being those of the helpers' threads meanwhile; the
    first skip_seconds of ticks left out."""
    timers = collections.Counter()
    for line in lines:
        if (match := MESSAGE.match(line)) and match[1] in threads and int(match[3], 16) == WM_TIMER:
            timers[match[2]] += 1
    if not timers:
        return []
    ticking = timers.most_common(1)[0][0]

    ticks, names, painted, started, helper_requests = [], [], False, False, 0
    for line in lines:
        if match := REQUEST.match(line):
            if match[1] in threads:
                names.append(match[2])
            helper_requests += match[1] in helpers
            continue
        match = MESSAGE.match(line)
        if not match or match[1] not in threads:
            continue
        message = int(match[3], 16)
        if message == WM_TIMER and match[2] == ticking and int(match[4], 16) == 1:
            fetch = names.pop()  # the get_message that fetched this tick belongs to it
            if started:
                ticks.append((names, painted, helper_requests))
            names, painted, started, helper_requests = [fetch], False, True, 0
        elif message == WM_PAINT:
            painted = True
    return ticks[int(skip_seconds * 20):]


def tick_costs(ticks):
    """Mean requests (and by name) over the steady ticks and over the ticks that painted."""
    def summary(group):
        if not group:
            return None
        by_name = collections.Counter()
        for names, _, _ in group:
            by_name.update(names)
        return {"ticks": len(group), "median": statistics.median(len(t[0]) for t in group),
                "mean": sum(by_name.values()) / len(group),
                "helpers": sum(t[2] for t in group) / len(group),
                "spread": collections.Counter(len(t[0]) for t in group),
                "by_name": {name: count / len(group) for name, count in by_name.most_common()}}
    return (summary([t for t in ticks if not t[1]]), summary([t for t in ticks if t[1]]),
            summary(ticks))


def pointer_over_strip_later(delay):
    """Puts the pointer on the strip's time once the program has settled, moving it a pixel
    more so that the window under it is told."""
    def move():
        x, y = STRIP[0] + 80, STRIP[1] + 8
        harness.mousemove(x, y)
        harness.mousemove(x + 1, y)
    timer = threading.Timer(delay, move)
    timer.start()
    return timer


def clock_directory(directory, plugins):
    """vo.exe, its helpers and the plug-ins (from the build directory) in a directory."""
    shutil.copy2(harness.VO_EXE, Path(directory) / "vo.exe")
    harness.copy_helpers(directory)
    for name in plugins:  # loaded from beside vo.exe
        shutil.copy2(harness.BUILD_DIR / name, Path(directory) / name)
    return Path(directory) / "vo.exe"


def measure_requests(wine, seconds, settle, plugins=(), pointer_over=False):
    results = {}
    with tempfile.TemporaryDirectory(prefix="vo-bench-") as directory:
        clock = clock_directory(directory, plugins)
        for name, args in (("idle_timer", [IDLE_TIMER]), ("vo.exe", [clock])):
            if pointer_over:
                harness.mousemove(STRIP[0] + 300, STRIP[1] + 300)  # away until settled
            timer = pointer_over_strip_later(settle / 2) if pointer_over else None
            lines, program, helpers = trace_program(wine, args, settle + seconds, directory)
            if timer:
                timer.join()
            ticks = ticks_of(lines, program_threads(lines, program), settle,
                             program_threads(lines, helpers) if helpers else frozenset())
            results[name] = tick_costs(ticks) + (len(helpers),)
    return results


def print_requests(results):
    print("Wine server requests per tick (server trace, steady = nothing redrawn):")
    for name, (steady, painting, every, helpers) in results.items():
        if not steady:
            print(f"  {name:12s} no ticks found in the trace")
            continue
        names = ", ".join(f"{n} {c:.2f}" for n, c in steady["by_name"].items())
        print(f"  {name:12s} steady {steady['mean']:5.2f} (median {steady['median']:g}, "
              f"{steady['ticks']} ticks): {names}")
        if painting:
            names = ", ".join(f"{n} {c:.2f}" for n, c in painting["by_name"].items())
            print(f"  {'':12s} painting {painting['mean']:5.2f} (median {painting['median']:g}, "
                  f"{painting['ticks']} ticks): {names}")
        spread = ", ".join(f"{count} x {n}" for n, count in sorted(every["spread"].items()))
        print(f"  {'':12s} all ticks {every['mean']:5.2f} (ticks x requests: {spread})")
        if helpers:
            print(f"  {'':12s} its {helpers} helper process(es) beside: steady tick "
                  f"{steady['helpers']:5.2f}, all ticks {every['helpers']:5.2f} requests")
    floor, clock = results.get("idle_timer"), results.get("vo.exe")
    if floor and clock and floor[0] and clock[0]:
        print(f"  steady tick: vo {clock[0]['mean']:.2f} - floor {floor[0]['mean']:.2f} = "
              f"{clock[0]['mean'] - floor[0]['mean']:+.2f} requests")
        # The bar draws within its tick, without a paint cycle: a step that cost requests
        # would show among the ticks that painted nothing. Ticks that painted are new minutes.
        steady = clock[0]
        extra = sum(count for n, count in steady["spread"].items() if n > steady["median"])
        print(f"  bar steps: no WM_PAINT; {extra} of {steady['ticks']} unpainted ticks cost more "
              f"than the median one")
        if clock[1]:
            print(f"  a new minute (labels repainted): {clock[1]['median']:g} requests, "
                  f"{clock[1]['ticks']} such ticks")


# ---- start-up to the first paint ----------------------------------------------------------

class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class ScreenArea:
    """Reads one area of the X root window, fast enough to poll every few milliseconds."""

    ZPIXMAP = 2

    def __init__(self, display, box):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.POINTER(XImage)
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                       ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                       ctypes.c_ulong, ctypes.c_int]
        self.x11.XGetSubImage.restype = ctypes.POINTER(XImage)
        self.x11.XGetSubImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                          ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                          ctypes.c_ulong, ctypes.c_int, ctypes.POINTER(XImage),
                                          ctypes.c_int, ctypes.c_int]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open X display {display}")
        self.root = self.x11.XDefaultRootWindow(self.display)
        self.box = box
        self.image = self.x11.XGetImage(self.display, self.root, *box, 0xFFFFFFFF, self.ZPIXMAP)
        if self.image.contents.bits_per_pixel != 32:
            raise RuntimeError("expected a 24-bit screen")

    def has_yellow(self):
        x, y, width, height = self.box
        self.x11.XGetSubImage(self.display, self.root, x, y, width, height, 0xFFFFFFFF,
                              self.ZPIXMAP, self.image, 0, 0)
        image = self.image.contents
        data = ctypes.string_at(image.data, image.bytes_per_line * height)
        # 32-bit pixels, blue first: yellow is 00 ff ff at a pixel's start.
        found = data.find(b"\x00\xff\xff")
        while found >= 0 and found % 4:
            found = data.find(b"\x00\xff\xff", found + 1)
        return found >= 0

    def close(self):
        self.x11.XCloseDisplay(self.display)


def time_to_paint(wine, args, area, cwd, timeout=30):
    """Seconds from starting the program to yellow pixels in the area; the program is then
    closed and its window gone before returning."""
    deadline = time.monotonic() + timeout
    while area.has_yellow():
        if time.monotonic() > deadline:
            raise RuntimeError("the strip's area does not clear")
        time.sleep(0.05)
    start = time.monotonic()
    process = wine.popen(*args, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while not area.has_yellow():
            if time.monotonic() - start > timeout:
                raise RuntimeError(f"{args[0]} painted nothing within {timeout} s")
            time.sleep(0.003)
        return time.monotonic() - start
    finally:
        process.kill()
        process.wait()


def measure_startup(wine, desktop, starts, plugins=()):
    area = ScreenArea(desktop.display, STRIP)
    # A hidden yardstick keeps the wineserver and Wine's services warm between the starts.
    keeper = wine.popen(IDLE_TIMER, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    times = {"idle_timer show": [], "vo.exe": []}
    try:
        with tempfile.TemporaryDirectory(prefix="vo-bench-") as directory:
            programs = {"idle_timer show": [IDLE_TIMER, "show"],
                        "vo.exe": [clock_directory(directory, plugins)]}
            for name, args in programs.items():  # once each untimed: files into the cache
                forget_last_run(wine)
                time_to_paint(wine, args, area, directory)
            for _ in range(starts):
                for name, args in programs.items():
                    forget_last_run(wine)
                    times[name].append(time_to_paint(wine, args, area, directory))
    finally:
        keeper.kill()
        keeper.wait()
        area.close()
        wine.kill_all()
        wine.wait_idle()
    return times


def print_startup(times, starts):
    print(f"Start-up, process start to the strip painted ({starts} alternating starts each):")
    for name, values in times.items():
        every = ", ".join(f"{1000 * v:.0f}" for v in values)
        print(f"  {name:16s} median {1000 * statistics.median(values):6.1f} ms, fastest "
              f"{1000 * min(values):6.1f} ms  (all: {every})")
    for how, pick in (("medians", statistics.median), ("fastest starts", min)):
        ratio = pick(times["vo.exe"]) / pick(times["idle_timer show"])
        print(f"  ratio vo / empty window, {how}: {ratio:.2f}")
    # Each vo start against the empty one just before it: slow spells of the machine, which
    # move single starts by tens of milliseconds, fall on both.
    paired = [vo / empty for empty, vo in zip(times["idle_timer show"], times["vo.exe"])]
    print(f"  ratio vo / empty window, median of start pairs: {statistics.median(paired):.2f}")


# ---- private memory -----------------------------------------------------------------------

def private_kib(pid):
    """(written, clean) private pages of a Linux process in KiB: what it alone holds, Wine's
    own share of each process included. The written ones (heaps, stacks, data the loader
    relocated) are what the process costs; the clean ones, file pages only it has read,
    the system may drop at any time."""
    fields = {}
    for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines()[1:]:
        name, value, *_ = line.split()
        fields[name.rstrip(":")] = int(value)
    return fields["Private_Dirty"], fields["Private_Clean"]


def measure_memory(wine, settle, plugins=()):
    """{name: KiB} of idle_timer, the clock and each of its helpers, each program alone and
    settled."""
    results = {}
    with tempfile.TemporaryDirectory(prefix="vo-bench-") as directory:
        clock = clock_directory(directory, plugins)
        for name, args in (("idle_timer", [IDLE_TIMER]), ("vo.exe", [clock])):
            with alone(wine, args, directory) as process:
                time.sleep(settle)
                results[name] = private_kib(process.pid)
                for pid, command in wine.helper_processes().items():
                    helper = next(h for h in harness.HELPERS.values() if h in command.lower())
                    results[f"{helper} ({pid})"] = private_kib(pid)
    return results


def print_memory(results, settle):
    print(f"Private memory after {settle:g} s (Linux private pages of each Wine process, "
          "written + clean):")
    floor = results.get("idle_timer", (0, 0))[0]
    for name, (written, clean) in results.items():
        print(f"  {name:22s} {written / 1024:6.2f} MiB written ({(written - floor) / 1024:+6.2f} "
              f"MiB against idle_timer) + {clean / 1024:6.2f} MiB clean")
    if not any(name.startswith("vohost") for name in results):
        print("  no helper process ran (no module apart, or none could start)")


# ---- idle CPU -----------------------------------------------------------------------------

def cpu_seconds(pid):
    """CPU time of all of a process's threads, to the nanosecond where the kernel keeps
    scheduler statistics, else in clock ticks."""
    try:
        return sum(int((task / "schedstat").read_text().split()[0])
                   for task in Path(f"/proc/{pid}/task").iterdir()) / 1e9
    except (OSError, ValueError, IndexError):
        pass
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    # After the command name: state is field 3, utime 14 and stime 15 (1-based, whole line).
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def floor_prefix():
    """A second prefix for the yardstick, so that each program has a wineserver of its own."""
    return harness.copy_prefix(harness.PREFIX,
                               harness.PREFIX.with_name(harness.PREFIX.name + "-floor"))


def usage_groups(wine, program_pid):
    processes = harness.prefix_processes(wine.prefix)
    server = [pid for pid, command in processes.items() if "wineserver" in command]
    services = [pid for pid in processes if pid != program_pid and pid not in server]
    return {"program": [program_pid], "wineserver": server, "services": services}


def measure_cpu(clock_wine, floor_wine, desktop, seconds, settle):
    forget_last_run(clock_wine)
    with tempfile.TemporaryDirectory(prefix="vo-bench-") as directory:
        shutil.copy2(harness.VO_EXE, Path(directory) / "vo.exe")
        programs = {
            "vo.exe": (clock_wine, clock_wine.popen(Path(directory) / "vo.exe", cwd=directory,
                                                    stdout=subprocess.DEVNULL,
                                                    stderr=subprocess.DEVNULL)),
            "idle_timer": (floor_wine, floor_wine.popen(IDLE_TIMER, stdout=subprocess.DEVNULL,
                                                        stderr=subprocess.DEVNULL)),
        }
        try:
            time.sleep(settle)
            groups = {name: usage_groups(wine, process.pid)
                      for name, (wine, process) in programs.items()}
            groups["Xvfb"] = {"Xvfb": [desktop.pid]}

            def sample():
                return {pid: cpu_seconds(pid) for parts in groups.values()
                        for pids in parts.values() for pid in pids}

            start = sample()
            time.sleep(seconds)
            end = sample()
        finally:
            for wine, process in programs.values():
                process.kill()
                process.wait()
                wine.kill_all()
                wine.wait_idle()
    # A process that ended meanwhile (a Wine service, say) is left out rather than counted
    # negative.
    return {name: {part: sum(max(end[pid] - start[pid], 0.0) for pid in pids)
                   for part, pids in parts.items()}
            for name, parts in groups.items()}


def print_cpu(usage, seconds, settle, round_number):
    print(f"Idle CPU over the same {seconds:g} s, both running, after {settle:g} s to settle "
          f"(round {round_number}):")
    totals = {}
    for name in ("vo.exe", "idle_timer"):
        parts = usage[name]
        totals[name] = sum(parts.values())
        print(f"  {name:12s} program {parts['program']:6.2f} s  wineserver "
              f"{parts['wineserver']:5.2f} s  services {parts['services']:5.2f} s  | total "
              f"{totals[name]:6.2f} s = {100 * totals[name] / seconds:5.2f} % of a core")
    print(f"  Xvfb (shared) {usage['Xvfb']['Xvfb']:.2f} s")
    floor = totals["idle_timer"]
    ratio = totals["vo.exe"] / floor if floor else float("inf")
    print(f"  ratio vo / idle timer: {ratio:.2f}")
    return ratio


# ---- sizes --------------------------------------------------------------------------------

def print_sizes():
    size = harness.VO_EXE.stat().st_size
    print(f"Stripped size of vo.exe: {size:,} bytes ({size - SIZE_BUDGET:+,} against "
          f"{SIZE_BUDGET:,})")
    for helper in (harness.OWN_HELPER, harness.OTHER_HELPER):
        if helper.exists():
            print(f"  {helper.name} ({helper.parent.name}): {helper.stat().st_size:,} bytes")
    archives = sorted(RELEASE_DIR.glob("vo-*.zip"))
    for archive in archives:
        print(f"  {archive.name}: {archive.stat().st_size:,} bytes")
    if not archives:
        print(f"  no release archives in {RELEASE_DIR} (tools/release.sh makes them)")


# ---- main ---------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=60, help="idle CPU span")
    parser.add_argument("--rounds", type=int, default=3, help="idle CPU spans, one after another")
    parser.add_argument("--settle", type=float, default=5, help="start-up left out")
    parser.add_argument("--trace", type=float, default=12, help="traced span per program")
    parser.add_argument("--starts", type=int, default=21, help="timed starts per program")
    parser.add_argument("--only", default="size,requests,memory,startup,cpu")
    parser.add_argument("--plugin", action="append", default=[],
                        help="a plug-in of the build directory beside vo.exe (requests, "
                             "memory, start-up)")
    parser.add_argument("--apart", action="append", default=[],
                        help="the same, run in a helper process of its own")
    parser.add_argument("--option", action="append", default=[], metavar="NAME=NUMBER",
                        help="a settings-dialog value stored before the clock starts")
    parser.add_argument("--pointer-over", action="store_true",
                        help="the pointer on the strip from halfway through the settling "
                             "(requests only)")
    args = parser.parse_args()
    parts = set(args.only.split(","))
    build, prepare = "build the cross build", "run harness.py prepare-prefix"
    for needed, how in ((harness.VO_EXE, build), (IDLE_TIMER, build),
                        (harness.PREFIX / harness.READY_MARKER, prepare)):
        if not Path(needed).exists():
            print(f"missing {needed}: {how} first", file=sys.stderr)
            return 1
    print(f"vo.exe: {harness.describe_build()}")
    if "size" in parts:
        print_sizes()
    if not parts & {"requests", "memory", "startup", "cpu"}:
        return 0
    plugins = args.plugin + args.apart

    with harness.Desktop() as desktop:
        wine = harness.Wine(display=desktop.display)
        wine.reg_delete(r"HKCU\Software\Nodrell")  # first run: default place and colours
        if args.option:
            wine.store_options(**{name: int(value) for name, value in
                                  (option.split("=", 1) for option in args.option)})
        for name in args.apart:
            wine.reg_add(APART_KEY, name, 1)
        wine.wait_idle()
        if plugins:
            print(f"Plug-ins inside: {', '.join(args.plugin) or 'none'}; apart: "
                  f"{', '.join(args.apart) or 'none'}")
        if "requests" in parts:
            print_requests(measure_requests(wine, args.trace, args.settle, plugins,
                                            args.pointer_over))
        if "memory" in parts:
            print_memory(measure_memory(wine, args.settle, plugins), args.settle)
        if "startup" in parts:
            print_startup(measure_startup(wine, desktop, args.starts, plugins), args.starts)
        if "cpu" in parts:
            floor = harness.Wine(prefix=floor_prefix(), display=desktop.display)
            # One span's ratio moves by up to a tenth with the machine's other work, and even a
            # median of seven moves by as much between runs an hour apart.
            ratios = [print_cpu(measure_cpu(wine, floor, desktop, args.seconds, args.settle),
                                args.seconds, args.settle, number + 1)
                      for number in range(args.rounds)]
            print(f"Idle CPU ratio vo / idle timer, median of {args.rounds} rounds: "
                  f"{statistics.median(ratios):.2f} (rounds: "
                  f"{', '.join(f'{r:.2f}' for r in ratios)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
