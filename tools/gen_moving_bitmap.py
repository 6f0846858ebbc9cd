#!/usr/bin/env python3
"""Draws the about box's picture strip: 96 frames of 50 x 52 pixels, side by
side, of a small satellite turning once about its vertical axis, and writes
it as an 8-bit palette BMP (resources/movingbitmap.bmp).

Usage: python3 tools/gen_moving_bitmap.py [output file]
"""
import math
import struct
import sys

FRAMES = 96
WIDTH = 50
HEIGHT = 52

# Palette: background, then shades of the body, the panels and the antenna.
PALETTE = [(0, 0, 32)]
PALETTE += [(80 + 16 * i, 80 + 16 * i, 90 + 16 * i) for i in range(10)]      # 1..10 body
PALETTE += [(20 + 8 * i, 40 + 12 * i, 110 + 14 * i) for i in range(10)]     # 11..20 panels
PALETTE += [(230, 200, 60), (255, 255, 255)]                                 # 21 antenna, 22 star
PALETTE += [(0, 0, 0)] * (256 - len(PALETTE))

TILT = math.radians(20)


def project(point, angle):
    """Turns a point about the y axis, tilts the view, returns screen x, y and depth."""
    x, y, z = point
    c, s = math.cos(angle), math.sin(angle)
    x, z = c * x + s * z, -s * x + c * z
    ct, st = math.cos(TILT), math.sin(TILT)
    y, z = ct * y - st * z, st * y + ct * z
    return WIDTH / 2 + x, HEIGHT / 2 - y, z


def box_faces(cx, cy, cz, hx, hy, hz):
    corners = [(cx + sx * hx, cy + sy * hy, cz + sz * hz) for sx in (-1, 1) for sy in (-1, 1) for sz in (-1, 1)]
    quads = [(0, 1, 3, 2), (4, 5, 7, 6), (0, 1, 5, 4), (2, 3, 7, 6), (0, 2, 6, 4), (1, 3, 7, 5)]
    normals = [(-1, 0, 0), (1, 0, 0), (0, -1, 0), (0, 1, 0), (0, 0, -1), (0, 0, 1)]
    return [([corners[i] for i in q], n) for q, n in zip(quads, normals)]


def turn(vector, angle):
    x, y, z = vector
    c, s = math.cos(angle), math.sin(angle)
    return c * x + s * z, y, -s * x + c * z


def shade(normal, angle, base):
    light = (0.5, 0.6, 0.62)
    n = turn(normal, angle)
    d = max(0.0, sum(a * b for a, b in zip(n, light)))
    return base + min(9, int(2 + 8 * d))


def inside(px, py, polygon):
    result = False
    j = len(polygon) - 1
    for i in range(len(polygon)):
        xi, yi = polygon[i]
        xj, yj = polygon[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def draw_frame(index):
    angle = 2 * math.pi * index / FRAMES
    pixels = [[0] * WIDTH for _ in range(HEIGHT)]
    for sx, sy in ((5, 7), (41, 12), (12, 44), (44, 40), (26, 3)):
        pixels[sy][sx] = 22
    shapes = []
    for corners, normal in box_faces(0, 0, 0, 7, 9, 7):
        shapes.append((corners, shade(normal, angle, 1)))
    for side in (-1, 1):
        for corners, normal in box_faces(side * 14, 0, 0, 7, 5, 0.6):
            shapes.append((corners, shade(normal, angle, 11)))
    antenna = [(-1, 9, -1), (1, 9, -1), (1, 19, 1), (-1, 19, 1)]
    shapes.append((antenna, 21))
    projected = []
    for corners, colour in shapes:
        points = [project(p, angle) for p in corners]
        depth = sum(p[2] for p in points) / len(points)
        projected.append((depth, [(p[0], p[1]) for p in points], colour))
    # Far faces first, near faces over them.
    for _, polygon, colour in sorted(projected, key=lambda s: s[0]):
        xs = [p[0] for p in polygon]
        ys = [p[1] for p in polygon]
        for y in range(max(0, int(min(ys))), min(HEIGHT, int(max(ys)) + 2)):
            for x in range(max(0, int(min(xs))), min(WIDTH, int(max(xs)) + 2)):
                if inside(x + 0.5, y + 0.5, polygon):
                    pixels[y][x] = colour
    return pixels


def write_bmp(path, rows):
    width = len(rows[0])
    height = len(rows)
    stride = (width + 3) // 4 * 4
    data = bytearray()
    for row in reversed(rows):
        data += bytes(row) + bytes(stride - width)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/movingbitmap.bmp"
    frames = [draw_frame(i) for i in range(FRAMES)]
    rows = [sum((frame[y] for frame in frames), []) for y in range(HEIGHT)]
    write_bmp(out, rows)


if __name__ == "__main__":
    main()
