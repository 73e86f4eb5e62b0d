#!/usr/bin/env bash
# Combine of two 4000 x 3000 layers from VBScript under Wine, beside Pillow's
# Image.alpha_composite of the same two layers, interleaved three times; prints
# each pair and the ratio. Needs the x86_64 build registered in its prefix
# (bash scripts/test.sh or scripts/run-example.sh does that) and python3-pil.
set -euo pipefail
source "$(dirname "$0")/common.sh"
for run in 1 2 3; do
  ours=$(ours combine.vbs)
  pillow=$(/usr/bin/python3 - <<'PY'
import time
from PIL import Image
a = Image.new('RGBA', (4000, 3000), (0x66, 0x99, 0x33, 255))
b = Image.new('RGBA', (4000, 3000), (0x40, 0x80, 0xFF, 0x80))
best = min((lambda t: (Image.alpha_composite(a, b), time.perf_counter() - t)[1])(time.perf_counter()) for _ in range(5))
print(round(best * 1000))
PY
)
  awk -v o="$ours" -v p="$pillow" -v r="$run" 'BEGIN { printf "run %d: Combine %d ms, Pillow alpha_composite %d ms, ratio %.2f\n", r, o, p, o / p }'
done
