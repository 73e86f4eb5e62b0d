#!/usr/bin/env bash
# JPEG through the DLL from VBScript under Wine beside Pillow (libjpeg-turbo
# too) on the same 4000 x 3000 photo-like JPEG, interleaved three times: the
# typical page (load, 400 x 300 bicubic, save quality 85), LoadFile, SaveFile
# quality 75; prints each run's times and ratios, then the medians. Needs the
# x86_64 build registered in its prefix (bash scripts/test.sh does that) and
# python3-pil.
set -euo pipefail
source "$(dirname "$0")/common.sh"
/usr/bin/python3 "$root/benchmarks/end_to_end/photo.py" "$work/photo.jpg"
ratios=()
for run in 1 2 3; do
  read -r page load save < <(ours jpeg.vbs "$work_windows\\photo.jpg" "$work_windows")
  read -r ppage pload psave < <(/usr/bin/python3 - "$work" <<'PY'
import sys, time
from PIL import Image
work = sys.argv[1]
from timing import best as best_of
def best(job):
    return best_of(job, 5)
def page():
    Image.open(work + '/photo.jpg').resize((400, 300), Image.BICUBIC).save(work + '/p-thumb.jpg', quality=85)
def load():
    Image.open(work + '/photo.jpg').load()
image = Image.open(work + '/photo.jpg'); image.load()
def save():
    image.save(work + '/p-saved.jpg', quality=75)
print(best(page), best(load), best(save))
PY
)
  # libvips' thumbnailer, as a user would run it (a process per page),
  # when it is installed (Debian's libvips-tools).
  vips=-
  if command -v vipsthumbnail >/dev/null; then
    vips=$(/usr/bin/python3 - "$work" <<'PY'
import subprocess, sys, time
work = sys.argv[1]
times = []
for _ in range(5):
    t = time.perf_counter()
    subprocess.run(['vipsthumbnail', work + '/photo.jpg', '-s', '400x300', '-o', work + '/v-thumb.jpg[Q=85]'], check=True)
    times.append(time.perf_counter() - t)
print(round(min(times) * 1000))
PY
)
  fi
  echo "run $run: page $page ms (Pillow $ppage, vipsthumbnail $vips), LoadFile $load ms (Pillow $pload), SaveFile q75 $save ms (Pillow $psave)"
  ratios+=("$(awk -v a="$page" -v b="$ppage" -v c="$load" -v d="$pload" -v e="$save" -v f="$psave" \
    'BEGIN { printf "%.2f %.2f %.2f", a / b, c / d, e / f }')")
done
names=(page LoadFile SaveFile)
for column in 1 2 3; do
  read -r low middle high < <(printf '%s\n' "${ratios[@]}" | cut -d' ' -f"$column" | sort -g | tr '\n' ' ') || true
  echo "${names[column - 1]}: median ratio $middle (range $low .. $high)"
done
