#!/usr/bin/env python3
"""Draws the program's 32x32, 16-colour icons into this folder as palette PNG files.

150 is the idle badge with the version number; 137, 138, 144, 140, 141, 142, 143, 139 and 148
are the nine animation frames, in that order: a blue ring that starts as a dot at the centre and
widens until it passes the edges. 128 is the program icon. Run it again after changing a picture.
"""
import math
import os
import struct
import zlib

SIZE = 32
# Index 0 is the transparent ground; the rest are the classic 16-colour desktop colours.
PALETTE = [
    (0, 0, 0), (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (0, 255, 255), (255, 255, 255),
]
CLEAR, BLACK, NAVY, SILVER, GRAY, BLUE, CYAN, WHITE = 0, 1, 5, 8, 9, 13, 14, 15

FRAME_IDS = [137, 138, 144, 140, 141, 142, 143, 139, 148]
FRAME_RADII = [1.0, 3.5, 6.0, 8.5, 11.0, 13.5, 16.5, 19.5, 22.5]

# 3x5 digits and letters for the badges, one string per row.
GLYPHS = {
    "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"],
    ".": ["0", "0", "0", "0", "1"],
    "H": ["101", "101", "111", "101", "101"],
}


def blank():
    return [[CLEAR] * SIZE for _ in range(SIZE)]


def distance(x, y):
    centre = (SIZE - 1) / 2
    return math.hypot(x - centre, y - centre)


def draw_ring(pixels, radius):
    for y in range(SIZE):
        for x in range(SIZE):
            d = distance(x, y)
            if radius < 1.5 and d <= radius + 0.8:
                pixels[y][x] = BLUE
            elif abs(d - radius) <= 0.75:
                pixels[y][x] = BLUE
            elif abs(d - radius) <= 1.35:
                pixels[y][x] = NAVY


def draw_disc(pixels, radius, fill, rim):
    for y in range(SIZE):
        for x in range(SIZE):
            d = distance(x, y)
            if d <= radius - 1.2:
                pixels[y][x] = fill
            elif d <= radius:
                pixels[y][x] = rim


def draw_text(pixels, text, scale, colour, top):
    width = sum(len(GLYPHS[c][0]) * scale for c in text) + scale * (len(text) - 1)
    left = (SIZE - width) // 2
    for c in text:
        glyph = GLYPHS[c]
        for row, line in enumerate(glyph):
            for col, bit in enumerate(line):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            pixels[top + row * scale + dy][left + col * scale + dx] = colour
        left += len(glyph[0]) * scale + scale


def write_png(path, pixels):
    raw = b""
    for row in pixels:
        raw += b"\x00" + bytes((row[i] << 4) | row[i + 1] for i in range(0, SIZE, 2))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0)
    palette = b"".join(bytes(colour) for colour in PALETTE)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"PLTE", palette))
        out.write(chunk(b"tRNS", b"\x00"))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for icon_id, radius in zip(FRAME_IDS, FRAME_RADII):
        pixels = blank()
        draw_ring(pixels, radius)
        write_png(os.path.join(here, f"{icon_id}.png"), pixels)

    badge = blank()
    draw_disc(badge, 15.5, BLUE, NAVY)
    draw_text(badge, "1.12", 2, WHITE, 11)
    write_png(os.path.join(here, "150.png"), badge)

    program = blank()
    draw_disc(program, 15.5, NAVY, BLUE)
    draw_ring(program, 11.0)
    draw_text(program, "H", 3, WHITE, 9)
    write_png(os.path.join(here, "128.png"), program)


if __name__ == "__main__":
    main()
