#!/usr/bin/env python3
"""Writes the example TGA files of this folder (run from anywhere; files land beside it)."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write_tga(name, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a); rows written top first (origin bit 0x20)."""
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 0x28)
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            rows += bytes((b, g, r, a))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(header + rows)


def lower_third(x, y):
    # A dark blue bar fading out to the right, with a light accent line at the top.
    w = 400
    if y < 4:
        return (230, 180, 40, 255)
    fade = 255 if x < 300 else max(0, 255 - (x - 300) * 255 // (w - 300))
    shade = 40 + y
    return (10, 30, shade, fade * 220 // 255)


def crawl(x, y):
    # Alternating coloured tiles with soft edges: an easy-to-follow band for a crawl.
    tile = (x // 60) % 3
    colours = [(200, 40, 40), (40, 160, 60), (40, 80, 200)]
    edge = min(x % 60, 59 - x % 60, y, 39 - y)
    alpha = 255 if edge >= 4 else 64 * edge
    r, g, b = colours[tile]
    return (r, g, b, alpha)


def spinner(frame):
    def pixel(x, y):
        dx, dy = x - 31.5, y - 31.5
        dist = math.hypot(dx, dy)
        if dist > 30 or dist < 18:
            return (0, 0, 0, 0)
        angle = (math.degrees(math.atan2(dy, dx)) + 360) % 360
        head = (frame * 45) % 360
        lag = (head - angle) % 360
        alpha = max(0, 255 - int(lag * 255 / 270))
        return (250, 250, 250, alpha)
    return pixel


if __name__ == "__main__":
    write_tga("lower_third.tga", 400, 60, lower_third)
    write_tga("crawl.tga", 540, 40, crawl)
    for i in range(8):
        write_tga("spinner_%04d.tga" % i, 64, 64, spinner(i))
