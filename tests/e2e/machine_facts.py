"""What this machine's identity is, read independently of the program: from Wine's own tools (wmic) and
from Linux, so the end-to-end tests derive every expectation at test time."""
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


def routed_interface_addresses():
    """Linux interfaces with a route, default route first, each with its IPv4 addresses; None without `ip`."""
    try:
        listing = subprocess.run(["ip", "-4", "-o", "addr"], capture_output=True, text=True, timeout=30).stdout
    except (OSError, subprocess.SubprocessError):
        return None
    addresses = {}
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) >= 4 and fields[2] == "inet":
            addresses.setdefault(fields[1], []).append(fields[3].split("/")[0])
    interfaces = []
    with open("/proc/net/route") as f:
        rows = [line.split() for line in f.read().splitlines()[1:] if line.strip()]
    for row in sorted(rows, key=lambda r: (r[1] != "00000000", int(r[6]))):  # default route first, then metric
        if row[0] not in interfaces:
            interfaces.append(row[0])
    return [(name, addresses.get(name, [])) for name in interfaces]


def host_addresses():
    """The IPv4 addresses Wine gives for the host's own name: those of the interfaces that have a route,
    the default route's interface first, each interface's addresses in the kernel's order."""
    return [a for _, addresses in routed_interface_addresses() or [] for a in addresses]
