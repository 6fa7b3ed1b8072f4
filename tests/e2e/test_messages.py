#!/usr/bin/python3
"""The six clock control messages sent from another program: their results, what they do
to the strip on the screen, and that pointers from another address space do no harm."""

import unittest

import harness
from harness import (CLK_GETBACKCOLOR, CLK_GETFORECOLOR, CLK_GETLEFT, CLK_SETCOLOR,
                     CLK_SETLEFT, CLK_TELOP, ROOT_BACKGROUND, SETTINGS_KEY, colorref_to_rgb)

COLOR_WINDOW = 5
COLOR_WINDOWTEXT = 8
SYSTEM = 0x80000000
PANEL_SPOT = (2, 18)  # inside the bevels, below the seconds bar: always back-coloured
LABEL_ROWS = (2, 14)  # date and time, above the seconds bar


def unsigned(value):
    return value & 0xFFFFFFFF


class ColourMessages(harness.ClockTestCase):
    def colours(self):
        return unsigned(self.wine.send(CLK_GETFORECOLOR)), unsigned(self.wine.send(CLK_GETBACKCOLOR))

    def test_colours_round_trip_unchanged_and_show_on_the_panel(self):
        self.start_clock(at="00:00:05")
        system_back = self.wine.syscolor(COLOR_WINDOW)
        cases = [
            # fore, back, expected panel pixel
            (0x00FF8040, 0x00204080, (0x80, 0x40, 0x20)),
            (SYSTEM | COLOR_WINDOWTEXT, SYSTEM | COLOR_WINDOW, system_back),
            (0x00FFFFFF, 0x00000000, (0, 0, 0)),
            # Unchecked: a value that is neither RGB nor a system colour comes back as given.
            (0x12345678, 0x7F000001, None),
        ]
        for fore, back, panel in cases:
            with self.subTest(fore=hex(fore), back=hex(back)):
                self.assertEqual(0, self.wine.send(CLK_SETCOLOR, fore, back))
                self.assertEqual((fore, back), self.colours())
                if panel is not None:
                    self.wait_until(lambda: harness.pixel(self.clock_image(), *PANEL_SPOT)
                                    == panel, 5, message=f"the panel in {panel}")

    def test_a_posted_colour_takes_effect_like_a_sent_one(self):
        self.start_clock(at="00:00:05")
        self.wine.post(CLK_SETCOLOR, 0x000000FF, 0x00FF0000)
        self.wait_until(lambda: self.colours() == (0x000000FF, 0x00FF0000), 5,
                        message="the posted colours")
        self.wait_until(lambda: harness.pixel(self.clock_image(), *PANEL_SPOT)
                        == colorref_to_rgb(0x00FF0000), 5, message="the panel in blue")


class LeftMessages(harness.ClockTestCase):
    def test_set_left_is_unclamped_saved_and_clamped_at_the_next_start(self):
        clock = self.start_clock(at="00:00:05")
        old_left = clock.window.int("left")
        self.assertEqual(0, self.wine.send(CLK_SETLEFT, -500))
        self.assertEqual(-500, self.wine.send(CLK_GETLEFT))
        window = self.wine.clock_window()
        self.assertEqual((-500, 0), (window.int("left"), window.int("top")))
        self.wait_until(lambda: harness.pixel(self.screenshot(), old_left + 50, 10)
                        == ROOT_BACKGROUND, 5, message="the strip gone from where it was")

        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))
        self.assertEqual(("REG_DWORD", unsigned(-500)), self.wine.reg_query(SETTINGS_KEY)["Left"])

        self.start_clock(at="00:00:05")
        self.assertEqual(0, self.wine.send(CLK_GETLEFT))
        self.assertEqual(0, self.wine.clock_window().int("left"))

    def test_set_left_moves_anywhere_and_keeps_the_top(self):
        self.start_clock(at="00:00:05")
        for left in (0, 700, harness.SCREEN[0] + 100, -101):
            with self.subTest(left=left):
                self.assertEqual(0, self.wine.send(CLK_SETLEFT, left))
                self.assertEqual(left, self.wine.send(CLK_GETLEFT))
                self.assertEqual(0, self.wine.clock_window().int("top"))


class TelopMessages(harness.ClockTestCase):
    def labels(self):
        image = self.clock_image()
        return image.crop((2, LABEL_ROWS[0], 100, LABEL_ROWS[1])).tobytes()

    def test_empty_and_foreign_telops_return_0_and_show_nothing(self):
        clock = self.start_clock(at="00:00:05", plugins=("voRecA.DLL",), recorder=True)
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 2, 20,
                        message="ticks reaching the recorder")
        before = self.labels()
        # Null pointers, then pointers that mean nothing in the clock's address space.
        self.assertEqual(0, self.wine.send(CLK_TELOP, 0, 0))
        self.assertEqual(0, self.wine.send(CLK_TELOP, 0x10, 0xDEAD0000))
        self.wine.probe("posttelop-wild")
        # A dozen ticks after the last one arrived: a shown telop would cover the labels.
        arrived = self.wait_until(
            lambda: [r for r in clock.recorder.events() if r.kind == "message"
                     and r["name"] == "CLK_TELOP"][2:], 10, message="the posted telop")
        self.wait_until(lambda: clock.recorder.ticks_after(arrived[0].int("tick")) >= 12, 10,
                        message="a dozen ticks after it")
        self.assertTrue(clock.running())
        self.assertEqual(clock.window["hwnd"], self.wine.clock_window()["hwnd"])
        self.assertEqual(before, self.labels(), "the labels changed: a telop is showing")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))


if __name__ == "__main__":
    unittest.main(verbosity=2)
