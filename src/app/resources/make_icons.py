#!/usr/bin/env python3
"""Writes the program's two icons (our own simple artwork) as Windows .ico files.

app_icon.ico (resource 136): the window-class icon, a camera body with a lens and a download arrow.
dialog_picture.ico (resource 134): the picture in the main dialog's corner, a round badge.
Each file holds a 16 x 16 and a 32 x 32 image, 32 bits per pixel with an AND mask.

Run from this folder: python3 make_icons.py
"""
import math
import struct


def camera_pixel(x, y, size):
    """RGBA of the class icon at (x, y), y counted from the top."""
    s = size / 32.0
    fx, fy = (x + 0.5) / s, (y + 0.5) / s
    # camera body: rounded rectangle
    if 3 <= fx <= 29 and 9 <= fy <= 27:
        lens = math.hypot(fx - 16, fy - 18)
        if lens <= 4.0:
            return (250, 250, 250, 255) if lens <= 2.0 else (30, 60, 110, 255)
        if lens <= 6.5:
            return (200, 210, 225, 255)
        return (40, 90, 170, 255)
    # viewfinder bump
    if 10 <= fx <= 18 and 5 <= fy < 9:
        return (40, 90, 170, 255)
    # download arrow in the top right corner
    if 24.5 <= fx <= 26.5 and 0 <= fy <= 4:
        return (230, 120, 20, 255)
    if 4 < fy <= 8.5 and abs(fx - 25.5) <= (8.5 - fy) * 1.0:
        return (230, 120, 20, 255)
    return (0, 0, 0, 0)


def badge_pixel(x, y, size):
    """RGBA of the dialog picture: a ring with a check mark."""
    s = size / 32.0
    fx, fy = (x + 0.5) / s, (y + 0.5) / s
    r = math.hypot(fx - 16, fy - 16)
    if r > 15:
        return (0, 0, 0, 0)
    if r > 12.5:
        return (20, 70, 160, 255)
    # check mark: two strokes
    if abs((fy - 17) - (fx - 9) * 0.9) <= 1.6 and 8 <= fx <= 14 and fy >= 15:
        return (255, 255, 255, 255)
    if abs((fy - 22.5) + (fx - 14) * 1.2) <= 1.7 and 13 <= fx <= 23:
        return (255, 255, 255, 255)
    return (60, 130, 220, 255)


def image(pixel, size):
    """BITMAPINFOHEADER + bottom-up BGRA rows + AND mask for one icon image."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    mask = bytearray()
    mask_row = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        row = bytearray(mask_row)
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            xor += bytes((b, g, r, a))
            if a == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(xor) + bytes(mask)


def write_icon(path, pixel):
    sizes = (16, 32)
    images = [image(pixel, size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    write_icon("app_icon.ico", camera_pixel)
    write_icon("dialog_picture.ico", badge_pixel)
