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
FADED_ALPHA = 38  # 15 %
REST_ALPHA = 128  # 50 %
DATE_SPOT = (20, 7)
TIME_SPOT = (80, 8)
PANEL_SPOT = (98, 18)  # the panel's own colour, below the time
AWAY = (500, 400)
STRIP = (293, 0)  # the first run's place
GREEN = (0, 255, 0)


def blend(alpha, over, under):
    return tuple(round((o * alpha + u * (255 - alpha)) / 255) for o, u in zip(over, under))


def at(spot):
    return STRIP[0] + spot[0], STRIP[1] + spot[1]


class OutOfTheWay(harness.ClockTestCase):
    desktop_class = harness.CompositedDesktop

    def setUp(self):
        super().setUp()
        mousemove(*AWAY)

    def start_with(self, **options):
        self.wine.store_options(Active=0, **options)  # the colours at rest: yellow on black
        # Early in a minute: the strip's pixels are compared across the test, time shown too.
        clock = self.start_clock(at="10:00:03")
        self.assertEqual(STRIP, (clock.window.int("left"), clock.window.int("top")))
        return clock

    def mat_beneath(self):
        """The probe's green window where the strip will be, its reports in a file. Shown
        before the clock: Wine without a window manager stacks the X windows in the order
        they were raised, a foreground window over an older topmost one. In the foreground,
        where Wine hears the keys."""
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
        return window.int("alpha"), bool(window.int("exstyle") & WS_EX_TRANSPARENT)

    def wait_look(self, alpha, through, promise):
        self.wait_until(lambda: self.look() == (alpha, through), 5, interval=0.05,
                        message=lambda: f"{promise}: alpha {alpha}, click-through {through}; "
                                        f"is {self.look()}")

    def panel_pixel(self):
        return self.clock_image().getpixel(PANEL_SPOT)

    def image_without_bar(self):
        left, top = SEC_BAR_ORIGIN
        image = self.clock_image()
        image.paste((1, 2, 3), (left, top, left + SEC_BAR_SIZE[0], top + SEC_BAR_SIZE[1]))
        return list(image.getdata())

    def test_rest_opacity_fade_under_the_pointer_clicks_through_and_ctrl_brings_it_back(self):
        mat = self.mat_beneath()
        self.start_with(FadeUnderPointer=1, RestOpacity=50)
        self.assertEqual((REST_ALPHA, False), self.look(),
                         "the opacity at rest not on the window, or faded before the pointer came")
        self.assertEqual(blend(REST_ALPHA, harness.BLACK, GREEN), self.panel_pixel(),
                         "the opacity at rest not on the screen")
        before = self.image_without_bar()

        mousemove(*at(TIME_SPOT))
        self.wait_look(FADED_ALPHA, True, "the pointer on the strip fades it")
        self.assertEqual(blend(FADED_ALPHA, harness.BLACK, GREEN), self.panel_pixel(),
                         "the window beneath does not show through the faded strip")
        click(1)
        x, y = at(TIME_SPOT)
        self.wait_until(lambda: f"input kind=left x={x} y={y}".encode() in mat.read_bytes(), 5,
                        message="the click reaching the window beneath the faded strip")
        mousemove(*AWAY)
        self.wait_look(REST_ALPHA, False, "the pointer gone brings the strip back to rest")
        self.assertEqual(before, self.image_without_bar(),
                         "the strip's pixels after the pointer left")

        self.addCleanup(xdotool, "keyup", "ctrl")
        xdotool("keydown", "ctrl")
        mousemove(*at(TIME_SPOT))
        time.sleep(0.5)
        self.assertEqual((REST_ALPHA, False), self.look(), "faded with Ctrl held")
        self.open_menu()
        harness.key("Escape")
        mousemove(*at(DATE_SPOT))
        mousedown(1)
        mousemove(at(DATE_SPOT)[0] + 60, DATE_SPOT[1])
        self.wait_until(lambda: self.wine.clock_window().int("left") == STRIP[0] + 60, 5,
                        message="the strip dragged with Ctrl held")
        mouseup(1)
        xdotool("keyup", "ctrl")
        self.wait_look(FADED_ALPHA, True, "Ctrl released under the pointer fades the strip")

    def band_top(self):
        return self.wine.probe_one("band", CLOCK_SIZE[1], kind="band").int("top")

    def wait_band_held(self, promise):
        """The shell learns of the band just after the strip shows."""
        self.wait_until(lambda: self.band_top() == CLOCK_SIZE[1], 10, interval=0.2,
                        message=promise)

    def test_band_held_while_running_and_released_at_close_and_after_a_kill(self):
        # Wine's shell keeps the toolbars' list but leaves the work area as it is: the band
        # shows in what it answers another toolbar asking for the same place.
        self.start_with(ReserveBand=1)
        self.wait_band_held("the band held")
        self.wine.probe("close")
        self.wine.wait_clock_gone()
        self.assertEqual(0, self.band_top(), "band not released at close")
        clock = self.start_with(ReserveBand=1)
        self.wait_band_held("the band held by the next run")
        clock.kill()
        self.start_with(ReserveBand=0)
        self.assertEqual(0, self.band_top(), "band of a killed run not released by the next")


if __name__ == "__main__":
    unittest.main()
