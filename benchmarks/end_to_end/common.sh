# shellcheck shell=bash
# What the end-to-end scripts share, sourced by each: the repository, the
# Wine prefix of the registered x86_64 build, a work folder removed on exit
# (with its Windows path), and a runner for the scripts' VBScript halves.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
prefix=$root/build/mingw-x64/wine-prefix
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
work_windows="Z:${work//\//\\}"
# The peers' Python halves import timing.py from here.
export PYTHONPATH="$root/benchmarks/end_to_end${PYTHONPATH:+:$PYTHONPATH}"

# ours NAME.vbs ARGS...: the benchmark's VBScript under Wine's cscript; its
# output without carriage returns.
ours() {
  local script=$1; shift
  bash "$root/scripts/wine-env.sh" "$prefix" cscript "$root/benchmarks/end_to_end/$script" "$@" | tr -d '\r'
}
