#!/usr/bin/env python3
"""Makes the programs' Windows icons, cmake/windows/{quarrow,fennick,tobrenz}.ico, from simple
shapes drawn here (no picture is taken from anywhere): a rounded square in each program's colour
with a white sign of what it does. Quarrow: lines of a chart, one of them rewritten; Fennick: a
note, for the sound sets; Tobrenz: two pictures, one laid over the other.

Each icon holds 16, 20, 24, 32, 40, 48, 64 and 256 pixel images, the largest as PNG, the others as
32-bit bitmaps, as Windows reads them. Run from anywhere: python3 tools/gen_icons.py
"""
import math
import os
import struct
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
SAMPLES = 4  # per pixel and axis, for smooth edges


def rounded_square(x, y):
    r = 0.18
    dx = max(abs(x - 0.5) - (0.5 - 0.04 - r), 0.0)
    dy = max(abs(y - 0.5) - (0.5 - 0.04 - r), 0.0)
    return math.hypot(dx, dy) <= r


def box(x, y, x0, y0, x1, y1):
    return x0 <= x <= x1 and y0 <= y <= y1


def quarrow(x, y):
    # Three lines of text; the middle one, rewritten, in yellow.
    if box(x, y, 0.22, 0.25, 0.78, 0.33) or box(x, y, 0.22, 0.67, 0.70, 0.75):
        return (255, 255, 255)
    if box(x, y, 0.22, 0.46, 0.60, 0.54):
        return (255, 214, 64)
    # An arrow head after it.
    if 0.62 <= x <= 0.80 and abs(y - 0.5) <= (0.80 - x) * 0.75:
        return (255, 214, 64)
    return None


def fennick(x, y):
    # An eighth note: an oval head, a stem and a flag.
    hx, hy = (x - 0.40) / 0.14, (y - 0.70) / 0.10
    c, s = math.cos(-0.45), math.sin(-0.45)
    if (hx * c - hy * s) ** 2 + (hx * s + hy * c) ** 2 <= 1.0:
        return (255, 255, 255)
    if box(x, y, 0.495, 0.22, 0.55, 0.70):
        return (255, 255, 255)
    if 0.55 <= x <= 0.74 and 0.22 <= y <= 0.46:
        t = (x - 0.55) / 0.19
        top = 0.22 + 0.16 * t * t
        if top <= y <= top + 0.09 + 0.04 * (1 - t):
            return (255, 255, 255)
    return None


def tobrenz(x, y):
    # Two pictures: the one behind as a frame, the one in front filled, with a hill on it.
    if box(x, y, 0.20, 0.22, 0.62, 0.58) and not box(x, y, 0.25, 0.27, 0.57, 0.53):
        return (255, 235, 210)
    if box(x, y, 0.38, 0.40, 0.80, 0.78):
        if y >= 0.74 - 0.22 * max(0.0, 1 - abs(x - 0.56) / 0.14) and y <= 0.74 and 0.42 <= x <= 0.76:
            return (224, 118, 43)
        return (255, 255, 255)
    return None


PROGRAMS = {
    "quarrow": ((47, 111, 208), quarrow),
    "fennick": ((46, 158, 91), fennick),
    "tobrenz": ((224, 118, 43), tobrenz),
}


def render(size, colour, sign):
    """Rows of RGBA pixels, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    if not rounded_square(x, y):
                        continue
                    rgb = sign(x, y) or colour
                    for i in range(3):
                        acc[i] += rgb[i]
                    acc[3] += 1
            n = SAMPLES * SAMPLES
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(acc[i] / acc[3]) for i in range(3)) + (round(255 * acc[3] / n),))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bitmap(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def icon(colour, sign):
    images = [png(render(s, colour, sign)) if s >= 256 else bitmap(render(s, colour, sign)) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake", "windows")
    os.makedirs(folder, exist_ok=True)
    for name, (colour, sign) in PROGRAMS.items():
        path = os.path.join(folder, name + ".ico")
        with open(path, "wb") as f:
            f.write(icon(colour, sign))
        print(path)


if __name__ == "__main__":
    main()
