#!/usr/bin/env python3
"""Draws the program icon (32 x 32, 256 colours, plus 16 x 16) into app/Folirex.ico.

A document page with a folded corner, blue text lines and a red "F" seal.
Run it again after changing the drawing; the .ico it writes is committed.
  make_icon.py --png SIZE FILE   the same drawing at SIZE pixels as a PNG (the Debian package's
                                 larger icons, drawn at their size rather than scaled up)
"""
import struct
import sys
import zlib

PALETTE = [
    (0, 0, 0), (255, 255, 255), (40, 40, 40), (200, 200, 200),
    (40, 90, 180), (200, 40, 40), (255, 230, 150), (120, 120, 120),
]


def draw(size):
    s = size / 32.0
    px = [[None] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = c

    rect(5, 2, 27, 30, 2)        # page outline
    rect(6, 3, 26, 29, 1)        # page
    for x in range(int(20 * s), int(27 * s)):   # folded corner
        for y in range(int(2 * s), int(9 * s)):
            if x - int(20 * s) >= y - int(2 * s):
                px[y][x] = None
            elif x - int(20 * s) == y - int(2 * s) - 1:
                px[y][x] = 2
            elif x - int(20 * s) < y - int(2 * s) - 1 and x < int(26 * s):
                px[y][x] = 3
    for y in (11, 14, 17, 20):
        rect(9, y, 23, y + 1.5, 4)
    rect(14, 21, 27, 30, 5)      # seal
    rect(17, 23, 19, 28.5, 1)    # F stem
    rect(17, 23, 24, 24.5, 1)    # F top
    rect(17, 25.5, 22, 27, 1)    # F bar
    return px


def icon_image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in
                       PALETTE + [(0, 0, 0)] * (256 - len(PALETTE)))
    xor = b''
    for row in reversed(px):
        line = bytes(0 if c is None else c for c in row)
        xor += line + b'\0' * ((4 - len(line) % 4) % 4)
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(px):
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + palette + xor + mask


def main(path):
    images = [icon_image(32), icon_image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


def png(size, path):
    px = draw(size)
    rows = b''.join(b'\0' + b''.join(bytes(PALETTE[c] + (255,)) if c is not None else b'\0' * 4
                                      for c in row) for row in px)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
                chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))


if __name__ == '__main__':
    if len(sys.argv) == 4 and sys.argv[1] == '--png':
        png(int(sys.argv[2]), sys.argv[3])
    else:
        main(sys.argv[1] if len(sys.argv) > 1 else 'app/Folirex.ico')
