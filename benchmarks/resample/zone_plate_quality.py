#!/usr/bin/python3
"""Aliasing of each resampling mode, beside the peers' comparable filters.

Reduces a zone plate (concentric rings whose frequency grows with the radius,
reaching the source's Nyquist limit at the corners) from 4000 x 3000 to
400 x 300. Beyond output radius 25 the rings are above the output's Nyquist
limit: an ideal reduction leaves flat grey there, and whatever pattern shows
is aliasing (at 8 bits; -99 means none at all). Reported per filter, relative
to the rings' own power:
  alias-low   energy of the stop band about its mean, after a low-pass
              (binomial, 9 taps): the moire that folds into low frequencies,
              the visible kind
  alias-all   all energy of the stop band about its mean
  pass        contrast kept at 0.2-0.3 cycles per output pixel (1 = all):
              what the filter pays in sharpness
Then each of our modes against a double-precision evaluation of the same
filter (no float rounding of weights or sums, no 8-bit output), on this
reduction and on an enlargement by 2.5: max and mean absolute error in levels.

Run by hand:  /usr/bin/python3 benchmarks/resample/zone_plate_quality.py [TOOL]
(TOOL defaults to build/native/benchmarks/rastelle_resample_tool; the peers
are installed with apt-get when missing.)
"""

import math
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # no cache files left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402

common.ensure_peers()

import cv2  # noqa: E402
import numpy as np  # noqa: E402
from PIL import Image  # noqa: E402

W, H, OUT_W, OUT_H = 4000, 3000, 400, 300
NYQUIST_RADIUS = 25.0  # output pixels: rings there run at 0.5 cycles per output pixel


def zone_plate(width, height):
    """128 + 127 cos(pi r^2 / 5000) about the centre: 0.5 cycles per pixel at
    r = 2500. Its mean is a whole level, so that a flat result does not sit
    on a rounding boundary."""
    y, x = np.mgrid[0:height, 0:width].astype(np.float64)
    r2 = (x + 0.5 - width / 2) ** 2 + (y + 0.5 - height / 2) ** 2
    return np.round(128.0 + 127.0 * np.cos(math.pi * r2 / 5000.0)).astype(np.uint8)


# ---- filters of our modes, in double precision -----------------------------

def triangle(t):
    return np.maximum(0.0, 1.0 - np.abs(t))


def cubic(t):  # Keys, a = -0.5
    r = np.abs(t)
    return np.where(r <= 1, (1.5 * r - 2.5) * r * r + 1,
                    np.where(r < 2, ((-0.5 * r + 2.5) * r - 4) * r + 2, 0.0))


def weight_matrix(size, out, mode):
    """Row X: the weights output X gives each source pixel, edge taps folded."""
    m = np.zeros((out, size))
    scale = size / out
    for x in range(out):
        u = (x + 0.5) * scale
        if mode == 0:
            m[x, min(int(math.floor(u)), size - 1)] = 1.0
            continue
        c = u - 0.5
        sigma = scale if mode in (2, 4) and scale > 1 else 1.0
        support = (2.0 if mode in (3, 4) else 1.0) * sigma
        i = np.arange(math.floor(c - support), math.ceil(c + support) + 1)
        w = (cubic if mode in (3, 4) else triangle)((i - c) / sigma)
        np.add.at(m[x], np.clip(i, 0, size - 1), w / w.sum())
    return m


def exact(image, out_w, out_h, mode):
    h, w = image.shape
    return weight_matrix(h, out_h, mode) @ image.astype(np.float64) @ weight_matrix(w, out_w, mode).T


# ---- the filters compared --------------------------------------------------

def ours(tool, tmp, image, out_w, out_h, mode):
    h, w = image.shape
    rgba = np.dstack([image, image, image, np.full_like(image, 255)])
    src, dst = os.path.join(tmp, "ours-in.raw"), os.path.join(tmp, "ours-out.raw")
    common.write_bgra(src, rgba)
    common.run_tool(tool, src, w, h, dst, out_w, out_h, mode)
    return common.read_bgra(dst, out_w, out_h)[..., 0]


def magick(tmp, image, filt):
    """8-bit output, and 16-bit output scaled to levels."""
    src = os.path.join(tmp, "zp.gray")
    image.tofile(src)
    outs = []
    for depth, dtype, scale in (("8", np.uint8, 1.0), ("16", "<u2", 257.0)):
        dst = os.path.join(tmp, "im.gray")
        subprocess.run(["/usr/bin/convert", "-size", f"{W}x{H}", "-depth", "8", "gray:" + src, "-filter", filt,
                        "-resize", f"{OUT_W}x{OUT_H}!", "-endian", "LSB", "-depth", depth, "gray:" + dst], check=True)
        outs.append(np.fromfile(dst, dtype=dtype).reshape(OUT_H, OUT_W) / scale)
    return outs


def vips(tmp, image, kernel):
    """8-bit output, and the same resize of the image cast to float."""
    src, v, vf, out, dst = (os.path.join(tmp, n) for n in ("zp.gray", "zp.v", "zpf.v", "vips.v", "vips.raw"))
    image.tofile(src)
    subprocess.run(["vips", "rawload", src, v, str(W), str(H), "1"], check=True)
    subprocess.run(["vips", "cast", v, vf, "float"], check=True)
    outs = []
    for source, dtype in ((v, np.uint8), (vf, np.float32)):
        subprocess.run(["vips", "resize", source, out, str(OUT_W / W), "--kernel", kernel], check=True)
        subprocess.run(["vips", "rawsave", out, dst], check=True)
        outs.append(np.fromfile(dst, dtype=dtype).reshape(OUT_H, OUT_W).astype(np.float64))
    return outs


def pillow(image, filt):
    return [np.asarray(Image.fromarray(image, "L").resize((OUT_W, OUT_H), filt)),
            np.asarray(Image.fromarray(image.astype(np.float32), "F").resize((OUT_W, OUT_H), filt))]


def opencv(image, interpolation):
    return [cv2.resize(image, (OUT_W, OUT_H), interpolation=interpolation),
            cv2.resize(image.astype(np.float32), (OUT_W, OUT_H), interpolation=interpolation)]


# ---- measures --------------------------------------------------------------

def low_pass(a):
    k = np.array([1, 8, 28, 56, 70, 56, 28, 8, 1], dtype=np.float64) / 256.0
    a = np.apply_along_axis(lambda r: np.convolve(r, k, mode="same"), 1, a)
    return np.apply_along_axis(lambda c: np.convolve(c, k, mode="same"), 0, a)


def measures(out):
    y, x = np.mgrid[0:OUT_H, 0:OUT_W].astype(np.float64)
    r = np.hypot(x + 0.5 - OUT_W / 2, y + 0.5 - OUT_H / 2)
    margin = 5  # the low-pass's reach, and the image edges
    inner = (x >= margin) & (x < OUT_W - margin) & (y >= margin) & (y < OUT_H - margin)
    stop = inner & (r >= 1.2 * NYQUIST_RADIUS + margin)
    passing = (r >= 0.4 * NYQUIST_RADIUS) & (r <= 0.6 * NYQUIST_RADIUS)  # 0.2-0.3 cycles per pixel
    # About the stop band's own mean: a constant is no alias.
    dev = out.astype(np.float64) - np.mean(out[stop])
    power = 127.0 ** 2 / 2
    db = lambda e: max(-99.0, 10 * math.log10(max(e, 1e-30) / power))  # noqa: E731
    return (db(np.mean(low_pass(dev)[stop] ** 2)), db(np.mean(dev[stop] ** 2)),
            math.sqrt(np.mean((out[passing] - 128.0) ** 2) / power))


def main():
    tool = common.ensure_tool(sys.argv[1] if len(sys.argv) > 1 else common.DEFAULT_TOOL)
    tmp = common.scratch_dir()
    try:
        plate = zone_plate(W, H)
        rows, exact_of = [], {}
        for mode in range(5):
            exact_of[mode] = exact(plate, OUT_W, OUT_H, mode)
            rows.append(("Rastelle " + common.MODE_NAMES[mode],
                         [ours(tool, tmp, plate, OUT_W, OUT_H, mode), exact_of[mode]]))
        for name, filt in (("Triangle", "Triangle"), ("Catrom", "Catrom"), ("Lanczos", "Lanczos")):
            rows.append(("ImageMagick " + name, magick(tmp, plate, filt)))
        for name, filt in (("BILINEAR", Image.BILINEAR), ("BICUBIC", Image.BICUBIC), ("LANCZOS", Image.LANCZOS)):
            rows.append(("Pillow " + name, pillow(plate, filt)))
        for name in ("linear", "cubic", "lanczos3"):
            rows.append(("libvips resize " + name, vips(tmp, plate, name)))
        for name, flag in (("INTER_AREA", cv2.INTER_AREA), ("INTER_LINEAR", cv2.INTER_LINEAR),
                           ("INTER_CUBIC", cv2.INTER_CUBIC), ("INTER_LANCZOS4", cv2.INTER_LANCZOS4)):
            rows.append(("OpenCV " + name, opencv(plate, flag)))

        print(f"Zone plate {W}x{H} -> {OUT_W}x{OUT_H}; energies in dB relative to the rings' power.")
        print("8-bit: the output as delivered. Filter: the same filter at full precision (peers in 16-bit or")
        print("float; ours as the double-precision evaluation of its definition, which its 8-bit output")
        print("matches within rounding: see the last table).")
        print(f"{'':32} {'---------- 8-bit ----------':>28} {'--------- filter ----------':>28}")
        print(f"{'filter':32} {'alias-low':>10} {'alias-all':>10} {'pass':>6} {'alias-low':>10} {'alias-all':>10} "
              f"{'pass':>6}")
        results = {}
        for name, outs in rows:
            cells = measures(outs[0]) + measures(outs[1])
            results[name] = cells
            print(f"{name:32} {cells[0]:10.1f} {cells[1]:10.1f} {cells[2]:6.2f} {cells[3]:10.1f} {cells[4]:10.1f} "
                  f"{cells[5]:6.2f}")

        print()
        print("High-quality modes against the peers' comparable filters (alias-low). Where the filters are the")
        print("same, the 8-bit outputs still differ by a few hundredths of a dB through rounding: the margin")
        print("is 0.1 dB.")
        verdict = True
        for mode, peers in (("hq-bilinear", ("ImageMagick Triangle", "Pillow BILINEAR")),
                            ("hq-bicubic", ("ImageMagick Catrom", "Pillow BICUBIC"))):
            for peer in peers:
                for column, label in ((0, "8-bit"), (3, "filter")):
                    mine, theirs = results["Rastelle " + mode][column], results[peer][column]
                    ok = mine <= theirs + 0.1
                    verdict &= ok
                    print(f"{'ok  ' if ok else 'FAIL'} {label:6} Rastelle {mode} {mine:6.1f} dB vs {peer} "
                          f"{theirs:6.1f} dB")

        print()
        print("Against double precision (levels; the output is 8-bit, so 0.5 is the least maximum):")
        print(f"{'mode':14} {'reduce max':>11} {'mean':>7} {'enlarge max':>12} {'mean':>7}")
        detail = plate[1400:1520, 1840:2000]  # 160 x 120, rings up to 0.04 cycles/pixel
        for mode in range(5):
            cells = []
            for image, ow, oh, ref in ((plate, OUT_W, OUT_H, exact_of[mode]), (detail, 400, 300, None)):
                got = ours(tool, tmp, image, ow, oh, mode).astype(np.float64)
                ref = exact(image, ow, oh, mode) if ref is None else ref
                err = np.abs(got - np.clip(ref, 0, 255))
                cells += [err.max(), err.mean()]
            print(f"{common.MODE_NAMES[mode]:14} {cells[0]:11.3f} {cells[1]:7.3f} {cells[2]:12.3f} {cells[3]:7.3f}")
        return 0 if verdict else 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
