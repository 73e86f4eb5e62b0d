#!/usr/bin/env bash
# GIF and lossless SWF saving through the DLL from VBScript under Wine, on the
# 4000 x 3000 photo-like picture, interleaved three times beside their peers:
# Pillow's quantize to 256 colours plus GIF save, and zlib level 9 of the
# image's 48 MB of pixels (what the SWF bitmap tag holds), with the SWF file's
# size against zlib 9's bytes. Needs the x86_64
# build registered in its prefix (bash scripts/test.sh does that) and
# python3-pil.
set -euo pipefail
source "$(dirname "$0")/common.sh"
/usr/bin/python3 "$root/benchmarks/end_to_end/photo.py" "$work/photo.jpg"
for run in 1 2 3; do
  read -r gif swf < <(ours gif_swf.vbs "$work_windows\\photo.jpg" "$work_windows")
  read -r pgif zlib zbytes < <(/usr/bin/python3 - "$work" <<'PY'
import sys, time, zlib
from PIL import Image
work = sys.argv[1]
from timing import best
image = Image.open(work + '/photo.jpg'); image.load()
pixels = image.convert('RGBA').tobytes()
print(best(lambda: image.quantize(256).save(work + '/p.gif')), best(lambda: zlib.compress(pixels, 9)),
      len(zlib.compress(pixels, 9)))
PY
)
  swf_bytes=$(stat -c %s "$work/saved.swf")
  awk -v r="$run" -v a="$gif" -v b="$pgif" -v c="$swf" -v d="$zlib" -v e="$swf_bytes" -v f="$zbytes" 'BEGIN {
    printf "run %d: SaveFile GIF %d ms (Pillow %d, ratio %.2f), SaveFile SWF %d ms (zlib 9 %d, ratio %.2f; file %.3f of zlib 9 bytes)\n",
      r, a, b, a / b, c, d, c / d, e / f }'
done
