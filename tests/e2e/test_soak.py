"""A thousand clicks in one run: the program's memory must not grow beyond noise and no device may stay open.
Wine answers 0 for another process's handle count and memory, so both are read from the Linux side: the
resident set and the open file descriptors of the program's Wine process."""
import os
import re
import time
import unittest

from test_collect import boxes
from test_shell import BUTTON1, Program
from winebench import bench

CLICKS = int(os.environ.get("MC_SOAK_CLICKS", "1000"))


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmRSS:\s+(\d+) kB", f.read()).group(1))


def open_descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class SoakTest(unittest.TestCase):
    def test_a_thousand_clicks_leave_memory_and_devices_as_they_were(self):
        b = bench()
        b.set_desktop(1024, 768)
        driver = b.driver()
        p = Program(b, driver)
        try:
            pid = p.proc.pid
            for _ in range(10):
                driver.ask("click", p.hwnd, BUTTON1)
            time.sleep(0.5)
            rss_10, fds_10 = resident_kib(pid), open_descriptors(pid)
            started = time.monotonic()
            for _ in range(CLICKS - 10):
                driver.ask("click", p.hwnd, BUTTON1)
            seconds = time.monotonic() - started
            time.sleep(0.5)
            rss_end, fds_end = resident_kib(pid), open_descriptors(pid)
            print("\nsoak: resident %d KiB after 10 clicks, %d KiB after %d (%+d KiB); "
                  "open descriptors %d and %d; %.1f ms a click"
                  % (rss_10, rss_end, CLICKS, rss_end - rss_10, fds_10, fds_end,
                     1000 * seconds / (CLICKS - 10)))
            self.assertTrue(p.alive())
            self.assertTrue(boxes(p)[2])
            self.assertEqual(fds_end, fds_10)
            # Heap pages settle after the first clicks; a leak of even 100 bytes a click would show as ~100 KiB.
            self.assertLess(rss_end - rss_10, 512)
        finally:
            p.end()
            driver.close()


if __name__ == "__main__":
    unittest.main()
