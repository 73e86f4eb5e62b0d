#!/usr/bin/env python3
"""Writes fixtures/<name>.argb for the TIFF fixtures: width and height, then
every 5th pixel of every 5th row as ARGB, all little-endian 32-bit, as the
build machine's own decoders read them: ImageMagick, except for the
old-style JPEG file, which it reads with its YCbCr samples taken for RGB (a
green and pink picture); Debian's tiff2rgba (libtiff's RGBA interface,
natively built) reads that one.

    python3 tests/windows/reliability/make_tiff_expected.py
"""
import pathlib
import struct
import subprocess
import tempfile

FIXTURES = pathlib.Path(__file__).resolve().parent.parent / "fixtures"
NAMES = ["rgb-3c-16b.tiff", "minisblack-1c-16b.tiff",
         "ojpeg_zackthecat_subsamp22_single_strip.tiff", "quad-tile.jpg.tiff"]
STEP = 5

for name in NAMES:
    path = FIXTURES / name
    w, h = map(int, subprocess.run(["identify", "-format", "%w %h", f"{path}[0]"], check=True,
                                   capture_output=True, text=True).stdout.split())
    with tempfile.TemporaryDirectory() as work:
        source = path
        if name.startswith("ojpeg"):
            source = pathlib.Path(work) / "rgba.tif"
            subprocess.run(["tiff2rgba", str(path), str(source)], check=True, capture_output=True)
        rgba = subprocess.run(["convert", f"{source}[0]", "-depth", "8", "rgba:-"], check=True,
                              capture_output=True).stdout
    assert len(rgba) == w * h * 4, name
    out = struct.pack("<II", w, h)
    for y in range(0, h, STEP):
        for x in range(0, w, STEP):
            r, g, b, a = rgba[(y * w + x) * 4:(y * w + x) * 4 + 4]
            out += struct.pack("<I", a << 24 | r << 16 | g << 8 | b)
    (FIXTURES / f"{name}.argb").write_bytes(out)
