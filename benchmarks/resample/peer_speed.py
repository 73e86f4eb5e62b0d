#!/usr/bin/python3
"""Speed of the resampling modes beside ImageMagick, libvips, OpenCV and
Pillow, all single-threaded, on an opaque 32-bit photo-like image:
  4000 x 3000 -> 800 x 600 with the bilinear and the bicubic families,
  1000 x 750 -> 4000 x 3000 bicubic.
Every filter is timed once per round, the rounds interleaved so that the
load of the machine falls on all alike; the fastest round counts. Our kernel
runs in rastelle_resample_tool (the fastest of 3 runs per round, buffers
reused); OpenCV and Pillow in this process; ImageMagick and libvips as
commands on memory-mapped inputs, less the time of the same command that only
opens the image.

Run by hand:  /usr/bin/python3 benchmarks/resample/peer_speed.py [--rounds N] [TOOL]
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no cache files left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402

common.ensure_peers()

import cv2  # noqa: E402
import numpy as np  # noqa: E402
from PIL import Image  # noqa: E402

SINGLE = dict(os.environ, VIPS_CONCURRENCY="1", MAGICK_THREAD_LIMIT="1", OMP_NUM_THREADS="1")


def photo(width, height):
    """Smooth gradients under fine noise, opaque."""
    rng = np.random.default_rng(1)
    y, x = np.mgrid[0:height, 0:width]
    rgba = np.empty((height, width, 4), np.uint8)
    rgba[..., 0] = (x * 200 // width + rng.integers(0, 40, (height, width))).astype(np.uint8)
    rgba[..., 1] = (y * 200 // height + rng.integers(0, 40, (height, width))).astype(np.uint8)
    rgba[..., 2] = ((x + y) * 100 // (width + height) + rng.integers(0, 40, (height, width))).astype(np.uint8)
    rgba[..., 3] = 255
    return rgba


def command_time(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, env=SINGLE, stdout=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000


class Source:
    """One input in every peer's form."""

    def __init__(self, tmp, rgba):
        self.height, self.width = rgba.shape[:2]
        name = os.path.join(tmp, f"in{self.width}")
        self.raw = name + ".bgra"
        common.write_bgra(self.raw, rgba)
        rgba.tofile(name + ".rgba")
        self.mpc, self.v = name + ".mpc", name + ".v"
        subprocess.run(["/usr/bin/convert", "-size", f"{self.width}x{self.height}", "-depth", "8",
                        "rgba:" + name + ".rgba", self.mpc], check=True)
        subprocess.run(["vips", "rawload", name + ".rgba", self.v, str(self.width), str(self.height), "4"], check=True)
        self.array = rgba
        self.pil = Image.fromarray(rgba, "RGBA")
        self.tmp = tmp


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("tool", nargs="?", default=common.DEFAULT_TOOL)
    args = parser.parse_args()
    tool = common.ensure_tool(args.tool)
    cv2.setNumThreads(1)
    tmp = common.scratch_dir()
    try:
        big, small = Source(tmp, photo(4000, 3000)), Source(tmp, photo(1000, 750))
        out_raw, out_v = os.path.join(tmp, "out.bgra"), os.path.join(tmp, "out.v")
        im_open = lambda s: command_time(["/usr/bin/convert", s.mpc, "null:"])  # noqa: E731
        vips_open = lambda s: command_time(["vips", "crop", s.v, out_v, "0", "0", "1", "1"])  # noqa: E731

        def ours(s, w, h, mode):
            return lambda: common.run_tool(tool, s.raw, s.width, s.height, out_raw, w, h, mode, repeat=3)

        def opencv(s, w, h, flag):
            return lambda: timed(lambda: cv2.resize(s.array, (w, h), interpolation=flag))

        def pillow(s, w, h, flag):
            return lambda: timed(lambda: s.pil.resize((w, h), flag))

        def magick(s, w, h, *options):
            return lambda: command_time(["/usr/bin/convert", "-limit", "thread", "1", s.mpc, *options,
                                         f"{w}x{h}!", "null:"]) - im_open(s)

        def vips(s, scale, kernel):
            return lambda: command_time(["vips", "resize", s.v, out_v, str(scale), "--kernel", kernel]) - vips_open(s)

        # (case, role, name, measure): role "ours" or the mode a peer compares with.
        entries = []
        case = "4000x3000 -> 800x600"
        entries += [
            (case, "ours", "Rastelle bilinear", ours(big, 800, 600, 1)),
            (case, "bilinear", "OpenCV INTER_LINEAR", opencv(big, 800, 600, cv2.INTER_LINEAR)),
            (case, "bilinear", "ImageMagick interpolative bilinear",
             magick(big, 800, 600, "-interpolate", "bilinear", "-interpolative-resize")),
            (case, "ours", "Rastelle hq-bilinear", ours(big, 800, 600, 2)),
            (case, "hq-bilinear", "ImageMagick -filter Triangle",
             magick(big, 800, 600, "-filter", "Triangle", "-resize")),
            (case, "hq-bilinear", "Pillow BILINEAR", pillow(big, 800, 600, Image.BILINEAR)),
            (case, "hq-bilinear", "libvips resize linear", vips(big, 0.2, "linear")),
            (case, "hq-bilinear*", "OpenCV INTER_AREA (box)", opencv(big, 800, 600, cv2.INTER_AREA)),
            (case, "ours", "Rastelle bicubic", ours(big, 800, 600, 3)),
            (case, "bicubic", "OpenCV INTER_CUBIC", opencv(big, 800, 600, cv2.INTER_CUBIC)),
            (case, "bicubic", "ImageMagick interpolative catrom",
             magick(big, 800, 600, "-interpolate", "catrom", "-interpolative-resize")),
            (case, "ours", "Rastelle hq-bicubic", ours(big, 800, 600, 4)),
            (case, "hq-bicubic", "ImageMagick -filter Catrom", magick(big, 800, 600, "-filter", "Catrom", "-resize")),
            (case, "hq-bicubic", "Pillow BICUBIC", pillow(big, 800, 600, Image.BICUBIC)),
            (case, "hq-bicubic", "libvips resize cubic", vips(big, 0.2, "cubic")),
        ]
        case = "1000x750 -> 4000x3000"
        entries += [
            (case, "ours", "Rastelle hq-bicubic", ours(small, 4000, 3000, 4)),
            (case, "hq-bicubic", "OpenCV INTER_CUBIC", opencv(small, 4000, 3000, cv2.INTER_CUBIC)),
            (case, "hq-bicubic", "ImageMagick -filter Catrom",
             magick(small, 4000, 3000, "-filter", "Catrom", "-resize")),
            (case, "hq-bicubic", "Pillow BICUBIC", pillow(small, 4000, 3000, Image.BICUBIC)),
            (case, "hq-bicubic", "libvips resize cubic", vips(small, 4, "cubic")),
        ]

        best = [float("inf")] * len(entries)
        for round_ in range(args.rounds):
            for i, entry in enumerate(entries):
                best[i] = min(best[i], entry[3]())
            print(f"round {round_ + 1} of {args.rounds} done", file=sys.stderr)

        print(f"Single-threaded, fastest of {args.rounds} interleaved rounds; ratio = Rastelle's time / the peer's")
        ours_time = {}
        for (case, role, name, _), ms in zip(entries, best):
            if role == "ours":
                ours_time[(case, name.split()[-1])] = ms
                print(f"\n{case:24} {name:38} {ms:9.1f} ms")
            else:
                mode = role.rstrip("*")
                print(f"{'':24} {name:38} {ms:9.1f} ms   ratio {ours_time[(case, mode)] / ms:6.2f}")

        print("\nTargets: each high-quality mode at most the time of the fastest peer's comparable filter")
        verdict = True
        for case in dict.fromkeys(e[0] for e in entries):
            for mode in ("hq-bilinear", "hq-bicubic"):
                peers = [(ms, e[2]) for e, ms in zip(entries, best) if e[0] == case and e[1] == mode]
                if not peers:
                    continue
                ms, name = min(peers)
                ok = ours_time[(case, mode)] <= ms
                verdict &= ok
                print(f"{'ok  ' if ok else 'MISS'} {case:24} {mode:12} {ours_time[(case, mode)]:8.1f} ms vs {name} "
                      f"{ms:.1f} ms")
            boxes = [(ms, e[2]) for e, ms in zip(entries, best) if e[0] == case and e[1] == "hq-bilinear*"]
            for ms, name in boxes:
                print(f"     {case:24} {'hq-bilinear':12} {ours_time[(case, 'hq-bilinear')]:8.1f} ms vs {name} "
                      f"{ms:.1f} ms (a cheaper filter: 5 x 5 box, no premultiplied alpha)")
        return 0 if verdict else 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


def timed(call):
    start = time.perf_counter()
    call()
    return (time.perf_counter() - start) * 1000


if __name__ == "__main__":
    sys.exit(main())
