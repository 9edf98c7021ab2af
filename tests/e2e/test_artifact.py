"""The shipping file itself: a 32-bit PE that imports Windows system DLLs only, so it runs on a bare
Windows without any MinGW runtime beside it."""
import re
import subprocess
import unittest

from winebench import BUILD, pe_machine

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "iphlpapi.dll", "wsock32.dll",
               "ws2_32.dll", "advapi32.dll", "comctl32.dll"}


class ShippingFileTest(unittest.TestCase):
    def test_32_bit_exe_imports_system_dlls_only(self):
        exe = BUILD / "win32" / "MachineCodes.exe"
        self.assertEqual(pe_machine(exe), 0x14C)
        dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(exe)], capture_output=True, text=True,
                              check=True).stdout
        dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
        self.assertTrue(dlls)
        for dll in dlls:
            self.assertNotRegex(dll, r"^lib(gcc|stdc\+\+|winpthread)")
        self.assertLessEqual(dlls, SYSTEM_DLLS)
        print("\nMachineCodes.exe: %.1f KiB, imports %s" % (exe.stat().st_size / 1024, ", ".join(sorted(dlls))))


if __name__ == "__main__":
    unittest.main()
