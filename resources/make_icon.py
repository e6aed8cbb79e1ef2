#!/usr/bin/env python3
"""Draws Kelvra's icon, a network socket with its green link light, and writes kelvra.ico:
two 16-colour images, 32 x 32 and 16 x 16. Run it from anywhere; it writes beside itself."""
import os
import struct
import sys

# The standard 16-colour palette, in the order Windows uses.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# One character a palette index; '.' is transparent.
COLOURS = {'k': 0, 'g': 2, 'y': 3, 'a': 7, 'd': 8, 'G': 10, 'Y': 11, 'w': 15}

ICON_16 = """
................
.dddddddddddddd.
.dwwwwwwwwwwwwk.
.dwaaaaaaaaaaak.
.dwakkkkkkkkdak.
.dwakYkYkYkYdak.
.dwakYkYkYkYdak.
.dwakkkkkkkkdak.
.dwakkkkkkkkdak.
.dwaadkkkkdaaak.
.dwaaadkkdaaaak.
.dwaaaaaaaaaaak.
.dwaGGaaaaayyak.
.dwaaaaaaaaaaak.
.dkkkkkkkkkkkkk.
................
"""

ICON_32 = """
................................
................................
..dddddddddddddddddddddddddddd..
..dwwwwwwwwwwwwwwwwwwwwwwwwwwk..
..dwwwwwwwwwwwwwwwwwwwwwwwwwdk..
..dwwaaaaaaaaaaaaaaaaaaaaaaadk..
..dwwaaaaaaaaaaaaaaaaaaaaaaadk..
..dwwaaakkkkkkkkkkkkkkkkkdaadk..
..dwwaaakkkkkkkkkkkkkkkkkdaadk..
..dwwaaakkYkkYkkYkkYkkYkkdaadk..
..dwwaaakkYkkYkkYkkYkkYkkdaadk..
..dwwaaakkYkkYkkYkkYkkYkkdaadk..
..dwwaaakkYkkYkkYkkYkkYkkdaadk..
..dwwaaakkkkkkkkkkkkkkkkkdaadk..
..dwwaaakkkkkkkkkkkkkkkkkdaadk..
..dwwaaakkkkkkkkkkkkkkkkkdaadk..
..dwwaaakkkkkkkkkkkkkkkkkdaadk..
..dwwaaaddkkkkkkkkkkkkkddaaadk..
..dwwaaaaaddkkkkkkkkkddaaaaadk..
..dwwaaaaaaadkkkkkkkdaaaaaaadk..
..dwwaaaaaaaadddddddaaaaaaaadk..
..dwwaaaaaaaaaaaaaaaaaaaaaaadk..
..dwwaaaaaaaaaaaaaaaaaaaaaaadk..
..dwwaaGGGGaaaaaaaaaaaayyyyadk..
..dwwaaGGGGaaaaaaaaaaaayyyyadk..
..dwwaaggggaaaaaaaaaaaayyyyadk..
..dwwaaaaaaaaaaaaaaaaaaaaaaadk..
..dwdddddddddddddddddddddddddk..
..dkkkkkkkkkkkkkkkkkkkkkkkkkkk..
................................
................................
................................
"""


def rows(art, size):
    lines = [line for line in art.strip('\n').split('\n')]
    assert len(lines) == size and all(len(line) == size for line in lines), size
    return lines


def image(art, size):
    """A DIB as icons store it: header, palette, 4-bit colours, then the 1-bit AND mask;
    rows bottom-up, each padded to four bytes."""
    lines = rows(art, size)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for line in reversed(lines):
        xor_row = bytearray(xor_stride)
        and_row = bytearray(and_stride)
        for x, pixel in enumerate(line):
            if pixel == '.':
                and_row[x // 8] |= 0x80 >> (x % 8)
                index = 0
            else:
                index = COLOURS[pixel]
            xor_row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += xor_row
        mask += and_row
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def main():
    # It takes no arguments: any, "--help" included, gets this text and leaves the icon alone.
    if len(sys.argv) > 1:
        print(__doc__.strip() + '\nUsage: make_icon.py', file=sys.stderr)
        sys.exit(0 if sys.argv[1] in ('-h', '--help') else 2)
    images = [(32, image(ICON_32, 32)), (16, image(ICON_16, 16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, data in images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'kelvra.ico')
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
