#!/usr/bin/env bash
# The main job: builds Rastelle.dll and RastelleEffects.dll (installing what is
# missing), registers both in the private Wine prefix and runs the example automation script on an
# image (the shipped sample unless a path is given).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
image=$(realpath "${1:-$root/examples/images/sample.png}")
cd "$root"
bash scripts/bootstrap.sh
mkdir -p build/logs
{ cmake --preset mingw-x64 && cmake --build --preset mingw-x64 --target Rastelle RastelleEffects; } >build/logs/example-build.log 2>&1 ||
  { tail -n 40 build/logs/example-build.log; exit 1; }

prefix=build/mingw-x64/wine-prefix
bash scripts/wine-env.sh "$prefix" setup build/mingw-x64/bin/Rastelle.dll build/mingw-x64/bin/RastelleEffects.dll
cd examples
rc=0
bash "$root/scripts/wine-env.sh" "$root/$prefix" cscript main_job.vbs "Z:$(sed 's|/|\\|g' <<<"$image")" || rc=$?
# Nothing of Wine's stays running after the job.
bash "$root/scripts/wine-env.sh" "$root/$prefix" stop
exit "$rc"
