#!/usr/bin/env python3
"""Writes the program's icon and bitmap from their pixel pictures.

    python3 res/images/make_images.py

reads mainframe-32.txt, mainframe-16.txt and question.txt beside this script
and writes Sentavio.ico (both sizes, 16 colours) and question.bmp (46 x 46,
4 bits per pixel, uncompressed). The build uses the written files, so run
this after changing a picture and commit both.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16-colour palette every Windows display has, in its usual order, and the
# letter each colour has in the pictures.
PALETTE = [
    ("K", (0x00, 0x00, 0x00)), ("r", (0x80, 0x00, 0x00)),
    ("g", (0x00, 0x80, 0x00)), ("o", (0x80, 0x80, 0x00)),
    ("n", (0x00, 0x00, 0x80)), ("p", (0x80, 0x00, 0x80)),
    ("t", (0x00, 0x80, 0x80)), ("s", (0xC0, 0xC0, 0xC0)),
    ("d", (0x80, 0x80, 0x80)), ("R", (0xFF, 0x00, 0x00)),
    ("G", (0x00, 0xFF, 0x00)), ("Y", (0xFF, 0xFF, 0x00)),
    ("B", (0x00, 0x00, 0xFF)), ("M", (0xFF, 0x00, 0xFF)),
    ("C", (0x00, 0xFF, 0xFF)), ("W", (0xFF, 0xFF, 0xFF)),
]
INDEX = {letter: i for i, (letter, _) in enumerate(PALETTE)}
TRANSPARENT = "."


def read_picture(name, size, transparent_allowed):
    rows = []
    with open(os.path.join(HERE, name), encoding="ascii") as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line.startswith("#"):
                rows.append(line)
    if len(rows) != size or any(len(r) != size for r in rows):
        raise SystemExit(f"{name}: expected {size} rows of {size} pixels")
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c not in INDEX and not (transparent_allowed and c == TRANSPARENT):
                raise SystemExit(f"{name}: unknown colour {c!r} at {x}, {y}")
    return rows


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in PALETTE)


def row_stride(width, bits):
    return (width * bits + 31) // 32 * 4


def pixels_4bpp(rows):
    """The colour bits, bottom row first, each row padded to four bytes."""
    width = len(rows[0])
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(row_stride(width, 4))
        for x, c in enumerate(row):
            value = INDEX.get(c, 0)  # transparent pixels are black under the mask
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
        out += line
    return bytes(out)


def mask_1bpp(rows):
    """The transparency mask: 1 where the background shows through."""
    width = len(rows[0])
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(row_stride(width, 1))
        for x, c in enumerate(row):
            if c == TRANSPARENT:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def info_header(width, height, image_size):
    # BITMAPINFOHEADER: one plane, 4 bits per pixel, BI_RGB, the full palette.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 0, 0, 0, 0)


def icon_image(rows):
    size = len(rows)
    colour = pixels_4bpp(rows)
    mask = mask_1bpp(rows)
    # An icon's header counts the colour and mask bitmaps as one of twice the height.
    return info_header(size, size * 2, len(colour) + len(mask)) + palette_bytes() + colour + mask


def write_icon(path, pictures):
    images = [icon_image(rows) for rows in pictures]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for rows, image in zip(pictures, images):
        size = len(rows)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(directory + entries + b"".join(images))


def write_bitmap(path, rows):
    size = len(rows)
    colour = pixels_4bpp(rows)
    body = info_header(size, size, len(colour)) + palette_bytes() + colour
    header = struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, 14 + 40 + len(PALETTE) * 4)
    with open(path, "wb") as f:
        f.write(header + body)


def main():
    write_icon(os.path.join(HERE, "Sentavio.ico"),
               [read_picture("mainframe-32.txt", 32, True),
                read_picture("mainframe-16.txt", 16, True)])
    write_bitmap(os.path.join(HERE, "question.bmp"), read_picture("question.txt", 46, False))


if __name__ == "__main__":
    main()
