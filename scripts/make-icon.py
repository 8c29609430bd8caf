#!/usr/bin/env python3
"""Writes resources/pixdim.ico: one 16x16 image in 256 colours showing a
framed picture with a width arrow below it and a height arrow beside it."""
import struct
import sys

# One character a pixel; '.' is transparent.
ART = [
    "................",
    "................",
    "kkkkkkkkkkkk..r.",
    "kbbbbbbbbyyk.rrr",
    "kbbbbbbbbyyk..r.",
    "kbbbbbbbbbbk..r.",
    "kbbbbgbbbbbk..r.",
    "kbbbgggbbbbk..r.",
    "kbbgggggbggk..r.",
    "kbgggggggggk..r.",
    "kggggggggggk.rrr",
    "kkkkkkkkkkkk..r.",
    "................",
    ".r........r.....",
    "rrrrrrrrrrrr....",
    ".r........r.....",
]
COLOURS = {  # palette index: (red, green, blue)
    "k": (0x20, 0x20, 0x20),
    "b": (0x6C, 0xB4, 0xF0),
    "g": (0x3C, 0xA0, 0x3C),
    "y": (0xF8, 0xD8, 0x30),
    "r": (0xC8, 0x28, 0x28),
}


def main(path):
    keys = list(COLOURS)
    palette = bytearray(256 * 4)
    for i, key in enumerate(keys):
        red, green, blue = COLOURS[key]
        palette[(i + 1) * 4:(i + 2) * 4] = bytes((blue, green, red, 0))
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(ART):  # bitmaps are stored bottom-up
        pixels += bytes(0 if c == "." else keys.index(c) + 1 for c in row)
        bits = int("".join("1" if c == "." else "0" for c in row), 2)
        mask += struct.pack(">HH", bits, 0)  # rows padded to four bytes
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 8, 0, len(pixels) + len(mask), 0, 0, 256, 0)
    image = header + palette + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 8, len(image), 22)
    with open(path, "wb") as out:
        out.write(directory + image)


main(sys.argv[1] if len(sys.argv) > 1 else "resources/pixdim.ico")
