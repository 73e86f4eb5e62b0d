#!/usr/bin/env bash
# 200 lines of antialiased text on a white 2000 x 2000 image: a script's
# DrawingTool.SetText under Wine (GDI+ draws the glyphs) beside Pillow's
# ImageDraw.text and Cairo's show_text with the same font, size and line,
# interleaved three times; the best of five runs each, in milliseconds. Needs
# the x86_64 build registered in its prefix (bash scripts/test.sh or
# scripts/run-example.sh does that), python3-pil and libcairo2.
set -euo pipefail
source "$(dirname "$0")/common.sh"
for run in 1 2 3; do
  ours=$(ours text.vbs)
  peers=$(/usr/bin/python3 - <<'PY'
import ctypes, ctypes.util, time
from PIL import Image, ImageDraw, ImageFont
LINE = "The quick brown fox jumps over the lazy dog, 0123456789 times."
SIZE = 10  # 7.5 points at 96 pixels an inch

from timing import best as best_of
def best(draw):
    return best_of(draw, 5)

image = Image.new("RGBA", (2000, 2000), (255, 255, 255, 255))
pen = ImageDraw.Draw(image)
font = ImageFont.truetype("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", SIZE)
pillow = best(lambda: [pen.text((10, i * 10), LINE, font=font, fill=(0, 0, 0, 255)) for i in range(200)])

lib = ctypes.CDLL(ctypes.util.find_library("cairo") or "libcairo.so.2")
p, d = ctypes.c_void_p, ctypes.c_double
lib.cairo_image_surface_create.restype = p
lib.cairo_create.restype = p
lib.cairo_create.argtypes = [p]
for name, args in (("cairo_set_source_rgb", [p, d, d, d]), ("cairo_paint", [p]), ("cairo_select_font_face", [p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int]),
                   ("cairo_set_font_size", [p, d]), ("cairo_move_to", [p, d, d]), ("cairo_show_text", [p, ctypes.c_char_p]),
                   ("cairo_surface_flush", [p]), ("cairo_destroy", [p]), ("cairo_surface_destroy", [p])):
    getattr(lib, name).argtypes = args
surface = lib.cairo_image_surface_create(0, 2000, 2000)
cr = lib.cairo_create(surface)
lib.cairo_set_source_rgb(cr, 1, 1, 1)
lib.cairo_paint(cr)
lib.cairo_set_source_rgb(cr, 0, 0, 0)
lib.cairo_select_font_face(cr, b"Liberation Sans", 0, 0)
lib.cairo_set_font_size(cr, SIZE)
text = LINE.encode()

def cairo_lines():
    for i in range(200):
        lib.cairo_move_to(cr, 10, i * 10 + SIZE)  # the baseline
        lib.cairo_show_text(cr, text)
    lib.cairo_surface_flush(surface)
cairo = best(cairo_lines)
lib.cairo_destroy(cr)
lib.cairo_surface_destroy(surface)
print(pillow, cairo)
PY
)
  read -r pillow cairo <<<"$peers"
  awk -v o="$ours" -v p="$pillow" -v c="$cairo" -v r="$run" 'BEGIN {
    f = p < c ? p : c
    printf "run %d: SetText %d ms, Pillow ImageDraw.text %d ms, Cairo show_text %d ms, ratio to the faster %.2f\n", r, o, p, c, o / f }'
done
