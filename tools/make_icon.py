#!/usr/bin/env python3
"""Draws Korvane's application icon (a teal shield with a white check mark)
and writes it as a Windows .ico with 16, 32 and 48 pixel images."""
import struct
import sys


def inside_shield(x, y):
    # A shield: straight top, sides that curve to a point at the bottom.
    if y < 0.08 or y > 0.95 or x < 0.1 or x > 0.9:
        return False
    if y < 0.55:
        return True
    half = 0.4 * (1 - ((y - 0.55) / 0.4) ** 1.6)
    return abs(x - 0.5) <= half


def on_check(x, y):
    # Two strokes of a check mark, as distance to segments.
    def dist(px, py, ax, ay, bx, by):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
        cx, cy = ax + t * dx, ay + t * dy
        return ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5
    return min(dist(x, y, 0.3, 0.48, 0.45, 0.65), dist(x, y, 0.45, 0.65, 0.72, 0.3)) < 0.07


def pixel(x, y, size):
    samples = []
    for sy in range(4):
        for sx in range(4):
            u = (x + (sx + 0.5) / 4) / size
            v = (y + (sy + 0.5) / 4) / size
            if not inside_shield(u, v):
                samples.append((0, 0, 0, 0))
            elif on_check(u, v):
                samples.append((255, 255, 255, 255))
            else:
                shade = int(150 - 60 * v)
                samples.append((0, shade, shade, 255))
    alpha = sum(s[3] for s in samples) / len(samples)
    if alpha == 0:
        return (0, 0, 0, 0)
    covered = [s for s in samples if s[3]]
    r = sum(s[0] for s in covered) // len(covered)
    g = sum(s[1] for s in covered) // len(covered)
    b = sum(s[2] for s in covered) // len(covered)
    return (r, g, b, int(alpha))


def image(size):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):  # bottom-up rows
        row = bytearray()
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            row += bytes((b, g, r, a))
        rows.append(bytes(row))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # alpha carries the shape; the AND mask stays clear
    return header + b''.join(rows) + mask


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])
