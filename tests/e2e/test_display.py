#!/usr/bin/python3
"""What the strip shows, read pixel by pixel from the screen: bevels, panel, text, the
seconds bar, and the time label turning over at the minute.

Most tests start the clock within the minute 00:00: the first tick then finds the designed
"00:00" already shown and runs no colour schedule, and at 00:01 the schedule's blend is still
black, so the strip stays yellow on black throughout."""

import time
import unittest

import harness
from harness import BLACK, YELLOW, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW

WIDTH, HEIGHT = harness.CLOCK_SIZE
DATE_AREA = (3, 1, 56, 14)  # left, top, right, bottom (exclusive)
TIME_AREA = (52, 1, 102, 16)
BAR_TOP = harness.SEC_BAR_ORIGIN[1]
BAR_LEFT = harness.SEC_BAR_ORIGIN[0]
BAR_RIGHT = BAR_LEFT + harness.SEC_BAR_SIZE[0]


def inside(area, x, y):
    left, top, right, bottom = area
    return left <= x < right and top <= y < bottom


def bevel_edges(highlight, shadow):
    """(name, pixels, colour) for the four edges of both bevels, corners left out: how a
    corner is shared between two edges is not what these tests are about."""
    w, h = WIDTH, HEIGHT
    return [
        ("outer top", [(x, 0) for x in range(1, w - 2)], highlight),
        ("outer left", [(0, y) for y in range(1, h - 2)], highlight),
        ("outer bottom", [(x, h - 1) for x in range(2, w - 1)], shadow),
        ("outer right", [(w - 1, y) for y in range(2, h - 1)], shadow),
        ("inner top", [(x, 1) for x in range(2, w - 3)], shadow),
        ("inner left", [(1, y) for y in range(2, h - 3)], shadow),
        ("inner bottom", [(x, h - 2) for x in range(3, w - 2)], highlight),
        ("inner right", [(w - 2, y) for y in range(3, h - 2)], highlight),
    ]


def bar_gap(image):
    """Columns (bar image coordinates) of the bar that are not fore-coloured, per row."""
    return [[x - BAR_LEFT for x in range(BAR_LEFT, BAR_RIGHT)
             if image.getpixel((x, y)) != YELLOW] for y in (BAR_TOP, BAR_TOP + 1)]


class StripTest(harness.ClockTestCase):
    def setUp(self):
        super().setUp()
        self.clock = self.start_clock(at="00:00:05")
        time.sleep(0.5)  # a few ticks: labels and bar drawn
        self.image = self.clock_image(self.clock.window)

    def test_bevels_use_the_system_button_colours(self):
        highlight = self.wine.syscolor(COLOR_BTNHIGHLIGHT)
        shadow = self.wine.syscolor(COLOR_BTNSHADOW)
        self.assertNotEqual(highlight, shadow)
        for name, points, colour in bevel_edges(highlight, shadow):
            with self.subTest(name):
                # The labels are transparent and may reach over the inner edge with a glyph.
                wrong = [(x, y, self.image.getpixel((x, y))) for x, y in points
                         if self.image.getpixel((x, y)) != colour
                         and not (self.image.getpixel((x, y)) == YELLOW
                                  and (inside(DATE_AREA, x, y) or inside(TIME_AREA, x, y)))]
                self.assertEqual([], wrong)

    def test_panel_is_black_where_nothing_is_drawn(self):
        blank = ([(2, y) for y in range(2, 19)] +
                 [(x, y) for x in range(2, 100) for y in (17, 18)] +
                 [(x, 16) for x in range(56, 100)])
        wrong = [(x, y) for x, y in blank if self.image.getpixel((x, y)) != BLACK]
        self.assertEqual([], wrong)

    def test_date_and_time_are_yellow_without_antialiasing(self):
        for name, area in (("date", DATE_AREA), ("time", TIME_AREA)):
            with self.subTest(name):
                inner = (max(area[0], 2), max(area[1], 2), min(area[2], WIDTH - 2),
                         min(area[3], BAR_TOP))
                counts = harness.colour_counts(self.image, inner)
                self.assertGreater(counts[YELLOW], 20, f"too little text in the {name} area")
                self.assertEqual({BLACK, YELLOW}, set(counts), "colours other than text and "
                                 "panel: anti-aliased or wrongly coloured text")


class SecondsBarTest(harness.ClockTestCase):
    def assert_gap_matches_time(self, clock, window):
        image = self.clock_image(window)
        positions = harness.sec_bar_positions_between(
            clock, image.info["time_before"], image.info["time_after"])
        allowed = {tuple(harness.sec_bar_gap(p)) for p in positions}
        gap_rows = bar_gap(image)
        self.assertEqual(gap_rows[0], gap_rows[1], "the two rows of the bar differ")
        self.assertIn(tuple(gap_rows[0]), allowed,
                      f"gap at {gap_rows[0]} for local time "
                      f"{clock.local_time(image.info['time_before']).time()}")
        for x in range(BAR_LEFT, BAR_RIGHT):
            colour = image.getpixel((x, BAR_TOP))
            self.assertIn(colour, (YELLOW, BLACK), f"bar column {x - BAR_LEFT}")
        return gap_rows[0], image

    def test_gap_follows_the_time(self):
        clock = self.start_clock(at="00:00:10")
        seen = set()
        for _ in range(4):
            gap, _ = self.assert_gap_matches_time(clock, clock.window)
            seen.add(tuple(gap))
            time.sleep(1.6)
        self.assertGreaterEqual(len(seen), 3, "the gap did not move")

    def test_minute_change_turns_the_time_label_and_restarts_the_bar(self):
        clock = self.start_clock(at="00:00:56")
        window = clock.window

        def wait_for_local_second(second, millisecond):
            while True:
                now = clock.local_time()
                if now.minute >= 1 or (now.second, now.microsecond // 1000) >= (second,
                                                                                  millisecond):
                    return
                time.sleep(0.02)

        wait_for_local_second(58, 800)
        gap_end, before = self.assert_gap_matches_time(clock, window)
        self.assertEqual(0, clock.local_time(before.info["time_after"]).minute,
                         "the screenshot came too late")
        self.assertEqual([45, 46, 47], gap_end, "gap at the end of the minute")

        self.wait_until(lambda: clock.local_time().second < 30 and
                        clock.local_time().microsecond > 400_000, timeout=5,
                        message="the next minute")
        gap_start, after = self.assert_gap_matches_time(clock, window)
        self.assertEqual([3, 4, 5, 6], gap_start, "gap at the start of the minute")

        def area(image, box):
            return harness.pixels(image, box)

        self.assertNotEqual(area(before, TIME_AREA), area(after, TIME_AREA),
                            "time label did not change at the minute")
        self.assertEqual(area(before, DATE_AREA), area(after, DATE_AREA),
                         "date label changed without a change of date")


class ColourScheduleDisplayTest(harness.ClockTestCase):
    def test_blended_colour_is_applied_on_the_first_tick(self):
        # 03:00 lies halfway from black to blue: blue channel 255 * 180 div 360 = 127.
        clock = self.start_clock(at="03:00:10")
        time.sleep(0.5)
        self.assertEqual(0x007F0000, self.wine.send("CLK_GETBACKCOLOR"))
        self.assertEqual(0x0000FFFF, self.wine.send("CLK_GETFORECOLOR"))
        image = self.clock_image(clock.window)
        self.assertEqual((0, 0, 127), image.getpixel((2, 18)), "panel colour")

    def test_blend_is_applied_when_start_up_pumps_messages_across_a_minute(self):
        # voPump's VpiEnable pumps messages for 4 s from just before 03:00: the first ticks,
        # and the minute change, come while the settings dialog is still being made.
        clock = self.start_clock(at="02:59:58", plugins=["voPump.dll"], wait_window=False)
        clock.window = self.wine.clock_window(wait=60)
        self.assertEqual((3, 0), (clock.local_time().hour, clock.local_time().minute))
        # Half way from black to blue at 03:00; the stored colour, black, stays until 03:01
        # when the first minute is missed.
        self.assertEqual(0x007F0000, self.wine.send("CLK_GETBACKCOLOR"))
        self.assertEqual((3, 0), (clock.local_time().hour, clock.local_time().minute))


if __name__ == "__main__":
    unittest.main()
