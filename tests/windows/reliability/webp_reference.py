#!/usr/bin/env python3
"""Writes WebP files made by Pillow with libwebp's own decoding of each
(dwebp; for an animation, its first frame taken out by webpmux) into one
file for the WebP decoding test: per file, its name, its bytes, its width and
height, and its pixels as ARGB.

    webp_reference.py OUTPUT WORK_DIR
"""
import io
import os
import random
import subprocess
import sys

from PIL import Image

from reference_file import write_entry


def photo(width, height, mode):
    """Smooth gradients with noise, as a photograph has."""
    random.seed(width * height)

    def pixel(x, y, noise):
        rgb = ((x * 255 // width + noise) % 256, (y * 255 // height) % 256, (x * y + noise) % 256)
        return rgb + ((x * 7 + y * 3) % 256,) if mode == "RGBA" else rgb
    image = Image.new(mode, (width, height))
    image.putdata([pixel(x, y, random.randrange(-12, 13)) for y in range(height) for x in range(width)])
    return image


def pam_argb(path):
    with open(path, "rb") as f:
        data = f.read()
    header, pixels = data.split(b"ENDHDR\n", 1)
    fields = dict(line.split(b" ", 1) for line in header.split(b"\n")[1:] if b" " in line)
    width, height, depth = int(fields[b"WIDTH"]), int(fields[b"HEIGHT"]), int(fields[b"DEPTH"])
    argb = []
    for i in range(0, width * height * depth, depth):
        r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
        a = pixels[i + 3] if depth == 4 else 255
        argb.append(a << 24 | r << 16 | g << 8 | b)
    return width, height, argb


def main():
    output, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    files = {}
    for name, image, options in [
        ("lossy.webp", photo(97, 61, "RGB"), {"quality": 80}),
        ("lossy-alpha.webp", photo(64, 48, "RGBA"), {"quality": 70}),
        ("lossless.webp", photo(53, 40, "RGB"), {"lossless": True}),
        ("lossless-alpha.webp", photo(40, 33, "RGBA"), {"lossless": True}),
    ]:
        buffer = io.BytesIO()
        image.save(buffer, "WEBP", **options)
        files[name] = buffer.getvalue()
    frames = [photo(48, 32, "RGBA").rotate(angle) for angle in (0, 90, 180)]
    buffer = io.BytesIO()
    frames[0].save(buffer, "WEBP", save_all=True, append_images=frames[1:], duration=[40, 60, 80], loop=0, quality=75)
    files["animated.webp"] = buffer.getvalue()

    with open(output, "wb") as out:
        for name, data in files.items():
            path = os.path.join(work, name)
            with open(path, "wb") as f:
                f.write(data)
            source = path
            if name == "animated.webp":
                source = os.path.join(work, "frame1.webp")
                subprocess.run(["webpmux", "-get", "frame", "1", path, "-o", source], check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            pam = os.path.join(work, name + ".pam")
            subprocess.run(["dwebp", source, "-pam", "-o", pam], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            width, height, argb = pam_argb(pam)
            write_entry(out, name, data, width, height, argb)


if __name__ == "__main__":
    main()
