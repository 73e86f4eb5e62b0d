#!/usr/bin/python3
"""Times Rastelle's transform kernels next to what a user would pick instead.

Runs the same jobs, single-threaded, on the same 4000 x 3000 image (BGRA,
8 bits a channel), with Rastelle's Google Benchmark suite and with OpenCV,
libvips, Pillow and ImageMagick (all Debian packages), and prints one table
of times and of Rastelle's time over the fastest peer's.

    benchmarks/peers/compare.py [--bench build/native/benchmarks/rastelle_kernel_benchmarks]
                                [--size 4000x3000] [--install] [--jobs blur]

It needs the system's Python, whose modules the Debian packages install (it
starts itself again under /usr/bin/python3 when run by another one). The
peers are checked for first; --install installs the missing ones with
apt-get (as root), otherwise the command to do so is printed.

What is compared, and how:
- Rastelle's times are the kernel functions the COM classes call. The blur
  rows include the copy of the input into the output that the transform frame
  makes first (the blur lays its result onto it); the rank filters write every
  pixel and need no copy.
- Rastelle's rank filters rank alpha-weighted keys (alpha * byte, then byte)
  per channel; the peers rank plain 8-bit bytes. On an image whose pixels all
  have one alpha (the opaque test image) the two orders agree and Rastelle
  ranks bytes too; the "varying alpha" column is the general path on an image
  in which every alpha occurs.
- Blur: Rastelle's alpha-weighted tent of radius r (2r + 1 taps of weights
  1..r+1..1). OpenCV and libvips run the same tent as an integer separable
  convolution; Pillow and ImageMagick a Gaussian of the tent's standard
  deviation.
- Transparentize: Rastelle's colour-distance alpha; OpenCV/numpy computes the
  same arithmetic; ImageMagick's -transparent with a fuzz (a Euclidean
  distance, a cut-off instead of a ramp) is its nearest operation.
- Colour matrix: the DLL's equalisation runs inside GDI+, which cannot run
  natively; Rastelle's row is a portable stand-in of the same per-channel
  arithmetic (benchmarks/transform_kernels_benchmark.cpp, BM_ColourMatrix).
- Combine: a layer in which every alpha occurs laid over the opaque image, as
  Rastelle's alpha blend (d + trunc(o * a * (s - d) / 65025) per byte) does.
  OpenCV: the blend with the alpha written with cv2's array operations, as a
  user would; Pillow: Image.alpha_composite (at opacity 128 after scaling the
  layer's alpha); libvips: `composite2 ... over`. The XOR, AND, OR and
  dissolve rows have no peer; they are measured against BM_CombineCopy, a
  plain copy of the 48 MB background ("combine copy" row).
- Peers' times are the best of a few runs of the operation alone, in memory
  (OpenCV, Pillow), or measured by the tool itself (ImageMagick -bench);
  libvips runs from its command line on .v files in memory-backed /dev/shm,
  less the time of a plain `vips copy` of the same file.
- GIF: Rastelle's octree palette of 236 colours, every pixel mapped to its
  nearest entry, then (the "save" row) giflib's encoder into memory
  (benchmarks/gif_benchmark.cpp). Pillow: Image.quantize(256, FASTOCTREE) on
  the RGB image, then save(..., "GIF") into a BytesIO. ImageMagick, without
  dithering as the others: `-colors 256` under -bench, and for the save
  `convert in.ppm +dither -colors 256 out.gif` less a plain read of in.ppm.
- Effects ("effect ..." rows, rastelle_effects_benchmark): each peer's nearest
  operation at the benchmark's settings (EFFECT_JOBS): grey as Rec. 601 luma
  (Pillow and OpenCV make the same four channels: grey, and the alpha kept;
  libvips writes grey and alpha); solarize at 128, lightness 20 as
  +level 20%,100%, contrast 30 as -brightness-contrast 0x30 (OpenCV and Pillow
  through the same 256-entry tables, libvips `linear`); HSL colorize beside
  -modulate; sharpen 16 (a 5 x 5 binomial unsharp mask of amount 1) beside
  unsharp masks of sigma 1; emboss type 0 (the 3 x 3 kernel that Pillow's
  EMBOSS and the libvips/OpenCV rows use, ImageMagick its own -emboss 1);
  Sobel edges (Pillow: its 3 x 3 FIND_EDGES, ImageMagick -edge 1); swirl 90
  degrees; a wave of amplitude 10 and wavelength 100 (ImageMagick's -wave also
  grows the image); 10 x 10 mosaic cells (peers shrink by area averaging, then
  enlarge by pixel replication).
"""

import argparse
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

os.environ.setdefault("OMP_NUM_THREADS", "1")
os.environ["VIPS_CONCURRENCY"] = "1"

PEER_PACKAGES = ["python3-numpy", "python3-opencv", "python3-pil", "libvips-tools", "imagemagick"]
REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def installed(package):
    result = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package], capture_output=True, text=True)
    return result.returncode == 0 and "install ok installed" in result.stdout


def ensure_peers(install):
    missing = [p for p in PEER_PACKAGES if not installed(p)]
    if not missing:
        return
    command = ["apt-get", "install", "-y", "--no-install-recommends"] + missing
    if not install:
        sys.exit("missing peer packages: %s\ninstall them with: sudo %s\n(or run this script with --install as root)"
                 % (" ".join(missing), " ".join(command)))
    prefix = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(prefix + ["apt-get", "update", "-qq"], check=True)
    subprocess.run(prefix + command, env=env, check=True)


def test_image(np, width, height, opaque=True):
    """The benchmark suite's image: gradients with a little structured noise."""
    y, x = np.mgrid[0:height, 0:width].astype(np.uint32)
    n = ((73 * x + 151 * y) ^ (x * y)) & 31
    image = np.empty((height, width, 4), np.uint8)
    image[..., 0] = (x // 4 + n) & 255
    image[..., 1] = (y // 4 + n) & 255
    image[..., 2] = ((x + y) // 8 + n) & 255
    image[..., 3] = 255 if opaque else ((x ^ y) * 37 + 5 * n) & 255
    return image


def best_of(function, runs=3, slow=5.0):
    """Best wall time in ms; a run slower than `slow` seconds is not repeated."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
        if times[-1] > slow:
            break
    return 1000 * min(times)


def tent(radius):
    weights = [radius + 1 - abs(i) for i in range(-radius, radius + 1)]
    return weights, sum(weights)


def tent_sigma(radius):
    weights, total = tent(radius)
    return math.sqrt(sum(w * i * i for w, i in zip(weights, range(-radius, radius + 1))) / total)


# The jobs: name, Rastelle benchmark (name without the size), whether the
# varying-alpha variant exists, and the peers' operations.
def jobs():
    j = []
    for size, r in ((3, 1), (5, 2), (11, 5)):
        j.append(("median %dx%d" % (size, size), "BM_Median/{wh}/r:%d/opaque:{o}" % r, True,
                  {"opencv": ("median", size), "pillow": ("median", size), "vips": ["rank", size, size, size * size // 2],
                   "magick": ["-statistic", "median", "%dx%d" % (size, size)]}))
    for mode, index in (("minimum", 0), ("maximum", -1)):
        for size, r in ((3, 1), (11, 5)):
            j.append(("%s %dx%d" % (mode, size, size), "BM_%s/{wh}/r:%d/opaque:{o}" % (mode.capitalize(), r), True,
                      {"opencv": (mode, size), "pillow": (mode, size),
                       "vips": ["rank", size, size, index % (size * size)],
                       "magick": ["-statistic", mode, "%dx%d" % (size, size)]}))
    for r in (2, 10):
        j.append(("blur radius %d" % r, "BM_FastBlur/{wh}/r10:%d/opaque:{o}" % (10 * r), True,
                  {"opencv": ("tent", r), "pillow": ("gauss", tent_sigma(r)), "vips": ("tent", r),
                   "magick": ["-blur", "0x%.3f" % tent_sigma(r)]}))
    j.append(("transparentize", "BM_Transparentize/{wh}", False,
              {"opencv": ("transparentize", 50), "magick": ["-fuzz", "19.6%", "-transparent", "white"]}))
    j.append(("colour matrix", "BM_ColourMatrix/{wh}", False,
              {"opencv": ("matrix", None), "pillow": ("matrix", None), "vips": ("matrix", None),
               "magick": ["-color-matrix", "6x6: 1.1 0 0 0 0 0  0 0.9 0 0 0 0.1  0 0 1.2 0 0 -0.05"
                                           "  0 0 0 1 0 0  0 0 0 0 1 0  0 0 0 0 0 1"]}))
    for o in (255, 128):
        j.append(("combine alpha blend %d" % o, "BM_Combine/{wh}/mode:0/o:%d/manual_time" % o, False,
                  {"opencv": ("combine", o), "pillow": ("combine", o)} | ({"vips": ("combine", o)} if o == 255 else {})))
    for mode, index, o in (("XOR", 1, 255), ("AND", 2, 255), ("OR", 3, 255), ("dissolve", 4, 128)):
        j.append(("combine %s %d" % (mode, o), "BM_Combine/{wh}/mode:%d/o:%d/manual_time" % (index, o), False, {}))
    j.append(("combine copy 48 MB", "BM_CombineCopy/{wh}", False, {}))
    # CMYK separation through the tests' press profile ({profile}, written by
    # rastelle_cmyk_profile_tool), perceptual intent, from sRGB; and the plain
    # rule used without a profile, which is ImageMagick's -colorspace CMYK.
    j.append(("cmyk profile", "BM_CmykProfile/{wh}", False,
              {"vips": ["icc_transform", "{profile}", "--input-profile", "srgb", "--intent", "perceptual"],
               "magick": ["-profile", "{srgb}", "-intent", "Perceptual", "-profile", "{profile}"]}))
    j.append(("cmyk default rule", "BM_CmykDefault/{wh}", False, {"magick": ["-colorspace", "CMYK"]}))
    j.append(("gif palette + mapping", "BM_GifPaletteMap/{wh}", False,
              {"pillow": ("quantize", None), "magick": ["-alpha", "off", "+dither", "-colors", "256"]}))
    j.append(("gif save", "BM_GifSave/{wh}", False, {"pillow": ("gif", None), "magickfile": ("gif", None)}))
    j += [("effect " + title, "BM_%s/{wh}" % name, False, peers) for title, name, peers in EFFECT_JOBS]
    return j


# The effect kernels (benchmarks/effects_benchmark.cpp, rastelle_effects_benchmark)
# beside each peer's nearest operation, with the benchmark's settings.
CONTRAST_SLOPE = math.tan(math.pi * 1.3 / 4)  # Rastelle's Contrast 30, ImageMagick's 0x30
EFFECT_JOBS = [
    ("grey", "Greyscale", {"opencv": ("grey", None), "pillow": ("grey", None), "vips": ["colourspace", "b-w"],
                           "magick": ["-grayscale", "Rec601Luma"]}),
    ("solarize", "Solarize", {"opencv": ("lut", "solarize"), "pillow": ("point", "solarize"),
                              "magick": ["-solarize", "50%"]}),
    ("swap channels", "SwapChannels", {"opencv": ("swap", None), "pillow": ("swap", None),
                                       "magick": ["-channel-fx", "red<=>blue"]}),
    ("lightness", "Lightness", {"opencv": ("lut", "lightness"), "pillow": ("point", "lightness"),
                                "vips": ("linear", (0.8, 51)), "magick": ["+level", "20%,100%"]}),
    ("contrast", "Contrast", {"opencv": ("lut", "contrast"), "pillow": ("point", "contrast"),
                              "vips": ("linear", (CONTRAST_SLOPE, 127.5 * (1 - CONTRAST_SLOPE))),
                              "magick": ["-brightness-contrast", "0x30"]}),
    ("modulate (HSL colorize)", "HslColorize", {"magick": ["-modulate", "110,60,30"]}),
    ("sharpen", "Sharpen", {"opencv": ("unsharp", None), "pillow": ("unsharp", None),
                            "vips": ("sharpen", 1), "magick": ["-unsharp", "0x1+1+0"]}),
    ("emboss", "Emboss", {"opencv": ("emboss", None), "pillow": ("emboss", None), "vips": ("emboss", None),
                          "magick": ["-emboss", "1"]}),
    ("edge detect", "EdgeDetect", {"opencv": ("sobel", None), "pillow": ("edges", None), "vips": ["sobel"],
                                   "magick": ["-edge", "1"]}),
    ("swirl", "Swirl", {"magick": ["-swirl", "90"]}),
    ("wave", "Sinusize", {"magick": ["-wave", "10x100"]}),
    ("mosaic", "Mosaic", {"opencv": ("mosaic", 10), "pillow": ("mosaic", 10),
                          "magick": ["-scale", "10%", "-scale", "1000%"]}),
]


def effect_table(np, name):
    """The 256-entry maps of the per-pixel effect jobs."""
    v = np.arange(256, dtype=np.float64)
    if name == "solarize":
        return np.where(v > 128, 255 - v, v)
    if name == "lightness":
        return np.floor((v * 80 + 255 * 20 + 50) / 100)
    return np.clip(np.floor(255 * (0.5 + CONTRAST_SLOPE * (v / 255 - 0.5)) + 0.5), 0, 255)


# Colour matrix used by every row: B * 1.2 - 0.05, G * 0.9 + 0.1, R * 1.1 (of 255).
MATRIX_MUL = (1.2, 0.9, 1.1, 1.0)
MATRIX_ADD = (-0.05, 0.1, 0.0, 0.0)


def run_rastelle(bench, width, height, names):
    wh = "w:%d/h:%d" % (width, height)
    pattern = "^(%s)$" % "|".join(re.escape(n.replace("{wh}", wh)) for n in names)
    out = subprocess.run([bench, "--benchmark_filter=" + pattern, "--benchmark_format=json",
                          "--benchmark_min_time=0.5"], capture_output=True, text=True, check=True).stdout
    result = {}
    for b in json.loads(out)["benchmarks"]:
        scale = {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[b["time_unit"]]
        result[b["name"].replace(wh, "{wh}")] = b["real_time"] * scale
    return result


def run_opencv(np, image, op, arg):
    import cv2
    cv2.setNumThreads(1)
    if op == "combine":
        layer = test_image(np, image.shape[1], image.shape[0], opaque=False)

        def blend():
            alpha = cv2.merge([layer[..., 3]] * 4)
            if arg != 255:
                alpha = cv2.multiply(alpha, (arg / 255,) * 4)
            return cv2.add(cv2.multiply(layer, alpha, scale=1 / 255),
                           cv2.multiply(image, cv2.bitwise_not(alpha), scale=1 / 255))
        return best_of(blend)
    if op == "median":
        return best_of(lambda: cv2.medianBlur(image, arg))
    if op in ("minimum", "maximum"):
        kernel = np.ones((arg, arg), np.uint8)
        f = cv2.erode if op == "minimum" else cv2.dilate
        return best_of(lambda: f(image, kernel, borderType=cv2.BORDER_REPLICATE))
    if op == "tent":
        weights, total = tent(arg)
        k = np.array(weights, np.float32) / total
        return best_of(lambda: cv2.sepFilter2D(image, -1, k, k))
    if op == "transparentize":
        threshold = arg
        sums = np.arange(766)
        dist = sums // 3
        lut = np.where(dist < threshold, np.minimum(255, (dist / threshold * 255).astype(np.int64)), -1)

        def transparentize():
            diff = cv2.absdiff(image, (255, 255, 255, 0))
            s = diff[..., 0].astype(np.uint16) + diff[..., 1] + diff[..., 2]
            a = lut[s]
            out = image.copy()
            np.copyto(out[..., 3], a.astype(np.uint8), where=a >= 0)
            return out
        return best_of(transparentize)
    if op == "matrix":
        table = np.zeros((1, 256, 4), np.uint8)
        for c in range(4):
            v = np.arange(256) * MATRIX_MUL[c] + MATRIX_ADD[c] * 255
            table[0, :, c] = np.clip(np.rint(v), 0, 255)
        return best_of(lambda: cv2.LUT(image, table))
    if op == "lut":  # colour channels only, alpha kept
        t = effect_table(np, arg).astype(np.uint8)
        table = np.stack([t, t, t, np.arange(256, dtype=np.uint8)], axis=-1).reshape(1, 256, 4)
        return best_of(lambda: cv2.LUT(image, table))
    if op == "grey":  # the same four channels: grey colour, alpha kept
        def grey():
            g = cv2.cvtColor(image, cv2.COLOR_BGRA2GRAY)
            return cv2.merge([g, g, g, image[..., 3]])
        return best_of(grey)
    if op == "swap":
        return best_of(lambda: cv2.mixChannels([image], [np.empty_like(image)], [0, 2, 1, 1, 2, 0, 3, 3]))
    if op == "unsharp":
        return best_of(lambda: cv2.addWeighted(image, 2.0, cv2.GaussianBlur(image, (0, 0), 1.0), -1.0, 0))
    if op == "emboss":
        kernel = np.array([[-1, -1, 0], [-1, 0, 1], [0, 1, 1]], np.float32)
        return best_of(lambda: cv2.filter2D(image, -1, kernel, delta=128, borderType=cv2.BORDER_REPLICATE))
    if op == "sobel":
        def sobel():
            gx = cv2.Sobel(image, cv2.CV_16S, 1, 0, borderType=cv2.BORDER_REPLICATE)
            gy = cv2.Sobel(image, cv2.CV_16S, 0, 1, borderType=cv2.BORDER_REPLICATE)
            return cv2.add(cv2.convertScaleAbs(gx), cv2.convertScaleAbs(gy))
        return best_of(sobel)
    if op == "mosaic":
        h, w = image.shape[:2]
        return best_of(lambda: cv2.resize(cv2.resize(image, (w // arg, h // arg), interpolation=cv2.INTER_AREA),
                                          (w, h), interpolation=cv2.INTER_NEAREST))
    return None


def run_pillow(np, image, op, arg):
    import io
    from PIL import Image, ImageFilter
    rgba = Image.fromarray(image[..., [2, 1, 0, 3]], "RGBA")
    if op in ("quantize", "gif"):
        rgb = Image.fromarray(image[..., [2, 1, 0]], "RGB")

        def quantize():
            return rgb.quantize(256, method=Image.Quantize.FASTOCTREE)

        def save():
            quantize().save(io.BytesIO(), "GIF")
        return best_of(quantize if op == "quantize" else save)
    filters = {"median": ImageFilter.MedianFilter, "minimum": ImageFilter.MinFilter,
               "maximum": ImageFilter.MaxFilter}
    if op in filters:
        return best_of(lambda: rgba.filter(filters[op](arg)), runs=2)
    if op == "gauss":
        return best_of(lambda: rgba.filter(ImageFilter.GaussianBlur(arg)))
    if op == "combine":
        layer = Image.fromarray(test_image(np, image.shape[1], image.shape[0], opaque=False)[..., [2, 1, 0, 3]], "RGBA")

        def composite():
            over = layer
            if arg != 255:
                over = layer.copy()
                over.putalpha(layer.getchannel("A").point(lambda v: v * arg // 255))
            return Image.alpha_composite(rgba, over)
        return best_of(composite)
    if op == "matrix":
        lut = []
        for c in (2, 1, 0, 3):  # Pillow's bands: R, G, B, A
            lut += [max(0, min(255, round(v * MATRIX_MUL[c] + MATRIX_ADD[c] * 255))) for v in range(256)]
        return best_of(lambda: rgba.point(lut))
    if op == "point":
        t = [int(v) for v in effect_table(np, arg)]
        return best_of(lambda: rgba.point(t * 3 + list(range(256))))
    if op == "grey":
        def grey():
            g = rgba.convert("L")
            return Image.merge("RGBA", (g, g, g, rgba.getchannel("A")))
        return best_of(grey)
    if op == "swap":
        def swap():
            r, g, b, a = rgba.split()
            return Image.merge("RGBA", (b, g, r, a))
        return best_of(swap)
    if op == "unsharp":
        return best_of(lambda: rgba.filter(ImageFilter.UnsharpMask(1, 100, 0)))
    if op == "emboss":
        return best_of(lambda: rgba.filter(ImageFilter.EMBOSS))
    if op == "edges":
        return best_of(lambda: rgba.filter(ImageFilter.FIND_EDGES))
    if op == "mosaic":
        return best_of(lambda: rgba.reduce(arg).resize(rgba.size, Image.Resampling.NEAREST))
    return None


class Vips:
    def __init__(self, np, image, folder):
        self.folder = folder
        self.np, self.size = np, image.shape[:2]
        raw = os.path.join(folder, "in.raw")
        image.tofile(raw)
        self.input = os.path.join(folder, "in.v")
        self.output = os.path.join(folder, "out.v")
        h, w = image.shape[:2]
        subprocess.run(["vips", "rawload", raw, self.input, str(w), str(h), "4"], check=True)
        os.remove(raw)
        self.baseline = self._time(["copy", self.input, self.output])

    def _time(self, args, extra=()):
        def once():
            subprocess.run(["vips"] + [str(a) for a in args] + list(extra), check=True)
        return best_of(once)

    def run(self, op, arg):
        if isinstance(op, list):  # a plain vips operation: name and arguments
            return self._time([op[0], self.input, self.output] + op[1:]) - self.baseline
        if op == "tent":
            weights, total = tent(arg)
            mask = os.path.join(self.folder, "tent.mat")
            with open(mask, "w") as f:
                f.write("%d 1 %d 0\n%s\n" % (len(weights), total, " ".join(map(str, weights))))
            return self._time(["convsep", self.input, self.output, mask, "--precision", "integer"]) - self.baseline
        if op == "combine":
            # composite2 wants both images tagged as sRGB (a raw load is multiband).
            base, overlay = os.path.join(self.folder, "base.v"), os.path.join(self.folder, "overlay.v")
            if not os.path.exists(overlay):
                raw = os.path.join(self.folder, "overlay.raw")
                h, w = self.size
                test_image(self.np, w, h, opaque=False).tofile(raw)
                subprocess.run(["vips", "rawload", raw, raw + ".v", str(w), str(h), "4"], check=True)
                subprocess.run(["vips", "copy", raw + ".v", overlay, "--interpretation", "srgb"], check=True)
                subprocess.run(["vips", "copy", self.input, base, "--interpretation", "srgb"], check=True)
                os.remove(raw)
                os.remove(raw + ".v")
            return self._time(["composite2", base, overlay, self.output, "over"]) - self.baseline
        if op == "matrix":
            mul = " ".join(str(m) for m in MATRIX_MUL)
            add = " ".join(str(a * 255) for a in MATRIX_ADD)
            return self._time(["linear", "--uchar", "--", self.input, self.output, mul, add]) - self.baseline
        if op == "sharpen":  # works in LabS: needs the image tagged as sRGB
            tagged = os.path.join(self.folder, "srgb.v")
            if not os.path.exists(tagged):
                subprocess.run(["vips", "copy", self.input, tagged, "--interpretation", "srgb"], check=True)
            return self._time(["sharpen", tagged, self.output, "--sigma", str(arg)]) - self.baseline
        if op == "linear":  # the same line on B, G and R; alpha kept
            mul, add = arg
            return self._time(["linear", "--uchar", "--", self.input, self.output, "%g %g %g 1" % (mul, mul, mul),
                               "%g %g %g 0" % (add, add, add)]) - self.baseline
        if op == "emboss":  # Rastelle's type 0 kernel, offset 128
            mask = os.path.join(self.folder, "emboss.mat")
            with open(mask, "w") as f:
                f.write("3 3 1 128\n-1 -1 0\n-1 0 1\n0 1 1\n")
            return self._time(["conv", self.input, self.output, mask, "--precision", "integer"]) - self.baseline
        return None


class Magick:
    def __init__(self, image, folder):
        h, w = image.shape[:2]
        self.input = os.path.join(folder, "in.bgra")
        image.tofile(self.input)
        self.size = "%dx%d" % (w, h)

    def run(self, args, iterations=3):
        command = ["convert", "-limit", "thread", "1", "-size", self.size, "-depth", "8", "bgra:" + self.input,
                   "-bench", str(iterations)] + args + ["null:"]
        out = subprocess.run(command, capture_output=True, text=True)
        m = re.search(r"Performance\[1\]: \d+i ([0-9.]+)ips", out.stdout + out.stderr)
        return 1000 / float(m.group(1)) if m else None

    def run_file(self, op, arg):
        """A whole convert from a PPM to a file, less the plain read."""
        if op != "gif":
            return None
        folder = os.path.dirname(self.input)
        ppm = os.path.join(folder, "in.ppm")
        if not os.path.exists(ppm):
            subprocess.run(["convert", "-size", self.size, "-depth", "8", "bgra:" + self.input, "-alpha", "off", ppm],
                           check=True)
        base = ["convert", "-limit", "thread", "1", ppm]
        read = best_of(lambda: subprocess.run(base + ["null:"], check=True))
        return best_of(lambda: subprocess.run(base + ["+dither", "-colors", "256", os.path.join(folder, "out.gif")],
                                              check=True)) - read


def write_cmyk_profiles(bench_dir, folder):
    """The press profile (by Rastelle's tool) and an sRGB profile (by Pillow's
    Little CMS) for ImageMagick, which needs the source profile as a file."""
    from PIL import ImageCms
    press, srgb = os.path.join(folder, "press.icc"), os.path.join(folder, "srgb.icc")
    subprocess.run([os.path.join(bench_dir, "rastelle_cmyk_profile_tool"), press], check=True)
    with open(srgb, "wb") as f:
        f.write(ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB")).tobytes())
    return {"{profile}": press, "{srgb}": srgb}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bench", default=os.path.join(REPO, "build/native/benchmarks/rastelle_kernel_benchmarks"))
    parser.add_argument("--size", default="4000x3000")
    parser.add_argument("--install", action="store_true", help="apt-get install missing peers")
    parser.add_argument("--jobs", default="", help="only the jobs whose name contains this text, e.g. blur")
    args = parser.parse_args()
    ensure_peers(args.install)
    try:
        import numpy as np
    except ImportError:
        if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") and os.path.exists("/usr/bin/python3"):
            os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
        raise
    width, height = (int(v) for v in args.size.split("x"))
    image = test_image(np, width, height)

    folder = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    try:
        vips, magick = Vips(np, image, folder), Magick(image, folder)
        selected = [j for j in jobs() if args.jobs in j[0]]
        suites = {"cmyk": os.path.join(os.path.dirname(args.bench), "rastelle_cmyk_benchmarks"),
                  "gif": os.path.join(os.path.dirname(args.bench), "rastelle_gif_benchmark"),
                  "effect": os.path.join(os.path.dirname(args.bench), "rastelle_effects_benchmark")}

        def bench_of(title):
            return suites.get(title.split()[0], args.bench)
        for binary in {bench_of(j[0]) for j in selected}:
            if not os.access(binary, os.X_OK):
                sys.exit("no benchmark binary at %s: build it with `cmake --preset native && "
                         "cmake --build --preset native`" % binary)
        if any(j[0].startswith("cmyk") for j in selected):
            profiles = write_cmyk_profiles(os.path.dirname(args.bench), folder)
            os.environ["RASTELLE_CMYK_PROFILE"] = profiles["{profile}"]
            selected = [(t, n, v, {k: [profiles.get(a, a) for a in op] for k, op in p.items()} if t.startswith("cmyk")
                         else p) for t, n, v, p in selected]
        rows = []
        for title, name, varying, peers in selected:
            # Rastelle's job runs right before its peers, so that a change in
            # the machine's load over the run affects both sides alike.
            print("running %s ..." % title, file=sys.stderr)
            names = [name.replace("{o}", "1")] + ([name.replace("{o}", "0")] if varying else [])
            ours = run_rastelle(bench_of(title), width, height, names)
            times = {
                "opencv": run_opencv(np, image, *peers["opencv"]) if "opencv" in peers else None,
                "vips": vips.run(*((peers["vips"], None) if isinstance(peers["vips"], list) else peers["vips"]))
                if "vips" in peers else None,
                "pillow": run_pillow(np, image, *peers["pillow"]) if "pillow" in peers else None,
                "magick": magick.run(peers["magick"], 2 if "median" in title and "3x3" not in title else 3)
                if "magick" in peers else magick.run_file(*peers["magickfile"]) if "magickfile" in peers else None,
            }
            mine = ours.get(name.replace("{o}", "1"))
            general = ours.get(name.replace("{o}", "0")) if varying else None
            rows.append((title, mine, general, times))
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    def ms(v):
        return "-" if v is None else ("%.1f" % v if v < 100 else "%.0f" % v)

    print("\nSingle-threaded times in ms, %s BGRA image (best of several runs)\n" % args.size)
    header = ("job", "Rastelle", "varying alpha", "OpenCV", "libvips", "Pillow", "ImageMagick", "fastest peer",
              "Rastelle / fastest")
    print("| " + " | ".join(header) + " |")
    print("|" + "|".join("---" for _ in header) + "|")
    for title, mine, general, times in rows:
        valid = {k: v for k, v in times.items() if v is not None and v > 0}
        fastest = min(valid, key=valid.get) if valid else None
        names_ = {"opencv": "OpenCV", "vips": "libvips", "pillow": "Pillow", "magick": "ImageMagick"}
        ratio = "%.2f" % (mine / valid[fastest]) if fastest and mine else "-"
        print("| " + " | ".join([title, ms(mine), ms(general), ms(times["opencv"]), ms(times["vips"]),
                                  ms(times["pillow"]), ms(times["magick"]),
                                  names_[fastest] if fastest else "-", ratio]) + " |")
    print("\nRastelle ranks alpha-weighted keys (alpha * byte, then byte); the peers rank plain bytes. On this "
          "opaque image both orders agree; 'varying alpha' is Rastelle's general path on an image where every "
          "alpha occurs. Rastelle's blur rows include the frame's copy of the input. The colour-matrix row of "
          "Rastelle is a portable stand-in: the DLL runs that transform inside GDI+ (not measurable natively).")


if __name__ == "__main__":
    main()
