#!/usr/bin/python3
"""Where the strip sits and how it leaves: the stored position and colours, dragging by
the date, the popup menu on the time, the exit confirmation and the About box."""

import unittest

from harness import (CLK_GETBACKCOLOR, CLK_GETFORECOLOR, SCREEN, SETTINGS_KEY, ClockTestCase,
                     key, mousedown, mousemove, mouseup, click)

DESIGNED_WIDTH = 194
DATE_SPOT = (20, 7)   # inside the date label, window coordinates
TIME_SPOT = (80, 8)   # inside the time label, right of the date label
CONFIRM_TEXT = "Kiroの時計 を終了します。".encode("cp932")
ABOUT_CAPTION = "About Kiroの時計".encode("cp932")


class Placement(ClockTestCase):
    def setUp(self):
        super().setUp()
        # The colour schedule would recolour the strip at the first tick.
        self.wine.store_options(Active=0)

    def left(self):
        return self.wine.clock_window().int("left")

    def wait_left(self, expected):
        self.wait_until(lambda: self.left() == expected, 10, interval=0.2,
                        message=f"the strip at {expected}")

    def store_position(self, **values):
        self.wine.reg_import(SETTINGS_KEY, values)

    def colours(self):
        return (self.wine.send(CLK_GETFORECOLOR) & 0xFFFFFFFF,
                self.wine.send(CLK_GETBACKCOLOR) & 0xFFFFFFFF)

    def close_clock(self, clock):
        self.wine.probe("close")
        self.assertEqual(clock.wait(20), 0)

    def test_first_run_starts_at_the_designed_place_and_first_close_creates_the_key(self):
        clock = self.start_clock()
        window = self.wine.clock_window()
        self.assertEqual((window.int("left"), window.int("top")), (293, 0))
        self.assertEqual(self.colours(), (0x0000FFFF, 0))
        self.close_clock(clock)
        self.assertEqual(self.wine.reg_query(SETTINGS_KEY), {
            "Left": ("REG_DWORD", 293),
            "ForeColor": ("REG_DWORD", 0x0000FFFF),
            "BackColor": ("REG_DWORD", 0),
        })

    def test_stored_left_is_clamped_with_the_designed_width(self):
        for stored, expected in ((5000, SCREEN[0] - DESIGNED_WIDTH), (-40, 0), (500, 500)):
            with self.subTest(stored=stored):
                self.store_position(Left=stored, ForeColor=0x00FFFFFF, BackColor=0x00800000)
                clock = self.start_clock()
                try:
                    self.assertEqual(self.left(), expected)
                    self.assertEqual(self.colours(), (0x00FFFFFF, 0x00800000))
                finally:
                    self.close_clock(clock)

    def test_malformed_left_loads_nothing_and_a_missing_colour_loads_no_colour(self):
        self.store_position(Left="12", ForeColor=0xFF, BackColor=0xFF00)  # Left as REG_SZ
        clock = self.start_clock()
        self.assertEqual(self.left(), 293)
        self.assertEqual(self.colours(), (0x0000FFFF, 0))
        self.assertFalse(self.wine.probe("msgbox", 500, check=False)[0].kind == "msgbox")
        clock.kill()
        self.wine.wait_clock_gone()

        self.wine.reg_delete(SETTINGS_KEY, "BackColor")
        self.store_position(Left=100, ForeColor=0xFF)
        clock = self.start_clock()
        self.assertEqual(self.left(), 100)
        self.assertEqual(self.colours(), (0x0000FFFF, 0))
        clock.kill()

    def test_dragging_the_date_moves_sideways_only_and_stops_at_the_edges(self):
        clock = self.start_clock(plugins=("voRecA.DLL",), recorder=True)
        start = self.left()
        mousemove(start + DATE_SPOT[0], DATE_SPOT[1])
        mousedown(1)
        mousemove(start + DATE_SPOT[0] + 100, DATE_SPOT[1] + 60)
        self.wait_left(start + 100)
        self.assertEqual(0, self.wine.clock_window().int("top"))
        # Nothing is written while dragging; only the close saves.
        self.assertNotIn("Left", self.wine.reg_query(SETTINGS_KEY) or {})
        mousemove(SCREEN[0] - 1, DATE_SPOT[1])
        self.wait_left(SCREEN[0] - clock.window.int("width"))
        mousemove(0, DATE_SPOT[1])
        mousemove(1, DATE_SPOT[1] + 200)
        mouseup(1)
        mousemove(300, 300)
        self.wait_until(lambda: clock.recorder.count("buttonup") >= 1, 10,
                        message="the left button released")
        self.assertEqual(0, self.left())

        # The right button drags nothing (released over the strip, so that the release is
        # the clock's to see).
        mousemove(DATE_SPOT[0], DATE_SPOT[1])
        mousedown(3)
        mousemove(DATE_SPOT[0] + 30, DATE_SPOT[1])
        mouseup(3)
        self.wait_until(lambda: clock.recorder.count("buttonup") >= 2, 10,
                        message="the right button released")
        self.assertEqual(0, self.left())
        self.close_clock(clock)
        self.assertEqual(self.wine.reg_query(SETTINGS_KEY)["Left"], ("REG_DWORD", 0))

    def open_menu_and_choose(self, accelerator):
        left = self.left()
        click(3, left + TIME_SPOT[0], TIME_SPOT[1])
        self.wait_until(lambda: [m for m in self.wine.probe("classwindows", "#32768", check=False)
                                 if m.kind == "window" and m.int("visible")],
                        10, message="the popup menu")
        key(accelerator)

    def test_exit_asks_first_and_only_ok_ends(self):
        clock = self.start_clock()
        self.open_menu_and_choose("x")
        box = self.wine.probe("msgbox", 10000)
        header = box[0]
        self.assertEqual(header.text("title"), "確認".encode("cp932"))
        self.assertIn(CONFIRM_TEXT, [r.text("text") for r in box if r.kind == "static"])
        buttons = {r.int("id"): r for r in box if r.kind == "button"}
        self.assertEqual(buttons[1].text("text"), b"OK")
        self.assertEqual(buttons[2].text("text"), "ｷｬﾝｾﾙ".encode("cp932"))
        self.assertEqual(buttons[1].int("default"), 1)
        icons = [r for r in box if r.kind == "icon"]
        self.assertTrue(icons and icons[0]["name"] == "question", icons)

        # The clock goes on ticking under the modal box: the seconds bar moves.
        self.wait_for_a_later_frame()

        self.wine.probe("press", 2)
        self.wait_until(lambda: not any(r.kind == "msgbox"
                                        for r in self.wine.probe("msgbox", 0, check=False)),
                        10, message="the box gone")
        self.wait_for_a_later_frame()
        self.assertTrue(clock.running())
        self.assertNotIn("Left", self.wine.reg_query(SETTINGS_KEY) or {})

        self.open_menu_and_choose("x")
        self.wine.probe("msgbox", 10000)
        self.wine.probe("press", 1)
        self.assertEqual(clock.wait(20), 0)
        self.assertIn("Left", self.wine.reg_query(SETTINGS_KEY))

    def test_about_box_opens_from_the_menu_and_closes_with_enter(self):
        clock = self.start_clock()
        self.open_menu_and_choose("a")
        box = self.wine.probe("msgbox", 10000)[0]
        self.assertEqual(box.text("title"), ABOUT_CAPTION)
        self.assertEqual((box.int("client_width"), box.int("client_height")), (335, 220))
        screen_centre = (SCREEN[0] // 2, SCREEN[1] // 2)
        box_centre = (box.int("left") + box.int("width") // 2,
                      box.int("top") + box.int("height") // 2)
        self.assertLessEqual(abs(box_centre[0] - screen_centre[0]), 2)
        self.assertLessEqual(abs(box_centre[1] - screen_centre[1]), 2)
        key("Return")
        self.wait_until(lambda: not any(r.kind == "msgbox" and r.int("visible") for r in
                                        self.wine.probe("msgbox", 200, check=False)),
                        5, message="the About box to close")
        self.assertTrue(clock.running())
        self.close_clock(clock)


if __name__ == "__main__":
    unittest.main(verbosity=2)
