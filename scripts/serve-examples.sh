#!/usr/bin/env bash
# Serves the example site (examples/site) on the development host: builds
# Rastelle.dll, RastelleEffects.dll and rastelle-devhost.exe if needed
# (installing what is missing), registers both DLLs in the build's private
# Wine prefix, starts the
# host under Wine and prints the address. Ctrl-C stops it.
#
#   bash scripts/serve-examples.sh [port]      (default 8080)
#
# A development host on 127.0.0.1 only; production sites run on IIS.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
port=${1:-8080}
cd "$root"
bash scripts/bootstrap.sh
mkdir -p build/logs
{ cmake --preset mingw-x64 && cmake --build --preset mingw-x64 --target Rastelle RastelleEffects rastelle-devhost; } \
  >build/logs/serve-examples-build.log 2>&1 ||
  { tail -n 40 build/logs/serve-examples-build.log; exit 1; }

prefix=$root/build/mingw-x64/wine-prefix
bash scripts/wine-env.sh "$prefix" setup build/mingw-x64/bin/Rastelle.dll build/mingw-x64/bin/RastelleEffects.dll
site="Z:$(sed 's|/|\\|g' <<<"$root/examples/site")"

bash scripts/wine-env.sh "$prefix" run build/mingw-x64/bin/rastelle-devhost.exe --port "$port" --site "$site" &
host=$!
# Nothing of Wine's stays running after the host.
trap 'kill "$host" 2>/dev/null || true; bash "$root/scripts/wine-env.sh" "$prefix" stop' EXIT INT TERM
for _ in $(seq 1 120); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "Rastelle examples: http://127.0.0.1:$port/  (Ctrl-C stops the host)"
    wait "$host"
    exit $?
  fi
  kill -0 "$host" 2>/dev/null || { echo "the host did not start (is port $port free?)" >&2; exit 1; }
  sleep 0.5
done
echo "the host did not start listening on port $port" >&2
exit 1
