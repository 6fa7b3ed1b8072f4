#!/usr/bin/python3
"""Drives the real vo.exe under Wine on a private Xvfb display.

The pieces:
  Desktop      an Xvfb server (1024x768x24) on a free display; sets DISPLAY while it runs
  TwoMonitors  an Xorg server with two dummy monitors, 1024x768 and 800x600 to its right
  Wine         environment, registry (reg.exe), the probe tool, waiting for wineserver
  Clock        one started vo.exe in its own directory, with its local time steered by TZ
  screenshot() the root window as a PIL image, stamped with the time it was taken
  pixel / xdotool / seconds-bar helpers, and ClockTestCase, the base of the test files

A suite (one test file, one process) shares one display and one Wine session; each test
waits for the state it starts from: no clock window and no settings key left by the last.

Standard library and PIL only; run with /usr/bin/python3. CTest passes VO_BUILD_DIR and
VO_SOURCE_DIR; VO_WINEPREFIX (by default <build>/e2e-prefix) and VO_WINE (by default the loader
for the kind of vo.exe) come from ctest's caller, so that tools/wine10.sh points the same suites
at another Wine; VO_EXE may point at another vo.exe. Without them, the build and loader that
tools/which_wine.sh picks for this machine.

Command line: `harness.py prepare-prefix` makes the shared prefix once;
`harness.py run <program.exe> [args]` runs a program under the same setup, passing its
output and exit code through.
"""

import atexit
import collections
import datetime
import fcntl
import io
import itertools
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from dataclasses import dataclass, field
from pathlib import Path

from PIL import Image

HERE = Path(__file__).resolve().parent
SOURCE_DIR = Path(os.environ.get("VO_SOURCE_DIR", HERE.parent.parent))


def which_wine(preset=None):
    """(build preset, Wine loader) as tools/which_wine.sh decides them for this machine."""
    words = subprocess.run([str(SOURCE_DIR / "tools" / "which_wine.sh"), *filter(None, [preset])],
                           check=True, capture_output=True, text=True, timeout=60).stdout.split()
    return words[0], words[1]


def pe_machine(path):
    """"32-bit" or "64-bit" from a PE file's header, so that the log says what was tested."""
    try:
        with open(path, "rb") as image:
            data = image.read(4096)
        header = int.from_bytes(data[0x3C:0x40], "little")
        machine = int.from_bytes(data[header + 4:header + 6], "little")
    except (OSError, ValueError):
        return "missing"
    return {0x14C: "32-bit", 0x8664: "64-bit"}.get(machine, f"machine {machine:#x}")


if "VO_BUILD_DIR" in os.environ:
    BUILD_DIR = Path(os.environ["VO_BUILD_DIR"])
else:
    BUILD_DIR = SOURCE_DIR / "build" / which_wine()[0]
PREFIX = Path(os.environ.get("VO_WINEPREFIX", BUILD_DIR / "e2e-prefix"))
VO_EXE = Path(os.environ.get("VO_EXE", BUILD_DIR / "vo.exe"))
# By default the loader of the build's kind of program.
WINE = os.environ.get("VO_WINE") or which_wine("win64" if pe_machine(VO_EXE) == "64-bit"
                                                else "win32")[1]
PROBE_EXE = BUILD_DIR / "probe.exe"
# The helper programs that run a plug-in module apart, one per processor, and the builds
# that make them: the clock looks for both beside vo.exe.
HELPERS = {"32-bit": "vohost32.exe", "64-bit": "vohost64.exe"}
OTHER_PROCESSOR = {"32-bit": "64-bit", "64-bit": "32-bit"}
OWN_HELPER = BUILD_DIR / HELPERS.get(pe_machine(VO_EXE), "vohost32.exe")
# The build of the other processor (its helper and test plug-ins): VO_OTHER_BUILD_DIR, else
# the sibling build folder; it need not exist.
OTHER_BUILD_DIR = Path(os.environ.get("VO_OTHER_BUILD_DIR") or BUILD_DIR.with_name(
    "win32" if pe_machine(VO_EXE) == "64-bit" else "win64"))
OTHER_HELPER = OTHER_BUILD_DIR / HELPERS[OTHER_PROCESSOR.get(pe_machine(VO_EXE), "64-bit")]


def wine_major():
    """The major version of the Wine the suites run under ("wine-8.0 ..." gives 8)."""
    words = subprocess.run([WINE, "--version"], check=True, capture_output=True, text=True,
                           timeout=60).stdout.split()
    match = re.match(r"wine-(\d+)", words[0] if words else "")
    return int(match.group(1)) if match else 0


WINESERVER = ("/usr/lib/wine/wineserver64" if os.path.exists("/usr/lib/wine/wineserver64")
              else shutil.which("wineserver") or "wineserver")
SCREEN = (1024, 768)
# Not a colour the clock uses, so a missing window cannot pass for a black panel.
ROOT_BACKGROUND = (32, 64, 128)

CLOCK_CAPTION = "Kiroの時計".encode("cp932")
CLOCK_SIZE = (102, 21)

WM_USER = 0x400


def sdk_definitions():
    """The clock's messages and window class as the plug-in SDK's header defines them."""
    text = (SOURCE_DIR / "sdk" / "include" / "vo_plugin.h").read_text(encoding="utf-8")
    found = {name: WM_USER + int(offset) for name, offset in
             re.findall(r"^#define (CLK_\w+) \(WM_USER \+ (\d+)\)$", text, re.M)}
    found.update(re.findall(r'^#define (CLK_\w+) "([^"]*)"$', text, re.M))
    return found


globals().update(sdk_definitions())  # CLK_TELOP ... CLK_GETLEFT, CLK_CLASSNAME
CLOCK_CLASS = CLK_CLASSNAME  # noqa: F821 (defined by the line above)
COLOR_BTNSHADOW = 16
COLOR_BTNHIGHLIGHT = 20

SETTINGS_KEY = r"HKCU\Software\Nodrell\vo"
OPTIONS_KEY = SETTINGS_KEY + r"\options"
# While a clock runs it names itself here; a start that finds the value offers a safe start.
RUN_RECORD = "Running"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
DEFAULT_OPTIONS = {
    "Active": 1,
    "ForeColor0000": 0x0000FFFF, "ForeColor0600": 0x0000FFFF,
    "ForeColor1200": 0x0000FFFF, "ForeColor1800": 0x0000FFFF,
    "BackColor0000": 0x00000000, "BackColor0600": 0x00FF0000,
    "BackColor1200": 0x00FF00FF, "BackColor1800": 0x000000FF,
    "useTelop": 0, "Telop": "%h時%m分です。", "useWaveFile": 0, "WaveFile": "sample.wav",
    "Interval": 60, "StepAside": 1, "FadeUnderPointer": 0, "RestOpacity": 100, "ReserveBand": 0,
}

YELLOW = (255, 255, 0)
BLACK = (0, 0, 0)


def describe_build():
    return f"{VO_EXE} ({pe_machine(VO_EXE)}) under {WINE}"


def log(*parts):
    print("[e2e]", *parts, file=sys.stderr, flush=True)


def require_built():
    """A missing program fails the suite: a skipped suite would pass with nothing tested."""
    for program in (VO_EXE, PROBE_EXE):
        if not program.exists():
            raise RuntimeError(f"{program} has not been built")


# ---- display ------------------------------------------------------------------------------

class Desktop:
    """An Xvfb server on the first free display, with DISPLAY pointing at it while it runs."""

    def __init__(self, width=SCREEN[0], height=SCREEN[1], depth=24):
        self.size = (width, height)
        self.depth = depth
        self.display = None
        self._server = None
        self._saved_display = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def command(self, display_fd):
        return ["Xvfb", "-displayfd", str(display_fd), "-screen", "0",
                f"{self.size[0]}x{self.size[1]}x{self.depth}", "-nolisten", "tcp", "-noreset"]

    def start(self):
        read_end, write_end = os.pipe()
        self._server = subprocess.Popen(self.command(write_end), pass_fds=(write_end,),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        try:
            number = self._read_display_number(read_end, timeout=20)
        finally:
            os.close(read_end)
        self.display = f":{number}"
        self._saved_display = os.environ.get("DISPLAY")
        os.environ["DISPLAY"] = self.display
        self._paint_root(ROOT_BACKGROUND)
        return self

    def _read_display_number(self, fd, timeout):
        deadline = time.monotonic() + timeout
        text = b""
        while not text.endswith(b"\n"):
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([fd], [], [], remaining)[0]:
                self._server.kill()
                raise RuntimeError("Xvfb did not report its display")
            chunk = os.read(fd, 32)
            if not chunk:
                raise RuntimeError("Xvfb exited early")
            text += chunk
        return int(text)

    def _paint_root(self, rgb):
        with tempfile.NamedTemporaryFile(suffix=".png") as image_file:
            Image.new("RGB", (8, 8), rgb).save(image_file.name)
            # display sets the root background and leaves; its exit code means nothing here.
            subprocess.run(["display", "-window", "root", image_file.name],
                           env=self.env(), timeout=30, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

    def env(self):
        return dict(os.environ, DISPLAY=self.display)

    @property
    def pid(self):
        """The X server's process id (for CPU accounting)."""
        return self._server.pid if self._server else None

    def stop(self):
        if self._server:
            self._server.terminate()
            try:
                self._server.wait(10)
            except subprocess.TimeoutExpired:
                self._server.kill()
                self._server.wait()
            self._server = None
        if self._saved_display is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = self._saved_display

    def screenshot(self):
        """The whole screen. info["time_before"] / ["time_after"] bracket the capture."""
        before = time.time()
        png = subprocess.run(["import", "-window", "root", "png:-"], env=self.env(),
                             check=True, capture_output=True, timeout=30).stdout
        after = time.time()
        image = Image.open(io.BytesIO(png)).convert("RGB")
        image.info["time_before"] = before
        image.info["time_after"] = after
        return image


class CompositedDesktop(Desktop):
    """A Desktop with a compositing manager: without one, X shows a layered window's alpha
    as fully opaque."""

    _compositor = None

    def start(self):
        super().start()
        self._compositor = subprocess.Popen(["xcompmgr"], env=self.env(),
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)  # redirecting the windows takes a moment
        return self

    def stop(self):
        if self._compositor:
            self._compositor.terminate()
            self._compositor.wait(10)
            self._compositor = None
        super().stop()


class TwoMonitors(Desktop):
    """Xorg with its dummy driver: two monitors side by side, joined by Xinerama (Xvfb's own
    Xinerama stacks its screens at 0,0). Wine sees them with the prefix values of
    TWO_MONITOR_SETTINGS and the 32-bit Xinerama library."""

    SECOND = (800, 600)
    CONFIG = """
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
  Option "AllowMouseOpenFail" "true"
EndSection
Section "Monitor"
  Identifier "m0"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync
  Modeline "800x600" 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync
EndSection
Section "Device"
  Identifier "d0"
  Driver "dummy"
  VideoRam 32768
EndSection
Section "Device"
  Identifier "d1"
  Driver "dummy"
  VideoRam 32768
EndSection
Section "Screen"
  Identifier "s0"
  Device "d0"
  Monitor "m0"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768"
  EndSubSection
EndSection
Section "Screen"
  Identifier "s1"
  Device "d1"
  Monitor "m0"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "800x600"
  EndSubSection
EndSection
Section "ServerLayout"
  Identifier "two"
  Screen 0 "s0"
  Screen 1 "s1" RightOf "s0"
  Option "Xinerama" "on"
EndSection
"""

    def command(self, display_fd):
        self._directory = tempfile.TemporaryDirectory(prefix="vo-xorg-")
        config = Path(self._directory.name) / "two.conf"
        config.write_text(self.CONFIG)
        return ["Xorg", "-config", str(config), "-logfile", str(config.with_suffix(".log")),
                "-displayfd", str(display_fd), "-nolisten", "tcp", "-noreset", "-novtswitch",
                "-sharevts"]


# HKCU values that a prefix needs for Wine to see both monitors: without UseXVidMode off its
# display code fails on the second adapter.
TWO_MONITOR_SETTINGS = ((r"HKCU\Software\Wine\X11 Driver", "UseXRandR", "N"),
                        (r"HKCU\Software\Wine\X11 Driver", "UseXVidMode", "N"))
# Every program of the prefix in one Wine virtual desktop, where the display mode can change.
VIRTUAL_DESKTOP_SETTINGS = ((r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
                            (r"HKCU\Software\Wine\Explorer\Desktops", "Default",
                             f"{SCREEN[0]}x{SCREEN[1]}"))


# ---- xdotool ------------------------------------------------------------------------------

def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=30)


def mousemove(x, y):
    xdotool("mousemove", "--sync", x, y)


def mousedown(button=1):
    xdotool("mousedown", button)


def mouseup(button=1):
    xdotool("mouseup", button)


def click(button=1, x=None, y=None):
    if x is not None:
        mousemove(x, y)
    xdotool("click", button)


def key(*names):
    xdotool("key", *names)


# ---- pixels -------------------------------------------------------------------------------

def pixel(image, x, y):
    return image.getpixel((x, y))


def pixels(image, box):
    """Every pixel of box = (left, top, right, bottom), right and bottom exclusive, row by row."""
    left, top, right, bottom = box
    return [image.getpixel((x, y)) for y in range(top, bottom) for x in range(left, right)]


def colour_counts(image, box):
    return collections.Counter(pixels(image, box))


def count_colour(image, box, rgb):
    return pixels(image, box).count(tuple(rgb))


def row(image, y, left, right):
    return [image.getpixel((x, y)) for x in range(left, right)]


def colorref_to_rgb(value):
    """0x00BBGGRR as the platform stores it -> (r, g, b)."""
    return (value & 255, (value >> 8) & 255, (value >> 16) & 255)


# ---- seconds bar --------------------------------------------------------------------------

SEC_BAR_ORIGIN = (4, 15)  # window coordinates of the bar image's top-left pixel
SEC_BAR_SIZE = (48, 2)

# A few steps of the bar, each held for 60/43 s: (from second, to second, columns of the bar
# image in the back colour). Past column 47 the gap is clipped.
SEC_BAR_STEPS = (
    (0.0, 1.39535, [3, 4, 5, 6]),
    (1.39535, 2.79070, [4, 5, 6, 7]),
    (9.76744, 11.16279, [10, 11, 12, 13]),
    (29.30233, 30.69767, [24, 25, 26, 27]),
    (58.60465, 60.0, [45, 46, 47]),
)


def sec_bar_gap_at(second):
    """The gap the bar shows at a second of the minute, if it lies within one of the steps."""
    return next((gap for start, end, gap in SEC_BAR_STEPS if start <= second < end), None)


# ---- probe records ------------------------------------------------------------------------

@dataclass
class Record:
    """One line of probe output: `<kind> key=value ...`."""
    kind: str
    fields: dict = field(default_factory=dict)

    @classmethod
    def parse(cls, line):
        kind, *pairs = line.split()
        return cls(kind, dict(pair.split("=", 1) for pair in pairs if "=" in pair))

    def __getitem__(self, name):
        return self.fields[name]

    def __contains__(self, name):
        return name in self.fields

    def int(self, name):
        return int(self.fields[name], 0)

    def text(self, name):
        """A hex-printed text field as its raw (ANSI, here Shift_JIS) bytes."""
        return bytes.fromhex(self.fields[name])

    def wtext(self, name):
        return bytes.fromhex(self.fields[name]).decode("utf-16-le")


class ProbeError(RuntimeError):
    pass


# ---- Wine ---------------------------------------------------------------------------------

def windows_path(path):
    """The Wine drive Z: maps the Unix root."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def steering_offset(at, now=None):
    """Seconds to add to UTC so that local time of day is `at` ("hh:mm:ss") right now,
    kept within +-12 h (the date may move)."""
    hours, minutes, seconds = (int(part) for part in at.split(":"))
    wanted = hours * 3600 + minutes * 60 + seconds
    now = time.time() if now is None else now
    offset = round(wanted - now % 86400) % 86400
    return offset - 86400 if offset > 43200 else offset


def tz_for_offset(offset):
    """POSIX TZ for local = UTC + offset: the sign in TZ counts the other way."""
    sign = "-" if offset >= 0 else "+"
    magnitude = abs(offset)
    return f"XXX{sign}{magnitude // 3600:02d}:{magnitude // 60 % 60:02d}:{magnitude % 60:02d}"


class Wine:
    def __init__(self, prefix=PREFIX, display=None):
        self.prefix = Path(prefix)
        self.display = display
        # A clock the tests ended from outside left its run record: the next start would ask.
        self.stale_run_record = False

    def env(self, extra=None):
        env = dict(os.environ)
        env.pop("LANGUAGE", None)
        env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all", LANG="ja_JP.UTF-8",
                   LC_ALL="ja_JP.UTF-8", WINEDLLOVERRIDES="mscoree,mshtml=")
        if self.display or os.environ.get("DISPLAY"):
            env["DISPLAY"] = self.display or os.environ["DISPLAY"]
        env.update(extra or {})
        return env

    def run(self, *args, timeout=60, env=None, cwd=None):
        """Runs a Windows program to its end; stdout and stderr come back as bytes.

        Output goes through files, not pipes: Wine's service processes, started by whichever
        program comes first, inherit the descriptors and would hold a pipe open for good."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.Popen([WINE, *map(str, args)], env=self.env(env), cwd=cwd,
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            try:
                returncode = process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(process.args, returncode, out.read(), err.read())

    def popen(self, *args, env=None, cwd=None, **kwargs):
        """Starts a Windows program. A pipe given as stdout must only be read line by line
        (see run for why it may never reach end-of-file)."""
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        return subprocess.Popen([WINE, *map(str, args)], env=self.env(env), cwd=cwd, **kwargs)

    # -- probe

    def probe(self, *args, timeout=60, check=True):
        result = self.run(PROBE_EXE, *args, timeout=timeout)
        lines = result.stdout.decode("ascii", "replace").splitlines()
        records = [Record.parse(line) for line in lines if line.strip()]
        if check and result.returncode != 0:
            raise ProbeError(f"probe {' '.join(map(str, args))} -> {result.returncode}: "
                             f"{lines} {result.stderr.decode('utf-8', 'replace')[-500:]}")
        return records

    def probe_one(self, *args, kind=None, **kwargs):
        records = [r for r in self.probe(*args, **kwargs) if kind is None or r.kind == kind]
        if not records:
            raise ProbeError(f"probe {args}: no {kind or ''} record")
        return records[0]

    def clock_window(self, wait=10.0, visible=True):
        """The clock's window record; by default waits until it is shown, not just made."""
        deadline = time.monotonic() + wait
        while True:
            remaining = max(deadline - time.monotonic(), 0)
            window = self.probe_one("window", CLOCK_CLASS, int(remaining * 1000), kind="window")
            if not visible or window.int("visible"):
                return window
            if time.monotonic() >= deadline:
                raise ProbeError(f"the clock window was made but not shown within {wait} s")
            time.sleep(0.1)

    def wait_clock_gone(self, timeout=15.0):
        records = self.probe("waitgone", CLOCK_CLASS, int(timeout * 1000), check=False)
        if [r.kind for r in records] != ["gone"]:
            raise ProbeError(f"a clock window is still there after {timeout} s")

    def send(self, message, wparam=0, lparam=0, window_class=None):
        """SendMessage to the clock (or a window of another class); the result as a signed
        32-bit number."""
        target = [window_class] if window_class else []
        return self.probe_one("send", message, wparam, lparam, *target, kind="result").int("value")

    def post(self, message, wparam=0, lparam=0):
        self.probe_one("post", message, wparam, lparam, kind="posted")

    def syscolor(self, index):
        return colorref_to_rgb(self.probe_one("syscolor", index).int("value"))

    # -- registry

    def reg_add(self, key, name, value, kind=None):
        """Writes one value. ints default to REG_DWORD (negative ones as their 32-bit
        pattern), str to REG_SZ; bytes need kind="REG_BINARY"."""
        if kind is None:
            kind = "REG_DWORD" if isinstance(value, int) else "REG_SZ"
        if isinstance(value, int):
            data = str(value & 0xFFFFFFFF)
        elif isinstance(value, bytes):
            data = value.hex()
        else:
            data = value
        result = self.run("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f")
        if result.returncode != 0:
            raise RuntimeError(f"reg add {key} {name}: {result.stdout!r} {result.stderr!r}")

    def reg_query(self, key):
        """{name: (type, value)} of the key's values, or None if the key does not exist.
        DWORDs come back as unsigned ints, everything else as text."""
        result = self.run("reg", "query", key)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.decode("cp932", "replace").splitlines():
            match = re.match(r"^ {4}(.*?) {4}(REG_\w+)(?: {4}(.*))?$", line)
            if not match:
                continue
            name, kind, data = match.groups()
            data = data or ""
            values[name] = (kind, int(data, 16) if kind == "REG_DWORD" else data)
        return values

    def reg_text(self, key, name):
        """The text of a REG_SZ value, whatever its characters (`reg query` prints in the ANSI
        code page), from a `reg export` in UTF-16; None when the key or value is missing."""
        with tempfile.TemporaryDirectory() as directory:
            path = Path(directory) / "key.reg"
            if self.run("reg", "export", key, windows_path(path), "/y").returncode != 0:
                return None
            lines = path.read_bytes().decode("utf-16").splitlines()
        prefix = f'"{name}"="'.lower()
        for line in lines:
            if line.lower().startswith(prefix) and line.endswith('"'):
                return re.sub(r"\\(.)", r"\1", line[len(prefix):-1])
        return None

    def reg_import(self, key, values):
        """Writes the values (int: REG_DWORD, str: REG_SZ) into the key in one `reg import`
        of a UTF-16 .reg file, so that Japanese texts arrive whatever the code page."""
        lines = ["Windows Registry Editor Version 5.00", "",
                 "[" + key.replace("HKCU", "HKEY_CURRENT_USER", 1) + "]"]
        for name, value in values.items():
            if isinstance(value, int):
                lines.append(f'"{name}"=dword:{value & 0xFFFFFFFF:08x}')
            else:
                escaped = value.replace("\\", "\\\\").replace('"', '\\"')
                lines.append(f'"{name}"="{escaped}"')
        with tempfile.TemporaryDirectory() as directory:
            path = Path(directory) / "values.reg"
            path.write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-16"))
            result = self.run("reg", "import", windows_path(path))
        if result.returncode != 0:
            raise RuntimeError(f"reg import {key}: {result.stdout!r} {result.stderr!r}")

    def store_options(self, without=(), **values):
        """Writes a complete settings-dialog key (all eighteen values, defaults unless given,
        minus `without`): a partial key makes loading stop with an error box."""
        options = dict(DEFAULT_OPTIONS, **values)
        self.reg_import(OPTIONS_KEY, {name: value for name, value in options.items()
                                      if name not in without})

    def reg_delete(self, key, name=None):
        args = ["reg", "delete", key] + (["/v", name] if name else []) + ["/f"]
        self.run(*args)

    # -- processes

    def wait_idle(self, timeout=60):
        """Waits until every process of the prefix has ended and wineserver has gone."""
        try:
            subprocess.run([WINESERVER, "-w"], env=self.env(), timeout=timeout)
        except subprocess.TimeoutExpired:
            log("wineserver -w timed out; killing the prefix's processes")
            self.kill_all()

    def helper_processes(self):
        """pid -> command line of the helper processes (vohost32.exe, vohost64.exe) running
        in this prefix: once the clock has ended, any way, there must be none."""
        return {pid: command for pid, command in prefix_processes(self.prefix).items()
                if any(name in command.lower() for name in HELPERS.values())}

    def kill_all(self):
        subprocess.run([WINESERVER, "-k"], env=self.env(), timeout=60)

    def boot(self):
        """Starts a Wine session that lasts until kill_all, from a program without captured
        output: the first program of a session starts its background processes (services,
        desktop), which inherit that program's stdout and stderr; were those the files or
        pipes of a captured run, they would stay open for the whole session."""
        quiet = dict(env=self.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-p"], timeout=30, **quiet)
        subprocess.run([WINE, PROBE_EXE, "toplevel"], timeout=120, **quiet)

    def restart_session(self):
        """Ends the session (wineserver writes the registry out as it goes) and boots a new
        one, whose programs read what the registry holds now."""
        self.kill_all()
        self.wait_idle()
        self.boot()

    # -- the clock

    def start_clock(self, at=None, plugins=(), files=(), env=None, exe=None, wait_window=True,
                    recorder=False, directory=None):
        """Copies vo.exe (plus the given DLLs and files, each a path, or a name in the build
        directory, or a (source, name) pair) into a fresh directory, or into `directory` over
        what an earlier clock left there, and starts it there with the local time of day
        steered to `at` ("hh:mm:ss"; None: real UTC). With recorder, the voRec* plug-ins log
        to clock.recorder, a RecorderLog in that directory."""
        if self.stale_run_record:
            self.reg_delete(SETTINGS_KEY, RUN_RECORD)
            self.stale_run_record = False
        directory = Path(directory or tempfile.mkdtemp(prefix="vo-e2e-"))
        shutil.copy2(exe or VO_EXE, directory / "vo.exe")
        copy_helpers(directory)
        for item in [*plugins, *files]:
            source, name = item if isinstance(item, tuple) else (item, None)
            source = Path(source)
            if not source.is_absolute():
                source = BUILD_DIR / source
            shutil.copy2(source, directory / (name or source.name))
        offset = steering_offset(at) if at else 0
        extra = {"TZ": tz_for_offset(offset)}
        recorder_log = RecorderLog(directory) if recorder else None
        if recorder_log:
            extra.update(recorder_log.env)
        extra.update(env or {})
        stdout = open(directory / "stdout.txt", "wb")
        process = self.popen(directory / "vo.exe", env=extra, cwd=directory, stdout=stdout,
                             stderr=subprocess.STDOUT)
        stdout.close()
        clock = Clock(self, process, directory, offset)
        clock.recorder = recorder_log
        if wait_window:
            clock.window = self.clock_window()
        return clock


def copy_helpers(directory):
    """Puts the helper programs beside a vo.exe in `directory`: the build's own always, the
    other processor's where that build has made it."""
    shutil.copy2(OWN_HELPER, Path(directory) / OWN_HELPER.name)
    if OTHER_HELPER.exists():
        shutil.copy2(OTHER_HELPER, Path(directory) / OTHER_HELPER.name)


def prefix_processes(prefix):
    """pid -> command line (its words joined by spaces) of every Linux process whose
    WINEPREFIX is the given one: Wine's services and the programs started in it."""
    wanted = f"WINEPREFIX={prefix}".encode()
    found = {}
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if wanted in (entry / "environ").read_bytes().split(b"\0"):
                words = (entry / "cmdline").read_bytes().rstrip(b"\0").split(b"\0")
                found[int(entry.name)] = b" ".join(words).decode("utf-8", "replace")
        except OSError:
            continue
    return found


class Clock:
    """One started vo.exe."""

    def __init__(self, wine, process, directory, offset):
        self.wine = wine
        self.process = process
        self.directory = directory
        self.offset = offset
        self.window = None
        self.recorder = None

    def wait(self, timeout):
        """The exit code, or None if the program still runs after `timeout` seconds."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.process.poll() is None

    def kill(self, keep_run_record=False):
        """Ends the program from outside, as TerminateProcess does. Its run record is cleared
        before the next start unless kept."""
        if self.running():
            self.process.kill()
            self.process.wait()
            self.wine.stale_run_record |= not keep_run_record

    def local_time(self, moment=None):
        """The clock's local date and time at a Unix moment (default: now)."""
        moment = time.time() if moment is None else moment
        return datetime.datetime(1970, 1, 1) + datetime.timedelta(seconds=moment + self.offset)

    def cleanup(self):
        self.kill()
        shutil.rmtree(self.directory, ignore_errors=True)


# ---- recorder plug-in log -----------------------------------------------------------------

class RecorderLog:
    """The file the voRec* plug-ins append to, one `<event> <tag> key=value ...` per line.
    Events come back as Records whose fields include "tag"."""

    def __init__(self, directory):
        self.path = Path(directory) / "recorder.log"

    @property
    def env(self):
        return {"VO_RECORD_LOG": windows_path(self.path)}

    def events(self):
        if not self.path.exists():
            return []
        text = self.path.read_text("ascii", "replace")
        lines = text.splitlines()
        if not text.endswith("\n"):
            lines = lines[:-1]  # a line still being written
        records = []
        for line in lines:
            if len(line.split()) < 2:
                continue
            event, tag, *rest = line.split()
            record = Record.parse(" ".join([event, *rest]))
            record.fields["tag"] = tag
            records.append(record)
        return records

    def count(self, event):
        return sum(1 for record in self.events() if record.kind == event)

    def ticks_after(self, tick=-1, tag="A"):
        """How many ticks reached the recorder of the tag after the GetTickCount64 value `tick`
        of an earlier record (all of them by default): a positive sign that time has passed for
        the clock."""
        return sum(1 for r in self.events()
                   if r.kind == "notifyfreq" and r["tag"] == tag and r.int("tick") > tick)

    def sequence(self, *events):
        """(event, tag) of the named events, in the order they happened."""
        return [(r.kind, r["tag"]) for r in self.events() if r.kind in events]


# ---- prefixes of suites running side by side ---------------------------------------------

READY_MARKER = ".vo-e2e-ready"
_claimed = []


def copy_prefix(source, target):
    """A working copy of a prepared prefix. The system folders, almost all its bulk, which
    nothing rewrites once wineboot has made them, are hard-linked; the rest (the registry,
    the user folders) is copied."""
    if (target / READY_MARKER).exists():
        return target
    log(f"copying {source} to {target}")
    partial = target.with_name(target.name + ".partial")
    shutil.rmtree(partial, ignore_errors=True)
    shared = [source / "drive_c" / "windows" / name for name in ("system32", "syswow64", "winsxs")]

    def link_or_copy(from_path, to_path):
        if any(Path(from_path).is_relative_to(folder) for folder in shared):
            os.link(from_path, to_path)
        else:
            shutil.copy2(from_path, to_path)

    shutil.copytree(source, partial, symlinks=True, copy_function=link_or_copy)
    shutil.rmtree(target, ignore_errors=True)
    partial.rename(target)
    return target


def claim_prefix(kind=""):
    """A prefix of this suite's own, held until the process ends: the first free one of
    PREFIX-1, PREFIX-2, ..., each a copy of PREFIX made on first use. PREFIX itself stays as
    prepare-prefix made it, so that a copy never takes over a setting a suite changed for a
    while (the DPI suite's LogPixels). A kind names a family of copies of their own
    (PREFIX-kind-1, ...), for settings that must never reach other suites."""
    for slot in itertools.count(1):
        path = PREFIX.with_name(f"{PREFIX.name}-{kind + '-' if kind else ''}{slot}")
        lock = open(path.with_name(path.name + ".lock"), "w")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            lock.close()
            continue
        _claimed.append(lock)
        return copy_prefix(PREFIX, path)


# ---- test base ----------------------------------------------------------------------------

_sessions = {}


def shared_session(desktop_class=Desktop, prefix_kind="", prefix_settings=()):
    """(Desktop, Wine) of this suite, one per kind of desktop and prefix, started on first use
    and ended when the process exits. The settings, (key, name, value) each, are in the
    registry before the session's programs start."""
    key = (desktop_class, prefix_kind)
    if key not in _sessions:
        require_built()
        log("testing", describe_build())
        if not _sessions:
            atexit.register(end_sessions)
        desktop = desktop_class().start()
        wine = Wine(prefix=claim_prefix(prefix_kind), display=desktop.display)
        _sessions[key] = desktop, wine
        for setting in prefix_settings:
            wine.reg_add(*setting)
        if prefix_settings:
            wine.kill_all()
            wine.wait_idle()
        wine.boot()
    return _sessions[key]


def end_sessions():
    for desktop, wine in _sessions.values():
        wine.kill_all()
        desktop.stop()


class ClockTestCase(unittest.TestCase):
    """The suite's display and Wine session; each test waits until no clock window is left,
    starts without settings, and ends its clocks."""

    desktop = None
    wine = None
    desktop_class = Desktop
    prefix_kind = ""
    prefix_settings = ()

    @classmethod
    def setUpClass(cls):
        cls.desktop, cls.wine = shared_session(cls.desktop_class, cls.prefix_kind,
                                               cls.prefix_settings)

    def setUp(self):
        self.clocks = []
        os.environ["DISPLAY"] = self.desktop.display  # xdotool's, when a suite has two
        try:
            self.wine.wait_clock_gone()
        except ProbeError:
            # Every earlier clock was closed or killed, and its test has said how it ended: a
            # window that outlives its program is Wine's to clear, which a new session does.
            left = [dict(r.fields) for r in self.wine.probe("classwindows", CLOCK_CLASS,
                                                            check=False)]
            log("a clock window outlived the earlier tests; the session starts anew:", left)
            self.wine.restart_session()
            self.wine.wait_clock_gone()
        self.wine.reg_delete(r"HKCU\Software\Nodrell")
        self.wine.stale_run_record = False
        self.assertIsNone(self.wine.reg_query(SETTINGS_KEY),
                          "the settings key could not be deleted")

    def tearDown(self):
        for clock in self.clocks:
            clock.cleanup()

    def start_clock(self, *args, wait_window=True, **kwargs):
        clock = self.wine.start_clock(*args, wait_window=False, **kwargs)
        self.clocks.append(clock)  # cleaned up even if it never shows its window or fails
        if wait_window:
            clock.window = self.wine.clock_window()
        return clock

    def screenshot(self):
        return self.desktop.screenshot()

    def clock_image(self, window=None, shot=None):
        """The clock window's pixels, cut out of a screenshot (the screenshot is kept in
        .info like any other)."""
        window = window or self.wine.clock_window()
        shot = shot or self.screenshot()
        left, top = window.int("left"), window.int("top")
        image = shot.crop((left, top, left + window.int("width"), top + window.int("height")))
        image.info.update(shot.info)
        return image

    def wait_for_a_later_frame(self, window=None):
        """Waits until the seconds bar has moved on the screen: the clock ticked since."""
        def bar():
            return row(self.clock_image(window), SEC_BAR_ORIGIN[1], SEC_BAR_ORIGIN[0],
                       SEC_BAR_ORIGIN[0] + SEC_BAR_SIZE[0])
        first = bar()
        self.wait_until(lambda: bar() != first, 10, interval=0.2, message="the seconds bar moving")

    def open_menu(self):
        """Right-clicks the time and waits for the clock's popup menu."""
        window = self.wine.clock_window()
        click(3, window.int("left") + 80, window.int("top") + 8)
        self.wait_until(lambda: any(m.kind == "window" and m.int("visible") for m in
                                    self.wine.probe("classwindows", "#32768", check=False)),
                        10, interval=0.2, message="the popup menu")

    def wait_until(self, condition, timeout, interval=0.1, message="condition"):
        """The first true value of condition(); fails naming `message` (or what the callable
        `message` says, asked at the failure) after `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while True:
            value = condition()
            if value:
                return value
            if time.monotonic() >= deadline:
                self.fail(f"timed out after {timeout} s waiting for "
                          f"{message() if callable(message) else message}")
            time.sleep(interval)


# ---- command line -------------------------------------------------------------------------

def prepare_prefix():
    marker = PREFIX / READY_MARKER
    if marker.exists():
        log(f"prefix {PREFIX} is ready")
        return 0
    PREFIX.parent.mkdir(parents=True, exist_ok=True)
    with Desktop() as desktop:
        wine = Wine(display=desktop.display)
        log(f"wineboot in {PREFIX} for", describe_build())
        result = wine.run("wineboot", "-i", timeout=280)
        if result.returncode != 0:
            log("wineboot failed:", result.stderr.decode("utf-8", "replace")[-2000:])
            return 1
        # A crashing program must end with its exception code, not sit behind a dialog.
        wine.reg_add(r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", 0)
        wine.wait_idle(120)
    marker.touch()
    log(f"prefix {PREFIX} prepared")
    return 0


def run_program(args):
    with Desktop() as desktop:
        wine = Wine(prefix=claim_prefix(), display=desktop.display)
        result = wine.run(*args, timeout=600)
        sys.stdout.write(result.stdout.decode("cp932", "replace"))
        sys.stderr.write(result.stderr.decode("utf-8", "replace"))
        wine.wait_idle()
        return result.returncode


def main(argv):
    if argv[1:2] == ["prepare-prefix"]:
        return prepare_prefix()
    if argv[1:2] == ["run"] and len(argv) > 2:
        return run_program(argv[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
