#!/usr/bin/env bash
# PNG through the DLL from VBScript under Wine beside Pillow on the same
# 4000 x 3000 photo-like picture, interleaved three times: LoadFile and
# SaveFile (Pillow: open and load, save at its default level), and the saved
# files' sizes. Needs the x86_64 build registered in its prefix (bash
# scripts/test.sh does that) and python3-pil.
set -euo pipefail
source "$(dirname "$0")/common.sh"
/usr/bin/python3 "$root/benchmarks/end_to_end/photo.py" "$work/photo.png"
for run in 1 2 3; do
  read -r load save size < <(ours png.vbs "$work_windows\\photo.png" "$work_windows")
  read -r pload psave psize < <(/usr/bin/python3 - "$work" <<'PY'
import os, sys, time
from PIL import Image
work = sys.argv[1]
from timing import best
image = Image.open(work + '/photo.png'); image.load()
load = best(lambda: Image.open(work + '/photo.png').load())
save = best(lambda: image.save(work + '/p-saved.png'))
print(load, save, os.path.getsize(work + '/p-saved.png'))
PY
)
  awk -v r="$run" -v a="$load" -v b="$pload" -v c="$save" -v d="$psave" -v e="$size" -v f="$psize" 'BEGIN {
    printf "run %d: LoadFile %d ms (Pillow %d, ratio %.2f), SaveFile %d ms (Pillow %d, ratio %.2f), file %.1f MB (Pillow %.1f, ratio %.2f)\n",
      r, a, b, a / b, c, d, c / d, e / 1e6, f / 1e6, e / f }'
done
