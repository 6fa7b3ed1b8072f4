#!/usr/bin/python3
"""The clock's top-level window as other programs see it: class, caption, size, place,
styles, owner, and its hold on the top of the z-order."""

import subprocess
import time
import unittest

import harness
from harness import CLOCK_CAPTION, CLOCK_CLASS

WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_THICKFRAME = 0x00040000
WS_VSCROLL = 0x00200000
WS_HSCROLL = 0x00100000
WS_EX_TOPMOST = 0x00000008
WS_EX_TOOLWINDOW = 0x00000080
WS_EX_APPWINDOW = 0x00040000
MAGENTA = (255, 0, 255)


def top_visible_window(wine):
    return wine.probe_one("zorder", 1, kind="z")["hwnd"]


class FirstRunWindowTest(harness.ClockTestCase):
    def test_window_as_seen_from_outside(self):
        window = self.start_clock().window
        style, exstyle = window.int("style"), window.int("exstyle")
        checks = [
            ("class", window.text("class"), CLOCK_CLASS.encode()),
            ("caption", window.text("title"), CLOCK_CAPTION),
            ("size", (window.int("width"), window.int("height")), harness.CLOCK_SIZE),
            ("client size", (window.int("client_width"), window.int("client_height")),
             harness.CLOCK_SIZE),
            ("place on first run", (window.int("left"), window.int("top")), (293, 0)),
            ("visible", window.int("visible"), 1),
            ("popup", bool(style & WS_POPUP), True),
            ("no caption, border, frame or scroll bars",
             style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_VSCROLL | WS_HSCROLL), 0),
            ("topmost", bool(exstyle & WS_EX_TOPMOST), True),
            ("tool window (no taskbar button)", bool(exstyle & WS_EX_TOOLWINDOW), True),
            ("no app-window style", exstyle & WS_EX_APPWINDOW, 0),
            ("owner titled vo", window.text("owner_title"), b"vo"),
            ("owner hidden", window.int("owner_visible"), 0),
        ]
        for what, actual, expected in checks:
            with self.subTest(what):
                self.assertEqual(expected, actual)
        self.assertNotEqual(0, int(window["owner"], 16), "the clock has no owner window")

    def test_no_other_visible_window_and_clock_on_top(self):
        window = self.start_clock().window
        own = self.wine.probe("windows", CLOCK_CLASS)
        visible = [w["hwnd"] for w in own if w.kind == "window" and w.int("visible")]
        self.assertEqual([window["hwnd"]], visible, "visible top-level windows of the process")
        self.assertEqual(window["hwnd"], top_visible_window(self.wine))


class ZOrderTest(harness.ClockTestCase):
    def clock_over(self, clock, cover):
        """True when the clock is the top visible window and the cover is shown below it."""
        order = [r["hwnd"] for r in self.wine.probe("zorder", 20) if r.kind == "z"]
        return order[:1] == [clock] and cover in order

    def test_topmost_window_over_the_strip_is_put_below_again(self):
        window = self.start_clock().window
        left, top = window.int("left"), window.int("top")
        cover = self.wine.popen(harness.PROBE_EXE, "cover", left - 10, top, 150, 40, 8000,
                                stdout=subprocess.PIPE)
        try:
            shown = harness.Record.parse(cover.stdout.readline().decode())
            self.assertEqual("cover", shown.kind, "the covering window did not appear")
            # The clock climbs back within a tick or two; allow for Wine's latency. The cover
            # is shown on top, so the clock above it has climbed back.
            self.wait_until(lambda: self.clock_over(window["hwnd"], shown["hwnd"]),
                            timeout=10, message="the clock back on top, over the cover")
            self.assertEqual(window["hwnd"], top_visible_window(self.wine))
            shot = self.screenshot()
            beside = harness.count_colour(shot, (left - 10, top, left, top + 40), MAGENTA)
            self.assertGreater(beside, 0, "the covering window is not shown")
            image = self.clock_image(window, shot)
            over = harness.count_colour(image, (0, 0, image.width, image.height), MAGENTA)
            self.assertEqual(0, over, "the covering window still shows over the strip")
        finally:
            cover.kill()
            cover.wait()
            cover.stdout.close()


class HintTest(harness.ClockTestCase):
    def test_hovering_either_label_shows_its_hint(self):
        window = self.start_clock().window
        left, top = window.int("left"), window.int("top")
        owned = "owned:" + CLOCK_CAPTION.hex()  # a visible window the clock owns

        def hint_shown():
            shown = self.wine.probe("dialog", owned, check=False)[0]
            return shown.kind == "dialog" and shown.text("class") == b"tooltips_class32"

        for label, (x, y) in (("date", (20, 7)), ("time", (80, 7))):
            # A move into the label and one within it, as a hand would make.
            harness.mousemove(left + x, top + y)
            time.sleep(0.2)
            harness.mousemove(left + x + 1, top + y)
            self.wait_until(hint_shown, timeout=5, message=f"the hint of the {label}")
            harness.mousemove(5, 700)
            self.wait_until(lambda: not hint_shown(), timeout=10, message="the hint to go")


if __name__ == "__main__":
    unittest.main()
