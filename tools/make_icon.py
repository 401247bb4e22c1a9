#!/usr/bin/env python3
"""Draws the program's icon: one 32x32 image at 32 bits per pixel, a blue folder-like
tile with a white arrow pointing down into it (files going into place).

Run from the repository root: python3 tools/make_icon.py res/Ombrix.ico
The output is byte-for-byte the same on every run."""
import struct
import sys

SIZE = 32


def pixel(x, y):
    """BGRA colour of one pixel, with y counted from the top."""
    inside_tile = 2 <= x <= 29 and 6 <= y <= 29
    corner = (x in (2, 29)) and (y in (6, 29))
    tab = 4 <= x <= 13 and 3 <= y <= 6
    if not (inside_tile or tab) or corner:
        return (0, 0, 0, 0)
    shaft = 14 <= x <= 17 and 9 <= y <= 18
    head = 19 <= y <= 25 and abs(x - 15.5) <= 25 - y + 0.5
    if shaft or head:
        return (255, 255, 255, 255)
    shade = 200 - (y - 3) * 3
    border = x in (2, 29) or y in (6, 29) or (tab and y == 3)
    if border:
        return (90, 50, 20, 255)
    return (shade, shade // 2 + 40, 30, 255)


def icon_bytes():
    rows = []
    for y in reversed(range(SIZE)):  # DIBs are stored bottom-up
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    and_mask = b"\0" * (SIZE * SIZE // 8)  # alpha carries the transparency
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(icon_bytes())
