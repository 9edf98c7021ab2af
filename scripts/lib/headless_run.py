#!/usr/bin/env python3
"""Runs MachineCodes on a virtual screen: presses its button with the mouse, prints the four boxes and
saves a screenshot of the window to build/screenshots/run.png."""
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))

from winebench import bench  # noqa: E402

BOXES = ((0x16010006, "MAC地址"), (0x16010007, "IP地址"), (0x16010008, "cpu序列号"), (0x16010009, "硬盘序列号"))
BUTTON = 0x1601000D


def main(arch):
    b = bench()
    driver = b.driver()
    try:
        proc = b.start(b.exe(arch, "MachineCodes.exe"))
        hwnd = driver.wait_for_window(timeout=600)[0]["hwnd"]
        state = driver.state(hwnd)
        button = next(c for c in state["controls"] if c["id"] == BUTTON)
        x = state["clientOrigin"][0] + button["rect"][0] + button["rect"][2] // 2
        y = state["clientOrigin"][1] + button["rect"][1] + button["rect"][3] // 2
        b.click_at(x, y)
        time.sleep(2.0 if arch == "win64" else 20.0)
        state = driver.state(hwnd)
        texts = {c["id"]: c["text"] for c in state["controls"]}
        for control_id, caption in BOXES:
            print("%s\t%s" % (caption, texts.get(control_id, "")))
        shot = b.screenshot("run.png", crop=state["rect"])
        print("screenshot: %s" % shot)
        b.key("Escape")
        proc.wait(timeout=300)
    finally:
        driver.close()


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "win64")
