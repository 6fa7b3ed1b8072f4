#!/usr/bin/python3
"""What the plug-in host does to the modules beside vo.exe, as the recorder plug-ins write
it down: which modules it takes, in which order it enables, notifies and disables them, and
with which date-time values."""

import os
import shutil
import tempfile
import unittest
from pathlib import Path

import harness
from harness import windows_path

RECORDERS = ("voRecA.DLL", "voRecB.dll")
DAY = 86400.0


def minute_of(value):
    return int(round((value % 1) * DAY, 3) // 60)


class PlugInCalls(harness.ClockTestCase):
    def test_enable_notify_and_disable_in_slot_order_with_one_value_per_tick(self):
        trigger_dir = Path(tempfile.mkdtemp(prefix="vo-plugins-"))
        self.addCleanup(shutil.rmtree, trigger_dir, True)
        trigger = trigger_dir / "telop.trigger"
        clock = self.start_clock(at="00:00:50", plugins=RECORDERS + ("voTelop.dll",),
                                 recorder=True, env={"VO_TELOP_TRIGGER": windows_path(trigger)})
        log = clock.recorder
        self.wait_until(lambda: log.count("notifyfreq") >= 2, 20, message="first ticks")
        # A telop over the minute change: the ticks under it still reach the plug-ins.
        staging = trigger_dir / "staging"
        staging.write_bytes(b"how=send\ntext=Plug-in telop\n")
        os.replace(staging, trigger)
        self.wait_until(lambda: any(r.kind == "telop" for r in log.events()), 10,
                        message="the telop")
        telop_tick = next(r.int("tick") for r in log.events() if r.kind == "telop")
        changed = self.wait_until(lambda: [r for r in log.events() if r.kind == "notify"
                                           and r.int("tick") > telop_tick], 30,
                                  message="the minute change")[0].int("tick")
        self.wait_until(lambda: log.ticks_after(changed) >= 5, 10, message="ticks after it")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))
        events = [r for r in log.events() if r["tag"] in ("A", "B")]

        with self.subTest("lifecycle in slot order"):
            self.assertEqual([("enable", "A"), ("enable", "B")],
                             log.sequence("enable")[:2])
            self.assertEqual([("disable", "A"), ("disable", "B"), ("disable", "T")],
                             log.sequence("disable"))
            kinds = [r.kind for r in events if r.kind != "detach"]  # the process's end
            self.assertEqual(["enable", "enable"], kinds[:2], "a call before both were enabled")
            self.assertEqual(["disable", "disable"], [k for k in kinds[-3:] if k != "unsubclass"])

        # A tick is everything up to and including B's notifyfreq.
        grouped, current = [], []
        for record in events:
            if record.kind in ("notify", "notifyfreq"):
                current.append((record.kind, record["tag"], float(record["value"]),
                                record.int("tick")))
                if record.kind == "notifyfreq" and record["tag"] == "B":
                    grouped.append(current)
                    current = []

        with self.subTest("every tick: A then B, notify before notifyfreq, one value"):
            allowed = ([("notifyfreq", "A"), ("notifyfreq", "B")],
                       [("notify", "A"), ("notify", "B"), ("notifyfreq", "A"),
                        ("notifyfreq", "B")])
            bad = [tick for tick in grouped if [(k, t) for k, t, _, _ in tick] not in allowed
                   or len({v for _, _, v, _ in tick}) != 1]
            self.assertEqual([], bad[:3])
            self.assertEqual([], current, "calls after the last full tick")

        with self.subTest("notify once per minute change, with the new minute"):
            notified = [tick[0][2] for tick in grouped if tick[0][0] == "notify"]
            # Possibly the start (if the designed caption differs), then 00:01.
            minutes = [minute_of(value) for value in notified]
            self.assertIn(1, minutes)
            self.assertEqual(sorted(set(minutes)), minutes, "a minute notified twice")
            change = next(i for i, tick in enumerate(grouped)
                          if tick[0][0] == "notify" and minute_of(tick[0][2]) == 1)
            self.assertEqual(0, minute_of(grouped[change - 1][0][2]))

        with self.subTest("values follow the clock's local time, rising"):
            values = [tick[0][2] for tick in grouped]
            self.assertEqual(values, sorted(values))
            self.assertEqual(0, minute_of(values[0]))
            # The telop shows from the send until 00:01; ticks go on reaching the plug-ins.
            under_telop = [tick for tick in grouped
                           if tick[0][3] > telop_tick and minute_of(tick[0][2]) == 0]
            self.assertGreater(len(under_telop), 5, "ticks stopped under the telop")

    def test_only_valid_visible_modules_are_loaded_and_the_others_break_nothing(self):
        junk_dir = Path(tempfile.mkdtemp(prefix="vo-junk-"))
        self.addCleanup(shutil.rmtree, junk_dir, True)
        junk = junk_dir / "voJunk.dll"
        junk.write_text("this is not a library\n")
        # Wine keeps the hidden attribute in an extended attribute, which the copy keeps.
        hidden = junk_dir / "voHidden.dll"
        shutil.copy2(harness.BUILD_DIR / "voStubH.dll", hidden)
        result = self.wine.run("attrib", "+h", windows_path(hidden))
        self.assertEqual(0, result.returncode, result.stdout)
        modules = RECORDERS + (
            ("voStubN.dll", "voNoDiscription.dll"),  # lacks the required export
            ("voStubD.dll", "voDecorated.dll"),       # only decorated names
            ("voStubL.dll", "voLowerCase.dll"),       # names in the wrong letter case
            (str(hidden), "voHidden.dll"),            # valid, but hidden
            (str(junk), "voJunk.dll"),
            ("voStubH.dll", "vpHidden.dll"),          # valid, but outside the mask
        )
        clock = self.start_clock(at="00:00:05", plugins=modules, recorder=True)
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 8, 20,
                        message="ticks reaching the recorders")
        self.assertTrue(clock.running())
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))

        tags = {r["tag"] for r in clock.recorder.events()}
        self.assertEqual({"A", "B"}, tags, "a module that should have been skipped was called")
        self.assertEqual([("enable", "A"), ("enable", "B"), ("disable", "A"), ("disable", "B")],
                         clock.recorder.sequence("enable", "disable"))

    def test_a_folder_named_outside_the_ansi_code_page_loads_its_plugins(self):
        folder = Path(tempfile.mkdtemp(prefix="vo-한국어-Grüße-"))
        self.addCleanup(shutil.rmtree, folder, True)
        clock = self.start_clock(at="00:00:05", plugins=RECORDERS, recorder=True,
                                 directory=folder)
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 4, 20,
                        message=f"ticks reaching the recorders in {folder.name}")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))
        self.assertEqual([("enable", "A"), ("enable", "B"), ("disable", "A"), ("disable", "B")],
                         clock.recorder.sequence("enable", "disable"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
