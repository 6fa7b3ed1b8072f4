#!/usr/bin/python3
"""The clock nobody sees (session locked, display off) draws nothing and, without a plug-in
that wants every tick, wakes only at each minute's start for the minute's work; seen again, it
shows what a clock that never slept would. The probe sends the session notices; voRecM, the
recorder without VpiNotifyFreq, tells the clock the display's state from inside the process.
Wake-ups are the Linux context switches of the clock's thread."""

import re
import time
import unittest
from pathlib import Path

from PIL import ImageChops

import harness
from test_telop import TELOP_BOX, telop_frame

WM_WTSSESSION_CHANGE = 0x02B1
WTS_SESSION_LOCK, WTS_SESSION_UNLOCK = 7, 8
DISPLAY_REQUEST = 0x8000 + 0x766  # WM_APP + 0x766: voRecorder tells the clock the display state
TICK = 0.05


def thread_wakeups(pid, seconds):
    """How often the process's first thread, the clock's, woke within `seconds`."""
    status = Path(f"/proc/{pid}/task/{pid}/status")

    def switches():
        return int(re.search(r"^voluntary_ctxt_switches:\s+(\d+)", status.read_text(), re.M)[1])
    before = switches()
    time.sleep(seconds)
    return switches() - before


def changed_box(before, after, unread=None):
    """The box around the pixels that differ between two images of the strip, box `unread`
    aside; None when none do."""
    difference = ImageChops.difference(before, after)
    if unread:
        difference.paste((0, 0, 0), unread)
    return difference.getbbox()


def telop_left(image):
    """(left edge, width) of the telop's text when the whole text shows inside the strip."""
    xs = sorted(x for x, _ in telop_frame(image))
    return xs and 0 < xs[0] and xs[-1] < TELOP_BOX[2] - TELOP_BOX[0] - 2 and (xs[0], xs[-1] - xs[0])


def steps_between(left_from, left_to, width, near):
    """The count of telop steps, nearest to `near`, that move the text's left edge from
    left_from to left_to: 2 pixels a step, re-entering at the strip's right once past the left."""
    x, found = left_from, []
    for step in range(1, int(near) + 200):
        x = x - 2 if x + width >= 0 else harness.CLOCK_SIZE[0] + left_from % 2
        if abs(x - left_to) <= 1:
            found.append(step)
    return min(found, key=lambda step: abs(step - near), default=None)


class Asleep(harness.ClockTestCase):
    def start_minute_clock(self, at, **options):
        self.wine.store_options(useTelop=1, Interval=15, **options)
        clock = self.start_clock(at=at, plugins=("voRecM.dll",), recorder=True)
        self.wait_until(lambda: clock.recorder.count("notify"), 20, message="the first minute")
        return clock

    def display(self, state):  # answered by the clock's WM_POWERBROADCAST, through voRecM
        self.assertEqual(1, self.wine.send(DISPLAY_REQUEST, state), "WM_POWERBROADCAST answer")

    def lock(self, locked):
        self.wine.send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK if locked else WTS_SESSION_UNLOCK)

    def test_display_off_over_a_signal_and_a_minute_then_on_shows_the_strip_of_now(self):
        clock = self.start_minute_clock(at="12:14:48", useWaveFile=1)
        log = clock.recorder
        self.display(0)
        unseen = thread_wakeups(clock.process.pid, 2)
        self.assertLessEqual(unseen, 2, f"with the display off the clock's thread still woke "
                                        f"{unseen} times in 2 s")
        stale = self.clock_image(clock.window)

        # 12:15 gives a signal, 12:16 ends its telop's minute: both while nobody sees.
        self.wait_until(lambda: clock.local_time().minute == 16 and log.count("notify") >= 3,
                        80, message="VpiNotify of 12:15 and 12:16")
        minutes = [round(float(r["value"]) % 1 * 86400) // 60 % 60 for r in log.events()
                   if r.kind == "notify"]
        self.assertEqual([14, 15, 16], minutes, "VpiNotify once a minute while unseen")
        telops = [r for r in log.events() if r.kind == "message" and r["name"] == "CLK_TELOP"]
        self.assertEqual((1, 1), (log.count("play"), len(telops)),
                         "the time signal of 12:15, unseen, played its wave and posted its telop")
        self.assertIsNone(changed_box(stale, self.clock_image(clock.window)),
                          "the strip was drawn while the display was off")

        self.display(1)
        time.sleep(0.3)
        woken = self.clock_image(clock.window)
        # A clock that never slept, started now: the same date, time and colours, no telop. Its
        # recorder wants every tick, which it gets while the session is locked.
        clock.kill()
        self.wine.wait_clock_gone()
        fresh = self.start_clock(at=clock.local_time().strftime("%H:%M:%S"),
                                 plugins=("voRecA.DLL",), recorder=True)
        time.sleep(1)
        bar_rows = (0, harness.SEC_BAR_ORIGIN[1], harness.CLOCK_SIZE[0],
                    harness.SEC_BAR_ORIGIN[1] + harness.SEC_BAR_SIZE[1])
        self.assertIsNone(changed_box(woken, self.clock_image(fresh.window), bar_rows),
                          "pixels of the woken strip that differ from a clock's that never slept "
                          "(bar rows aside)")

        self.wait_until(lambda: fresh.recorder.count("notifyfreq") >= 2, 20,
                        message="ticks reaching the plug-in")
        self.lock(True)
        start = fresh.recorder.count("notifyfreq")
        still = self.clock_image(fresh.window)
        time.sleep(2)  # more than a step of the seconds bar
        ticks = fresh.recorder.count("notifyfreq") - start
        self.assertGreater(ticks, 20, f"locked, VpiNotifyFreq came {ticks} times in 2 s")
        self.assertIsNone(changed_box(still, self.clock_image(fresh.window)),
                          "the strip was drawn while the session was locked")

    def test_locked_under_a_telop_then_unlocked_the_telop_has_moved_on_as_if_seen(self):
        clock = self.start_minute_clock(at="12:15:01", Telop="%h")  # "12", a short text

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


if __name__ == "__main__":
    unittest.main()
