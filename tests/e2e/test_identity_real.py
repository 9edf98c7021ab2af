"""The network and processor queries against the real Windows interfaces under Wine.

identity_probe.exe runs ReadAdapterAddress, ListHostAddresses and ReadProcessorIdentity once; its answers
are compared with what Wine's own tools (wmic) and the machine report at test time. The x86-64 probe always
runs; the shipping 32-bit probe only with MC_E2E_WIN32=1, since a 32-bit start goes through QEMU (about a
minute).
"""
import os
import re
import socket
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from machine_facts import routed_interface_addresses  # noqa: E402
from winebench import bench  # noqa: E402

IPV4 = re.compile(r"\b(\d{1,3}(?:\.\d{1,3}){3})\b")
SERIAL = re.compile(r"^[0-9A-F]{8}(-[0-9A-F]{8}){3}$")


def parse_probe(stdout):
    values = {}
    for line in stdout.splitlines():
        key, sep, value = line.rstrip("\r").partition("=")
        if sep:
            values[key] = value
    return values


def wmic_column(text):
    """The values of a one-column wmic listing, blank rows kept as ''."""
    rows = [line.strip() for line in text.splitlines()]
    while rows and not rows[-1]:
        rows.pop()
    return rows[1:] if rows else []


class IdentityOnWine:
    arch = None
    timeout = 120

    @classmethod
    def setUpClass(cls):
        cls.bench = bench()
        probe = cls.bench.exe(cls.arch, "identity_probe.exe")
        if not Path(probe).exists():
            raise unittest.SkipTest("%s is not built" % probe)
        run = cls.bench.run(probe, timeout=cls.timeout)
        if run.returncode != 0:
            raise AssertionError("identity_probe.exe ended with %d: %s" % (run.returncode, run.stderr[-2000:]))
        cls.probe = parse_probe(run.stdout)
        cls.probe_output = run.stdout

    def wine_processor_id(self):
        return wmic_column(self.bench.wmic("cpu", "get", "ProcessorId"))

    def test_adapter_address_is_wines_first_adapter(self):
        macs = wmic_column(self.bench.wmic("nic", "get", "MACAddress"))
        expected = macs[0].upper().replace(":", "-") if macs else ""
        self.assertEqual(self.probe["adapterAddress"], expected, self.probe_output)
        if expected:
            self.assertRegex(expected, r"^[0-9A-F]{2}(-[0-9A-F]{2}){5}$")
        if all(macs):
            # Every position in Wine's order, and nothing past the last adapter.
            listed = self.probe["adapterAddresses"].split(",") if self.probe["adapterAddresses"] else []
            self.assertEqual(listed, [m.upper().replace(":", "-") for m in macs])

    def test_host_addresses_are_what_wine_resolves(self):
        # Wine answers its own host name from the interfaces that have a route, default route first; the
        # addresses come from Wine's adapter configuration, the routes from the machine.
        configured = IPV4.findall(self.bench.wmic("nicconfig", "get", "IPAddress"))
        routed = routed_interface_addresses()
        if routed is None:
            expected_set, first_choices = set(configured), set(configured)
        else:
            on_routes = [a for _, addresses in routed for a in addresses]
            expected_set = {a for a in configured if a in on_routes}
            first_choices = set(routed[0][1]) & expected_set if routed else set()
        listed = self.probe["hostAddresses"]
        if not expected_set:
            # No routed interface: Wine falls back to the system resolver.
            try:
                resolved = socket.gethostbyname_ex(socket.gethostname())[2]
            except OSError:
                resolved = []
            if not resolved:
                self.assertEqual(listed, "(absent)")
                return
            expected_set = first_choices = set(resolved)
        self.assertNotEqual(listed, "(absent)", self.probe_output)
        addresses = listed.split(",")
        self.assertLessEqual(len(addresses), 10)
        self.assertEqual(len(addresses), len(set(addresses)))
        if len(expected_set) <= 10:
            self.assertEqual(set(addresses), expected_set)
        else:
            self.assertLessEqual(set(addresses), expected_set)
        if first_choices:
            self.assertIn(addresses[0], first_choices)

    def test_serial_number_starts_with_wines_processor_id(self):
        serial = self.probe["serialNumber"]
        self.assertRegex(serial, SERIAL)
        ids = self.wine_processor_id()
        self.assertTrue(ids and ids[0], "wmic gave no ProcessorId")
        self.assertEqual(serial[:17].replace("-", ""), ids[0].upper())

    def test_system_bits_on_a_64_bit_prefix(self):
        # The bench's prefix is 64-bit: a 64-bit build runs natively, a 32-bit one under WOW64.
        self.assertTrue((self.bench.prefix / "drive_c" / "windows" / "syswow64").is_dir())
        self.assertEqual(self.probe["systemBits"], "64")
        self.assertEqual(self.probe["pointerBits"], "64" if self.arch == "win64" else "32")


class IdentityOnWine64(IdentityOnWine, unittest.TestCase):
    arch = "win64"


@unittest.skipUnless(os.environ.get("MC_E2E_WIN32") == "1", "the 32-bit run is slow: set MC_E2E_WIN32=1")
class IdentityOnWine32(IdentityOnWine, unittest.TestCase):
    arch = "win32"
    timeout = 600

    def wine_processor_id(self):
        # Under QEMU the emulated processor answers CPUID, so ask Wine's 32-bit wmic, which runs on it too.
        return wmic_column(self.bench.wmic("cpu", "get", "ProcessorId", arch="win32"))


if __name__ == "__main__":
    unittest.main()
