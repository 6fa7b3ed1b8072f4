#!/usr/bin/python3
"""The telop on the screen: where its first frame lies, how it moves, when it goes away,
and that time signals still queued at close are dropped.

The voTelop test plug-in gives the clock a CLK_TELOP when the test writes its trigger file,
and can stop the clock's thread right after a chosen tick so that a screenshot shows exactly
that frame. It also renders the text in the telop font, so that a frame on the screen can be
matched to the x at which it was drawn. The clocks run in the minute 00:00, where the
default colour schedule keeps the strip yellow on black."""

import os
import shutil
import tempfile
import time
import unittest
from pathlib import Path

import harness
from harness import YELLOW, windows_path
from test_messages import SteadyClockTestCase

TELOP_BOX = (2, 2, 100, 19)  # the telop panel in window coordinates
BAR_ROW = harness.SEC_BAR_ORIGIN[1]
PANEL_WIDTH = harness.CLOCK_SIZE[0]
TELOP_PLUGINS = ("voTelop.dll", "voRecA.DLL")
TEXT = "Telop 0123 WXYZ"


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


def offsets_after(steps, width):
    """FTelopX after each tick of a telop started at 0: 2 px left, wrapping to the panel
    width once the text has left."""
    x, out = 0, []
    for _ in range(steps):
        x -= 2
        if width + x < 0:
            x = PANEL_WIDTH
        out.append(x)
    return out


def bar_visible(image):
    """The seconds bar lies under the telop panel: mostly fore-coloured where it shows."""
    row = harness.row(image, BAR_ROW, 4, 52)
    return row.count(YELLOW) >= 40


# ---- tests --------------------------------------------------------------------------------

class TelopTestCase(SteadyClockTestCase):
    def start_telop_clock(self, at):
        self.plugin = TelopPlugIn()
        self.addCleanup(self.plugin.cleanup)
        clock = self.start_clock(at=at, plugins=TELOP_PLUGINS, recorder=True,
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
        self.plugin.trigger(how="none", text=text, measure=1)
        return Glyphs(self.wait_record(clock, "glyphs")[-1])

    def held_frame(self, clock, tick):
        """The frame the clock drew at the given tick after the trigger, while it is held."""
        self.wait_record(clock, "hold", n=tick)
        return telop_frame(self.clock_image(clock.window))


class TelopMotion(TelopTestCase):
    def test_first_frame_at_minus_2_then_2_px_per_tick_and_wrap_to_the_right(self):
        clock = self.start_telop_clock(at="00:00:05")
        glyphs = self.measure(clock, TEXT)
        self.assertGreater(glyphs.width, 40, "implausible text width")
        offsets = offsets_after(400, glyphs.width)
        wrap_tick = offsets.index(PANEL_WIDTH) + 1
        checks = [1, 5, wrap_tick, wrap_tick + 6]
        self.plugin.trigger(how="send", text=TEXT, hold=",".join(map(str, checks)), holdms=1200)
        self.assertEqual("0", self.wait_record(clock, "telop")[0]["result"])
        for tick in checks:
            with self.subTest(tick=tick):
                frame = self.held_frame(clock, tick)
                expected = offsets[tick - 1]
                if expected >= TELOP_BOX[2] - TELOP_BOX[0]:
                    self.assertEqual(set(), frame, "text shown although it lies right of the image")
                else:
                    self.assertEqual([expected], glyphs.offsets_of(frame))

        # Free-running: consecutive frames are as many 2-pixel steps apart as ticks went by.
        self.wait_record(clock, "resume", n=checks[-1])
        cycle = offsets.index(PANEL_WIDTH, wrap_tick) - wrap_tick + 1
        seen = []
        for _ in range(6):
            image = self.clock_image(clock.window)
            moment = (image.info["time_before"] + image.info["time_after"]) / 2
            matches = glyphs.offsets_of(telop_frame(image))
            self.assertEqual(1, len(matches), f"frame matches no single offset: {matches}")
            seen.append((moment, matches[0]))
            time.sleep(0.35)
        for (t0, x0), (t1, x1) in zip(seen, seen[1:]):
            index0 = offsets.index(x0, wrap_tick)
            index1 = offsets.index(x1, index0)
            ticks = (index1 - index0) % cycle
            elapsed_ticks = (t1 - t0) / 0.05
            self.assertLessEqual(abs(ticks - elapsed_ticks), 0.4 * elapsed_ticks + 3,
                                 f"{ticks} steps from x={x0} to x={x1} in {t1 - t0:.2f} s")
        self.assertTrue(all(x % 2 == 0 for _, x in seen))

    @unittest.skip("frame of the second text not matched yet; see the handover notes")
    def test_a_new_text_keeps_the_offset(self):
        clock = self.start_telop_clock(at="00:00:05")
        first = self.measure(clock, TEXT)
        offsets = offsets_after(400, first.width)
        self.plugin.trigger(how="send", text=TEXT, hold="10", holdms=300)
        self.wait_record(clock, "resume", n=10)
        second = self.measure(clock, "Another")
        self.plugin.trigger(how="send", text="Another", hold="3", holdms=1200)
        frame = self.held_frame(clock, 3)
        # The first text went at least 10 steps and is still visible; the second goes on
        # from where it stood, so it lies at least 12 + 2*3 px left of 0.
        [x] = second.offsets_of(frame)
        self.assertLessEqual(x, offsets[9] - 6)
        self.assertEqual(0, x % 2)


class TelopEnd(TelopTestCase):
    @unittest.skip("the covered frame reads empty in this test only; see the handover notes")
    def test_hidden_on_the_minute_change_and_the_labels_show_again(self):
        clock = self.start_telop_clock(at="00:00:54")
        glyphs = self.measure(clock, TEXT)
        self.plugin.trigger(how="send", text=TEXT)
        self.wait_record(clock, "telop")
        time.sleep(0.3)
        covered = self.clock_image(clock.window)
        self.assertFalse(bar_visible(covered), "the telop does not cover the seconds bar")
        self.assertEqual(1, len(glyphs.offsets_of(telop_frame(covered))))

        wait = 60 - clock.local_time().second + 0.5
        self.assertLess(wait, 8, "the minute change came too early to test")
        time.sleep(wait)
        after = self.clock_image(clock.window)
        self.assertEqual(0, clock.local_time().minute % 60 - 1)
        self.assertTrue(bar_visible(after), "seconds bar still hidden after the minute")
        self.assertEqual([], glyphs.offsets_of(telop_frame(after)))
        # The time label shows the new minute again (yellow pixels right of the date).
        self.assertGreater(harness.count_colour(after, (56, 2, 100, 14), YELLOW), 20)

    def test_it_shows_no_hint_and_a_click_hides_it(self):
        clock = self.start_telop_clock(at="00:00:05")
        glyphs = self.measure(clock, TEXT)
        self.plugin.trigger(how="send", text=TEXT)
        self.wait_record(clock, "telop")

        def hint_after_hovering(x):
            harness.mousemove(clock.window.int("left") + x, 10)
            time.sleep(1.5)
            shown = self.wine.probe("dialog", "owned:" + harness.CLOCK_CAPTION.hex(),
                                    check=False)[0]
            return shown.kind == "dialog" and shown.text("class") == b"tooltips_class32"

        # The date label's hint stays away while the telop covers the label.
        self.assertFalse(hint_after_hovering(50), "a hint over the telop")

        # A click is a press and a release over the telop; the press alone leaves it.
        harness.mousedown(1)
        time.sleep(0.4)
        self.assertFalse(bar_visible(self.clock_image(clock.window)), "hidden on the press")
        harness.mouseup(1)
        time.sleep(0.4)
        image = self.clock_image(clock.window)
        self.assertTrue(bar_visible(image), "the telop is still shown after the click")
        self.assertEqual([], glyphs.offsets_of(telop_frame(image)))
        self.assertTrue(clock.running())
        self.assertTrue(hint_after_hovering(80), "no hint on the uncovered time label")


class TelopAtClose(TelopTestCase):
    def make_wave(self):
        """A short silent wave file whose access time lies before its change time, so that
        any read of it moves the access time (relatime)."""
        import wave
        path = self.plugin.directory / "signal.wav"
        with wave.open(str(path), "wb") as out:
            out.setnchannels(1)
            out.setsampwidth(1)
            out.setframerate(8000)
            out.writeframes(bytes([128]) * 800)
        stat = path.stat()
        os.utime(path, (stat.st_mtime - 3600, stat.st_mtime))
        return path

    def wave_was_read(self, path):
        stat = path.stat()
        return stat.st_atime > stat.st_mtime

    def test_a_sent_signal_reads_its_wave_file(self):
        # The control for the test below: the access time does tell a played wave.
        clock = self.start_telop_clock(at="00:00:05")
        wave_path = self.make_wave()
        self.assertFalse(self.wave_was_read(wave_path))
        self.plugin.trigger(how="send", wave=windows_path(wave_path))
        self.wait_record(clock, "telop")
        self.wait_until(lambda: self.wave_was_read(wave_path), 5, message="the wave being read")

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
        time.sleep(0.5)
        self.assertFalse(self.wave_was_read(wave_path), "the queued wave was played")


if __name__ == "__main__":
    unittest.main(verbosity=2)
