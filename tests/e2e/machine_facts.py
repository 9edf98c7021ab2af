"""What this machine's identity is, read independently of the program: from Wine's own tools (wmic) and
from Linux, so the end-to-end tests derive every expectation at test time."""
import re
import subprocess


def wmic_values(b, *query, arch="win64"):
    """The value lines of a wmic query, without the header and blank lines."""
    lines = [line.strip() for line in b.wmic(*query, arch=arch).split("\n")]
    return [line for line in lines[1:] if line]


def first_adapter_address(b):
    """The first adapter's hardware address as wmic reports it, in the program's form 1E-76-02-35-C2-00."""
    values = wmic_values(b, "nic", "get", "MACAddress")
    return values[0].replace(":", "-").upper() if values else ""


def processor_id_groups(b, arch="win64"):
    """wmic's ProcessorId (leaf 1 EDX then EAX, 16 hex digits) as the two groups the program shows first.
    A 32-bit process here runs under QEMU and sees the emulated processor: ask the 32-bit wmic then."""
    value = wmic_values(b, "cpu", "get", "ProcessorId", arch=arch)[0].upper()
    return value[:8], value[8:16]


def host_addresses():
    """The IPv4 addresses Wine gives for the host's own name: those of the interfaces that have a route,
    the default route's interface first, each interface's addresses in the kernel's order."""
    addresses = {}
    order = []
    for line in subprocess.run(["ip", "-4", "-o", "addr", "show"], capture_output=True, text=True,
                               check=True).stdout.splitlines():
        m = re.match(r"\d+:\s+(\S+)\s+inet\s+([\d.]+)/", line)
        if m and m.group(1) != "lo":
            if m.group(1) not in addresses:
                order.append(m.group(1))
            addresses.setdefault(m.group(1), []).append(m.group(2))
    routed, default = set(), []
    for line in subprocess.run(["ip", "-4", "route", "show"], capture_output=True, text=True,
                               check=True).stdout.splitlines():
        m = re.search(r"\bdev\s+(\S+)", line)
        if m:
            routed.add(m.group(1))
            if line.startswith("default") and m.group(1) not in default:
                default.append(m.group(1))
    interfaces = default + [i for i in order if i in routed and i not in default]
    return [a for i in interfaces for a in addresses.get(i, [])]
