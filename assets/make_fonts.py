#!/usr/bin/env python3
"""Makes the program's two font bitmaps from a PC screen font (PSF 1 or 2, 8 x 16).

Each bitmap is a 1-bit BMP, 32 x 2048 pixels, stored bottom-up: 128 glyphs of 16 rows from
top to bottom, each glyph in the leftmost 8 pixels, ink in palette entry 0 (black) on white.
font0.bmp holds characters 0-127 (ASCII; 0-31 and 127 blank), font1.bmp characters 128-255
as Latin-1 (128-159 blank). Characters are found through the font's Unicode table.

    make_fonts.py [--font PATH] OUTPUT_DIR
"""
import argparse
import gzip
import os
import struct
import sys

DEFAULT_FONT = "/usr/share/consolefonts/Lat15-Terminus16.psf.gz"
WIDTH, HEIGHT, GLYPH_ROWS = 32, 2048, 16


def read_psf(path):
    """Returns (glyph bitmaps as 16-byte rows, {code point: glyph index})."""
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rb") as f:
        data = f.read()
    if data[:2] == b"\x36\x04":
        mode, size = data[2], data[3]
        count = 512 if mode & 1 else 256
        start, width = 4, 8
        table, unit = data[start + count * size:], "psf1"
        has_table = bool(mode & 2)
    elif data[:4] == b"\x72\xb5\x4a\x86":
        _, header, flags, count, size, height, width = struct.unpack_from("<7I", data, 4)
        start = header
        table, unit = data[start + count * size:], "psf2"
        has_table = bool(flags & 1)
    else:
        sys.exit(f"{path}: not a PC screen font")
    if width != 8 or size != 16:
        sys.exit(f"{path}: glyphs must be 8 x 16")
    if not has_table:
        sys.exit(f"{path}: the font has no Unicode table")
    glyphs = [data[start + i * size:start + (i + 1) * size] for i in range(count)]

    codes = {}
    glyph, at, in_sequence = 0, 0, False
    while glyph < count and at < len(table):
        if unit == "psf1":
            (value,) = struct.unpack_from("<H", table, at)
            at += 2
            if value == 0xFFFF:
                glyph, in_sequence = glyph + 1, False
            elif value == 0xFFFE:
                in_sequence = True
            elif not in_sequence:
                codes.setdefault(value, glyph)
        else:
            byte = table[at]
            if byte == 0xFF:
                glyph, in_sequence, at = glyph + 1, False, at + 1
            elif byte == 0xFE:
                in_sequence, at = True, at + 1
            else:
                length = 1 if byte < 0x80 else 2 if byte < 0xE0 else 3 if byte < 0xF0 else 4
                if not in_sequence:
                    codes.setdefault(ord(table[at:at + length].decode("utf-8")), glyph)
                at += length
    return glyphs, codes


def page_bitmap(glyphs, codes, first):
    """The BMP file of characters first .. first + 127."""
    blank = bytes(GLYPH_ROWS)
    image_rows = []  # top-down, one 4-byte row each
    for code in range(first, first + 128):
        printable = 32 <= code < 127 or code >= 160
        bitmap = glyphs[codes[code]] if printable and code in codes else blank
        if printable and code not in codes:
            sys.exit(f"the font has no glyph for U+{code:04X}")
        for row in bitmap:
            image_rows.append(bytes([row ^ 0xFF, 0xFF, 0xFF, 0xFF]))
    pixels = b"".join(reversed(image_rows))
    offset = 14 + 40 + 8
    file_header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 1, 0, len(pixels), 3780, 3780, 2, 2)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    return file_header + info + palette + pixels


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--font", default=DEFAULT_FONT, help="PSF font file (default: %(default)s)")
    parser.add_argument("output", help="folder to write font0.bmp and font1.bmp into")
    args = parser.parse_args()
    glyphs, codes = read_psf(args.font)
    os.makedirs(args.output, exist_ok=True)
    for name, first in (("font0.bmp", 0), ("font1.bmp", 128)):
        with open(os.path.join(args.output, name), "wb") as f:
            f.write(page_bitmap(glyphs, codes, first))


if __name__ == "__main__":
    main()
