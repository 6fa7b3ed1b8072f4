#!/usr/bin/python3
"""Plug-in modules running apart, each in a helper process of its own: a recorder apart is
called like one inside, tick by tick; the messages it sends reach the clock through its own
window; whatever a module apart does costs one box naming it while the clock and the modules
inside go on; and the clock's end, however it comes, leaves no helper behind."""

import unittest

import harness
import test_faults
import test_settings
from harness import (CLK_GETBACKCOLOR, CLK_GETFORECOLOR, CLK_GETLEFT, CLK_SETCOLOR,
                     CLK_SETLEFT, SETTINGS_KEY)
from test_faults import box_text, plugin
from test_telop import TelopPlugIn

APART_KEY = SETTINGS_KEY + r"\RunApart"
HELPER_CLASS = "voApartModule"

# Modules apart that go wrong, each with what its box must say.
FAULTS_APART = {
    "N": "メモリー保護違反",        # writes through null in VpiNotifyFreq
    "H": "応答の停止",              # loops for ever in VpiNotifyFreq
    "EP": "終了コード 7",           # ends its own process
    "BD": "応答の停止",             # waits for ever in its DllMain
    "CB": "応答の停止",             # loops in a callback of its own window's
}


class ApartTestCase(test_faults.FaultTestCase):
    def start_apart(self, apart, inside=(), **kwargs):
        """A clock with the modules `apart` chosen to run apart and those `inside` not."""
        for name in apart:
            self.wine.reg_add(APART_KEY, name, 1)
        return self.start_clock(plugins=[*inside, *apart], recorder=True,
                                **kwargs)

    def helpers(self):
        """The helper processes of this suite's Wine prefix."""
        return list(self.wine.helper_processes())


class RecorderApart(ApartTestCase):
    def test_a_recorder_apart_is_called_like_one_inside(self):
        # Apart in the first slot, slow to start: the one inside waits for its calls.
        clock = self.start_apart(["voRecA.DLL"], inside=["voRecB.dll"], at="00:00:57",
                                 env={"VO_RECORD_SLOW_ENABLE": "A"})
        log = clock.recorder

        def calls(kind, tag):
            return [r["value"] for r in log.events() if r.kind == kind and r["tag"] == tag]
        self.wait_until(lambda: calls("notify", "A") and len(calls("notifyfreq", "A")) >= 40,
                        30, message="voRecA.DLL apart: its VpiNotify and 40 VpiNotifyFreq")
        self.assertEqual([("enable", "A"), ("enable", "B")], log.sequence("enable"),
                         "VpiEnable not in slot order with the module apart")
        # Ticks a busy helper found queued behind each other it takes at once, with the last.
        inside, apart = calls("notifyfreq", "B"), calls("notifyfreq", "A")
        self.assertEqual([], sorted(set(apart) - set(inside))[:3],
                         "VpiNotifyFreq apart with date-time values the module inside never got")
        self.assertEqual(sorted(apart), apart, "VpiNotifyFreq apart out of order")
        self.assertEqual(calls("notify", "B")[:1], calls("notify", "A")[:1],
                         "VpiNotify apart with another value than inside")
        handles = {r["tag"]: r["hwnd"] for r in log.events() if r.kind == "notifyfreq"}
        self.assertNotEqual(handles["A"], handles["B"],
                            "the module apart was given the clock's own window")
        self.assertEqual(1, len(self.helpers()), "one helper process for the module apart")

        # Through the helper's window, as the module would send them.
        left = self.wine.send(CLK_GETLEFT)
        self.assertEqual(left, self.wine.send(CLK_GETLEFT, window_class=HELPER_CLASS),
                         "CLK_GETLEFT through the module's window: not the clock's answer")
        self.assertEqual(0, self.wine.send(CLK_SETCOLOR, 0x00123456, 0x80000005,
                                           window_class=HELPER_CLASS))
        self.assertEqual((0x00123456, 0x80000005 - 2**32),
                         (self.wine.send(CLK_GETFORECOLOR), self.wine.send(CLK_GETBACKCOLOR)),
                         "CLK_SETCOLOR through the module's window did not take effect")
        self.assertEqual((0x00123456, 0x80000005 - 2**32),
                         (self.wine.send(CLK_GETFORECOLOR, window_class=HELPER_CLASS),
                          self.wine.send(CLK_GETBACKCOLOR, window_class=HELPER_CLASS)),
                         "the colour queries through the module's window")
        self.wine.send(CLK_SETLEFT, left + 7, 0, window_class=HELPER_CLASS)
        self.assertEqual(left + 7, self.wine.send(CLK_GETLEFT),
                         "CLK_SETLEFT through the module's window did not take effect")

        self.close_and_check(clock, cut_short=False)
        self.assertEqual([("disable", "A"), ("disable", "B")], log.sequence("disable"),
                         "VpiDisable not in slot order with the module apart")
        self.wait_until(lambda: not self.helpers(), 10, message="the helper's end")

    def test_telops_sent_and_posted_apart_take_effect(self):
        telop = TelopPlugIn()
        self.addCleanup(telop.cleanup)
        clock = self.start_apart(["voTelop.dll"], inside=["voRecA.DLL"], at="00:00:05",
                                 env=telop.env)
        for how in ("send", "post"):
            wave = f"apart-{how}.wav"
            telop.trigger(how=how, text=f"telop {how}", wave=wave)
            self.wait_until(
                lambda: any(r.kind == "play" and r["path"] == wave.encode().hex()
                            for r in clock.recorder.events()),
                10, message=f"the wave of a {how} CLK_TELOP from the module apart played by "
                f"the clock")
        # The same data from a process that is none of the clock's helpers is refused.
        self.assertEqual(0, self.wine.probe_one("copydata-telop", kind="result").int("value"),
                         "a telop as WM_COPYDATA from another program accepted")
        self.assertNotIn(b"foreign.wav".hex(), [r["path"] for r in clock.recorder.events()
                                                if r.kind == "play"],
                         "a telop as WM_COPYDATA from another program played")


class PlugInPageApart(ApartTestCase):
    # The settings dialog driven as its own suite drives it.
    dialog = test_settings.SettingsDialogTest.dialog
    wait_visible = test_settings.SettingsDialogTest.wait_visible
    open_settings = test_settings.SettingsDialogTest.open_settings
    show_page = test_settings.SettingsDialogTest.show_page
    click = test_settings.SettingsDialogTest.click

    def test_description_and_properties_of_a_module_apart(self):
        clock = self.start_apart(["voRecB.dll"], inside=["voRecA.DLL"], at="10:00:30")
        self.open_settings()
        dialog = self.show_page(2)
        left, top, _, _ = dialog.box(test_settings.LST_PLUGINS)
        harness.click(1, left + 40, top + 2 + 16 * 1 + 8)  # voRecB.dll, the second entry
        self.wait_until(lambda: self.dialog().list.int("selected") == 1, 10, interval=0.2,
                        message="voRecB.dll selected")
        self.assertEqual("テスト用の記録プラグイン B".encode("cp932"),
                         self.dialog().text(test_settings.MEM_DISCRIPTION),
                         "the description of the module apart")
        self.click(test_settings.BTN_PLUGIN_PROP)
        self.assertEqual([("setprops", "B")], clock.recorder.sequence("setprops"),
                         "VpiSetProps of the module apart")
        self.assertTrue(self.dialog().visible, "the dialog came back after the properties")


class FaultsApart(ApartTestCase):
    def test_each_fault_apart_costs_one_box_and_the_module_only(self):
        modules = [plugin(tag) for tag in FAULTS_APART]
        # The hang in DllMain costs its box during start-up, before the clock is shown.
        clock = self.start_apart(modules, inside=["voRecA.DLL"], at="00:00:05",
                                 wait_window=False)
        boxes = self.collect_boxes(len(FAULTS_APART), 90)
        texts, seen = {}, {}
        for box in boxes.values():
            self.assertEqual(b"vo", box[0].text("title"), box)
            named = [tag for tag in FAULTS_APART if plugin(tag) in box_text(box)]
            self.assertEqual(1, len(named), box_text(box))
            texts.setdefault(named[0], []).append(box_text(box))
            seen[named[0]] = box[0].int("seen")
        self.assert_boxes(FAULTS_APART, texts)
        # From each module's last sign of life (its fault, the start of its hang) to its box.
        last = {r["tag"]: r.int("tick") for r in clock.recorder.events() if r["tag"] in seen}
        for tag in seen.keys() & last.keys():
            delay = seen[tag] - last[tag]
            harness.log("fault or hang apart to its box:", plugin(tag), delay, "ms")
            self.assertLessEqual(delay, test_faults.HANG_TO_BOX_MS,
                                 f"{plugin(tag)}: {delay} ms from its fault or hang to its box")
        self.assert_no_box_after(clock, 40)
        self.assertEqual([], self.helpers(), "a helper left of a module out of service")
        self.close_and_check(clock, cut_short=False)


class EndOfTheClock(ApartTestCase):
    def test_a_killed_clock_leaves_no_helper(self):
        # voFaultBL blocks its helper's one thread from its third tick on: only the job can
        # end that one with the clock.
        clock = self.start_apart(["voRecB.dll", plugin("BL")])
        self.wait_until(lambda: clock.recorder.ticks_after(tag="B") > 5 and
                        clock.recorder.ticks_after(tag="BL") >= 3, 20,
                        message="voRecB.dll ticking apart, voFaultBL.dll blocked")
        self.assertEqual(2, len(self.helpers()))
        clock.kill()
        self.wait_until(lambda: not self.helpers(), 10,
                        message=lambda: f"the helpers' end with the killed clock; "
                        f"{len(self.helpers())} still run")


if __name__ == "__main__":
    unittest.main(verbosity=2)
