"""The shipping 32-bit MachineCodes.exe, once, as a user meets it: it starts centred with the focus in the
first box, a mouse click fills the four boxes as the machine says, and Esc ends it with exit code 0.

32-bit Wine runs through QEMU user emulation on these machines, so a start costs about a minute; this is
one long-lived run, enabled by MC_E2E_WIN32=1 (scripts/test sets it)."""
import os
import time
import unittest

from machine_facts import first_adapter_address, host_addresses, processor_id_groups
from test_collect import SERIAL, wait_for_codes
from test_shell import BUTTON1, EDIT, Program
from winebench import bench


@unittest.skipUnless(os.environ.get("MC_E2E_WIN32") == "1", "the 32-bit run is slow; MC_E2E_WIN32=1 enables it")
class ShippingProgramTest(unittest.TestCase):
    def test_32_bit_program_starts_collects_and_closes(self):
        b = bench()
        b.set_desktop(1024, 768)
        driver = b.driver()
        try:
            started = time.monotonic()
            p = Program(b, driver, arch="win32", timeout=600)
            shown = time.monotonic() - started
            s = p.state()
            self.assertEqual(s["rect"], [353, 275, 318, 217])
            self.assertEqual(s["focusId"], EDIT[1])

            p.click_control(BUTTON1)
            adapter, hosts, cpu, disk = wait_for_codes(p, timeout=300)
            self.assertEqual(adapter, first_adapter_address(b))
            self.assertEqual(hosts, "".join(host_addresses()))
            self.assertRegex(cpu, SERIAL)
            self.assertEqual(disk, "")
            b.key("Escape")
            self.assertEqual(p.wait_exit(timeout=300), 0)
            ended = time.monotonic() - started
            self.assertEqual(tuple(cpu.split("-")[:2]), processor_id_groups(b, arch="win32"))
            print("\n32-bit program: window shown after %.1f s, ended %.1f s after start" % (shown, ended))
        finally:
            driver.close()


if __name__ == "__main__":
    unittest.main()
