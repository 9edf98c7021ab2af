#!/usr/bin/env python3
"""Draws the program's icon (a barcode on a blue tile) at 16, 32 and 48 pixels and writes an .ico file.

Pure Python, so it runs anywhere: python3 tools/make_icon.py shell/resources/MachineCodes.ico
"""
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4  # per axis, for anti-aliased edges

# Bar widths, in units, alternating bar and gap, starting with a bar.
BARS = (2, 1, 1, 1, 3, 1, 1, 2, 2, 1, 1)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def on_bar(x, y):
    if not (0.24 <= y <= 0.70):
        return False
    total = sum(BARS)
    left, width = 0.22, 0.56
    if not (left <= x < left + width):
        return False
    unit = (x - left) / width * total
    edge = 0
    for index, bar in enumerate(BARS):
        edge += bar
        if unit < edge:
            return index % 2 == 0
    return False


def pixel(u, v):
    """Colour (r, g, b, a) at unit coordinates u, v (0..1, v downwards)."""
    if not in_rounded_rect(u, v, 0.03, 0.03, 0.97, 0.97, 0.2):
        return None
    if in_rounded_rect(u, v, 0.14, 0.16, 0.86, 0.84, 0.08):
        if on_bar(u, v):
            return (20, 24, 36, 255)
        if 0.76 <= v <= 0.80 and 0.22 <= u <= 0.78:  # the printed digits under the bars
            return (90, 100, 120, 255)
        return (250, 250, 252, 255)
    shade = int(60 * v)
    return (30 + shade // 3, 90 - shade // 2, 180 - shade, 255)


def render(size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = pixel((x + (sx + 0.5) / SAMPLES) / size, (y + (sy + 0.5) / SAMPLES) / size)
                    if colour:
                        for i in range(3):
                            acc[i] += colour[i]
                        acc[3] += 1
            n = SAMPLES * SAMPLES
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], 255 * acc[3] // n))
        rows.append(row)
    return rows


def dib(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_row * size)


def main(path):
    images = [dib(size) for size in SIZES]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "MachineCodes.ico")
