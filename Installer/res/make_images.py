#!/usr/bin/env python3
"""Draws the installer's binary resources: icon 128, button faces 130 and 142, banner 131.

Run from anywhere: python3 make_images.py [output folder]. The files it writes are committed
beside this script; a test re-runs it and compares, so the two cannot drift apart.
"""
import os
import struct
import sys
import zlib

BLUE = (9, 147, 221)
WHITE = (255, 255, 255)

# 5 x 7 block glyphs for the banner's lettering.
GLYPHS = {
    'K': ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    'V': ["X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X.."],
    'Z': ["XXXXX", "....X", "...X.", "..X..", ".X...", "X....", "XXXXX"],
    '-': [".....", ".....", ".....", "XXXXX", ".....", ".....", "....."],
    '7': ["XXXXX", "....X", "...X.", "..X..", ".X...", ".X...", ".X..."],
    '3': ["XXXX.", "....X", "....X", ".XXX.", "....X", "....X", "XXXX."],
    '0': [".XXX.", "X...X", "X..XX", "X.X.X", "XX..X", "X...X", ".XXX."],
    'U': ["X...X", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    'S': [".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."],
    'B': ["XXXX.", "X...X", "X...X", "XXXX.", "X...X", "X...X", "XXXX."],
    'W': ["X...X", "X...X", "X...X", "X.X.X", "X.X.X", "XX.XX", "X...X"],
    'I': ["XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "XXXXX"],
    'R': ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
    'E': ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    'L': ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    'A': [".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"],
    'D': ["XXXX.", "X...X", "X...X", "X...X", "X...X", "X...X", "XXXX."],
    'P': ["XXXX.", "X...X", "X...X", "XXXX.", "X....", "X....", "X...."],
    'T': ["XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X.."],
    ' ': ["....."] * 7,
}


def bmp24(width, height, margin):
    """A face bitmap: the window blue inside a white margin, bottom-up BGR rows."""
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            inside = margin <= x < width - margin and margin <= y < height - margin
            r, g, b = BLUE if inside else WHITE
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


class Canvas:
    """An RGBA picture drawn by coverage: each shape is sampled SS x SS times per pixel."""
    SS = 4

    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[(0, 0, 0, 0)] * width for _ in range(height)]

    def fill(self, inside, colour, alpha=1.0):
        ss = self.SS
        for y in range(self.h):
            for x in range(self.w):
                hits = 0
                for sy in range(ss):
                    for sx in range(ss):
                        if inside(x + (sx + 0.5) / ss, y + (sy + 0.5) / ss):
                            hits += 1
                if hits:
                    self.blend(x, y, colour, alpha * hits / (ss * ss))

    def blend(self, x, y, colour, a):
        r0, g0, b0, a0 = self.px[y][x]
        a0 /= 255.0
        out = a + a0 * (1 - a)
        mix = [(c * a + c0 * a0 * (1 - a)) / out for c, c0 in zip(colour, (r0, g0, b0))]
        self.px[y][x] = tuple(int(round(v)) for v in mix) + (int(round(out * 255)),)

    def text(self, s, left, top, cell, colour):
        """Block lettering, each glyph pixel a cell x cell square, one cell between glyphs."""
        boxes = []
        for i, ch in enumerate(s):
            for gy, line in enumerate(GLYPHS[ch]):
                for gx, on in enumerate(line):
                    if on == "X":
                        x0 = left + (i * 6 + gx) * cell
                        y0 = top + gy * cell
                        boxes.append((x0, y0, x0 + cell, y0 + cell))
        x_min = min(b[0] for b in boxes)
        x_max = max(b[2] for b in boxes)
        y_min = min(b[1] for b in boxes)
        y_max = max(b[3] for b in boxes)

        def inside(x, y):
            if not (x_min <= x < x_max and y_min <= y < y_max):
                return False
            return any(b[0] <= x < b[2] and b[1] <= y < b[3] for b in boxes)

        self.fill(inside, colour)


def ring(cx, cy, r_in, r_out, half_angle_tan):
    """An arc of a ring opening upwards-right, like the waves of a wireless sign."""
    def inside(x, y):
        dx, dy = x - cx, cy - y
        d2 = dx * dx + dy * dy
        if not (r_in * r_in <= d2 <= r_out * r_out):
            return False
        return dy > 0 and abs(dx) <= dy * half_angle_tan
    return inside


def banner():
    c = Canvas(300, 100)
    # Wireless sign: a dot and three waves on the left.
    cx, cy = 44, 66
    c.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= 7 ** 2, WHITE)
    for r in (16, 28, 40):
        c.fill(ring(cx, cy, r, r + 6, 1.0), WHITE)
    c.text("KVZ-7300", 96, 22, 4, WHITE)
    c.text("USB WIRELESS ADAPTER", 97, 61, 1.5, WHITE)
    # A solid rule along the bottom: it anchors the picture on the blue.
    c.fill(lambda x, y: 12 <= x < 288 and 86 <= y < 92, WHITE)
    return c


def png(canvas):
    raw = bytearray()
    for row in canvas.px:
        raw.append(0)
        for p in row:
            raw += bytes(p)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    ihdr = struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def icon():
    """One 48 x 48 32-bit image: a blue rounded square with the white wireless sign."""
    c = Canvas(48, 48)
    c.fill(lambda x, y: rounded(x, y, 1, 1, 47, 47, 9), BLUE)
    cx, cy = 16, 34
    c.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= 3.5 ** 2, WHITE)
    for r in (8, 15, 22):
        c.fill(ring(cx, cy, r, r + 3.5, 1.0), WHITE)
    xor = bytearray()
    for row in reversed(c.px):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_row = ((48 + 31) // 32) * 4
    and_mask = bytearray()
    for row in reversed(c.px):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, 48, 96, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = info + bytes(xor) + bytes(and_mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 48, 48, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    files = {
        "button_face.bmp": bmp24(318, 46, 3),
        "ok_face.bmp": bmp24(92, 36, 2),
        "banner.png": png(banner()),
        "Installer.ico": icon(),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
