#!/usr/bin/python3
"""Out of the way: the strip fading under the pointer and letting input through to a window
beneath, Ctrl bringing it back, its opacity at rest, and its band held at the top of the
monitor. The desktop runs a compositing manager, so that the screen shows layered alpha."""

import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import harness
from harness import (CLOCK_SIZE, PROBE_EXE, SEC_BAR_ORIGIN, SEC_BAR_SIZE, click, mousedown,
                     mousemove, mouseup, xdotool)

WS_EX_TRANSPARENT = 0x20
WS_EX_LAYERED = 0x80000
FADED_ALPHA = 38  # 15 %
DATE_SPOT = (20, 7)
TIME_SPOT = (80, 8)
PANEL_SPOT = (98, 18)  # the panel's own colour, below the time
AWAY = (500, 400)
STRIP = (293, 0)  # the first run's place
GREEN = (0, 255, 0)


def blend(alpha, over, under):
    return tuple(round((o * alpha + u * (255 - alpha)) / 255) for o, u in zip(over, under))


class OutOfTheWay(harness.ClockTestCase):
    desktop_class = harness.CompositedDesktop

    def setUp(self):
        super().setUp()
        mousemove(*AWAY)

    def start_with(self, **options):
        self.wine.store_options(Active=0, **options)  # the colours at rest: yellow on black
        clock = self.start_clock()
        self.assertEqual(STRIP, (clock.window.int("left"), clock.window.int("top")))
        return clock

    def at(self, spot):
        return STRIP[0] + spot[0], STRIP[1] + spot[1]

    def mat_beneath(self):
        """The probe's green window where the strip will be, its reports in a file. Shown
        before the clock: Wine without a window manager stacks the X windows in the order
        they were raised, a foreground window over an older topmost one."""
        log = Path(tempfile.mkdtemp(prefix="vo-mat-")) / "mat.txt"
        with open(log, "wb") as out:
            process = self.wine.popen(PROBE_EXE, "mat", STRIP[0] - 10, 0, CLOCK_SIZE[0] + 20,
                                      CLOCK_SIZE[1] + 20, 60000, stdout=out,
                                      stderr=subprocess.DEVNULL)
        self.addCleanup(process.kill)
        self.wait_until(lambda: b"mat hwnd=" in log.read_bytes(), 20, message="the mat shown")
        time.sleep(0.5)  # painted
        return log

    def look(self):
        window = self.wine.clock_window()
        exstyle = window.int("exstyle")
        return window.int("alpha"), bool(exstyle & WS_EX_TRANSPARENT)

    def wait_look(self, alpha, through, timeout=5):
        self.wait_until(lambda: self.look() == (alpha, through), timeout, interval=0.05,
                        message=lambda: f"alpha {alpha}, click-through {through}; "
                                        f"is {self.look()}")

    def strip_pixel(self, spot):
        return self.clock_image().getpixel(spot)

    def without_bar(self, image):
        left, top = SEC_BAR_ORIGIN
        image.paste((1, 2, 3), (left, top, left + SEC_BAR_SIZE[0], top + SEC_BAR_SIZE[1]))
        return image

    def test_pointer_on_the_strip_fades_it_and_clicks_reach_the_window_beneath(self):
        mat = self.mat_beneath()
        self.start_with(FadeUnderPointer=1)
        self.assertEqual((255, False), self.look(), "faded before the pointer came")
        before = self.without_bar(self.clock_image())
        mousemove(*self.at(TIME_SPOT))
        self.wait_look(FADED_ALPHA, True)
        self.assertEqual(blend(FADED_ALPHA, harness.BLACK, GREEN), self.strip_pixel(PANEL_SPOT),
                         "the window beneath does not show through the faded strip")
        click(1)
        x, y = self.at(TIME_SPOT)
        self.wait_until(lambda: f"input kind=left x={x} y={y}".encode() in mat.read_bytes(), 5,
                        message="the click reaching the window beneath the faded strip")
        mousemove(*AWAY)
        self.wait_look(255, False)
        after = self.without_bar(self.clock_image())
        self.assertEqual(list(before.getdata()), list(after.getdata()),
                         "the strip's pixels after the pointer left")
        self.log_fade_times()

    def log_fade_times(self):
        """Pointer arrival to the faint strip and departure to the full one, as the probe
        saw the alpha change against the moments the pointer moved (both on Linux's raw
        monotonic clock)."""
        log = Path(tempfile.mkdtemp(prefix="vo-alphas-")) / "alphas.txt"
        with open(log, "wb") as out:
            process = self.wine.popen(PROBE_EXE, "alphas", 8000, stdout=out,
                                      stderr=subprocess.DEVNULL)
        self.addCleanup(process.kill)
        self.wait_until(lambda: b"alpha" in log.read_bytes(), 20, message="the alpha watch")
        now = lambda: time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000
        arrived = now()
        mousemove(*self.at(TIME_SPOT))
        time.sleep(1.5)
        left = now()
        mousemove(*AWAY)
        process.wait(15)
        changes = [harness.Record.parse(line) for line in log.read_text().splitlines()]
        faint = next(c for c in changes if c.int("value") == FADED_ALPHA)
        full = next(c for c in changes if c.int("value") == 255 and float(c["at_ms"]) > left)
        harness.log(f"pointer arrival to faded {float(faint['at_ms']) - arrived:.0f} ms, "
                    f"departure to full {float(full['at_ms']) - left:.0f} ms")

    def test_ctrl_brings_the_strip_back_for_the_menu_and_the_drag(self):
        self.mat_beneath()  # in the foreground, where Wine hears the keys
        self.start_with(FadeUnderPointer=1)
        self.addCleanup(xdotool, "keyup", "ctrl")
        xdotool("keydown", "ctrl")
        mousemove(*self.at(TIME_SPOT))
        time.sleep(0.5)
        self.assertEqual((255, False), self.look(), "faded with Ctrl held")
        self.open_menu()
        harness.key("Escape")
        mousemove(*self.at(DATE_SPOT))
        mousedown(1)
        mousemove(self.at(DATE_SPOT)[0] + 60, DATE_SPOT[1])
        self.wait_until(lambda: self.wine.clock_window().int("left") == STRIP[0] + 60, 5,
                        message="the strip dragged with Ctrl held")
        mouseup(1)
        xdotool("keyup", "ctrl")
        self.wait_look(FADED_ALPHA, True)

    def test_opacity_at_rest_is_on_the_screen(self):
        self.mat_beneath()
        self.start_with(RestOpacity=50)
        self.assertEqual((128, False), self.look(), "the opacity at rest not on the window")
        self.assertEqual(blend(128, harness.BLACK, GREEN), self.strip_pixel(PANEL_SPOT),
                         "the opacity at rest not on the screen")

    def band_top(self):
        return self.wine.probe_one("band", CLOCK_SIZE[1], kind="band").int("top")

    def test_band_held_while_running_and_released_at_close_and_after_a_kill(self):
        # Wine's shell keeps the toolbars' list but leaves the work area as it is: the band
        # shows in what it answers another toolbar asking for the same place.
        self.start_with(ReserveBand=1)
        self.assertEqual(CLOCK_SIZE[1], self.band_top(), "band not held")
        self.wine.probe("close")
        self.wine.wait_clock_gone()
        self.assertEqual(0, self.band_top(), "band not released at close")
        clock = self.start_with(ReserveBand=1)
        self.assertEqual(CLOCK_SIZE[1], self.band_top())
        clock.kill()
        self.start_with(ReserveBand=0)
        self.assertEqual(0, self.band_top(), "band of a killed run not released by the next")


if __name__ == "__main__":
    unittest.main()
