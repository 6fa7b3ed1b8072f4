#!/usr/bin/python3
"""The strip and its settings dialog on a 144 dpi display (150 %): sizes, a pixel check of
the drawing, the telop's cover and step, and the clamps at the scaled width.

Wine reports the LogPixels value of the prefix to every program. The prefix is shared by
all suites, so the class puts the value back when it ends and restarts the Wine session
each time, so that the next program starts under the value now set."""

import time
import unittest

import harness
import test_settings
import test_telop
from harness import BLACK, YELLOW, SCREEN, SETTINGS_KEY, mousedown, mousemove, mouseup

DPI = 144
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"


def scaled(value, dpi=DPI):
    """value * dpi / 96, rounded half up, as the program scales its design."""
    return (value * dpi + 48) // 96


WIDTH, HEIGHT = scaled(102), scaled(21)  # 153 x 32
BEVEL = 2                                # each of the two bevels
TELOP_BOX = (2 * BEVEL, 2 * BEVEL, WIDTH - 2 * BEVEL, HEIGHT - 2 * BEVEL)
DATE_BOX = (scaled(3), scaled(1), scaled(56), scaled(14))
TIME_BOX = (scaled(52), scaled(1), scaled(102), scaled(16))
BAR_BOX = (scaled(4), scaled(15), scaled(52), scaled(17))
BAR_WIDTH = BAR_BOX[2] - BAR_BOX[0]


def bar_position(second, millisecond):
    return (second * 1000 + millisecond) * (BAR_WIDTH - scaled(4) - scaled(1)) // 60000 + scaled(1)


def bar_gap(position):
    left = position + scaled(2)
    return [c for c in range(left, left + scaled(4)) if c < BAR_WIDTH]


def fore_pixels(image, box):
    left, top, right, bottom = box
    return {(x - left, y - top) for y in range(top, bottom) for x in range(left, right)
            if image.getpixel((x, y)) == YELLOW}


class Dpi144(test_telop.TelopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.original = (cls.wine.reg_query(DESKTOP_KEY) or {}).get("LogPixels")
        try:
            cls.set_log_pixels(DPI)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            if cls.original is None:
                cls.wine.reg_delete(DESKTOP_KEY, "LogPixels")
                cls.wine.restart_session()
            else:
                cls.set_log_pixels(cls.original[1])
        finally:
            super().tearDownClass()

    @classmethod
    def set_log_pixels(cls, dpi):
        cls.wine.reg_add(DESKTOP_KEY, "LogPixels", dpi)
        cls.wine.restart_session()

    def setUp(self):
        super().setUp()
        self.wine.store_options(Active=0)  # yellow on black all the time

    def test_strip_is_153_by_32_with_2_px_bevels_crisp_text_and_the_bar_gap_in_place(self):
        clock = self.start_clock(at="00:00:12")
        window = self.wine.clock_window()
        self.assertEqual((WIDTH, HEIGHT), (window.int("width"), window.int("height")))
        time.sleep(0.5)
        image = self.clock_image(window)

        highlight = self.wine.syscolor(harness.COLOR_BTNHIGHLIGHT)
        shadow = self.wine.syscolor(harness.COLOR_BTNSHADOW)
        # Cross-sections below the labels and left of the bar: two rings of the raised outer
        # bevel, two of the lowered inner one, then the panel.
        h, s, b = highlight, shadow, BLACK
        self.assertEqual([h, h, s, s, b], [image.getpixel((x, HEIGHT - 6)) for x in range(5)])
        self.assertEqual([s, s, h, h, b],
                         [image.getpixel((WIDTH - 1 - i, HEIGHT - 6)) for i in range(5)])
        self.assertEqual([s, s, h, h, b], [image.getpixel((5, HEIGHT - 1 - i)) for i in range(5)])

        for name, box in (("date", DATE_BOX), ("time", TIME_BOX)):
            inner = (box[0], max(box[1], 2 * BEVEL), min(box[2], WIDTH - 2 * BEVEL),
                     min(box[3], BAR_BOX[1]))
            counts = harness.colour_counts(image, inner)
            with self.subTest(name):
                self.assertEqual({BLACK, YELLOW}, set(counts), "anti-aliased or wrong colour")
                # At 150 % the text covers about 2.25 times the pixels it covers at 96 dpi.
                self.assertGreater(counts[YELLOW], 100, "text too small for the scale")

        positions = set()
        moment = image.info["time_before"] - 0.3
        while moment <= image.info["time_after"]:
            local = clock.local_time(moment)
            positions.add(bar_position(local.second, local.microsecond // 1000))
            moment += 0.01
        rows = [[x - BAR_BOX[0] for x in range(BAR_BOX[0], BAR_BOX[2])
                 if image.getpixel((x, y)) != YELLOW] for y in range(BAR_BOX[1], BAR_BOX[3])]
        self.assertEqual(scaled(2), len(rows))
        self.assertEqual([rows[0]] * len(rows), rows, "the bar's rows differ")
        self.assertIn(rows[0], [bar_gap(p) for p in positions])
        self.assertEqual(scaled(4), len(rows[0]), "gap width")

    def test_telop_covers_the_inside_of_the_bevels_and_steps_3_px_per_tick(self):
        clock = self.start_telop_clock(at="00:00:05")
        self.plugin.trigger(how="send", text="Telop 0123 WXYZ", hold="3,4", holdms=1500)
        frames = []
        for tick in (3, 4):
            self.wait_record(clock, "hold", n=tick)
            image = self.clock_image(clock.window)
            frames.append(fore_pixels(image, TELOP_BOX))
            # The bar under the telop is covered; the bevels are not.
            self.assertLess(harness.row(image, BAR_BOX[1], BAR_BOX[0], BAR_BOX[2]).count(YELLOW),
                            BAR_WIDTH // 2, f"bar shows through at tick {tick}")
            self.assertEqual({BLACK, YELLOW}, set(harness.colour_counts(image, TELOP_BOX)))
        self.assertTrue(frames[0], "no telop text in the frame")
        step = scaled(2)
        moved = {(x - step, y) for x, y in frames[0] if x - step >= 0}
        self.assertEqual(moved, {(x, y) for x, y in frames[1] if x < TELOP_BOX[2] - TELOP_BOX[0]
                                 - step})

    def test_clamps_use_the_scaled_width_and_left_stays_in_screen_pixels(self):
        self.wine.reg_import(SETTINGS_KEY, {"Left": 5000, "ForeColor": 0x0000FFFF, "BackColor": 0})
        self.start_clock()
        window = self.wine.clock_window()
        self.assertEqual(SCREEN[0] - scaled(194), window.int("left"))

        spot = (window.int("left") + scaled(20), scaled(7))  # on the date
        mousemove(*spot)
        mousedown(1)
        mousemove(SCREEN[0] - 1, spot[1])
        time.sleep(0.3)
        mouseup(1)
        self.wait_until(lambda: self.wine.clock_window().int("left") == SCREEN[0] - WIDTH, 5,
                        message="the strip at the right edge")
        self.wine.probe("close")
        self.assertEqual(("REG_DWORD", SCREEN[0] - WIDTH),
                         self.wine.reg_query(SETTINGS_KEY)["Left"])

    def test_settings_dialog_client_area_is_scaled(self):
        self.start_clock(at="10:00:30")
        window = self.wine.clock_window()
        harness.click(3, window.int("left") + scaled(80), scaled(8))  # on the time
        self.wait_until(lambda: self.wine.probe_one("window", "#32768", 0, check=False,
                                                    kind=None).fields.get("visible") == "1",
                        timeout=10, interval=0.2, message="the popup menu")
        harness.key("Down", "Down", "Return")
        title = "title:" + "Kiroの時計 - 設定".encode("cp932").hex()
        dialog = self.wait_until(
            lambda: (d := self.wine.probe_one("dialog", title, 5000)).int("visible") and d,
            10, interval=0.2, message="the settings dialog")
        self.assertEqual((scaled(347), scaled(206)),
                         (dialog.int("client_width"), dialog.int("client_height")))


WM_DPICHANGED, LB_GETITEMHEIGHT = 0x02E0, 0x01A1
ABOUT = "title:" + "About Kiroの時計".encode("cp932").hex()


class DpiChange(harness.ClockTestCase):
    """Wine sends no WM_DPICHANGED: the tests send one as the system does on a monitor of
    another DPI, without the suggested rectangle (it cannot cross processes)."""
    dialog = test_settings.SettingsDialogTest.dialog
    wait_visible = test_settings.SettingsDialogTest.wait_visible
    open_settings = test_settings.SettingsDialogTest.open_settings

    def change_dpi(self, selector, dpi, client, placed):
        """Sends the change, then checks the client area and, for each (id, other id, the
        other's designed corner, the designed box), the control's edges from that corner."""
        self.wine.probe("dialog", selector, 10000)
        self.wine.probe("dlg-send", selector, 0, WM_DPICHANGED, dpi << 16 | dpi, 0)
        dialog = test_settings.Dialog(self.wine.probe("dialog", selector))
        size = [dialog.window.int("client_width"), dialog.window.int("client_height")]
        self.assertEqual([scaled(v, dpi) for v in client], size, "client area")
        for id, other, corner, (x, y, width, height) in placed:
            box, origin = dialog.box(id), dialog.box(other)
            self.assertEqual([scaled(edge, dpi) - scaled(corner[i % 2], dpi)
                              for i, edge in enumerate((x, y, x + width, y + height))],
                             [box[i] - origin[i % 2] for i in range(4)], f"control {id} at {dpi}")
        return dialog

    def test_settings_dialog_takes_the_new_scale_keeping_its_state_and_goes_back(self):
        S = test_settings
        self.start_clock()
        self.open_settings()
        S.SettingsDialogTest.set_text(self, S.EDT_TELOP, b"kept")
        for dpi in (192, 144, 96):  # Cancel beside OK; the telop edit beside its check box
            dialog = self.change_dpi(S.SETTINGS, dpi, (347, 206), [
                (S.BTN_CANCEL, S.BTN_OK, (4, 176), (180, 176, 165, 25)),
                (S.EDT_TELOP, S.CHK_TELOP, (12, 56), (92, 56, 233, 23))])
            self.assertEqual(b"kept", dialog.text(S.EDT_TELOP))
            tabs, page = dialog.box(S.PAGE_CONTROL), dialog.box(S.PAGE_TELOP)
            self.assertGreater((page[2] - page[0]) / (tabs[2] - tabs[0]), 0.95, "page width")
            page = dialog.box(S.PAGE_PLUGINS)
            for id in (S.LST_PLUGINS, S.MEM_DISCRIPTION, S.BTN_PLUGIN_PROP, S.CHK_RUN_APART,
                       S.LBL_RUN_APART_NOTE):
                box = dialog.box(id)
                self.assertTrue(page[0] <= box[0] and page[1] <= box[1] and box[2] <= page[2]
                                and box[3] <= page[3],
                                f"control {id} at {box} outside its page {page} at {dpi}")
            item = self.wine.probe_one("dlg-send", S.SETTINGS, S.LST_PLUGINS, LB_GETITEMHEIGHT,
                                       0, 0)
            self.assertEqual(scaled(16, dpi), item.int("value"), "list item height")

    def test_about_box_takes_the_new_scale(self):
        self.start_clock()
        self.open_menu()
        harness.key("a")  # its OK button below the panel (104)
        self.change_dpi(ABOUT, 144, (335, 220), [(test_settings.BTN_OK, 104, (20, 84),
                                                  (112, 184, 113, 29))])
        harness.key("Return")


if __name__ == "__main__":
    unittest.main()
