"""The Windows test bench: Wine on a virtual X screen, a Wine virtual desktop, a Chinese locale.

Everything lives under build/: the Wine prefix (build/wineprefix) and the screenshots. The bench starts
Xvfb itself and stops it, and the wineserver, when the Python process ends.

    from winebench import bench
    b = bench()
    b.run(b.exe("win64", "identity_probe.exe"))       # a console program, to completion
    proc = b.start(b.exe("win64", "MachineCodes.exe")) # a GUI program, in the background
"""
import atexit
import json
import os
import shutil
import struct
import subprocess
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("MC_BUILD_ROOT", ROOT / "build"))
WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
WINESERVER = "/usr/lib/wine/wineserver"
SCREEN = (1920, 1080)  # the X screen; Wine's desktop inside it takes the size a test asks for

_bench = None


def bench():
    """The bench of this process, created on first use."""
    global _bench
    if _bench is None:
        _bench = Bench()
        atexit.register(_bench.close)
    return _bench


def pe_machine(path):
    """The machine field of a PE file: 0x14c for i386, 0x8664 for x86-64."""
    with open(path, "rb") as f:
        head = f.read(4096)
    offset = struct.unpack_from("<I", head, 0x3C)[0]
    return struct.unpack_from("<H", head, offset + 4)[0]


class Bench:
    def __init__(self, desktop=(1024, 768)):
        self.prefix = BUILD / "wineprefix"
        self.shots = BUILD / "screenshots"
        self.shots.mkdir(parents=True, exist_ok=True)
        self.display = self._free_display()
        self.env = dict(os.environ)
        self.env.update(
            WINEPREFIX=str(self.prefix),
            WINEDEBUG="-all",
            WINEARCH="win64",
            DISPLAY=self.display,
            # Chinese captions need a Chinese locale for Wine; LANG alone is overridden by LC_ALL.
            LC_ALL="zh_CN.UTF-8",
            # No Mono or Gecko installers: there is no network, and nothing here needs them.
            WINEDLLOVERRIDES="mscoree,mshtml=",
            # 32-bit Wine runs through QEMU user emulation; without this it cannot map its shared data.
            QEMU_RESERVED_VA="0xf7000000",
        )
        self.xvfb = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._wait_for_display()
        self.desktop = None
        self._ensure_prefix()
        self.set_desktop(*desktop)

    # --- set-up -------------------------------------------------------------------------------------
    @staticmethod
    def _free_display():
        for n in range(90, 200):
            if not Path("/tmp/.X%d-lock" % n).exists() and not Path("/tmp/.X11-unix/X%d" % n).exists():
                return ":%d" % n
        raise RuntimeError("no free X display number")

    def _wait_for_display(self):
        for _ in range(100):
            if subprocess.run(["xdpyinfo"], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return
            time.sleep(0.1)
        raise RuntimeError("Xvfb did not start on %s" % self.display)

    def _ensure_prefix(self):
        if (self.prefix / "system.reg").exists():
            return
        started = time.monotonic()
        subprocess.run([WINE64, "wineboot", "--init"], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        self.wait_idle()
        self.prefix_seconds = time.monotonic() - started

    def wait_idle(self):
        """Waits until every Wine process of the prefix has ended."""
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=600)

    def stop_wine(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=60)

    def set_desktop(self, width, height):
        """Makes every program of the prefix share one virtual desktop of the given size."""
        if self.desktop == (width, height):
            return
        self.stop_wine()
        self.reg_add(r"HKCU\Software\Wine\Explorer", "Desktop", "Default")
        self.reg_add(r"HKCU\Software\Wine\Explorer\Desktops", "Default", "%dx%d" % (width, height))
        self.stop_wine()  # the desktop is made by the next program that starts
        self.desktop = (width, height)

    def reg_add(self, key, name, value, kind="REG_SZ"):
        subprocess.run([WINE64, "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"], env=self.env,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def reg_delete(self, key, name=None):
        args = [WINE64, "reg", "delete", key] + (["/v", name] if name else []) + ["/f"]
        subprocess.run(args, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def close(self):
        try:
            self.stop_wine()
        finally:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)

    # --- programs -----------------------------------------------------------------------------------
    @staticmethod
    def exe(arch, name):
        """Path of a built program: MachineCodes.exe at the top of build/<arch>, the rest under tests/e2e."""
        top = BUILD / arch / name
        return top if top.exists() else BUILD / arch / "tests" / "e2e" / name

    def loader(self, path):
        return WINE32 if pe_machine(path) == 0x14C else WINE64

    def command(self, path, *args):
        return [self.loader(path), str(path)] + [str(a) for a in args]

    def run(self, path, *args, timeout=300, env=None):
        """Runs a console program to completion; stdout comes back as text."""
        return subprocess.run(self.command(path, *args), env=env or self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=timeout, text=True, errors="replace")

    def start(self, path, *args, env=None):
        return subprocess.Popen(self.command(path, *args), env=env or self.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wine(self, *args, timeout=120):
        """A command of Wine's own (reg, wmic, ipconfig, ...) through the 64-bit loader."""
        return subprocess.run([WINE64] + list(args), env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout)

    def wmic(self, *args, arch="win64"):
        """Wine's wmic, output decoded to str. arch "win32" runs the 32-bit wmic, which under QEMU sees the
        emulated processor as a 32-bit program does."""
        if arch == "win32":
            wmic = self.prefix / "drive_c" / "windows" / "syswow64" / "wbem" / "wmic.exe"
            out = subprocess.run(self.command(wmic, *args), env=self.env, stdin=subprocess.DEVNULL,
                                 capture_output=True, timeout=600).stdout
        else:
            out = self.wine("wmic", *args).stdout
        text = out.decode("utf-16-le", errors="replace") if out[:2] == b"\xff\xfe" or b"\x00" in out[:8] \
            else out.decode("utf-8", errors="replace")
        return text.replace("\ufeff", "").replace("\r", "")

    # --- input and output on the screen -------------------------------------------------------------
    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True, timeout=60)

    def key(self, *keys, delay=0.15):
        for k in keys:
            self.xdotool("key", "--clearmodifiers", k)
            time.sleep(delay)

    def click_at(self, x, y, button=1, repeat=1):
        self.xdotool("mousemove", x, y)
        time.sleep(0.1)
        self.xdotool("click", "--repeat", repeat, button)
        time.sleep(0.2)

    def screenshot(self, name, crop=None):
        """Saves the X screen (or the crop rectangle [x, y, width, height]) to build/screenshots/NAME."""
        path = self.shots / name
        args = ["import", "-display", self.display, "-window", "root"]
        if crop:
            args += ["-crop", "%dx%d+%d+%d" % (crop[2], crop[3], crop[0], crop[1]), "+repage"]
        subprocess.run(args + [str(path)], env=self.env, check=True, timeout=60)
        return path

    def driver(self, arch="win64"):
        return Driver(self, self.exe(arch, "mc_driver.exe"))


class Driver:
    """The Windows-side test driver, one long-lived process answering one JSON line per command."""

    def __init__(self, b, path):
        self.proc = subprocess.Popen(b.command(path), env=b.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.windows()  # answers once it is fully up; starting other programs before that can stall them

    def ask(self, *words):
        self.proc.stdin.write(" ".join(str(w) for w in words) + "\n")
        self.proc.stdin.flush()
        line = self.proc.stdout.readline()
        if not line:
            raise RuntimeError("the test driver ended")
        return json.loads(line)

    def windows(self):
        return self.ask("list")

    def state(self, hwnd=""):
        return self.ask("state", hwnd)

    def wait_for_window(self, timeout=60, count=1):
        """Waits until `count` program windows are visible; returns their list."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            shown = [w for w in self.windows() if w["visible"]]
            if len(shown) >= count:
                time.sleep(0.3)  # let the window finish activating
                return shown
            time.sleep(0.2)
        raise AssertionError("no program window within %d s" % timeout)

    def close(self):
        try:
            self.ask("quit")
        except (RuntimeError, BrokenPipeError, ValueError):
            pass
        try:
            self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(timeout=20)
        for stream in (self.proc.stdin, self.proc.stdout):
            try:
                stream.close()
            except OSError:
                pass


