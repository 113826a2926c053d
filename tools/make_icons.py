#!/usr/bin/env python3
"""Draws Tallowin's four icons as .ico files of 16, 20, 24 and 32 px (16 colours, crisp edges) into res/."""
import os, struct, sys

SIZES = (16, 20, 24, 32)
GREEN, RED, BLACK, WHITE = (0, 128, 0), (255, 0, 0), (0, 0, 0), (255, 255, 255)
SUB = 8  # samples per pixel along each axis: a pixel belongs to a shape that covers half of it
# The standard 16-colour palette, which every Windows shows alike; the icons use black, green, red and white.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]

# Per size: the light outline's width, the cue's stroke width, the neutral dash's half height and half length,
# and the tower's rows (top, stem, base) and half widths (bar, stem, foot).
OUTLINE = {16: 1, 20: 1, 24: 1, 32: 2}
STROKE = {16: 2.0, 20: 2.5, 24: 3.0, 32: 4.0}
DASH = {16: (1, 4), 20: (1, 5), 24: (2, 6), 32: (2, 8)}
TOWER = {16: (1, 4, 13, 6, 2, 5), 20: (1, 5, 17, 8, 2, 6), 24: (2, 6, 20, 9, 3, 7), 32: (2, 8, 28, 12, 4, 10)}


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def box(left, top, right, bottom, grow=0):
    """A rectangle, or everything within grow of it (rounded at the corners)."""
    def inside(x, y):
        dx, dy = max(left - x, 0, x - right), max(top - y, 0, y - bottom)
        return dx * dx + dy * dy <= grow * grow
    return inside


def segment_distance(x, y, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
    return ((x - ax - t * vx) ** 2 + (y - ay - t * vy) ** 2) ** 0.5


def stroke(points, width):
    """A line through the points with round ends and joints."""
    pairs = list(zip(points, points[1:]))
    return lambda x, y: any(segment_distance(x, y, *a, *b) <= width / 2 for a, b in pairs)


def either(*shapes):
    return lambda x, y: any(inside(x, y) for inside in shapes)


def badge(size, colour, cue):
    """The status mark: a disc of the colour inside a light ring, with a light cue on top. The ring's outer edge lies
    half a pixel beyond the square, so that the ring is whole pixels where it meets the sides."""
    c, w = size / 2, OUTLINE[size]
    return [(disc(c, c, c + 0.5), WHITE), (disc(c, c, c - w), colour), (cue(size), WHITE)]


def tick(size):
    """Up: a check mark."""
    u = size / 16
    return stroke([(4.5 * u, 8.5 * u), (7 * u, 11 * u), (11.5 * u, 5.5 * u)], STROKE[size])


def cross(size):
    """Down: a diagonal cross."""
    a, b = size * 5 / 16, size * 11 / 16
    return either(stroke([(a, a), (b, b)], STROKE[size]), stroke([(a, b), (b, a)], STROKE[size]))


def dash(size):
    """Neutral: a level bar, on whole pixels."""
    c = size // 2
    h, w = DASH[size]
    return box(c - w, c - h, c + w, c + h)


def tower(size):
    """The program's own sign: a black T-shaped tower with a wide base, on whole pixels, in a light outline."""
    w, c = OUTLINE[size], size // 2
    top, stem, base, bar, half, foot = TOWER[size]
    parts = [(c - bar, top, c + bar, stem), (c - half, stem, c + half, base), (c - foot, base, c + foot, size - top)]
    return [(either(*(box(*p, grow=w) for p in parts)), WHITE), (either(*(box(*p) for p in parts)), BLACK)]


def covers(inside, x, y):
    """Whether the shape covers at least half of pixel (x, y)."""
    hits = sum(inside(x + (i + 0.5) / SUB, y + (j + 0.5) / SUB) for j in range(SUB) for i in range(SUB))
    return 2 * hits >= SUB ** 2


def render(layers, size):
    """Rows of palette indices from the top, None where transparent: the last layer that covers a pixel wins."""
    rows = []
    for y in range(size):
        row = [None] * size
        for x in range(size):
            for inside, colour in layers:
                if covers(inside, x, y):
                    row[x] = PALETTE.index(colour)
        rows.append(row)
    return rows


def image(rows):
    """A 16-colour icon image: the palette, 4-bit rows from the bottom, then the AND mask (1 where transparent)."""
    size = len(rows)
    stride, mask_stride = (size // 2 + 3) // 4 * 4, (size + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, size * (stride + mask_stride), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    pixels = mask = b""
    for row in reversed(rows):
        index = [p or 0 for p in row]
        pixels += bytes((index[x] << 4) | index[x + 1] for x in range(0, size, 2)).ljust(stride, b"\0")
        bits = "".join("1" if p is None else "0" for p in row).ljust(8 * mask_stride, "0")
        mask += int(bits, 2).to_bytes(mask_stride, "big")
    return header + palette + pixels + mask


def icon(draw):
    images = [image(render(draw(size), size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    for name, draw in [("app.ico", tower), ("primary_up.ico", lambda s: badge(s, GREEN, tick)),
                       ("primary_down.ico", lambda s: badge(s, RED, cross)),
                       ("neutral.ico", lambda s: badge(s, BLACK, dash))]:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(icon(draw))


main()
