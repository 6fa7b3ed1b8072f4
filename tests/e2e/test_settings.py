#!/usr/bin/python3
"""The settings dialog end to end: opened from the clock's popup menu, driven through the
probe (button clicks, texts) and the keyboard, checked against the registry, the clock's
colours and the recorder plug-in's view of the clock's messages."""

import shutil
import tempfile
import time
import unittest
from pathlib import Path

import harness
from harness import CLK_GETBACKCOLOR, CLK_GETFORECOLOR, CLK_SETLEFT, OPTIONS_KEY, RUN_KEY

SETTINGS_TITLE = "Kiroの時計 - 設定".encode("cp932")
SETTINGS = "title:" + SETTINGS_TITLE.hex()
OWNED = "owned:" + SETTINGS_TITLE.hex()  # a colour or file dialog the settings dialog opened

BM_CLICK = 0x00F5
BM_SETCHECK = 0x00F1
WM_NULL = 0x0000
WM_CLOSE = 0x0010

# Control ids of the settings dialog.
BTN_OK, BTN_CANCEL = 1, 2
PAGE_CONTROL, PAGE_COLOR, PAGE_TELOP, PAGE_PLUGINS, PAGE_GENERAL = 200, 201, 202, 203, 204
PAGES = (PAGE_COLOR, PAGE_TELOP, PAGE_PLUGINS, PAGE_GENERAL)
BTN_FORE_COLOR, BTN_BACK_COLOR, CHK_AUTO_CHANGE = 300, 301, 302
RBT_0000, RBT_0600, RBT_1200, RBT_1800, LBL_EXAMPLE = 303, 304, 305, 306, 307
CHK_WAVE, EDT_WAVE, BTN_BROWSE, CHK_TELOP, EDT_TELOP = 400, 401, 402, 403, 404
SEL_15M, SEL_30M, SEL_01H = 405, 406, 407
LST_PLUGINS, MEM_DISCRIPTION, BTN_PLUGIN_PROP = 501, 502, 503
CHK_RUN_APART, LBL_RUN_APART_NOTE = 504, 505
APART_KEY = harness.SETTINGS_KEY + r"\RunApart"
CHK_STEP_ASIDE = 600
CHK_START_AT_SIGN_IN = 601
CHK_FADE, TRK_OPACITY, CHK_RESERVE_BAND = 602, 604, 605
TBM_SETPOS = 0x0405
WS_EX_LAYERED = 0x80000
# The colour dialog's red, green and blue edits.
COLOR_RED, COLOR_GREEN, COLOR_BLUE = 706, 707, 708

DEFAULT_TELOP = "%h時%m分です。".encode("cp932")
RECORDERS = ["voRecA.DLL", "voRecB.dll"]


class Dialog:
    """What the probe reports about the settings dialog at one moment."""

    def __init__(self, records):
        self.window = next(r for r in records if r.kind == "dialog")
        self.controls = {r.int("id"): r for r in records if r.kind == "control"}
        self.items = [r.wtext("textw") for r in records if r.kind == "item"]
        self.list = next((r for r in records if r.kind == "list"), None)

    @property
    def visible(self):
        return self.window["visible"] == "1"

    def text(self, id):
        return self.controls[id].text("text")

    def checked(self, id):
        return self.controls[id]["checked"] == "1"

    def enabled(self, id):
        return self.controls[id]["enabled"] == "1"

    def box(self, id):
        c = self.controls[id]
        left, top = c.int("left"), c.int("top")
        return left, top, left + c.int("width"), top + c.int("height")


class SettingsDialogTest(harness.ClockTestCase):

    # -- driving the dialog

    def dialog(self):
        return Dialog(self.wine.probe("dialog", SETTINGS, 5000))

    def wait_visible(self, visible=True, timeout=10):
        return self.wait_until(lambda: (d := self.dialog()).visible == visible and d,
                               timeout, interval=0.2,
                               message=f"the settings dialog {'shown' if visible else 'hidden'}")

    def open_settings(self):
        """Right-click on the time label, then the menu's second entry."""
        window = self.wait_until(lambda: (w := self.wine.clock_window())["visible"] == "1" and w,
                                 timeout=10, interval=0.2, message="the clock shown")
        harness.mousemove(window.int("left") + 80, window.int("top") + 8)
        harness.click(3)
        self.wait_until(lambda: self.wine.probe_one("window", "#32768", 0, check=False,
                                                    kind=None).fields.get("visible") == "1",
                        timeout=10, interval=0.2, message="the popup menu")
        harness.key("Down", "Down", "Return")
        return self.wait_visible()

    def click(self, id):
        """A button press handled to its end (for buttons that open nothing modal)."""
        self.wine.probe("dlg-send", SETTINGS, id, BM_CLICK, 0, 0)

    def click_later(self, id, selector=SETTINGS):
        """A button press whose handler opens a modal dialog: posted, not waited for."""
        self.wine.probe("dlg-post", selector, id, BM_CLICK, 0, 0)

    def set_text(self, id, data):
        self.wine.probe("dlg-settext", SETTINGS, id, data.hex())

    def show_page(self, index):
        """As the user does it: click the first tab, then Right to the wanted one."""
        tabs = self.dialog().controls[PAGE_CONTROL]
        harness.click(1, tabs.int("left") + 20, tabs.int("top") + 10)
        for _ in range(index):
            harness.key("Right")
        page = PAGES[index]
        return self.wait_until(lambda: (d := self.dialog()).controls[page]["visible"] == "1"
                               and d, timeout=10, interval=0.2, message=f"page {index}")

    def choose_color(self, rgb):
        """Answers the open colour dialog with the given (r, g, b)."""
        self.wine.probe("dialog", OWNED, 10000)
        for id, value in zip((COLOR_RED, COLOR_GREEN, COLOR_BLUE), rgb):
            self.wine.probe("dlg-settext", OWNED, id, str(value).encode().hex())
        self.click_later(BTN_OK, OWNED)
        self.wait_until(lambda: not self.wine.probe("dialog", OWNED, check=False)[0].kind
                        == "dialog", timeout=10, interval=0.2, message="the colour dialog gone")

    def clock_colors(self):
        return (self.wine.send(CLK_GETFORECOLOR) & 0xFFFFFFFF,
                self.wine.send(CLK_GETBACKCOLOR) & 0xFFFFFFFF)

    def assert_no_error_box(self):
        records = self.wine.probe("msgbox", 0, check=False)
        self.assertNotEqual("msgbox", records[0].kind if records else None,
                            "an error box was shown")

    @staticmethod
    def mostly(shot, box, rgb):
        """At least a third of the box is the colour (the rest: text, radio circle, focus)."""
        counts = harness.colour_counts(shot, box)
        return counts[rgb] > sum(counts.values()) // 3

    def assert_mostly(self, shot, box, rgb, what):
        self.assertTrue(self.mostly(shot, box, rgb),
                        f"{what}: {harness.colour_counts(shot, box).most_common(4)}")

    # -- first run and storing

    def test_first_run_shows_the_design_defaults_under_the_clock(self):
        started = self.start_clock(at="10:00:05", plugins=["voRecA.DLL"], recorder=True)
        # Plug-ins tick once the options are loaded: an error box would be up by now.
        self.wait_until(lambda: started.recorder.count("notifyfreq"), 20, message="a tick")
        self.assert_no_error_box()
        dialog = self.open_settings()

        clock = self.wine.clock_window()
        window = dialog.window
        self.assertEqual((347, 206), (window.int("client_width"), window.int("client_height")))
        self.assertEqual(max(0, clock.int("left") + clock.int("width") - window.int("width")),
                         window.int("left"))
        self.assertEqual(clock.int("top") + clock.int("height"), window.int("top"))

        self.assertTrue(dialog.checked(CHK_AUTO_CHANGE))
        self.assertEqual([False, False, True, False],
                         [dialog.checked(i) for i in (RBT_0000, RBT_0600, RBT_1200, RBT_1800)])
        self.assertEqual([False, False, True],
                         [dialog.checked(i) for i in (SEL_15M, SEL_30M, SEL_01H)])
        self.assertFalse(dialog.checked(CHK_WAVE))
        self.assertFalse(dialog.checked(CHK_TELOP))
        self.assertEqual(b"sample.wav", dialog.text(EDT_WAVE))
        self.assertEqual(DEFAULT_TELOP, dialog.text(EDT_TELOP))
        self.assertEqual([False, False, False],
                         [dialog.enabled(i) for i in (EDT_WAVE, BTN_BROWSE, EDT_TELOP)])

        # Each anchor in its own background; the example in the clock's colours.
        shot = self.screenshot()
        for id, back in zip((RBT_0000, RBT_0600, RBT_1200, RBT_1800),
                            ((0, 0, 0), (0, 0, 255), (255, 0, 255), (255, 0, 0))):
            self.assert_mostly(shot, dialog.box(id), back, f"anchor {id}")
        fore, back = self.clock_colors()
        # 10:00 lies two thirds of the way from the blue of 06:00 to the magenta of 12:00.
        self.assertEqual((0x0000FFFF, 0x00FF00AA), (fore, back))
        self.assert_mostly(shot, dialog.box(LBL_EXAMPLE), harness.colorref_to_rgb(back),
                           "example label")

        # Ctrl+Tab turns to the next page, Ctrl+Shift+Tab to the previous, round the ends.
        def turn_to(page, *keys):
            harness.key(*keys)
            self.wait_until(lambda: [p for p in PAGES
                                     if self.dialog().controls[p]["visible"] == "1"] == [page],
                            timeout=5, interval=0.2, message=f"page {page} after {keys}")

        turn_to(PAGE_TELOP, "ctrl+Tab")
        turn_to(PAGE_GENERAL, "ctrl+shift+Tab", "ctrl+shift+Tab")
        turn_to(PAGE_COLOR, "ctrl+Tab")

        # Under a clock at the left edge the dialog cannot line up on the right: it stays at 0.
        harness.key("Escape")
        self.wait_visible(False)
        self.wine.send(CLK_SETLEFT, 0)
        self.assertEqual((0, 21), (self.open_settings().window.int("left"),
                                   self.dialog().window.int("top")))

    def test_first_ok_creates_the_options_with_all_eighteen_values(self):
        self.start_clock(at="10:00:30")
        self.open_settings()
        self.assertIsNone(self.wine.reg_query(OPTIONS_KEY))
        harness.key("Return")  # Enter is OK
        self.wait_visible(False)
        stored = self.wine.reg_query(OPTIONS_KEY)
        expected = {name: ("REG_DWORD", value) if isinstance(value, int) else ("REG_SZ", value)
                    for name, value in harness.DEFAULT_OPTIONS.items()}
        self.assertEqual(expected, stored)

    def test_edits_are_stored_by_ok(self):
        self.start_clock(at="10:00:30")
        self.open_settings()
        self.show_page(1)
        self.click(CHK_TELOP)
        self.click(CHK_WAVE)
        self.click(SEL_15M)
        self.set_text(EDT_TELOP, "%n分".encode("cp932"))
        self.set_text(EDT_WAVE, b"C:\\chime.wav")
        self.assertTrue(self.show_page(3).checked(CHK_STEP_ASIDE))
        self.click(CHK_STEP_ASIDE)
        dialog = self.dialog()
        self.assertEqual([True, True, True],
                         [dialog.enabled(i) for i in (EDT_WAVE, BTN_BROWSE, EDT_TELOP)])
        self.assertEqual([True, False, False],
                         [dialog.checked(i) for i in (SEL_15M, SEL_30M, SEL_01H)])
        self.click(BTN_OK)
        self.wait_visible(False)
        stored = self.wine.reg_query(OPTIONS_KEY)
        self.assertEqual(("REG_DWORD", 1), stored["useTelop"])
        self.assertEqual(("REG_SZ", "%n分"), stored["Telop"])
        self.assertEqual(("REG_DWORD", 1), stored["useWaveFile"])
        self.assertEqual(("REG_SZ", "C:\\chime.wav"), stored["WaveFile"])
        self.assertEqual(("REG_DWORD", 15), stored["Interval"])
        self.assertEqual(("REG_DWORD", 0), stored["StepAside"])

    def test_out_of_the_way_options_apply_on_ok_and_revert_on_cancel(self):
        def clock_alpha():
            return self.wine.clock_window().int("alpha")

        def choose_half_opacity():
            self.show_page(3)
            self.wine.probe("dlg-send", SETTINGS, TRK_OPACITY, TBM_SETPOS, 1, 5)
            self.wine.probe("dlg-send", SETTINGS, CHK_RESERVE_BAND, BM_SETCHECK, 1, 0)

        self.start_clock(at="10:02:30")
        self.assertFalse(self.wine.clock_window().int("exstyle") & WS_EX_LAYERED,
                         "layered with every option off")
        self.open_settings()
        choose_half_opacity()
        self.assertEqual(-1, clock_alpha(), "applied before OK")
        self.click(BTN_CANCEL)
        self.wait_visible(False)
        self.assertEqual(-1, clock_alpha(), "applied by Cancel")
        self.assertEqual(0, self.wine.probe_one("band", 21, kind="band").int("top"))
        self.open_settings()
        choose_half_opacity()
        self.click(BTN_OK)
        self.wait_visible(False)
        self.assertEqual(128, clock_alpha(), "the opacity chosen is not applied on OK")
        self.assertEqual(21, self.wine.probe_one("band", 21, kind="band").int("top"),
                         "the band chosen is not held after OK")
        stored = self.wine.reg_query(OPTIONS_KEY)
        self.assertEqual([("REG_DWORD", 0), ("REG_DWORD", 50), ("REG_DWORD", 1)],
                         [stored[n] for n in ("FadeUnderPointer", "RestOpacity", "ReserveBand")])

    # -- starting at sign-in

    def test_start_at_sign_in_shows_what_the_run_key_holds_and_ok_changes_it(self):
        def shown_with(value):
            self.wine.reg_import(RUN_KEY, {"vo": value})
            return self.open_settings().checked(CHK_START_AT_SIGN_IN)

        def ok():
            self.click(BTN_OK)
            self.wait_visible(False)
            return (self.wine.reg_query(RUN_KEY) or {}).get("vo")

        self.addCleanup(self.wine.reg_delete, RUN_KEY, "vo")
        other = '"C:\\Program Files\\vo\\vo.exe" /x'
        clock = self.start_clock(at="10:01:30")
        self.assertFalse(shown_with(other), "another program's value shown as this one's")
        self.show_page(3)
        self.assertEqual(("REG_SZ", other), ok(), "written unasked")
        self.open_settings()
        self.click(CHK_START_AT_SIGN_IN)
        self.assertEqual(other, self.wine.reg_query(RUN_KEY)["vo"][1], "written before OK")
        kind, value = ok()
        ours = '"' + harness.windows_path(clock.directory / "vo.exe") + '"'
        self.assertEqual(("REG_SZ", ours.lower()), (kind, value.lower()))
        self.assertFalse(shown_with(other), "the box kept its state, not the Run key's")
        self.click(BTN_CANCEL)
        self.wait_visible(False)
        self.assertTrue(shown_with(value), "this program's value not shown")
        self.click(CHK_START_AT_SIGN_IN)
        self.assertIsNone(ok(), "not removed")

    def test_start_at_sign_in_names_a_folder_outside_the_ansi_code_page(self):
        folder = Path(tempfile.mkdtemp(prefix="vo-한국어-Grüße-"))
        self.addCleanup(shutil.rmtree, folder, True)
        self.addCleanup(self.wine.reg_delete, RUN_KEY, "vo")
        self.wine.reg_delete(RUN_KEY, "vo")
        self.start_clock(at="10:01:30", directory=folder)
        self.open_settings()
        self.click(CHK_START_AT_SIGN_IN)
        self.click(BTN_OK)
        self.wait_visible(False)
        ours = '"' + harness.windows_path(folder / "vo.exe") + '"'
        self.assertEqual(ours.lower(), (self.wine.reg_text(RUN_KEY, "vo") or "").lower(),
                         "the sign-in value does not name the program's real path")
        self.assertTrue(self.open_settings().checked(CHK_START_AT_SIGN_IN),
                        "the sign-in value is not shown as this program's")

    # -- Cancel, the close box and loading

    def test_cancel_after_edits_restores_the_stored_values(self):
        self.wine.store_options(useTelop=1, Telop="%h時", Interval=45)
        self.start_clock(at="10:01:30")  # no signal minute: a telop would cover the menu
        dialog = self.open_settings()
        # Loaded: 45 means 30 minutes, and the telop edit follows its check box.
        self.assertTrue(dialog.checked(CHK_TELOP))
        self.assertTrue(dialog.enabled(EDT_TELOP))
        self.assertEqual("%h時".encode("cp932"), dialog.text(EDT_TELOP))
        self.assertEqual([False, True, False],
                         [dialog.checked(i) for i in (SEL_15M, SEL_30M, SEL_01H)])

        self.show_page(1)
        self.click(CHK_TELOP)
        self.click(CHK_WAVE)
        self.click(SEL_01H)
        self.set_text(EDT_TELOP, b"edited")
        harness.key("Escape")  # Esc is Cancel
        self.wait_visible(False)

        dialog = self.open_settings()
        self.assertTrue(dialog.checked(CHK_TELOP))
        self.assertEqual("%h時".encode("cp932"), dialog.text(EDT_TELOP))
        self.assertFalse(dialog.checked(CHK_WAVE))
        self.assertEqual([False, False], [dialog.enabled(i) for i in (EDT_WAVE, BTN_BROWSE)])
        self.assertEqual([False, True, False],
                         [dialog.checked(i) for i in (SEL_15M, SEL_30M, SEL_01H)])
        self.assertEqual(("REG_SZ", "%h時"), self.wine.reg_query(OPTIONS_KEY)["Telop"])

    def test_cancel_over_a_broken_store_reports_and_stays_open(self):
        self.wine.store_options(useTelop=1)
        self.start_clock(at="10:01:30")
        self.open_settings()
        self.wine.reg_delete(OPTIONS_KEY, "Active")
        self.click_later(BTN_CANCEL)
        records = self.wine.probe("msgbox", 15000)
        texts = [r.text("text") for r in records if r.kind == "static" and r.text("text")]
        self.assertIn("'Active' の取得に失敗しました.".encode("cp932"), texts)
        self.wine.probe("press", 1, 5000)
        def error_box_shown():
            return any(r.kind == "window" and r.int("visible") and r.text("class") == b"#32770"
                       and r.text("title") != SETTINGS_TITLE
                       for r in self.wine.probe("windows", harness.CLOCK_CLASS))

        self.wait_until(lambda: not error_box_shown(), 10, message="the error box gone")
        # Handled by the dialog only once the Cancel that showed the box has returned.
        self.wine.probe("dlg-send", SETTINGS, 0, WM_NULL, 0, 0)
        self.assertTrue(self.dialog().visible, "Cancel hid the dialog despite the error")

    def test_hints_show_on_the_two_edits_only(self):
        self.start_clock(at="10:01:30")
        self.open_settings()
        dialog = self.show_page(1)

        def hint_shown():
            shown = self.wine.probe("dialog", OWNED, check=False)[0]
            return shown.kind == "dialog" and shown.text("class") == b"tooltips_class32"

        def hint_after_hovering(id, wait=8):
            """Whether a hint shows within `wait` s of hovering over the control."""
            left, top, right, bottom = dialog.box(id)
            harness.mousemove((left + right) // 2, (top + bottom) // 2)
            deadline = time.monotonic() + wait
            shown = hint_shown()
            while not shown and time.monotonic() < deadline:
                time.sleep(0.2)
                shown = hint_shown()
            harness.mousemove(5, 700)
            self.wait_until(lambda: not hint_shown(), 10, message="the hint gone")
            return shown

        # Both edits are disabled here: the hint shows all the same.
        self.assertTrue(hint_after_hovering(EDT_WAVE), "no hint on the wave file")
        self.assertTrue(hint_after_hovering(EDT_TELOP), "no hint on the telop")
        # Well beyond the delay of the hints above.
        self.assertFalse(hint_after_hovering(CHK_TELOP, wait=3), "a hint on the telop check box")
        self.click(CHK_TELOP)
        self.assertTrue(hint_after_hovering(EDT_TELOP), "no hint on the enabled telop")

    def test_without_stored_options_cancel_and_the_close_box_keep_the_edits(self):
        self.start_clock(at="10:00:30")
        self.open_settings()
        self.show_page(1)
        self.click(CHK_TELOP)
        self.set_text(EDT_TELOP, b"kept")
        self.click(BTN_CANCEL)
        self.wait_visible(False)
        dialog = self.open_settings()
        self.assertTrue(dialog.checked(CHK_TELOP))
        self.assertEqual(b"kept", dialog.text(EDT_TELOP))

        self.wine.probe("dlg-send", SETTINGS, 0, WM_CLOSE, 0, 0)
        self.wait_visible(False)
        dialog = self.open_settings()
        self.assertEqual(b"kept", dialog.text(EDT_TELOP))
        self.assertIsNone(self.wine.reg_query(OPTIONS_KEY), "Cancel or close wrote the options")

    def test_options_without_active_report_at_start_and_load_nothing_more(self):
        self.wine.store_options(without={"Active"}, useTelop=1, Interval=15)
        # The error box comes before the clock is shown.
        clock = self.start_clock(at="10:00:30", plugins=RECORDERS, recorder=True,
                                 wait_window=False)
        records = self.wine.probe("msgbox", 15000)
        box = records[0]
        self.assertEqual(b"vo", box.text("title"))
        texts = [r.text("text") for r in records if r.kind == "static" and r.text("text")]
        self.assertIn("'Active' の取得に失敗しました.".encode("cp932"), texts)
        self.assertIn("hand", [r["name"] for r in records if r.kind == "icon"])
        self.wine.probe("press", 1, 5000)

        dialog = self.open_settings()
        self.assertFalse(dialog.checked(CHK_TELOP), "a signal option was loaded")
        self.assertTrue(dialog.checked(SEL_01H), "the interval was loaded")
        self.assertEqual([], dialog.items, "plug-ins were listed")
        self.assertEqual(0, clock.recorder.count("enable"), "a plug-in was loaded")

    def test_browse_offers_the_wave_file_and_takes_the_pick(self):
        self.start_clock(at="10:01:30")
        self.open_settings()
        self.show_page(1)
        self.click(CHK_WAVE)
        self.click_later(BTN_BROWSE)
        records = self.wine.probe("dialog", OWNED, 10000)
        texts = {(r.int("id"), r.text("class")): r.text("text")
                 for r in records if r.kind == "control"}
        self.assertEqual(b"sample.wav", texts[(1148, b"Edit")], "initial file name")
        self.assertEqual("wavﾌｧｲﾙ (*.wav)".encode("cp932"), texts[(1136, b"ComboBox")])
        harness.xdotool("type", "chime.wav")
        harness.key("Return")
        self.wait_until(lambda: self.dialog().text(EDT_WAVE).endswith(b"\\chime.wav"),
                        timeout=10, interval=0.3, message="the picked path in the edit")

        picked = self.dialog().text(EDT_WAVE)
        self.click_later(BTN_BROWSE)
        self.wine.probe("dialog", OWNED, 10000)
        harness.key("Escape")
        self.wait_until(lambda: self.wine.probe("dialog", OWNED, check=False)[0].kind != "dialog",
                        timeout=10, interval=0.3, message="the file dialog gone")
        self.assertEqual(picked, self.dialog().text(EDT_WAVE), "a cancelled browse changed it")

    # -- the per-minute check

    def wait_for_telop(self, clock):
        self.wait_until(lambda: any(r["name"] == "CLK_TELOP"
                                    for r in clock.recorder.events() if r.kind == "message"),
                        timeout=20, interval=0.3, message="CLK_TELOP")
        moment = time.time()
        return next(r for r in clock.recorder.events()
                    if r.kind == "message" and r["name"] == "CLK_TELOP"), clock.local_time(moment)

    def test_telop_signal_at_the_hour(self):
        self.wine.store_options(useTelop=1)
        clock = self.start_clock(at="14:59:55", plugins=["voRecA.DLL"], recorder=True)
        message, seen = self.wait_for_telop(clock)
        self.assertEqual((15, 0), (seen.hour, seen.minute))
        self.assertEqual("15時00分です。".encode("cp932"), message.text("text"))
        self.assertEqual("", message["wave"], "the wave path is an empty string, not null")

    def test_ok_in_a_signal_minute_signals_at_once(self):
        clock = self.start_clock(at="11:59:58", plugins=["voRecA.DLL"], recorder=True)
        self.wait_until(lambda: clock.local_time().minute == 0, timeout=10, interval=0.2,
                        message="12:00")
        self.open_settings()
        self.show_page(1)
        self.click(CHK_TELOP)
        clicked = clock.recorder.events()[-1].int("tick")
        self.wait_until(lambda: clock.recorder.ticks_after(clicked) >= 3, 10,
                        message="ticks after the click")
        self.assertEqual(0, sum(r["name"] == "CLK_TELOP" for r in clock.recorder.events()
                                if r.kind == "message"), "a signal with the telop off")
        self.click(BTN_OK)
        message, seen = self.wait_for_telop(clock)
        self.assertEqual((12, 0), (seen.hour, seen.minute), "the signal waited for a minute")
        self.assertEqual("12時00分です。".encode("cp932"), message.text("text"))

    def test_wave_signal_carries_the_path(self):
        self.wine.store_options(useWaveFile=1, WaveFile="missing.wav", Interval=30)
        clock = self.start_clock(at="14:59:55", plugins=["voRecA.DLL"], recorder=True)
        message, seen = self.wait_for_telop(clock)
        self.assertEqual((15, 0), (seen.hour, seen.minute))
        self.assertEqual(b"missing.wav", message.text("wave"))
        self.assertEqual("", message["text"])
        self.assertTrue(clock.running())

    def test_colours_follow_the_blend_of_the_stored_anchors(self):
        anchors = [(0x000080FF, 0x00102030), (0x00FFFFFF, 0x00C0A000), (0x00000000, 0x0000FF00),
                   (0x00FF00FF, 0x00404040)]
        values = {}
        for (fore, back), name in zip(anchors, ("0000", "0600", "1200", "1800")):
            values["ForeColor" + name], values["BackColor" + name] = fore, back
        # Each channel of each pair mixed in proportion to the minutes since the last anchor.
        for at, expected in (("03:00:20", (0x007FBFFF, 0x00686018)),
                             ("14:30:20", (0x006A006A, 0x001AAF1A)),
                             ("23:59:20", (0x00007FFF, 0x00102030))):
            with self.subTest(at=at):
                self.wine.store_options(**values)
                clock = self.start_clock(at=at)
                self.wait_until(lambda: self.clock_colors() == expected, timeout=10,
                                interval=0.3, message=f"colours {expected} at {at}")
                self.wine.probe("close")
                self.assertEqual(0, clock.wait(15))
                self.wine.wait_clock_gone()

    def test_colour_buttons_and_ok_with_and_without_the_schedule(self):
        clock = self.start_clock(at="09:00:05")
        self.open_settings()
        # The 12:00 anchor is checked: the chosen background goes to it and the example.
        self.click_later(BTN_BACK_COLOR)
        self.choose_color((10, 20, 30))
        self.click(BTN_OK)
        self.wait_visible(False)
        self.assertEqual(("REG_DWORD", 0x001E140A),
                         self.wine.reg_query(OPTIONS_KEY)["BackColor1200"])
        # OK posts the example colours, then the blend, which wins: halfway from the blue of
        # 06:00 to the new 12:00 colour (a step further on if the minute has turned).
        blends = {0: (0x0000FFFF, 0x008E0A05), 1: (0x0000FFFF, 0x008D0A05)}
        self.assertEqual(blends[clock.local_time().minute], self.clock_colors())

        # With the schedule off only the example takes the colour, and OK leaves it on the clock.
        dialog = self.open_settings()
        _, example_back = self.clock_colors()  # what the example took when the dialog showed
        self.click(CHK_AUTO_CHANGE)
        self.click_later(BTN_FORE_COLOR)
        self.choose_color((200, 100, 50))
        # The 12:00 anchor keeps the background chosen first (once the screen is repainted).
        self.wait_until(lambda: self.mostly(self.screenshot(), dialog.box(RBT_1200), (10, 20, 30)),
                        timeout=10, interval=0.3, message="the 12:00 anchor repainted")
        self.click(BTN_OK)
        self.wait_visible(False)
        stored = self.wine.reg_query(OPTIONS_KEY)
        self.assertEqual(("REG_DWORD", 0), stored["Active"])
        self.assertEqual(("REG_DWORD", 0x00FFFF), stored["ForeColor1200"])
        self.assertEqual((0x003264C8, example_back), self.clock_colors())

    # -- the plug-in page

    def test_plugin_page_shows_descriptions_and_runs_the_properties(self):
        clock = self.start_clock(at="10:00:30", plugins=RECORDERS,
                                 files=[(harness.HERE / "harness.py", "voJunk.dll")],
                                 recorder=True)
        self.open_settings()
        dialog = self.show_page(2)
        self.assertEqual(["voJunk.dll", "voRecA.DLL", "voRecB.dll"], dialog.items)
        self.assertEqual([("enable", "A"), ("enable", "B")], clock.recorder.sequence("enable"))

        def select(index):
            left, top, _, _ = dialog.box(LST_PLUGINS)
            harness.click(1, left + 40, top + 2 + 16 * index + 8)
            self.wait_until(lambda: (d := self.dialog()).list.int("selected") == index and d,
                            timeout=10, interval=0.2, message=f"item {index} selected")
            return self.dialog().text(MEM_DISCRIPTION)

        description_a = "テスト用の記録プラグイン A".encode("cp932")
        self.assertEqual(description_a, select(1))
        # Not a module: the memo keeps the last description.
        self.assertEqual(description_a, select(0))
        self.assertEqual("テスト用の記録プラグイン B".encode("cp932"), select(2))

        select(1)
        self.click(BTN_PLUGIN_PROP)
        self.assertEqual([("setprops", "A")], clock.recorder.sequence("setprops"))
        self.assertTrue(self.dialog().visible, "the dialog came back after the properties")

    def test_run_apart_box_shows_where_a_module_runs_and_ok_stores_it(self):
        # The recorder's image marked for the other processor.
        other = Path(tempfile.mkdtemp(prefix="vo-other-")) / "voOther.dll"
        image = bytearray((harness.BUILD_DIR / "voRecA.DLL").read_bytes())
        machine = int.from_bytes(image[0x3C:0x40], "little") + 4
        own_is_x64 = harness.pe_machine(harness.VO_EXE) == "64-bit"
        image[machine:machine + 2] = (0x14C if own_is_x64 else 0x8664).to_bytes(2, "little")
        other.write_bytes(image)
        self.start_clock(at="10:00:30", plugins=["voRecA.DLL"], recorder=True,
                         files=[(harness.HERE / "harness.py", "voJunk.dll"), other])
        self.open_settings()
        dialog = self.show_page(2)
        self.assertEqual(["voJunk.dll", "voOther.dll", "voRecA.DLL"], dialog.items)
        self.assertFalse(dialog.enabled(CHK_RUN_APART), "the box greyed with nothing selected")

        def shown(index):
            """(checked, enabled, "next start" note shown), with item `index` selected."""
            left, top, _, _ = dialog.box(LST_PLUGINS)
            harness.click(1, left + 40, top + 2 + 16 * index + 8)
            d = self.wait_until(lambda: (d := self.dialog()).list.int("selected") == index and d,
                                timeout=10, interval=0.2, message=f"item {index} selected")
            return (d.checked(CHK_RUN_APART), d.enabled(CHK_RUN_APART),
                    d.controls[LBL_RUN_APART_NOTE]["visible"] == "1")

        self.assertEqual((False, False, False), shown(0), "a file that is no module: greyed")
        self.assertEqual((True, False), shown(1)[:2],
                         "a module of the other processor runs apart, and nowhere else")
        self.assertEqual((False, True, False), shown(2), "a module of the clock's own processor "
                         "runs inside unless chosen otherwise")
        self.click(CHK_RUN_APART)
        self.assertEqual((True, True, True), shown(2), "checked, to take effect at the next start")
        self.click(BTN_CANCEL)
        self.assertIsNone(self.wine.reg_query(APART_KEY), "Cancel stored the choice")
        self.open_settings()  # on the page it was closed on
        self.assertEqual((False, True, False), shown(2), "Cancel kept the choice")

        self.click(CHK_RUN_APART)
        self.click(BTN_OK)
        self.assertEqual({"voRecA.DLL": ("REG_DWORD", 1)}, self.wine.reg_query(APART_KEY),
                         "OK must store the choice to run the module apart")
        self.open_settings()
        self.assertEqual((True, True, True), shown(2), "the stored choice, for the next start")


if __name__ == "__main__":
    unittest.main()
