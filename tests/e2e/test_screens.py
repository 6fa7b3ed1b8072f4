#!/usr/bin/python3
"""The strip on the user's screens: two monitors side by side (Xorg's dummy driver), a display
mode change (inside a Wine virtual desktop), and stepping aside for a full-screen window,
judged by Wine's own state (visibility, the topmost style, the z-order), not by pixels."""

import shutil
import time
import unittest

import harness
from harness import (CLK_SETLEFT, SCREEN, SETTINGS_KEY, ClockTestCase, mousedown, mousemove,
                     mouseup)

FITTED_WIDTH = 102
DESIGNED_WIDTH = 194
DATE_X = 20  # inside the date label, window coordinates
SECOND = (SCREEN[0], 0, SCREEN[0] + harness.TwoMonitors.SECOND[0], harness.TwoMonitors.SECOND[1])
# While aside the clock also looks every 500 ms: an event path is seen working only when the
# strip is back well within that.
EVENT_BACK_MS = 300


class ScreensTestCase(ClockTestCase):
    def setUp(self):
        super().setUp()
        self.wine.store_options(Active=0)  # the colour schedule plays no part here

    def place(self):
        window = self.wine.clock_window(visible=False)
        return window.int("left"), window.int("top")

    def start_at(self, left, **kwargs):
        self.wine.reg_import(SETTINGS_KEY, {"Left": left, "ForeColor": 0xFFFF, "BackColor": 0})
        return self.start_clock(**kwargs)

    def close_clock(self, clock):
        self.wine.probe("close")
        self.assertEqual(clock.wait(20), 0)

    def full_screen(self, left, top, width, height, hold_ms=1500, shrink_ms=0, away_ms=0):
        """A borderless foreground window over the rectangle; the probe's timings of the
        strip stepping aside and coming back (-1: it did not within 3 s)."""
        records = self.wine.probe("fullscreen", left, top, width, height, hold_ms, shrink_ms,
                                  away_ms, timeout=30)
        self.assertEqual("1", records[0]["foreground"], "the window took the foreground")
        times = {r.kind: r.int("ms" if r.kind == "aside" else "back_ms") for r in records[1:]}
        harness.log("full screen", (left, top, width, height), times)
        return times

    def assert_on_top(self):
        """Shown, topmost, and first in Wine's z-order."""
        window = self.wine.clock_window()
        self.assertTrue(window.int("exstyle") & 0x8, "the strip is topmost")
        first = self.wine.probe("zorder", 1)[0]
        self.assertEqual(window["hwnd"], first["hwnd"], "the strip is first in the z-order")


class TwoMonitors(ScreensTestCase):
    desktop_class = harness.TwoMonitors
    prefix_kind = "monitors"
    prefix_settings = harness.TWO_MONITOR_SETTINGS

    @classmethod
    def setUpClass(cls):
        if not shutil.which("Xorg"):  # the Wine 10 root has none
            raise unittest.SkipTest("no Xorg for two monitors on this root")
        super().setUpClass()
        monitors = [(m.int("left"), m.int("top"), m.int("right"), m.int("bottom"))
                    for m in cls.wine.probe("monitors")]
        if monitors != [(0, 0, *SCREEN), SECOND]:
            raise AssertionError(f"Wine does not see the two monitors: {monitors}")

    def drag(self, start_left, *lefts):
        """Presses on the date label and moves the mouse so that, unclamped, the strip's left
        edge would follow `lefts`; releases at the last."""
        mousemove(start_left + DATE_X, 7)
        mousedown()
        for left in lefts:
            mousemove(left + DATE_X, 200)  # vertical motion is ignored
            time.sleep(0.3)
        mouseup()

    def test_dragged_onto_the_second_monitor_and_back_restored_there_after_a_restart(self):
        clock = self.start_at(800)
        self.drag(800, 1000, 1500, 1900)
        self.assertEqual((SECOND[2] - FITTED_WIDTH, 0), self.place(), "stops at its right edge")
        self.drag(SECOND[2] - FITTED_WIDTH, 1500)
        self.assertEqual((1500, 0), self.place())
        self.close_clock(clock)
        self.assertEqual(("REG_DWORD", 1500), self.wine.reg_query(SETTINGS_KEY)["Left"])

        clock = self.start_clock()
        self.assertEqual((1500, 0), self.place(), "restored onto the second monitor")
        self.drag(1500, 960, 300)
        self.assertEqual((300, 0), self.place(), "back on the first")
        self.close_clock(clock)

    def test_steps_aside_for_a_full_screen_window_on_its_own_monitor_only(self):
        clock = self.start_at(1500, plugins=["voRecA.DLL"], recorder=True)
        self.assertEqual(-1, self.full_screen(0, 0, *SCREEN)["aside"],
                         "a full-screen window on the other monitor leaves it alone")
        self.assert_on_top()

        ticks = clock.recorder.count("notifyfreq")
        times = self.full_screen(*SECOND[:2], 800, 600, shrink_ms=500)
        self.assertGreaterEqual(times["aside"], 0, "stepped aside for the full-screen window")
        self.assertLess(times["aside"], 1000)
        self.assertGreaterEqual(times["shrunk"], 0, "back once the window left full screen")
        self.assertLess(times["shrunk"], 1000)
        self.assertGreater(clock.recorder.count("notifyfreq"), ticks + 20, "ticks went on")
        self.assert_on_top()


class OneMonitor(ScreensTestCase):
    def test_a_left_edge_on_a_monitor_gone_starts_on_the_primary(self):
        self.start_at(1500)
        self.assertEqual((SCREEN[0] - DESIGNED_WIDTH, 0), self.place())

    def test_steps_aside_until_the_full_screen_window_closes_unless_turned_off(self):
        self.start_at(300)
        times = self.full_screen(0, 0, *SCREEN)
        self.assertGreaterEqual(times["aside"], 0, "stepped aside for the full-screen window")
        self.assertGreaterEqual(times["closed"], 0, "back once it closed")
        self.assertLess(times["closed"], EVENT_BACK_MS,
                        "back at once when the full-screen window is destroyed, not at the "
                        "next look of the half-second poll")
        self.assert_on_top()
        self.close_clock(self.clocks[-1])

        self.wine.store_options(Active=0, StepAside=0)
        self.start_clock()
        self.assertEqual(-1, self.full_screen(0, 0, *SCREEN)["aside"], "turned off")
        self.assert_on_top()


    def test_back_at_once_when_the_full_screen_window_leaves_the_foreground_or_full_screen(self):
        if harness.wine_major() < 10:
            self.skipTest("Wine 8 tells another process of neither the foreground nor moves")
        self.start_at(300)
        for path, kwargs, back in (("foreground change", {"away_ms": 500}, "away"),
                                   ("window resized", {"shrink_ms": 500}, "shrunk")):
            with self.subTest(path=path):
                times = self.full_screen(0, 0, *SCREEN, **kwargs)
                self.assertGreaterEqual(times["aside"], 0, "stepped aside")
                self.assertGreaterEqual(times[back], 0, f"back after the {path}")
                self.assertLess(times[back], EVENT_BACK_MS,
                                f"back at once after the {path}, not at the next look of the "
                                "half-second poll")


class DisplayChange(ScreensTestCase):
    prefix_kind = "desktop"
    prefix_settings = harness.VIRTUAL_DESKTOP_SETTINGS

    def change_display(self, width, height):
        record = self.wine.probe_one("display", width, height, kind="display")
        self.assertEqual((0, width, height), (record.int("result"), record.int("width"),
                                              record.int("height")))
        harness.log("display change to", (width, height), "placed after",
                    record.int("placed_ms"), "ms")
        return record.int("placed_ms")

    def test_a_smaller_screen_brings_the_strip_back_once(self):
        try:
            self.start_at(700)
            self.wine.send(CLK_SETLEFT, SCREEN[0] - FITTED_WIDTH)  # at the right edge
            self.assertEqual((SCREEN[0] - FITTED_WIDTH, 0), self.place())
            placed = self.change_display(800, 600)
            self.assertGreaterEqual(placed, 0, "on the new screen")
            self.assertLess(placed, 1000)
            self.assertEqual((800 - FITTED_WIDTH, 0), self.place())
            self.change_display(*SCREEN)
            time.sleep(1)
            self.assertEqual((800 - FITTED_WIDTH, 0), self.place(), "not moved again")
        finally:
            self.wine.probe("display", *SCREEN, check=False)


if __name__ == "__main__":
    unittest.main()
