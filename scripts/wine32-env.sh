#!/usr/bin/env bash
# The i686 twin of wine-env.sh: the same actions and arguments, run by
# wine-env.sh inside the i386 chroot that scripts/wine32-chroot.sh keeps
# (32-bit Wine cannot be installed on the host). The repository is
# bind-mounted at /job there, so every path given, and the current folder,
# must lie inside it. The prefix's wineserver is ended after each call, so
# nothing is left running inside the chroot when it is unmounted.
#
#   wine32-env.sh PREFIX ACTION [ARGS...]     see wine-env.sh
#
# RASTELLE_WINE32_CHROOT overrides the chroot's place
# (default ~/.cache/rastelle-wine32/chroot).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
chroot_dir=${RASTELLE_WINE32_CHROOT:-$HOME/.cache/rastelle-wine32/chroot}

in_job() {  # the chroot's form of a host path inside the repository
  local p
  p=$(realpath -m "$1")
  case "$p" in
    "$root") printf '/job' ;;
    "$root"/*) printf '/job/%s' "${p#"$root"/}" ;;
    *) return 1 ;;
  esac
}

[ $# -ge 2 ] || { echo "usage: $0 PREFIX ACTION [ARGS...]" >&2; exit 2; }
prefix=$(in_job "$1") || { echo "wine32-env.sh: $1 is outside $root" >&2; exit 2; }
cwd=$(in_job "$PWD") || cwd=/job
args=()
for a in "${@:2}"; do
  # Arguments that name something inside the repository are translated.
  if [[ "$a" == /* ]] && mapped=$(in_job "$a"); then args+=("$mapped"); else args+=("$a"); fi
done

command="cd $(printf '%q' "$cwd") && rc=0 && bash /job/scripts/wine-env.sh $(printf '%q' "$prefix")"
for a in "${args[@]}"; do command+=" $(printf '%q' "$a")"; done
command+=" || rc=\$?; bash /job/scripts/wine-env.sh $(printf '%q' "$prefix") stop; exit \$rc"

# The chroot script reports its steps on stdout; keep only the program's own
# output there.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
rc=0
bash "$root/scripts/wine32-chroot.sh" "$chroot_dir" run "$root" "$command" >"$log" 2>&1 || rc=$?
grep -v -E '^(== (chroot .* reused|in the chroot: )|   exit status [0-9]+: )' "$log" || true
exit "$rc"
