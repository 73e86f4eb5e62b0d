#!/usr/bin/env python3
"""Writes the PngSuite's files with Pillow's decoding of each into one file
for the PNG decoding test: per file, its name, its bytes, its width and
height, and its pixels as ARGB (the file's samples; 16-bit ones by their high
byte, no gamma). Files whose transparency key is a 16-bit sample are left
out: Pillow compares it with the 8-bit samples it keeps. For grey files of
fewer than 8 bits, whose samples Pillow scales to 8 bits but not their key,
the key is scaled here.

    png_reference.py OUTPUT FILE.png...
"""
import os
import sys

from PIL import Image

from reference_file import write_entry

SIXTEEN_BIT_KEYS = {"tbbn2c16.png", "tbgn2c16.png", "tbwn0g16.png"}


def argb_of(image, data):
    depth, colour_type = data[24], data[25]
    if colour_type == 0 and depth < 8 and "transparency" in image.info:
        key = image.info["transparency"] * 255 // ((1 << depth) - 1)
        return [(0 if g == key else 0xFF000000) | g << 16 | g << 8 | g for g in image.convert("L").getdata()]
    if image.mode in ("I", "I;16", "I;16B"):
        greys = [min(max(v, 0), 65535) >> 8 for v in image.getdata()]
        return [0xFF000000 | g << 16 | g << 8 | g for g in greys]
    rgba = image.convert("RGBA")
    return [a << 24 | r << 16 | g << 8 | b for r, g, b, a in rgba.getdata()]


def main():
    output, files = sys.argv[1], sys.argv[2:]
    with open(output, "wb") as out:
        for path in sorted(files):
            name = os.path.basename(path)
            if name in SIXTEEN_BIT_KEYS:
                continue
            with open(path, "rb") as f:
                data = f.read()
            with Image.open(path) as image:
                image.load()
                pixels = argb_of(image, data)
                width, height = image.size
            write_entry(out, name, data, width, height, pixels)


if __name__ == "__main__":
    main()
