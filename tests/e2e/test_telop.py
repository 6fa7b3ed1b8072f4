#!/usr/bin/python3
"""The telop on the screen: where its first frame lies, how it moves, when it goes away,
and that time signals still queued at close are dropped; the hints beside it, and its eras.

The voTelop test plug-in gives the clock a CLK_TELOP when the test writes its trigger file,
and can stop the clock's thread right after a chosen tick so that a screenshot shows exactly
that frame. It also renders the text in the telop font, so that a frame on the screen can be
matched to the x at which it was drawn. The recorder plug-in writes down each wave the clock
plays. The clocks on screen run in the minute 00:00, where the default colour schedule keeps
the strip yellow on black."""

import datetime
import os
import shutil
import tempfile
import time
import unittest
import wave
from pathlib import Path

import harness
from harness import YELLOW, windows_path

TELOP_BOX = (2, 2, 100, 19)  # the telop panel in window coordinates
BAR_ROW = harness.SEC_BAR_ORIGIN[1]
PANEL_WIDTH = harness.CLOCK_SIZE[0]
TELOP_PLUGINS = ("voTelop.dll", "voRecA.DLL")
TEXT = "Telop 0123 WXYZ"
# Wider than the panel and any offset a test lets the first text reach.
WIDE_TEXT = "Another telop, wider than the strip and then some"
TIME_HINT = "ポップアップメニュー"  # the time label's hint
ERAS_KEY = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Nls\Calendars\Japanese\Eras"


# ---- helpers ------------------------------------------------------------------------------

class TelopPlugIn:
    """The trigger file of voTelop and what it recorded (tag "T" in the recorder log)."""

    def __init__(self):
        self.directory = Path(tempfile.mkdtemp(prefix="vo-telop-"))
        self.path = self.directory / "telop.trigger"

    @property
    def env(self):
        return {"VO_TELOP_TRIGGER": windows_path(self.path)}

    def trigger(self, **lines):
        staging = self.directory / "staging"
        staging.write_bytes(
            "".join(f"{name}={value}\n" for name, value in lines.items()).encode("cp932"))
        os.replace(staging, self.path)

    def cleanup(self):
        shutil.rmtree(self.directory, ignore_errors=True)


def records(clock, kind, tag="T"):
    return [r for r in clock.recorder.events() if r.kind == kind and r["tag"] == tag]


class Glyphs:
    """The telop text as rendered at 0, 0 by the plug-in: inked (column, row) pixels."""

    def __init__(self, record):
        self.width = record.int("width")
        self.font = record.fields.get("font")
        self.inked = {(x, y) for y, line in enumerate(record["rows"].split("."))
                      for x, bit in enumerate(line) if bit == "1"}

    def at(self, x):
        """The pixels of the telop image that the text drawn at x inks."""
        width = TELOP_BOX[2] - TELOP_BOX[0]
        return {(c + x, r) for c, r in self.inked if 0 <= c + x < width}

    def offsets_of(self, frame):
        """Every x at which the text would look exactly like the frame."""
        return [x for x in range(-self.width - 4, PANEL_WIDTH + 4) if self.at(x) == frame]


def telop_frame(image):
    """Fore-coloured pixels inside the telop panel, in telop image coordinates."""
    left, top, right, bottom = TELOP_BOX
    return {(x - left, y - top) for y in range(top, bottom) for x in range(left, right)
            if image.getpixel((x, y)) == YELLOW}


def bar_visible(image):
    """The seconds bar lies under the telop panel: mostly fore-coloured where it shows."""
    row = harness.row(image, BAR_ROW, 4, 52)
    return row.count(YELLOW) >= 40


# ---- tests --------------------------------------------------------------------------------

class TelopTestCase(harness.ClockTestCase):
    def start_telop_clock(self, at, plugins=TELOP_PLUGINS):
        self.plugin = TelopPlugIn()
        self.addCleanup(self.plugin.cleanup)
        clock = self.start_clock(at=at, plugins=plugins, recorder=True,
                                 env=self.plugin.env)
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 2, 20,
                        message="ticks reaching the plug-ins")
        return clock

    def wait_record(self, clock, kind, count=1, timeout=10, **fields):
        def found():
            matching = [r for r in records(clock, kind)
                        if all(r[name] == str(value) for name, value in fields.items())]
            return matching if len(matching) >= count else None
        return self.wait_until(found, timeout, interval=0.02, message=f"{kind} {fields}")

    def measure(self, clock, text):
        count = len(records(clock, "glyphs"))
        self.plugin.trigger(how="none", text=text, measure=1)
        return Glyphs(self.wait_record(clock, "glyphs", count=count + 1)[-1])

    def held_frame(self, clock, tick):
        """The frame the clock drew at the given tick after the trigger, while it is held."""
        self.wait_record(clock, "hold", n=tick)
        image = self.clock_image(clock.window)
        self.assertNotIn(str(tick), [r["n"] for r in records(clock, "resume")],
                         "the clock went on before the screenshot was taken")
        return telop_frame(image)

    def hint_shown(self):
        return self.hint_text() is not None

    def hint_text(self):
        """The text of the hint shown beside the clock, or None."""
        shown = self.wine.probe("dialog", "owned:" + harness.CLOCK_CAPTION.hex(), check=False)[0]
        if shown.kind != "dialog" or shown.text("class") != b"tooltips_class32":
            return None
        return shown.text("text").decode("cp932")


class TelopMotion(TelopTestCase):
    def test_first_frame_at_minus_2_then_2_px_per_tick_and_wrap_to_the_right(self):
        clock = self.start_telop_clock(at="00:00:05")
        glyphs = self.measure(clock, TEXT)
        self.assertGreater(glyphs.width, 40, "implausible text width")
        # The text's right end passes the left edge at tick width / 2; the next tick puts it
        # back at the right edge (102, out of sight), and it comes in again 2 px a tick.
        wrap_tick = glyphs.width // 2 + 1
        expected = {1: -2, 5: -10, wrap_tick: None, wrap_tick + 6: PANEL_WIDTH - 12}
        self.plugin.trigger(how="send", text=TEXT, hold=",".join(map(str, expected)),
                            holdms=2500)
        self.assertEqual("0", self.wait_record(clock, "telop")[0]["result"])
        for tick, x in expected.items():
            with self.subTest(tick=tick):
                frame = self.held_frame(clock, tick)
                if x is None:
                    self.assertEqual(set(), frame, "text shown although it lies right of the image")
                else:
                    self.assertEqual([x], glyphs.offsets_of(frame))

        # Free-running: each frame on the screen is the text at one even offset, and it moves.
        self.wait_record(clock, "resume", n=wrap_tick + 6)
        seen = []
        for _ in range(4):
            matches = glyphs.offsets_of(telop_frame(self.clock_image(clock.window)))
            self.assertEqual(1, len(matches), f"frame matches no single offset: {matches}")
            self.assertEqual(0, matches[0] % 2)
            seen.append(matches[0])
        self.assertGreater(len(set(seen)), 1, f"the telop stood still at {seen}")

    def test_a_new_text_keeps_the_offset(self):
        clock = self.start_telop_clock(at="00:00:05")
        wide = self.measure(clock, WIDE_TEXT)
        self.assertGreater(wide.width, PANEL_WIDTH + 60, "the second text is not wide enough")
        self.plugin.trigger(how="send", text=TEXT, hold="10", holdms=300)
        self.wait_record(clock, "resume", n=10)
        self.plugin.trigger(how="send", text=WIDE_TEXT, hold="3", holdms=2500)
        frame = self.held_frame(clock, 3)
        # The first text stood at -20 after 10 ticks; the second goes on from where the first
        # had got to, 3 more ticks at least: a restart would put it at -6.
        [x] = wide.offsets_of(frame)
        self.assertLessEqual(x, -26)
        self.assertEqual(0, x % 2)


class TelopEnd(TelopTestCase):
    def test_hidden_on_the_minute_change_and_the_labels_show_again(self):
        clock = self.start_telop_clock(at="00:00:40")
        glyphs = self.measure(clock, TEXT)
        self.plugin.trigger(how="send", text=TEXT, hold="3", holdms=2500)
        covered = self.held_frame(clock, 3)
        self.assertEqual([-6], glyphs.offsets_of(covered))
        self.assertEqual(0, clock.local_time().minute, "the minute changed before the telop")
        self.assertFalse(bar_visible(self.clock_image(clock.window)),
                         "the telop does not cover the seconds bar")

        # The minute change as the recorder sees it, then a few more ticks for the frame.
        changed = self.wait_until(lambda: [r for r in clock.recorder.events()
                                           if r.kind == "notify" and r["tag"] == "A"], 30,
                                  message="the minute change")[-1].int("tick")
        self.wait_until(lambda: clock.recorder.ticks_after(changed) >= 3, 10,
                        message="ticks after the minute change")
        after = self.clock_image(clock.window)
        self.assertTrue(bar_visible(after), "seconds bar still hidden after the minute")
        self.assertEqual([], glyphs.offsets_of(telop_frame(after)))
        # The time label shows the new minute again (yellow pixels right of the date).
        self.assertGreater(harness.count_colour(after, (56, 2, 100, 14), YELLOW), 20)

    def test_it_shows_no_hint_and_a_click_hides_it(self):
        clock = self.start_telop_clock(at="00:00:05")
        glyphs = self.measure(clock, TEXT)
        self.plugin.trigger(how="send", text=TEXT)
        self.wait_record(clock, "telop")
        self.wait_until(lambda: not bar_visible(self.clock_image(clock.window)), 5,
                        message="the telop over the strip")

        def hint_after_hovering(x):
            harness.mousemove(clock.window.int("left") + x, 10)
            time.sleep(1.5)
            return self.hint_shown()

        # The date label's hint stays away while the telop covers the label.
        self.assertFalse(hint_after_hovering(50), "a hint over the telop")

        # A click is a press and a release over the telop; the press alone leaves it.
        harness.mousedown(1)
        pressed = self.wait_until(lambda: [r for r in clock.recorder.events()
                                           if r.kind == "buttondown"], 10,
                                  message="the press reaching the clock")[0].int("tick")
        self.wait_until(lambda: clock.recorder.ticks_after(pressed) >= 2, 10,
                        message="ticks after the press")
        self.assertFalse(bar_visible(self.clock_image(clock.window)), "hidden on the press")
        harness.mouseup(1)
        self.wait_until(lambda: clock.recorder.count("buttonup"), 10,
                        message="the release reaching the clock")
        self.wait_until(lambda: bar_visible(self.clock_image(clock.window)), 5,
                        message="the strip uncovered after the click")
        self.assertEqual([], glyphs.offsets_of(telop_frame(self.clock_image(clock.window))))
        self.assertTrue(clock.running())
        self.assertTrue(hint_after_hovering(80), "no hint on the uncovered time label")


class WideSubclass(TelopTestCase):
    def test_the_time_hint_shows_a_telop_closes_it_and_vo_takes_its_procedure_back(self):
        # voFaultW makes the clock's window Unicode and answers the hints' format question
        # itself (they then ask for their texts in the wide form, TTN_GETDISPINFOW), and
        # leaves its procedure in place at VpiDisable; it stands in for the recorder's ticks.
        clock = self.start_telop_clock(at="00:00:05", plugins=("voTelop.dll", "voFaultW.dll"))
        for x in (70, 80):  # a move, wherever the mouse was left
            harness.mousemove(clock.window.int("left") + x, 10)
        self.wait_until(self.hint_shown, 8, message="the time label's hint, asked in Unicode")
        self.assertEqual(TIME_HINT, self.hint_text(), "the time label's hint asked in Unicode")
        self.plugin.trigger(how="send", text=TEXT)
        # Well within the time the hint would stay up on its own.
        self.wait_until(lambda: not self.hint_shown(), 3, message="the hint closed by the telop")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(30))
        self.assertEqual([], clock.recorder.sequence("late"), "messages after VpiDisable")


class SystemEras(harness.ClockTestCase):
    def test_an_era_added_to_the_systems_list_names_the_telop(self):
        existed = self.wine.reg_query(ERAS_KEY) is not None
        self.wine.reg_import(ERAS_KEY, {"2026 10 01": "新元_新_Shingen_S"})
        self.addCleanup(self.wine.reg_delete, ERAS_KEY, "2026 10 01" if existed else None)
        self.wine.store_options(useTelop=1, Telop="%G|%g|%e", Interval=15)
        clock = self.start_clock(at="10:15:05", plugins=["voRecA.DLL"], recorder=True)
        message = self.wait_until(lambda: [r for r in records(clock, "message", "A")
                                           if r["name"] == "CLK_TELOP"], 20,
                                  message="the time signal")[0]
        day = clock.local_time().date()
        self.assertGreaterEqual(day, datetime.date(2026, 10, 1), "this machine's clock is wrong")
        self.assertEqual(f"新元|新|{day.year - 2025}".encode("cp932"), message.text("text"))


class TelopAtClose(TelopTestCase):
    def make_wave(self):
        """A short silent wave file."""
        path = self.plugin.directory / "signal.wav"
        with wave.open(str(path), "wb") as out:
            out.setnchannels(1)
            out.setsampwidth(1)
            out.setframerate(8000)
            out.writeframes(bytes([128]) * 800)
        return path

    @staticmethod
    def played(clock):
        return [r.text("path") for r in clock.recorder.events() if r.kind == "play"]

    def test_a_sent_signal_plays_its_wave_file(self):
        # The control for the test below: the recorder does see a wave played.
        clock = self.start_telop_clock(at="00:00:05")
        wave_path = windows_path(self.make_wave())
        self.assertEqual([], self.played(clock))
        self.plugin.trigger(how="send", wave=wave_path)
        self.wait_record(clock, "telop")
        self.assertEqual([wave_path.encode("cp932")],
                         self.wait_until(lambda: self.played(clock), 5, message="the wave played"))

    def test_signals_queued_at_close_are_neither_handled_nor_played(self):
        clock = self.start_telop_clock(at="00:00:05")
        wave_path = self.make_wave()
        self.plugin.trigger(how="close", text=TEXT, wave=windows_path(wave_path), count=3)
        self.assertEqual(0, clock.wait(20))
        self.assertEqual("3", records(clock, "telop")[0]["posted"])
        self.assertEqual("1", records(clock, "disable")[0]["queued"],
                         "the signals were handled before the close")
        reached = [r for r in clock.recorder.events()
                   if r.kind == "message" and r["name"] == "CLK_TELOP"]
        self.assertEqual([], reached, "a queued CLK_TELOP reached the window")
        self.assertEqual([], self.played(clock), "the queued wave was played")


if __name__ == "__main__":
    unittest.main(verbosity=2)
