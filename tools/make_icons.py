#!/usr/bin/env python3
"""Draws Tallowin's four icons as 16-colour .ico files (32 x 32 and 16 x 16 each) into res/."""
import os, struct, sys

# The standard 16-colour palette; the marks use black (0), green (2) and red (9).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, GREEN, RED = 0, 2, 9


def mark(size):
    """A filled disc: the status mark."""
    r = size * 0.40
    c = (size - 1) / 2
    return [[(x - c) ** 2 + (y - c) ** 2 <= r * r for x in range(size)] for y in range(size)]


def tower(size):
    """The program's own sign: a T-shaped tower with a wide base."""
    s = size / 16
    def inside(x, y):
        x, y = x / s, y / s
        return (1 <= y < 4 and 2 <= x < 14) or (4 <= y < 13 and 6 <= x < 10) or (13 <= y < 15 and 3 <= x < 13)
    return [[inside(x, y) for x in range(size)] for y in range(size)]


def image(shape, colour):
    size = len(shape)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor = b""
    mask = b""
    for y in reversed(range(size)):
        row = [colour if shape[y][x] else 0 for x in range(size)]
        xor += bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2)).ljust((size // 2 + 3) // 4 * 4, b"\0")
        bits = "".join("0" if shape[y][x] else "1" for x in range(size))
        mask += int(bits, 2).to_bytes(size // 8, "big").ljust(4 * ((size + 31) // 32), b"\0")
    return header + palette + xor + mask


def icon(draw, colour):
    images = [image(draw(size), colour) for size in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    for name, draw, colour in [("app.ico", tower, BLACK), ("primary_up.ico", mark, GREEN),
                               ("primary_down.ico", mark, RED), ("neutral.ico", mark, BLACK)]:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(icon(draw, colour))


main()
