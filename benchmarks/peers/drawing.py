#!/usr/bin/python3
"""Times Rastelle's antialiased drawing next to Cairo and Pillow's ImageDraw.

The same shapes on a white 2000 x 2000 32-bit image, single-threaded:
10 000 lines of width 2 (flat ends) and 1 000 filled ellipses, each in its
own opaque colour, from the 64-bit LCG that benchmarks/drawing_benchmark.cpp
uses. Rastelle's side is its kernel (exact-area coverage, composited
source-over); Cairo draws antialiased (its default); Pillow's ImageDraw has
no antialiasing, so it does less work.

    benchmarks/peers/drawing.py [--bench build/native/benchmarks/rastelle_drawing_benchmark] [--runs 3] [--best-of 3]

Cairo through pycairo (python3-cairo) when installed, else straight through
the C library (libcairo2) with ctypes: a few calls per shape, each far below
a shape's drawing time. The runs are interleaved (Rastelle, then the peers,
three times over) and the times are CPU times, which a shared machine's load
disturbs less than wall time. In each run every side takes the best of
--best-of tries, which leaves out a try that a busy machine slowed; the
table shows the median of each and the median over runs of Rastelle's time
over the fastest peer's.
"""

import argparse
import ctypes
import ctypes.util
import json
import math
import os
import statistics
import subprocess
import sys
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SIZE = 2000


def shapes(lines):
    state = 1
    mask = (1 << 64) - 1

    def nxt():
        nonlocal state
        state = (state * 6364136223846793005 + 1442695040888963407) & mask
        return (state >> 32) / 4294967296.0
    out = []
    for _ in range(10000 if lines else 1000):
        if lines:
            geometry = (nxt() * SIZE, nxt() * SIZE, nxt() * SIZE, nxt() * SIZE)
        else:
            geometry = (nxt() * SIZE, nxt() * SIZE, 4 + nxt() * 60, 4 + nxt() * 60)
        colour = int(nxt() * 16777216.0)
        out.append((geometry, ((colour >> 16) & 255, (colour >> 8) & 255, colour & 255)))
    return out


def cpu_ms(function):
    start = time.process_time()
    function()
    return 1000 * (time.process_time() - start)


class Cairo:
    """pycairo's API, or the same calls on libcairo through ctypes."""

    def __init__(self):
        try:
            import cairo
            self.name = "Cairo (pycairo)"
            self.lib = None
            self.cairo = cairo
            return
        except ImportError:
            pass
        path = ctypes.util.find_library("cairo") or "libcairo.so.2"
        self.lib = ctypes.CDLL(path)
        self.name = "Cairo (libcairo via ctypes)"
        d, p = ctypes.c_double, ctypes.c_void_p
        for name, args in (("cairo_image_surface_create", [ctypes.c_int, ctypes.c_int, ctypes.c_int]),
                           ("cairo_create", [p]), ("cairo_set_source_rgb", [p, d, d, d]),
                           ("cairo_set_line_width", [p, d]), ("cairo_move_to", [p, d, d]),
                           ("cairo_line_to", [p, d, d]), ("cairo_stroke", [p]), ("cairo_fill", [p]),
                           ("cairo_paint", [p]), ("cairo_save", [p]), ("cairo_restore", [p]),
                           ("cairo_translate", [p, d, d]), ("cairo_scale", [p, d, d]),
                           ("cairo_arc", [p, d, d, d, d, d]), ("cairo_new_path", [p]),
                           ("cairo_destroy", [p]), ("cairo_surface_destroy", [p]), ("cairo_surface_flush", [p])):
            f = getattr(self.lib, name)
            f.argtypes = args
            f.restype = p if name in ("cairo_image_surface_create", "cairo_create") else None

    def run(self, items, lines):
        if self.lib is None:
            c = self.cairo
            surface = c.ImageSurface(c.FORMAT_ARGB32, SIZE, SIZE)
            cr = c.Context(surface)
            cr.set_source_rgb(1, 1, 1)
            cr.paint()

            def draw():
                cr.set_line_width(2)
                for (a, b, e, f), (r, g, bl) in items:
                    cr.set_source_rgb(r / 255, g / 255, bl / 255)
                    if lines:
                        cr.move_to(a, b)
                        cr.line_to(e, f)
                        cr.stroke()
                    else:
                        cr.save()
                        cr.translate(a, b)
                        cr.scale(e, f)
                        cr.arc(0, 0, 1, 0, 2 * math.pi)
                        cr.restore()
                        cr.fill()
                surface.flush()
            return cpu_ms(draw)
        lib = self.lib
        surface = lib.cairo_image_surface_create(0, SIZE, SIZE)  # CAIRO_FORMAT_ARGB32
        cr = lib.cairo_create(surface)
        lib.cairo_set_source_rgb(cr, 1, 1, 1)
        lib.cairo_paint(cr)

        def draw():
            lib.cairo_set_line_width(cr, 2)
            for (a, b, e, f), (r, g, bl) in items:
                lib.cairo_set_source_rgb(cr, r / 255, g / 255, bl / 255)
                if lines:
                    lib.cairo_move_to(cr, a, b)
                    lib.cairo_line_to(cr, e, f)
                    lib.cairo_stroke(cr)
                else:
                    lib.cairo_save(cr)
                    lib.cairo_translate(cr, a, b)
                    lib.cairo_scale(cr, e, f)
                    lib.cairo_arc(cr, 0, 0, 1, 0, 2 * math.pi)
                    lib.cairo_restore(cr)
                    lib.cairo_fill(cr)
            lib.cairo_surface_flush(surface)
        try:
            return cpu_ms(draw)
        finally:
            lib.cairo_destroy(cr)
            lib.cairo_surface_destroy(surface)


def run_pillow(items, lines):
    from PIL import Image, ImageDraw
    image = Image.new("RGBA", (SIZE, SIZE), (255, 255, 255, 255))
    draw = ImageDraw.Draw(image)

    def paint():
        for (a, b, e, f), colour in items:
            if lines:
                draw.line([(a, b), (e, f)], fill=colour + (255,), width=2)
            else:
                draw.ellipse([a - e, b - f, a + e, b + f], fill=colour + (255,))
    return cpu_ms(paint)


def run_rastelle(bench, lines):
    name = "BM_DrawLines" if lines else "BM_DrawEllipses"
    out = subprocess.run([bench, "--benchmark_filter=^%s/" % name, "--benchmark_format=json",
                          "--benchmark_min_time=0.01"], capture_output=True, text=True, check=True).stdout
    b = json.loads(out)["benchmarks"][0]
    return b["cpu_time"] * {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[b["time_unit"]]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bench", default=os.path.join(REPO, "build/native/benchmarks/rastelle_drawing_benchmark"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--best-of", type=int, default=3)
    args = parser.parse_args()
    if not os.access(args.bench, os.X_OK):
        sys.exit("no benchmark binary at %s: build it with `cmake --preset native && cmake --build "
                 "build/native --target rastelle_drawing_benchmark`" % args.bench)
    try:
        import PIL  # noqa: F401
        pillow = True
    except ImportError:
        if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") and os.path.exists("/usr/bin/python3"):
            os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
        pillow = False
    try:
        cairo = Cairo()
    except OSError:
        cairo = None

    print("| job | Rastelle | %s | Pillow ImageDraw (no antialiasing) | Rastelle / fastest peer (median of runs, range) |"
          % (cairo.name if cairo else "Cairo"))
    print("|---|---|---|---|---|")
    for lines in (True, False):
        items = shapes(lines)
        ours, theirs, pil, ratios = [], [], [], []
        for _ in range(args.runs):
            def best(job):
                return min(job() for _ in range(args.best_of))
            ours.append(best(lambda: run_rastelle(args.bench, lines)))
            theirs.append(best(lambda: cairo.run(items, lines)) if cairo else None)
            pil.append(best(lambda: run_pillow(items, lines)) if pillow else None)
            peers = [t for t in (theirs[-1], pil[-1]) if t]
            ratios.append(ours[-1] / min(peers) if peers else None)

        def med(values):
            values = [v for v in values if v is not None]
            if not values:
                return "-"
            m = statistics.median(values)
            return "%.0f" % m if m >= 100 else "%.1f" % m
        valid = [r for r in ratios if r is not None]
        print("| %s | %s | %s | %s | %s |" % ("10 000 lines, width 2" if lines else "1 000 filled ellipses",
                                              med(ours), med(theirs), med(pil),
                                              "%.2f (%.2f–%.2f)" % (statistics.median(valid), min(valid), max(valid))
                                              if valid else "-"))
    print("\nCPU ms, %d interleaved runs of the best of %d, medians; %d x %d image." % (args.runs, args.best_of, SIZE, SIZE))


if __name__ == "__main__":
    main()
