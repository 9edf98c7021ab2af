"""The button as a user presses it: the four boxes fill with what the machine says, under Wine (x86-64)."""
import re
import time
import unittest

from machine_facts import first_adapter_address, host_addresses, processor_id_groups
from test_shell import BUTTON1, EDIT, FOCUS_ORDER, Program
from winebench import bench

SERIAL = re.compile(r"^[0-9A-F]{8}-[0-9A-F]{8}-[0-9A-F]{8}-[0-9A-F]{8}$")


def boxes(program):
    s = program.state()
    return [program.control(EDIT[n], s)["text"] for n in (1, 2, 3, 4)]


def wait_for_codes(program, timeout=30):
    """Waits until a click has filled the processor box (the one query that always answers)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        texts = boxes(program)
        if texts[2]:
            return texts
        time.sleep(0.1)
    raise AssertionError("the boxes were not filled within %d s" % timeout)


class CollectCodesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.b = bench()
        cls.b.set_desktop(1024, 768)
        cls.expected_adapter = first_adapter_address(cls.b)
        cls.expected_hosts = "".join(host_addresses())
        cls.expected_cpu = processor_id_groups(cls.b)
        cls.driver = cls.b.driver()

    @classmethod
    def tearDownClass(cls):
        cls.driver.close()

    def start(self):
        program = Program(self.b, self.driver)
        self.addCleanup(program.end)
        return program

    def assert_machine_codes(self, texts):
        adapter, hosts, cpu, disk = texts
        self.assertEqual(adapter, self.expected_adapter)
        self.assertEqual(hosts, self.expected_hosts)
        self.assertRegex(cpu, SERIAL)
        self.assertEqual(tuple(cpu.split("-")[:2]), self.expected_cpu)
        # Under Wine the first drive answers only through its storage descriptor, whose texts are empty.
        self.assertEqual(disk, "")

    def test_mouse_click_fills_the_boxes_with_the_machine_codes(self):
        p = self.start()
        self.assertEqual(boxes(p), ["", "", "", ""])
        p.click_control(BUTTON1)
        self.assert_machine_codes(wait_for_codes(p))
        self.b.xdotool("mousemove", 5, 5)
        time.sleep(0.3)
        # The README's picture comes from here.
        self.b.screenshot("collected.png", crop=p.state()["rect"])

    def test_space_on_the_focused_button_collects_too(self):
        p = self.start()
        p.focus_control(BUTTON1)
        self.b.key("space")
        self.assert_machine_codes(wait_for_codes(p))

    def test_typed_text_is_replaced_by_the_next_click(self):
        p = self.start()
        for n in (1, 4):
            p.click_control(EDIT[n])
            self.b.xdotool("type", "--delay", "30", "typed")
        self.assertEqual(boxes(p)[0], "typed")
        self.assertEqual(boxes(p)[3], "typed")
        p.click_control(BUTTON1)
        self.assert_machine_codes(wait_for_codes(p))

    def test_enter_triggers_nothing_anywhere(self):
        p = self.start()
        for control_id in FOCUS_ORDER:
            self.assertEqual(p.focus(), control_id)
            self.b.key("Return")
            self.b.key("Tab")
        time.sleep(0.5)
        self.assertEqual(boxes(p), ["", "", "", ""])

    def test_a_click_during_a_run_is_handled_after_it(self):
        p = self.start()
        s = p.state()
        c = p.control(BUTTON1, s)
        # Three clicks well inside one run's 50 ms clock measurement: they queue up and run one after
        # another; nothing overlaps or accumulates.
        self.b.xdotool("mousemove", s["clientOrigin"][0] + c["rect"][0] + 50, s["clientOrigin"][1] + c["rect"][1] + 12)
        self.b.xdotool("click", "--repeat", "3", "--delay", "5", "1")
        time.sleep(1.0)
        self.assertTrue(p.alive())
        self.assert_machine_codes(wait_for_codes(p))


if __name__ == "__main__":
    unittest.main()
