"""The main window as a user meets it: placement, controls, keyboard, closing, focus, captions.

Runs the x86-64 build under Wine in a virtual desktop and drives it with real key presses and mouse clicks
(xdotool); the Windows-side driver reads back what Windows reports. The shipping 32-bit program has its own
run in test_shipping.py.
"""
import subprocess
import time
import unittest

from winebench import bench

MAIN = 0x52010001
BUTTON1 = 0x1601000D
EDIT = {1: 0x16010006, 2: 0x16010007, 3: 0x16010008, 4: 0x16010009}
LABEL = {1: 0x16010002, 2: 0x16010003, 3: 0x16010004, 4: 0x16010005}
FOCUS_ORDER = [EDIT[1], EDIT[2], EDIT[3], EDIT[4], BUTTON1]

WS_CHILD, WS_VISIBLE, WS_CLIPSIBLINGS, WS_CLIPCHILDREN = 0x40000000, 0x10000000, 0x04000000, 0x02000000
WS_CAPTION, WS_SYSMENU, WS_THICKFRAME = 0x00C00000, 0x00080000, 0x00040000
WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_TABSTOP = 0x00020000, 0x00010000, 0x00010000
ES_AUTOHSCROLL = 0x0080
BS_CENTER, BS_VCENTER, BS_MULTILINE, BS_DEFPUSHBUTTON = 0x0300, 0x0C00, 0x2000, 0x0001
WS_EX_CLIENTEDGE, WS_EX_WINDOWEDGE = 0x0200, 0x0100
SC_MINIMIZE, SC_RESTORE = 0xF020, 0xF120
HTCAPTION, HTCLOSE = 2, 20

# Expected controls: class, rectangle in client coordinates, style (visible included), extended style, text.
CONTROLS = {
    BUTTON1: ("Button", [106, 152, 100, 25],
              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | BS_CENTER | BS_VCENTER | BS_MULTILINE, 0,
              "获取编码"),
    LABEL[1]: ("MachineCodesLabel", [20, 20, 60, 20], WS_CHILD | WS_VISIBLE, 0, "MAC地址"),
    LABEL[2]: ("MachineCodesLabel", [20, 50, 60, 20], WS_CHILD | WS_VISIBLE, 0, "IP地址"),
    LABEL[3]: ("MachineCodesLabel", [20, 80, 60, 20], WS_CHILD | WS_VISIBLE, 0, "cpu序列号"),
    LABEL[4]: ("MachineCodesLabel", [20, 110, 60, 20], WS_CHILD | WS_VISIBLE, 0, "硬盘序列号"),
}
for n, top in ((1, 20), (2, 50), (3, 80), (4, 110)):
    CONTROLS[EDIT[n]] = ("Edit", [90, top, 200, 25],
                         WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, "")


def rgb(path, width, height):
    """Raw RGB bytes of a picture, through ImageMagick."""
    return subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"], capture_output=True,
                          check=True).stdout[: width * height * 3]


def glyphs(pixels, width, height):
    """Splits dark text into glyphs by blank columns; returns each glyph's bitmap."""
    dark = [[sum(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) < 300 for x in range(width)]
            for y in range(height)]
    columns = [any(dark[y][x] for y in range(height)) for x in range(width)]
    found, start = [], None
    for x, ink in enumerate(columns + [False]):
        if ink and start is None:
            start = x
        elif not ink and start is not None:
            found.append(tuple(tuple(row[start:x]) for row in dark))
            start = None
    return found


class Program:
    """One running copy of the program with the driver's view of it."""

    def __init__(self, b, driver, arch="win64", timeout=60):
        self.b, self.driver = b, driver
        before = {w["hwnd"] for w in driver.windows()}
        self.proc = b.start(b.exe(arch, "MachineCodes.exe"))
        deadline = time.monotonic() + timeout
        self.hwnd = None
        while self.hwnd is None:
            if time.monotonic() > deadline:
                self.proc.kill()
                raise AssertionError("the main window did not appear within %d s" % timeout)
            new = [w for w in driver.windows() if w["visible"] and w["hwnd"] not in before]
            if new:
                self.hwnd = new[0]["hwnd"]
            else:
                time.sleep(0.2)
        time.sleep(0.5)  # let activation and the first paint settle

    def state(self):
        return self.driver.state(self.hwnd)

    def focus(self):
        return self.state()["focusId"]

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=30):
        return self.proc.wait(timeout=timeout)

    def end(self):
        if self.alive():
            self.proc.kill()
            self.proc.wait(timeout=30)

    def control(self, control_id, state=None):
        state = state or self.state()
        return next(c for c in state["controls"] if c["id"] == control_id)

    def click_control(self, control_id, state=None):
        state = state or self.state()
        c = self.control(control_id, state)
        x = state["clientOrigin"][0] + c["rect"][0] + c["rect"][2] // 2
        y = state["clientOrigin"][1] + c["rect"][1] + c["rect"][3] // 2
        self.b.click_at(x, y)

    def focus_control(self, control_id):
        """Tabs from the first box to a control, the way a user would reach it."""
        for _ in range(FOCUS_ORDER.index(control_id)):
            self.b.key("Tab")
        assert self.focus() == control_id

    def point_where(self, hit, y_offset):
        """A screen point of the caption row where the window reports `hit`, searched from the right."""
        x0, y0, w, _ = self.state()["rect"]
        for x in range(x0 + w - 2, x0, -1):
            if self.driver.ask("hittest", self.hwnd, x, y0 + y_offset)["hit"] == hit:
                return x - 4, y0 + y_offset
        raise AssertionError("no point with hit-test %d" % hit)


class MainWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.b = bench()
        cls.b.set_desktop(1024, 768)
        cls.driver = cls.b.driver()

    @classmethod
    def tearDownClass(cls):
        cls.driver.close()

    def start(self, **kw):
        program = Program(self.b, self.driver, **kw)
        self.addCleanup(program.end)
        return program

    def test_window_is_centred_fixed_and_captionless(self):
        p = self.start()
        s = p.state()
        self.assertEqual(s["screen"], [1024, 768])
        self.assertEqual(s["rect"], [353, 275, 318, 217])
        # The system adds WS_CLIPSIBLINGS to every overlapped window, and WS_EX_WINDOWEDGE to captioned ones.
        self.assertEqual(s["style"] & ~(WS_VISIBLE | WS_CLIPSIBLINGS),
                         WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN)
        self.assertEqual(s["exStyle"] & ~WS_EX_WINDOWEDGE, 0)
        self.assertEqual(s["text"], "")
        self.assertEqual(s["owner"], 0)
        self.assertEqual(s["active"], p.hwnd)
        self.b.screenshot("main-window.png", crop=s["rect"])

    def test_controls_have_their_class_place_style_and_text(self):
        p = self.start()
        s = p.state()
        self.assertEqual(len(s["controls"]), 9)
        for c in s["controls"]:
            cls, rect, style, ex, text = CONTROLS[c["id"]]
            with self.subTest(control=hex(c["id"])):
                self.assertEqual(c["class"].lower(), cls.lower())
                self.assertEqual(c["rect"], rect)
                self.assertEqual(c["style"], style)
                self.assertEqual(c["exStyle"], ex)
                self.assertEqual(c["text"], text)
                self.assertEqual(c["parent"], p.hwnd)
                if "selection" in c:
                    self.assertEqual(c["selection"], [0, 0])
        self.assertEqual(p.control(BUTTON1, s)["style"] & BS_DEFPUSHBUTTON, 0)

    def test_controls_draw_in_the_stock_gui_font_and_captions_are_real_glyphs(self):
        # Cross-process WM_GETFONT is refused under Wine, so the fonts are checked by what reaches the screen:
        # the program's label, edit box and button must look exactly like controls that the driver builds with
        # DEFAULT_GUI_FONT and the documented styles.
        p = self.start()
        p.click_control(EDIT[2])
        self.b.xdotool("type", "--delay", "30", "Ab12MachineCodes")
        p.click_control(EDIT[1])
        self.b.xdotool("mousemove", 5, 5)
        s = p.state()
        ox, oy = s["clientOrigin"]
        self.driver.ask("reference", 10, 10, "Ab12MachineCodes")
        time.sleep(1.0)
        try:
            shot = self.b.screenshot("fonts.png")
        finally:
            self.driver.ask("unreference")
        full = rgb(shot, 1920, 1080)

        def region(x, y, w, h):
            return [full[((y + r) * 1920 + x) * 3:((y + r) * 1920 + x + w) * 3] for r in range(h)]

        for control_id in (LABEL[4], EDIT[2], BUTTON1):
            x, y, w, h = p.control(control_id, s)["rect"]
            with self.subTest(control=hex(control_id)):
                self.assertEqual(region(ox + x, oy + y, w, h), region(10 + x, 10 + y, w, h))

        # Captions in CJK must be real glyphs, not the fallback boxes of a missing font: the five characters
        # of 硬盘序列号 come out as five different shapes.
        x, y, w, h = p.control(LABEL[4], s)["rect"]
        crop = self.b.screenshot("caption-label4.png", crop=[ox + x, oy + y, w, h])
        shapes = glyphs(rgb(crop, w, h), w, h)
        self.assertGreaterEqual(len(shapes), 5)
        self.assertEqual(len(set(shapes)), len(shapes))

    def test_focus_starts_in_the_first_box_and_tab_cycles_both_ways(self):
        p = self.start()
        self.assertEqual(p.focus(), EDIT[1])
        self.assertEqual(p.state()["caret"] != 0, True)
        seen = []
        for _ in range(5):
            self.b.key("Tab")
            seen.append(p.focus())
        self.assertEqual(seen, [EDIT[2], EDIT[3], EDIT[4], BUTTON1, EDIT[1]])
        seen = []
        for _ in range(5):
            self.b.key("shift+Tab")
            seen.append(p.focus())
        self.assertEqual(seen, [BUTTON1, EDIT[4], EDIT[3], EDIT[2], EDIT[1]])

    def test_enter_f1_and_modified_esc_do_nothing(self):
        p = self.start()
        for control_id in (EDIT[1], BUTTON1):
            if control_id == BUTTON1:
                p.focus_control(BUTTON1)
            before = p.state()
            self.b.key("Return", "F1", "shift+Escape", "ctrl+Escape", "alt+Escape")
            time.sleep(0.5)
            self.assertTrue(p.alive())
            after = p.state()
            self.assertEqual([c["text"] for c in after["controls"]], [c["text"] for c in before["controls"]])
            self.assertEqual(after["focusId"], control_id)

    def test_esc_closes_from_every_control_with_exit_code_zero(self):
        for control_id in FOCUS_ORDER:
            with self.subTest(control=hex(control_id)):
                p = self.start()
                p.focus_control(control_id)
                self.b.key("Escape")
                self.assertEqual(p.wait_exit(), 0)

    def test_close_box_and_alt_f4_end_with_exit_code_zero(self):
        p = self.start()
        x, y = p.point_where(HTCLOSE, 10)
        self.b.click_at(x, y)
        self.assertEqual(p.wait_exit(), 0)
        p = self.start()
        self.b.key("alt+F4")
        self.assertEqual(p.wait_exit(), 0)

    def test_window_cannot_be_resized_or_maximised(self):
        p = self.start()
        x0, y0, w, h = p.state()["rect"]
        # Drag the bottom-right corner outwards, then double-click the caption bar.
        self.b.xdotool("mousemove", x0 + w - 1, y0 + h - 1)
        self.b.xdotool("mousedown", 1)
        self.b.xdotool("mousemove", x0 + w + 80, y0 + h + 60)
        self.b.xdotool("mouseup", 1)
        time.sleep(0.3)
        cx, cy = p.point_where(HTCAPTION, 10)
        self.b.click_at(cx - 60, cy, repeat=2)
        time.sleep(0.5)
        s = p.state()
        self.assertFalse(s["zoomed"])
        self.assertEqual(s["rect"][2:], [318, 217])

    def test_minimise_and_restore_keep_texts_and_focus(self):
        p = self.start()
        self.b.xdotool("type", "--delay", "30", "typed")
        p.driver.ask("syscommand", p.hwnd, SC_MINIMIZE)
        time.sleep(0.8)
        self.assertTrue(p.state()["iconic"])
        p.driver.ask("syscommand", p.hwnd, SC_RESTORE)
        time.sleep(0.8)
        s = p.state()
        self.assertFalse(s["iconic"])
        self.assertEqual(p.control(EDIT[1], s)["text"], "typed")
        self.assertEqual(s["rect"], [353, 275, 318, 217])

    def test_focus_returns_after_switching_away_and_back(self):
        p = self.start()
        self.b.key("Tab", "Tab")
        self.assertEqual(p.focus(), EDIT[3])
        self.driver.ask("steal")
        time.sleep(0.5)
        self.assertNotEqual(p.state()["foreground"], p.hwnd)
        x, y = p.point_where(HTCAPTION, 10)
        self.b.click_at(x - 60, y)  # back to the program by its caption bar
        time.sleep(0.5)
        self.driver.ask("release")
        s = p.state()
        self.assertEqual(s["foreground"], p.hwnd)
        self.assertEqual(s["focusId"], EDIT[3])

    def test_two_copies_run_side_by_side_and_each_ends_on_its_own(self):
        first = self.start()
        second = self.start()
        self.assertNotEqual(first.state()["pid"], second.state()["pid"])
        self.b.key("Escape")  # the newer copy is the active one
        self.assertEqual(second.wait_exit(), 0)
        self.assertTrue(first.alive())
        x, y = first.point_where(HTCLOSE, 10)
        self.b.click_at(x, y)
        self.assertEqual(first.wait_exit(), 0)


class LargeScreenTest(unittest.TestCase):
    def test_centred_on_a_1920_by_1080_screen(self):
        b = bench()
        b.set_desktop(1920, 1080)
        driver = b.driver()
        try:
            p = Program(b, driver)
            s = p.state()
            self.assertEqual(s["screen"], [1920, 1080])
            self.assertEqual(s["rect"], [801, 431, 318, 217])
            b.key("Escape")
            self.assertEqual(p.wait_exit(), 0)
        finally:
            driver.close()
            b.set_desktop(1024, 768)


if __name__ == "__main__":
    unittest.main()
