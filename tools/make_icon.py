#!/usr/bin/env python3
"""Draws the bridge's two icons (32x32, 32-bit) as .ico files: a plug for the window, a dot for the tray."""
import struct
import sys


def icon_bytes(pixel):
    size = 32
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up bitmap
        rows.append(b"".join(struct.pack("<BBBB", *pixel(x, y)) for x in range(size)))
    xor = b"".join(rows)
    and_mask = b"\x00" * (4 * size)  # 32 rows of 32 bits, all opaque by mask (alpha decides)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
    return directory + image


def window_icon(x, y):
    # a blue rounded square with a white serial plug outline: B, G, R, A
    if 2 <= x <= 29 and 2 <= y <= 29:
        if 8 <= x <= 23 and 10 <= y <= 21 and not (10 <= x <= 21 and 12 <= y <= 19):
            return (255, 255, 255, 255)
        if y in (15, 16) and x in (12, 15, 18):
            return (255, 255, 255, 255)
        return (160, 80, 20, 255)
    return (0, 0, 0, 0)


def tray_icon(x, y):
    if (x - 15.5) ** 2 + (y - 15.5) ** 2 <= 14 ** 2:
        return (40, 160, 40, 255) if (x - 15.5) ** 2 + (y - 15.5) ** 2 > 6 ** 2 else (255, 255, 255, 255)
    return (0, 0, 0, 0)


if __name__ == "__main__":
    out = sys.argv[1]
    with open(out + "/vextor.ico", "wb") as f:
        f.write(icon_bytes(window_icon))
    with open(out + "/tray.ico", "wb") as f:
        f.write(icon_bytes(tray_icon))
