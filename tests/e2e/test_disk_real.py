"""The disk query against the real device-control API, under Wine (disk_probe.exe, 64-bit).

Wine 8 opens \\\\.\\PhysicalDrive0 but answers no SMART request and has no SCSI port device, so drive 0
is answered by the storage descriptor (all text offsets 0: empty texts) and the drive geometry.
"""
import re
import unittest

from winebench import bench

APP_KEY = r"HKCU\Software\Wine\AppDefaults\disk_probe.exe"
OPEN_LINE = re.compile(r"^open path=(\S+) access=([0-9A-F]+) share=([0-9A-F]+) disposition=(\d+) result=(ok|fail)$")


class Probe:
    def __init__(self, stdout):
        self.opens = []
        self.values = {}
        self.disk_sizes = []
        for line in stdout.splitlines():
            line = line.rstrip("\r")
            match = OPEN_LINE.match(line)
            if match:
                self.opens.append(match.groups())
            elif line.startswith("geometry_disk_size="):
                self.disk_sizes.append(int(line.split("=", 1)[1]))
            elif re.match(r"^\w+=", line):
                key, value = line.split("=", 1)
                self.values[key] = value

    def paths(self):
        return [o[0] for o in self.opens]


class DiskOnWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = bench()
        cls.exe = cls.bench.exe("win64", "disk_probe.exe")
        if not cls.exe.exists():
            raise unittest.SkipTest("disk_probe.exe is not built (cmake --build --preset win64)")

    def probe(self, *args):
        run = self.bench.run(self.exe, *args, timeout=300)
        self.assertEqual(run.returncode, 0, run.stderr[-2000:])
        probe = Probe(run.stdout)
        self.assertIn("result", probe.values, run.stdout)
        self.assertEqual(probe.values["opens"], probe.values["closes"], run.stdout)
        return probe, run.stdout

    def test_drive_0_answers_through_the_storage_descriptor(self):
        probe, out = self.probe("0")
        self.assertEqual(probe.values["result"], "true", out)
        # The answering open is the one without access rights (the descriptor source).
        self.assertEqual(probe.opens[-1], ("\\\\.\\PhysicalDrive0", "00000000", "3", "3", "ok"), out)
        for text in ("modelNumber", "firmwareRevision", "serialNumber"):
            self.assertEqual(probe.values.get(text), "", out)
        self.assertEqual(len(probe.disk_sizes), 1, out)
        self.assertGreater(probe.disk_sizes[0], 0, out)
        self.assertEqual(int(probe.values["capacityMB"]), probe.disk_sizes[0] // 1048576, out)
        for number in ("bufferSizeMB", "sectorsPerTrack", "heads", "cylinders"):
            self.assertEqual(probe.values[number], "0", out)

    def test_missing_drive_gives_false(self):
        probe, out = self.probe("7")
        self.assertEqual(probe.values["result"], "false", out)
        self.assertNotIn("serialNumber", probe.values, out)  # the record stays as it was
        # Every source was tried, in order, and none opened.
        self.assertEqual(probe.paths(), ["\\\\.\\PhysicalDrive7"] * 2 + ["\\\\.\\Scsi7:"] * 2 +
                         ["\\\\.\\PhysicalDrive7"] * 2, out)
        self.assertTrue(all(o[4] == "fail" for o in probe.opens), out)

    def test_windows_98_tries_smartvsd_alone(self):
        self.bench.reg_add(APP_KEY, "Version", "win98")
        self.addCleanup(self.bench.reg_delete, APP_KEY)
        probe, out = self.probe("0")
        self.assertIn("version result=ok platform=1", out)
        self.assertEqual(probe.paths(), ["\\\\.\\Smartvsd"], out)
        self.assertEqual(probe.opens[0][1:4], ("00000000", "0", "1"), out)  # no access, no sharing, CREATE_NEW
        self.assertEqual(probe.values["result"], "false", out)


if __name__ == "__main__":
    unittest.main()
