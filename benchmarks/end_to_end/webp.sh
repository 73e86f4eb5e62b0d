#!/usr/bin/env bash
# WebP through the DLL from VBScript under Wine beside Pillow's WebP (the
# same libwebp settings: quality 80, method 4) on the 4000 x 3000 photo-like
# picture, interleaved three times: LoadFile and SaveFile against Pillow's
# open and load, and save. Then, once: the PSNR of a quality 90 WebP of the
# picture, and a 400 x 300 thumbnail as WebP quality 80 against JPEG quality
# 85 (bytes, and SSIM of each against the lossless thumbnail, computed with
# numpy). Needs the x86_64 build registered in its prefix (bash
# scripts/test.sh does that), python3-pil and python3-numpy.
set -euo pipefail
source "$(dirname "$0")/common.sh"
/usr/bin/python3 "$root/benchmarks/end_to_end/photo.py" "$work/photo.png"
/usr/bin/python3 -c "
import sys
from PIL import Image
image = Image.open(sys.argv[1]); image.save(sys.argv[2], quality=80, method=4); image.save(sys.argv[3], quality=90)
" "$work/photo.png" "$work/photo.webp" "$work/photo.jpg"
for run in 1 2 3; do
  read -r load save < <(ours webp.vbs "$work_windows")
  read -r pload psave < <(/usr/bin/python3 - "$work" <<'PY'
import sys, time
from PIL import Image
work = sys.argv[1]
from timing import best
image = Image.open(work + '/photo.webp'); image.load()
print(best(lambda: Image.open(work + '/photo.webp').load()),
      best(lambda: image.save(work + '/p-saved.webp', quality=80, method=4)))
PY
)
  awk -v r="$run" -v a="$load" -v b="$pload" -v c="$save" -v d="$psave" 'BEGIN {
    printf "run %d: LoadFile %d ms (Pillow %d, ratio %.2f), SaveFile %d ms (Pillow %d, ratio %.2f)\n",
      r, a, b, a / b, c, d, c / d }'
done
/usr/bin/python3 - "$work" <<'PY'
import os, sys
import numpy as np
from PIL import Image
work = sys.argv[1]
def pixels(name, mode='RGB'):
    return np.asarray(Image.open(os.path.join(work, name)).convert(mode), dtype=np.float64)
def psnr(a, b):
    return 10 * np.log10(255.0 ** 2 / np.mean((a - b) ** 2))
def ssim(a, b, window=7):
    # Luma SSIM over uniform windows (the usual constants).
    y = lambda p: p[..., 0] * 0.299 + p[..., 1] * 0.587 + p[..., 2] * 0.114
    a, b = y(a), y(b)
    def mean(x):
        c = np.cumsum(np.cumsum(np.pad(x, ((1, 0), (1, 0))), 0), 1)
        w = window
        return (c[w:, w:] - c[:-w, w:] - c[w:, :-w] + c[:-w, :-w]) / (w * w)
    ma, mb = mean(a), mean(b)
    va, vb, cov = mean(a * a) - ma ** 2, mean(b * b) - mb ** 2, mean(a * b) - ma * mb
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    return float(np.mean((2 * ma * mb + c1) * (2 * cov + c2) / ((ma ** 2 + mb ** 2 + c1) * (va + vb + c2))))
print("quality 90 WebP of the picture: PSNR %.1f dB" % psnr(pixels('q90.webp'), pixels('photo.png')))
reference = pixels('thumb.png')
jpeg, webp = os.path.getsize(os.path.join(work, 'thumb.jpg')), os.path.getsize(os.path.join(work, 'thumb.webp'))
print("400 x 300 thumbnail: JPEG q85 %d bytes SSIM %.4f, WebP q80 %d bytes SSIM %.4f, bytes ratio %.2f" % (
    jpeg, ssim(pixels('thumb.jpg'), reference), webp, ssim(pixels('thumb.webp'), reference), webp / jpeg))
PY
