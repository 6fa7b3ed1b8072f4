#!/usr/bin/python3
"""Start and end of the program: the single-instance box, closing from outside, the
log-off query, the safe start after an end that went wrong, and what the plug-ins see of it."""

import subprocess
import unittest

import harness
from harness import CLOCK_CLASS, RUN_RECORD, SETTINGS_KEY

ALREADY_RUNNING = "Kiroの時計 は既に起動されています。".encode("cp932")
RECORDERS = ("voRecA.DLL", "voRecB.dll")
BAD_END = "前回 vo は正常に終了しませんでした。".encode("cp932")
SKIP_ALL = "今回はプラグイン・モジュールを読み込まずに起動しますか?".encode("cp932")
SKIP_MODULE = "今回はこのモジュールを読み込まずに起動しますか?".encode("cp932")
IDYES, IDNO = 6, 7


class SingleInstanceTest(harness.ClockTestCase):
    def test_second_copy_shows_the_stop_box_and_ends_with_0(self):
        first = self.start_clock(at="00:00:10")
        second = self.start_clock(at="00:00:10", wait_window=False)

        box = self.wine.probe("msgbox", 15000)
        header = box[0]
        self.assertEqual("msgbox", header.kind)
        self.assertEqual(b"", header.text("title"), "caption must be empty")
        self.assertEqual(b"vo", header.text("owner_title"), "owner: the application window")
        self.assertEqual(0, header.int("owner_visible"))
        texts = [r.text("text") for r in box if r.kind == "static" and r.text("text")]
        self.assertEqual([ALREADY_RUNNING], texts)
        icons = [r["name"] for r in box if r.kind == "icon"]
        self.assertEqual(["hand"], icons, "stop icon")
        buttons = [(r.int("id"), r.text("text")) for r in box if r.kind == "button"]
        self.assertEqual([(1, b"OK")], buttons)

        clocks = self.wine.probe("classwindows", CLOCK_CLASS)
        self.assertEqual(1, clocks[-1].int("value"), "the second copy made a clock window")
        self.assertIsNone(second.wait(0.5), "ended before OK was pressed")

        self.wine.probe("press", 1, 5000)
        self.assertEqual(0, second.wait(15))
        self.assertTrue(first.running())
        self.assertEqual(first.window["hwnd"], self.wine.clock_window()["hwnd"])
        self.assertEqual({RUN_RECORD: ("REG_SZ", "*")}, self.wine.reg_query(SETTINGS_KEY),
                         "the second copy wrote settings, or the first none of its run record")

    def test_hidden_window_of_the_clock_class_blocks_start(self):
        holder = self.wine.popen(harness.PROBE_EXE, "hold", CLOCK_CLASS, 30000,
                                 stdout=subprocess.PIPE)
        try:
            self.assertTrue(holder.stdout.readline().startswith(b"hold "))
            clock = self.start_clock(wait_window=False)
            box = self.wine.probe("msgbox", 15000)
            self.assertIn(ALREADY_RUNNING, [r.text("text") for r in box if r.kind == "static"])
            self.wine.probe("press", 1, 5000)
            self.assertEqual(0, clock.wait(15))
        finally:
            holder.kill()
            holder.wait()
            holder.stdout.close()


class ShutdownTest(harness.ClockTestCase):
    def test_close_from_another_program_saves_and_ends_with_0(self):
        clock = self.start_clock(at="00:00:10")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15), "no exit (a confirmation box?) or wrong code")
        stored = self.wine.reg_query(SETTINGS_KEY)
        self.assertEqual({"Left": ("REG_DWORD", 293), "ForeColor": ("REG_DWORD", 0x0000FFFF),
                          "BackColor": ("REG_DWORD", 0)}, stored)

    def test_close_sent_to_the_application_window_ends_the_program(self):
        clock = self.start_clock(at="00:00:10")
        self.wine.probe("post", "WM_CLOSE", 0, 0, clock.window["owner"])
        self.assertEqual(0, clock.wait(15))
        self.assertIsNotNone(self.wine.reg_query(SETTINGS_KEY), "position not saved")

    def test_query_end_session_says_yes_and_keeps_running(self):
        clock = self.start_clock(at="00:00:10")
        self.assertEqual(1, self.wine.send("WM_QUERYENDSESSION"))
        self.assertEqual(293, self.wine.reg_query(SETTINGS_KEY)["Left"][1], "not saved")
        self.wait_for_a_later_frame(clock.window)
        self.assertTrue(clock.running())
        self.assertEqual(clock.window["hwnd"], self.wine.clock_window()["hwnd"])
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))

    def test_end_of_the_session_ends_with_0_and_a_clean_run_record(self):
        clock = self.start_clock(at="00:00:10")
        self.assertEqual(1, self.wine.send("WM_QUERYENDSESSION"))
        self.wine.probe("post", "WM_ENDSESSION", 1, 0, clock.window["owner"])
        self.assertEqual(0, clock.wait(15), "still running, or the wrong exit code")
        self.assertNotIn(RUN_RECORD, self.wine.reg_query(SETTINGS_KEY),
                         "the session's end left the run record of a bad end")

    def test_telop_with_foreign_pointers_does_not_bring_the_clock_down(self):
        clock = self.start_clock(at="00:00:10", plugins=RECORDERS, recorder=True)
        self.wait_until(lambda: clock.recorder.count("subclass") == 2, timeout=10,
                        message="the recorders watching the clock")
        self.wine.probe("posttelop-wild")
        arrived = self.wait_until(
            lambda: [r for r in clock.recorder.events() if r.fields.get("name") == "CLK_TELOP"],
            timeout=5, message="the telop message reaching the clock")
        self.assertEqual(("bad", "bad"), (arrived[0]["text"], arrived[0]["wave"]))
        self.wait_until(lambda: clock.recorder.ticks_after(arrived[0].int("tick")) >= 10, 10,
                        message="ticks after the telop")
        self.assertTrue(clock.running())
        self.assertEqual(clock.window["hwnd"], self.wine.clock_window()["hwnd"])
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))


class PlugInLifecycleTest(harness.ClockTestCase):
    def start_with_recorders(self):
        return self.start_clock(at="00:00:10", plugins=RECORDERS, recorder=True)

    def test_plugins_enabled_in_slot_order_and_released_at_close(self):
        clock = self.start_with_recorders()
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 4, timeout=10,
                        message="ticks reaching the plug-ins")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))
        lifecycle = clock.recorder.sequence("enable", "disable")
        self.assertEqual([("enable", "A"), ("enable", "B"), ("disable", "A"), ("disable", "B")],
                         lifecycle)
        threads = {record["tid"] for record in clock.recorder.events()}
        self.assertEqual(1, len(threads), "plug-in calls from more than one thread")

    def test_a_plugin_thread_still_running_its_code_at_the_close_leaves_an_end_with_0(self):
        clock = self.start_clock(at="00:00:10", plugins=("voFaultBT.dll", "voRecA.DLL"),
                                 recorder=True)
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 4, timeout=10,
                        message="ticks reaching the plug-ins")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15), "no end, or an end other than 0, with the "
                         "plug-in's thread still running its code")
        self.assertNotIn(RUN_RECORD, self.wine.reg_query(SETTINGS_KEY))
        self.assertNotIn("0", [r["ending"] for r in clock.recorder.events()
                               if r.kind == "detach" and r["tag"] == "BT"],
                         "voFaultBT.dll was freed under its running thread, not kept to the end")

    def test_query_end_session_releases_plugins_and_ticks_go_on_without_them(self):
        clock = self.start_with_recorders()
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 4, timeout=10,
                        message="ticks reaching the plug-ins")
        self.assertEqual(1, self.wine.send("WM_QUERYENDSESSION"))
        self.assertEqual(["disable", "disable"],
                         [kind for kind, _ in clock.recorder.sequence("disable")])
        calls_after_query = len(clock.recorder.events())
        self.wait_for_a_later_frame(clock.window)
        self.assertTrue(clock.running())
        self.assertEqual(calls_after_query, len(clock.recorder.events()),
                         "a released plug-in was still called")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))


class SafeStartTest(harness.ClockTestCase):
    def restart(self, clock):
        """Ends the clock from outside, starts vo again from its folder and answers yes to
        the one box of a start after a bad end; the new clock and the box's text."""
        clock.kill(keep_run_record=True)
        self.wine.wait_clock_gone()
        again = self.start_clock(at="00:00:10", directory=clock.directory, recorder=True)
        box = self.wine.probe("msgbox", 15000)
        self.assertEqual((b"vo", [IDYES, IDNO]), (box[0].text("title"),
                                                  [r.int("id") for r in box if r.kind == "button"]))
        self.wine.probe("press", IDYES, 5000)
        return again, b"".join(r.text("text") for r in box if r.kind == "static")

    def close(self, clock):
        """A clean end: no trace, so no box at the next start."""
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))
        self.assertNotIn(RUN_RECORD, self.wine.reg_query(SETTINGS_KEY), "a clean end left a trace")

    def test_after_an_end_from_outside_yes_starts_once_without_plugins(self):
        clock = self.start_clock(at="00:00:10", plugins=RECORDERS, recorder=True)
        self.wait_until(lambda: clock.recorder.count("notifyfreq") >= 2, timeout=10,
                        message="ticks reaching the plug-ins (a box at the first start?)")
        again, text = self.restart(clock)
        self.assertTrue(text.startswith(BAD_END) and SKIP_ALL in text, text.decode("cp932"))
        self.wait_for_a_later_frame(again.window)
        self.assertEqual(2, clock.recorder.count("enable"), "a plug-in was loaded after yes")
        self.close(again)

    def assert_module_named_and_left_out_alone(self, module, ends_the_run=False):
        clock = self.start_clock(at="00:00:10", plugins=(module, "voRecA.DLL"), recorder=True)
        if ends_the_run:
            self.assertNotIn(clock.wait(20), (None, 0), "the run did not end, or ended cleanly")
        self.wait_until(lambda: self.wine.reg_query(SETTINGS_KEY)[RUN_RECORD][1].lower()
                        .endswith("\\" + module.lower()), timeout=20, interval=0.5,
                        message=f"{module} named in the run record")
        enabled = clock.recorder.sequence("enable")
        again, text = self.restart(clock)
        self.assertTrue(text.startswith(BAD_END) and f" {module} ".encode() in text
                        and SKIP_MODULE in text, text.decode("cp932"))
        self.wait_until(lambda: clock.recorder.sequence("enable") == enabled + [("enable", "A")],
                        timeout=10, message="only the healthy plug-in enabled again")
        self.close(again)

    def test_a_plugin_blocked_in_a_call_is_named_and_left_out_alone(self):
        self.assert_module_named_and_left_out_alone("voFaultBL.dll")  # seen by the watchdog

    def test_a_plugin_blocked_in_its_dllmain_is_named_and_left_out_alone(self):
        self.assert_module_named_and_left_out_alone("voFaultBD.dll")

    # Its loop was called back from inside a system call, which ends only by returning.
    def test_a_plugin_looping_inside_a_callback_is_named_and_left_out_alone(self):
        self.assert_module_named_and_left_out_alone("voFaultCB.dll")

    # Its thread may hold a lock of the system's: ending the thread alone is no containment.
    def test_a_plugin_thread_faulting_inside_the_system_ends_the_run_and_is_named(self):
        self.assert_module_named_and_left_out_alone("voFaultSF.dll", ends_the_run=True)

if __name__ == "__main__":
    unittest.main()
