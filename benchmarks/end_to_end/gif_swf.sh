#!/usr/bin/env bash
# GIF and lossless SWF saving through the DLL from VBScript under Wine,
# interleaved three times beside their peers: on the 4000 x 3000 photo-like
# picture, Pillow's quantize to 256 colours plus GIF save, and zlib level 9
# of the image's 48 MB of ARGB pixels (what the SWF bitmap tag holds); on a
# real 4000 x 3000 screenshot (headless Chromium's rendering of a reference
# page), zlib level 9 of its pixels. Each SWF file's size is given against
# zlib 9's bytes. With --levels, also every libdeflate level against zlib 9
# on both images' pixels (the native build's rastelle_deflate_levels). Needs
# the x86_64 build registered in its prefix (bash scripts/test.sh does that),
# python3-pil and chromium.
set -euo pipefail
source "$(dirname "$0")/common.sh"
levels=${1:-}
/usr/bin/python3 "$root/benchmarks/end_to_end/photo.py" "$work/photo.jpg"
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=2000,1500 \
  --force-device-scale-factor=2 --screenshot="$work/screen.png" \
  "file://$root/examples/site/reference/RasterObject.html" >/dev/null 2>&1
for run in 1 2 3; do
  read -r gif swf screen_swf < <(ours gif_swf.vbs "$work_windows\\photo.jpg" "$work_windows" \
    "$work_windows\\screen.png")
  read -r pgif zlib zbytes screen_zlib screen_zbytes < <(/usr/bin/python3 - "$work" "$levels" <<'PY'
import sys, zlib
import numpy
from PIL import Image
from timing import best
work = sys.argv[1]
def argb(path):
    pixels = numpy.asarray(Image.open(path).convert('RGBA'))
    return pixels[..., [3, 0, 1, 2]].tobytes()
image = Image.open(work + '/photo.jpg'); image.load()
photo, screen = argb(work + '/photo.jpg'), argb(work + '/screen.png')
if sys.argv[2] == '--levels':
    open(work + '/photo.argb', 'wb').write(photo)
    open(work + '/screen.argb', 'wb').write(screen)
sizes = {}
def deflate(name, pixels):
    sizes[name] = len(zlib.compress(pixels, 9))
print(best(lambda: image.quantize(256).save(work + '/p.gif')),
      best(lambda: deflate('photo', photo)), sizes['photo'],
      best(lambda: deflate('screen', screen)), sizes['screen'])
PY
)
  swf_bytes=$(stat -c %s "$work/saved.swf")
  screen_bytes=$(stat -c %s "$work/screen.swf")
  awk -v r="$run" -v a="$gif" -v b="$pgif" -v c="$swf" -v d="$zlib" -v e="$swf_bytes" -v f="$zbytes" \
    -v g="$screen_swf" -v h="$screen_zlib" -v i="$screen_bytes" -v j="$screen_zbytes" 'BEGIN {
    printf "run %d: SaveFile GIF %d ms (Pillow %d, ratio %.2f)\n", r, a, b, a / b
    printf "  SaveFile SWF photo %d ms (zlib 9 %d, ratio %.2f; file %.3f of zlib 9 bytes)\n", c, d, c / d, e / f
    printf "  SaveFile SWF screenshot %d ms (zlib 9 %d, ratio %.2f; file %.3f of zlib 9 bytes)\n", g, h, g / h, i / j }'
done
if [ "$levels" = --levels ]; then
  "$root/build/native/benchmarks/rastelle_deflate_levels" "$work/photo.argb" "$work/screen.argb"
fi
