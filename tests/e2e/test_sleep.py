#!/usr/bin/python3
"""The clock nobody sees: with the session locked or the display off it draws nothing and,
without a plug-in that wants every tick, its thread wakes only at each minute's start, where
the minute's work still runs (the time signal, VpiNotify); the moment it can be seen again it
shows what a clock that never slept would show.

The session is locked by the message the system sends (WM_WTSSESSION_CHANGE, from the probe);
the display is turned off and on by the recorder plug-in from inside the process, since the
system's notice carries a pointer. voRecM is the recorder without VpiNotifyFreq. Wake-ups are
the Linux context switches of the clock's thread."""

import re
import time
import unittest
from pathlib import Path

import harness
from test_telop import TELOP_BOX, telop_frame

WM_WTSSESSION_CHANGE = 0x02B1
WTS_SESSION_LOCK, WTS_SESSION_UNLOCK = 7, 8
DISPLAY_REQUEST = 0x8000 + 0x766  # WM_APP + 0x766: voRecorder tells the clock the display state
TICK = 0.05
DAY = 86400.0


def thread_wakeups(pid, seconds):
    """How often the process's first thread, the clock's, woke within `seconds`."""
    status = Path(f"/proc/{pid}/task/{pid}/status")

    def switches():
        return int(re.search(r"^voluntary_ctxt_switches:\s+(\d+)", status.read_text(), re.M)[1])
    before = switches()
    time.sleep(seconds)
    return switches() - before


def telop_left(image):
    """The left edge of the telop's text, when the whole text shows inside the strip."""
    frame = telop_frame(image)
    if not frame:
        return None
    left, right = min(x for x, _ in frame), max(x for x, _ in frame)
    return (left, right - left) if left > 0 and right < TELOP_BOX[2] - TELOP_BOX[0] - 2 else None


def steps_between(left_from, left_to, width, near):
    """The count of telop steps, nearest to `near`, that move the text's left edge from
    left_from to left_to: 2 pixels a step, re-entering at the strip's right once past the left."""
    x, bearing, found = left_from, left_from % 2, []
    for step in range(1, int(near) + 200):
        x -= 2
        if x + width + 2 < 0:
            x = harness.CLOCK_SIZE[0] + bearing
        if abs(x - left_to) <= 1:
            found.append(step)
    return min(found, key=lambda step: abs(step - near), default=None)


def changed_pixels(before, after, rows=range(harness.CLOCK_SIZE[1])):
    """How many pixels of the strip's rows differ between two images of it."""
    return sum(before.getpixel((x, y)) != after.getpixel((x, y))
               for x in range(harness.CLOCK_SIZE[0]) for y in rows)


class Asleep(harness.ClockTestCase):
    def setUp(self):
        super().setUp()
        self.wine.store_options(useTelop=1, useWaveFile=1, Interval=15)

    def start_minute_clock(self, at):
        clock = self.start_clock(at=at, plugins=("voRecM.dll",), recorder=True)
        self.wait_until(lambda: clock.recorder.count("notify"), 20, message="the first minute")
        return clock

    def display(self, clock, state):
        count = clock.recorder.count("display")
        self.assertEqual(1, self.wine.send(DISPLAY_REQUEST, state), "WM_POWERBROADCAST answer")
        self.wait_until(lambda: clock.recorder.count("display") > count, 5,
                        message=f"the display state {state} told")

    def lock(self, locked):
        self.wine.send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK if locked else WTS_SESSION_UNLOCK)

    def test_display_off_over_a_signal_and_a_minute_then_on_shows_the_strip_of_now(self):
        clock = self.start_minute_clock(at="12:14:48")
        log = clock.recorder
        seen = thread_wakeups(clock.process.pid, 2)
        self.display(clock, 0)
        unseen = thread_wakeups(clock.process.pid, 2)
        self.assertLessEqual(unseen, 2, f"with the display off the clock's thread still woke "
                                        f"{unseen} times in 2 s ({seen} while seen)")
        stale = self.clock_image(clock.window)

        # 12:15 gives a signal, 12:16 ends its telop's minute: both while nobody sees.
        self.wait_until(lambda: clock.local_time().minute == 16 and log.count("notify") >= 3,
                        80, message="VpiNotify of 12:15 and 12:16")
        minutes = [round(float(r["value"]) % 1 * DAY) // 60 % 60 for r in log.events()
                   if r.kind == "notify"]
        self.assertEqual([14, 15, 16], minutes, "VpiNotify once a minute while unseen")
        played = [r for r in log.events() if r.kind == "play"]
        posted = [r for r in log.events() if r.kind == "message" and r["name"] == "CLK_TELOP"]
        self.assertEqual((1, 1), (len(played), len(posted)),
                         "the time signal of 12:15, unseen, played its wave and posted its telop")
        self.assertEqual(0, changed_pixels(stale, self.clock_image(clock.window)),
                         "the strip was drawn while the display was off")

        self.display(clock, 1)
        time.sleep(0.3)
        woken = self.clock_image(clock.window)
        # A clock that never slept, started now: the same date, time and colours, no telop.
        clock.kill()
        self.wine.wait_clock_gone()
        fresh = self.start_clock(at=clock.local_time().strftime("%H:%M:%S"))
        time.sleep(1)
        bar_rows = (harness.SEC_BAR_ORIGIN[1], harness.SEC_BAR_ORIGIN[1] + 1)
        rows = [y for y in range(harness.CLOCK_SIZE[1]) if y not in bar_rows]
        self.assertEqual(0, changed_pixels(woken, self.clock_image(fresh.window), rows),
                         "pixels of the woken strip that differ from a clock's that never slept "
                         "(bar rows aside)")

    def test_locked_under_a_telop_then_unlocked_the_telop_has_moved_on_as_if_seen(self):
        self.wine.store_options(useTelop=1, Telop="%h", Interval=15)  # "12", a short text
        clock = self.start_minute_clock(at="12:15:01")  # the first tick gives the signal

        def whole_text():  # with the moment of the screenshot
            before = time.monotonic()
            shown = telop_left(self.clock_image(clock.window))
            return shown and (shown, (before + time.monotonic()) / 2)
        (left_seen, width), seen_at = self.wait_until(whole_text, 10, interval=0.02,
                                                      message="the whole telop in the strip")
        self.lock(True)
        still = self.clock_image(clock.window)
        time.sleep(1)
        self.assertEqual(telop_frame(still), telop_frame(self.clock_image(clock.window)),
                         "the telop was drawn while the session was locked")
        self.lock(False)
        (left_woken, _), woken_at = self.wait_until(whole_text, 5, interval=0.02,
                                                    message="the whole telop after the unlock")
        near = (woken_at - seen_at) / TICK
        steps = steps_between(left_seen, left_woken, width, near)
        self.assertIsNotNone(steps, f"the telop's text moved from {left_seen} to {left_woken}")
        self.assertLess(abs(steps - near), 8,
                        f"from before the lock to after the unlock the telop moved {steps} steps, "
                        f"where a clock that never slept would have moved about {near:.0f}")

    def test_a_plug_in_that_wants_every_tick_still_gets_it_while_locked(self):
        clock = self.start_clock(at="12:20:10", plugins=("voRecA.DLL",), recorder=True)
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 2, 20,
                        message="ticks reaching the plug-in")
        self.lock(True)
        start = clock.recorder.count("notifyfreq")
        still = self.clock_image(clock.window)
        time.sleep(2)  # more than a step of the seconds bar
        ticks = clock.recorder.count("notifyfreq") - start
        self.assertGreater(ticks, 20, f"locked, VpiNotifyFreq came {ticks} times in 2 s")
        self.assertEqual(0, changed_pixels(still, self.clock_image(clock.window)),
                         "the strip was drawn while the session was locked")


if __name__ == "__main__":
    unittest.main()
