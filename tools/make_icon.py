#!/usr/bin/env python3
"""Write a Windows .ico file from the text pixel art in res/icon.txt, or a
PNG file of it for the web page's app manifest.

The icon holds one image: 32 by 32 pixels, 4 bits per pixel (16 colours),
with an AND mask for transparency; 744 bytes of image data. The PNG is the
art enlarged to SIZE pixels (a multiple of 32), each of its pixels a square,
on white: a launcher may show it on any background.

Usage: make_icon.py ICON_TXT OUTPUT_ICO | make_icon.py ICON_TXT OUTPUT_PNG SIZE
"""
import binascii
import struct
import sys
import zlib

SIZE = 32

# The standard 16-colour palette, index 0 black to 15 white.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

TRANSPARENT = None


def pixel(ch, where):
    if ch == ".":
        return TRANSPARENT
    if ch == "#":
        return 0
    if ch in "0123456789abcdef":
        return int(ch, 16)
    sys.exit(f"{where}: unknown pixel {ch!r}")


def read_art(path):
    rows = []
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith(";"):
                continue
            if len(line) != SIZE:
                sys.exit(f"{path}:{number}: a row must have {SIZE} pixels, not {len(line)}")
            rows.append([pixel(ch, f"{path}:{number}") for ch in line])
    if len(rows) != SIZE:
        sys.exit(f"{path}: the icon must have {SIZE} rows, not {len(rows)}")
    return rows


def image(rows):
    # The height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, 0, 0, 0, 0, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colours = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom row first
        for x in range(0, SIZE, 2):
            hi, lo = (p or 0 for p in row[x:x + 2])
            colours.append(hi << 4 | lo)
        bits = 0
        for p in row:
            bits = bits << 1 | (p is TRANSPARENT)
        mask += bits.to_bytes(SIZE // 8, "big")
    return header + palette + bytes(colours) + bytes(mask)


def png(rows, size):
    """The PNG file of the art enlarged to size pixels: 8-bit RGB."""
    scale = size // SIZE
    white = (0xFF, 0xFF, 0xFF)
    lines = []
    for row in rows:
        line = b"".join(bytes(white if p is TRANSPARENT else PALETTE[p]) * scale for p in row)
        lines += [b"\0" + line] * scale  # each line unfiltered
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", binascii.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(lines), 9)) + chunk(b"IEND", b"")


def main():
    if len(sys.argv) == 4 and sys.argv[2].endswith(".png"):
        size = int(sys.argv[3])
        if size % SIZE:
            sys.exit(f"make_icon: {size} is not a multiple of {SIZE}")
        with open(sys.argv[2], "wb") as f:
            f.write(png(read_art(sys.argv[1]), size))
        return
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    data = image(read_art(sys.argv[1]))
    assert len(data) == 744
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(data), 6 + 16)
    with open(sys.argv[2], "wb") as f:
        f.write(directory + entry + data)


if __name__ == "__main__":
    main()
