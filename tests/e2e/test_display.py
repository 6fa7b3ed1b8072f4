#!/usr/bin/python3
"""What the strip shows, read pixel by pixel from the screen: bevels, panel, text, the
seconds bar, and the time label turning over at the minute.

The voTelop test plug-in renders captions in the clock's fonts, so that the labels on the
screen can be matched to the text they should show, and can hold the clock's thread right
after a tick, so that a screenshot catches exactly the frame of that tick."""

import time
import unittest

import harness
from harness import BLACK, YELLOW, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW
from test_telop import Glyphs, TelopPlugIn

WIDTH, HEIGHT = harness.CLOCK_SIZE
DATE_AREA = (3, 1, 56, 14)  # left, top, right, bottom (exclusive)
TIME_AREA = (52, 1, 102, 16)
BAR_TOP = harness.SEC_BAR_ORIGIN[1]
BAR_LEFT = harness.SEC_BAR_ORIGIN[0]
BAR_RIGHT = BAR_LEFT + harness.SEC_BAR_SIZE[0]
# Where each caption's pixels are compared with its rendering: inside the bevels, away from
# the other label's box (the two overlap in columns 52-55).
DATE_COMPARED = (3, 2, 52, 14)
TIME_COMPARED = (56, 2, 100, 16)
PLUGINS = ("voTelop.dll", "voRecA.DLL")


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


def inked(image, area):
    """Fore-coloured pixels of the area, in window coordinates."""
    left, top, right, bottom = area
    return {(x, y) for y in range(top, bottom) for x in range(left, right)
            if image.getpixel((x, y)) == YELLOW}


def rendered(glyphs, area, box):
    """The rendering's inked pixels that fall into the compared area, in window coordinates."""
    left, top, right, bottom = area
    return {(x + box[0], y + box[1]) for x, y in glyphs.inked
            if left <= x + box[0] < right and top <= y + box[1] < bottom}


class PluggedClockTestCase(harness.ClockTestCase):
    def start_plugged_clock(self, at):
        self.plugin = TelopPlugIn()
        self.addCleanup(self.plugin.cleanup)
        clock = self.start_clock(at=at, plugins=PLUGINS, recorder=True, env=self.plugin.env)
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 2, 20,
                        message="ticks reaching the plug-ins")
        return clock

    def events(self, clock, kind):
        return [r for r in clock.recorder.events() if r.kind == kind and r["tag"] == "T"]

    def measure(self, clock, text, font):
        count = len(self.events(clock, "glyphs"))
        self.plugin.trigger(how="none", text=text, measure=1, font=font)
        self.wait_until(lambda: len(self.events(clock, "glyphs")) > count, 10,
                        message=f"{text} measured")
        return Glyphs(self.events(clock, "glyphs")[-1])

    def held_image(self, clock, from_second, hold_ms=4000):
        """The clock's frame of the first tick after the local second `from_second` of the
        minute, held while the screenshot is taken; with the second that tick showed."""
        self.wait_until(lambda: clock.local_time().second + clock.local_time().microsecond / 1e6
                        >= from_second, 70, interval=0.02, message=f"second {from_second}")
        count = len(self.events(clock, "hold"))
        self.plugin.trigger(how="none", hold=1, holdms=hold_ms)
        self.wait_until(lambda: len(self.events(clock, "hold")) > count, 10, interval=0.02,
                        message="the held tick")
        resumed = len(self.events(clock, "resume"))
        image = self.clock_image(clock.window)
        self.assertEqual(resumed, len(self.events(clock, "resume")),
                         "the clock went on before the screenshot was taken")
        value = float(self.events(clock, "hold")[-1]["value"])
        return image, value * 86400 % 60


class StripTest(PluggedClockTestCase):
    def test_first_strip_shows_the_date_time_and_colours_of_the_moment(self):
        # Nothing here is what the window was designed with ("98/01/01", "00:00", black):
        # 21:47 blends the red of 18:00 towards black, 255 * 133 div 360 = 94.
        clock = self.start_plugged_clock(at="21:47:05")
        now = clock.local_time()
        date = self.measure(clock, now.strftime("%y/%m/%d"), "date")
        clock_time = self.measure(clock, "21:47", "time")
        panel = (94, 0, 0)
        image = self.clock_image(clock.window)
        self.assertEqual((21, 47), (now.hour, now.minute))

        for what, glyphs, area, box in (("date", date, DATE_COMPARED, DATE_AREA),
                                        ("time", clock_time, TIME_COMPARED, TIME_AREA)):
            with self.subTest(f"{what} label shows the steered {what}"):
                self.assertEqual(what, glyphs.font, "measured in another font (an old voTelop?)")
                self.assertEqual(rendered(glyphs, area, box), inked(image, area))
        with self.subTest("only text and panel colours, no anti-aliasing"):
            for area in (DATE_COMPARED, TIME_COMPARED):
                self.assertEqual({panel, YELLOW}, set(harness.colour_counts(image, area)))
        with self.subTest("panel colour where nothing is drawn"):
            blank = ([(2, y) for y in range(2, 19)] +
                     [(x, y) for x in range(2, 100) for y in (17, 18)] +
                     [(x, 16) for x in range(56, 100)])
            wrong = [(x, y) for x, y in blank if image.getpixel((x, y)) != panel]
            self.assertEqual([], wrong)
        with self.subTest("bevels in the system button colours"):
            highlight = self.wine.syscolor(COLOR_BTNHIGHLIGHT)
            shadow = self.wine.syscolor(COLOR_BTNSHADOW)
            self.assertNotEqual(highlight, shadow)
            for name, points, colour in bevel_edges(highlight, shadow):
                # The labels are transparent and may reach over the inner edge with a glyph.
                wrong = [(x, y, image.getpixel((x, y))) for x, y in points
                         if image.getpixel((x, y)) != colour
                         and not (image.getpixel((x, y)) == YELLOW
                                  and (inside(DATE_AREA, x, y) or inside(TIME_AREA, x, y)))]
                self.assertEqual([], wrong, name)

    def test_strip_shows_the_moment_while_start_up_still_enables_plug_ins(self):
        # voPump holds start-up in its VpiEnable for 6 s and handles no message meanwhile.
        # The strip is up already, with the date and time that the first tick will show, in
        # the stored colours: the colour schedule runs only at that tick.
        self.plugin = TelopPlugIn()
        self.addCleanup(self.plugin.cleanup)
        clock = self.start_clock(at="21:47:05", plugins=("voPump.dll", *PLUGINS), recorder=True,
                                 env={**self.plugin.env, "VO_PUMP_MS": "6000",
                                      "VO_PUMP_BLOCK": "1"})
        early = self.clock_image(clock.window)
        # The recorder is enabled after voPump: no log before start-up went on.
        self.assertEqual(0, clock.recorder.count("enable"), "shot after start-up went on")
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 2, 30,
                        message="ticks reaching the plug-ins")
        now = clock.local_time()
        glyphs = {"date": self.measure(clock, now.strftime("%y/%m/%d"), "date"),
                  "time": self.measure(clock, "21:47", "time")}
        for what, area, box in (("date", DATE_COMPARED, DATE_AREA),
                                ("time", TIME_COMPARED, TIME_AREA)):
            with self.subTest(what):
                self.assertEqual({BLACK, YELLOW}, set(harness.colour_counts(early, area)))
                self.assertEqual(rendered(glyphs[what], area, box), inked(early, area))


class SecondsBarTest(PluggedClockTestCase):
    def assert_gap(self, image, second):
        expected = harness.sec_bar_gap_at(second)
        self.assertIsNotNone(expected,
                             f"the tick came at second {second:.3f}, off the steps tested")
        gap_rows = bar_gap(image)
        self.assertEqual([expected, expected], gap_rows, f"gap at second {second:.3f}")
        colours = {image.getpixel((x, y)) for x in range(BAR_LEFT, BAR_RIGHT)
                   for y in (BAR_TOP, BAR_TOP + 1)}
        self.assertEqual({YELLOW, BLACK}, colours)

    def test_gap_follows_the_time(self):
        clock = self.start_plugged_clock(at="00:00:05")
        for second in (9.85, 29.4):
            with self.subTest(second=second):
                self.assert_gap(*self.held_image(clock, second))

    def test_minute_change_turns_the_time_label_and_restarts_the_bar(self):
        clock = self.start_plugged_clock(at="00:00:45")
        # Held across the minute change: the next tick, the first of 00:01, comes within the
        # first two steps of the bar.
        before, second = self.held_image(clock, 58.65, hold_ms=2500)
        self.assertEqual(0, clock.local_time().minute, "the end of the minute was missed")
        self.assert_gap(before, second)
        self.wait_until(lambda: clock.local_time().minute == 1, 10, message="the next minute")
        after, second = self.held_image(clock, 0.0)
        self.assert_gap(after, second)

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
        self.wait_until(lambda: self.wine.send("CLK_GETBACKCOLOR") == 0x007F0000, 10,
                        message="the blended background")
        self.assertEqual(0x0000FFFF, self.wine.send("CLK_GETFORECOLOR"))
        self.wait_until(lambda: self.clock_image(clock.window).getpixel((2, 18)) == (0, 0, 127),
                        10, message="the panel in the blended colour")

    def test_blend_is_applied_when_start_up_pumps_messages_across_a_minute(self):
        # voPump's VpiEnable pumps messages for 4 s from just before 03:00: the first ticks,
        # and the minute change, come while the settings dialog is still being made.
        clock = self.start_clock(at="02:59:58", plugins=["voPump.dll"], wait_window=False)
        clock.window = self.wine.clock_window(wait=60)
        # The strip shows before the plug-ins are enabled: wait out the pump first.
        pumped = clock.local_time().replace(hour=3, minute=0, second=3, microsecond=0)
        self.wait_until(lambda: clock.local_time() >= pumped, 20, interval=0.1,
                        message="the end of voPump's VpiEnable")
        self.assertEqual((3, 0), (clock.local_time().hour, clock.local_time().minute))
        # Half way from black to blue at 03:00; the stored colour, black, stays until 03:01
        # when the first minute is missed.
        self.assertEqual(0x007F0000, self.wine.send("CLK_GETBACKCOLOR"))
        self.assertEqual((3, 0), (clock.local_time().hour, clock.local_time().minute))


if __name__ == "__main__":
    unittest.main()
