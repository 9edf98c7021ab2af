#!/usr/bin/env python3
"""Runs every end-to-end test module (tests/e2e/test_*.py) and writes the pass and fail counts to
build/e2e-counts for scripts/test. Exits non-zero when anything failed."""
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from winebench import BUILD  # noqa: E402


def main():
    suite = unittest.defaultTestLoader.discover(str(HERE), pattern="test_*.py", top_level_dir=str(HERE))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    BUILD.mkdir(parents=True, exist_ok=True)
    (BUILD / "e2e-counts").write_text("%d %d\n" % (passed, failed))
    print("end-to-end: %d passed, %d failed, %d skipped" % (passed, failed, len(result.skipped)))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
