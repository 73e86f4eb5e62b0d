#!/usr/bin/env bash
# Runs 32-bit (i686) Windows code under Wine on a Debian 12 x86_64 machine
# whose own apt cannot install wine32 (the security mirror's i386 index is
# missing, and the amd64 Multi-Arch: same libraries sit at security versions
# the i386 main index lacks). An i386 bookworm chroot, made by debootstrap
# from the host's main mirror (main + bookworm-updates, no security), gets the
# same Wine 8.0 as the host. The host's apt configuration is not changed (no
# i386 architecture); only the package debootstrap is installed on the host
# when it is missing.
#
#   wine32-chroot.sh CHROOT [setup]
#       make the chroot under CHROOT if needed; a ready one is reused as is
#   wine32-chroot.sh CHROOT run WORKDIR 'COMMAND'
#       setup, then run the bash COMMAND inside the chroot with the host
#       folder WORKDIR bind-mounted at /job, in the environment
#       WINEPREFIX=/job/prefix32 WINEARCH=win32 WINEDEBUG=-all
#       WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= HOME=/root (set others
#       inside COMMAND). Afterwards the wineserver of every prefix directly
#       under WORKDIR is ended and all that this script mounted is unmounted.
#       The exit status is COMMAND's (124: it ran past RUN_TIMEOUT, default
#       1800 s). Concurrent calls wait for each other (a lock beside CHROOT).
#
# Root only (debootstrap, chroot, mount). Each step prints its duration.
# The mirror URI is read at run time from the host's apt sources
# (HOST_SOURCES, default /etc/apt/sources.list.d/debian.sources) and is
# written to the chroot's apt sources only while apt runs there.
# WINE32_EXTRA_PACKAGES="a b" installs more packages in the chroot.
set -euo pipefail

if [ $# -lt 1 ]; then sed -n '2,26p' "$0"; exit 2; fi
R=$(realpath -m "$1")
action=${2:-setup}
HOST_SOURCES=${HOST_SOURCES:-/etc/apt/sources.list.d/debian.sources}
SUITE=bookworm
read -r -a PACKAGES <<<"wine wine32 fonts-liberation ${WINE32_EXTRA_PACKAGES:-}"

[ "$(id -u)" -eq 0 ] || { echo "wine32-chroot.sh: must run as root" >&2; exit 2; }
case "$R" in /|/bin|/boot|/dev|/etc|/home|/lib*|/proc|/root|/run|/sbin|/srv|/sys|/tmp|/usr|/var)
  echo "wine32-chroot.sh: refusing to use $R as the chroot" >&2; exit 2 ;; esac

step_start=
step() { step_start=$EPOCHREALTIME; printf '== %s\n' "$*"; }
step_done() { awk -v a="$step_start" -v b="$EPOCHREALTIME" -v m="${1:-done}" 'BEGIN { printf "   %s: %.1f s\n", m, b - a }'; }

# The first URI of the deb822 stanza whose Suites has exactly $SUITE (the
# main archive, not -updates or -security); a one-line sources.list is the
# fallback.
mirror_uri() {
  local uri=
  if [ -f "$HOST_SOURCES" ]; then
    uri=$(awk -v s="$SUITE" '
      /^[[:space:]]*$/ { u = ""; found = 0; next }
      /^URIs:/   { u = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == s) found = 1 }
      found && u != "" { print u; exit }' "$HOST_SOURCES")
  fi
  if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
    uri=$(awk -v s="$SUITE" '$1 == "deb" && $3 == s { print $2; exit }' /etc/apt/sources.list)
  fi
  [ -n "$uri" ] || { echo "wine32-chroot.sh: no '$SUITE' entry in $HOST_SOURCES" >&2; exit 1; }
  printf '%s\n' "$uri"
}

mounted_below() { awk -v r="$R" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/self/mounts; }
debootstrap_done() { [ -x "$R/usr/bin/apt-get" ] && [ -x "$R/bin/bash" ] && [ ! -e "$R/debootstrap" ]; }

# --- mounts ----------------------------------------------------------------
OUR_MOUNTS=()
WORKDIR=
mount_one() {  # mount_one TARGET mount-args...; a mount found there is left alone
  local target=$1; shift
  mountpoint -q "$target" && return 0
  mount "$@" "$target"
  OUR_MOUNTS+=("$target")
}
mount_all() {
  mkdir -p "$R/proc" "$R/dev" "$R/sys" "$R/job"
  mount_one "$R/proc" -t proc proc
  mount_one "$R/sys" -t sysfs sysfs
  if ! mountpoint -q "$R/dev"; then
    mount --rbind /dev "$R/dev"
    mount --make-rslave "$R/dev"
    OUR_MOUNTS+=("$R/dev")
  fi
  if [ -n "$WORKDIR" ]; then
    mkdir -p "$WORKDIR"
    mount_one "$R/job" --bind "$WORKDIR"
  fi
}
stop_wineservers() {  # every prefix directly under WORKDIR (wineserver -k is per prefix)
  [ -n "$WORKDIR" ] && mountpoint -q "$R/job" && mountpoint -q "$R/proc" || return 0
  local reg
  for reg in "$WORKDIR"/*/system.reg; do
    [ -f "$reg" ] || continue
    timeout 30 chroot "$R" env -i HOME=/root PATH=/usr/bin:/bin \
      WINEPREFIX="/job/$(basename "$(dirname "$reg")")" wineserver -k >/dev/null 2>&1 || true
  done
}
unmount_all() {
  local i
  stop_wineservers
  for (( i = ${#OUR_MOUNTS[@]} - 1; i >= 0; i-- )); do
    umount -R "${OUR_MOUNTS[$i]}" 2>/dev/null ||
      { sleep 2; umount -R "${OUR_MOUNTS[$i]}" 2>/dev/null; } ||
      { echo "wine32-chroot.sh: ${OUR_MOUNTS[$i]} busy: detaching it lazily" >&2; umount -lR "${OUR_MOUNTS[$i]}"; }
  done
  OUR_MOUNTS=()
}
trap unmount_all EXIT

# --- setup -----------------------------------------------------------------
setup() {
  local t0=$EPOCHREALTIME mirror log
  local want="${PACKAGES[*]}"
  if [ -f "$R/.wine32-chroot-ready" ] && [ "$(sed -n 2p "$R/.wine32-chroot-ready")" = "$want" ]; then
    echo "== chroot $R reused: $(head -1 "$R/.wine32-chroot-ready")"
    return 0
  fi
  mirror=$(mirror_uri)

  if ! command -v debootstrap >/dev/null 2>&1; then
    step "host: apt-get install debootstrap"
    DEBIAN_FRONTEND=noninteractive timeout 600 apt-get install -y -q --no-install-recommends debootstrap >/dev/null
    step_done
  fi

  if [ -e "$R" ] && ! debootstrap_done && [ -n "$(ls -A "$R" 2>/dev/null)" ]; then
    # Half made by an interrupted run: start again, but never delete through
    # a mount (a bind mount of the same file system is crossed even with
    # --one-file-system).
    if [ -n "$(mounted_below)" ]; then
      echo "wine32-chroot.sh: $R is incomplete and has mounts below it:" >&2
      mounted_below >&2; exit 1
    fi
    step "remove the incomplete chroot $R"
    rm -rf --one-file-system "$R"
    step_done
  fi

  if ! debootstrap_done; then
    step "debootstrap --arch=i386 --variant=minbase $SUITE $R <main mirror of $HOST_SOURCES>"
    mkdir -p "$R"
    log=$(mktemp)
    if ! timeout 1200 debootstrap --arch=i386 --variant=minbase "$SUITE" "$R" "$mirror" >"$log" 2>&1; then
      tail -20 "$log" >&2; rm -f "$log"; exit 1
    fi
    rm -f "$log"
    step_done
  fi

  step "chroot apt: $SUITE main, + $SUITE-updates if its i386 index loads (no security)"
  printf 'Acquire::Check-Valid-Until "false";\nAcquire::Check-Date "false";\n' >"$R/etc/apt/apt.conf.d/99wine32-no-valid-until"
  printf 'APT::Install-Recommends "false";\nAPT::Install-Suggests "false";\n' >"$R/etc/apt/apt.conf.d/99wine32-no-recommends"
  cp /etc/resolv.conf "$R/etc/resolv.conf" 2>/dev/null || true
  printf 'deb %s %s main\ndeb %s %s-updates main\n' "$mirror" "$SUITE" "$mirror" "$SUITE" >"$R/etc/apt/sources.list"
  if ! timeout 300 chroot "$R" apt-get -q update --error-on=any >/dev/null 2>&1; then
    echo "   $SUITE-updates did not load: main only"
    printf 'deb %s %s main\n' "$mirror" "$SUITE" >"$R/etc/apt/sources.list"
    timeout 300 chroot "$R" apt-get -q update >/dev/null
  fi
  step_done

  step "chroot: apt-get install ${PACKAGES[*]}"
  mount_all
  log=$(mktemp)
  if ! DEBIAN_FRONTEND=noninteractive timeout 1200 chroot "$R" apt-get install -y -q --no-install-recommends "${PACKAGES[@]}" >"$log" 2>&1; then
    tail -20 "$log" >&2; rm -f "$log"; exit 1
  fi
  rm -f "$log"
  unmount_all
  # Leave no mirror address behind: apt's sources, lists and caches go.
  chroot "$R" apt-get clean
  rm -rf "$R"/var/lib/apt/lists/* "$R"/var/cache/apt/*.bin "$R/var/log/bootstrap.log"
  printf '# filled in by wine32-chroot.sh while it runs apt\n' >"$R/etc/apt/sources.list"
  step_done

  { echo "wine32 $(chroot "$R" dpkg-query -W -f='${Version}' wine32)"; echo "$want"; } >"$R/.wine32-chroot-ready"
  awk -v a="$t0" -v b="$EPOCHREALTIME" -v v="$(head -1 "$R/.wine32-chroot-ready")" -v s="$(du -sh --one-file-system "$R" | cut -f1)" \
    'BEGIN { printf "== chroot ready: %s, %s on disk, setup %.1f s\n", v, s, b - a }'
}

in_chroot() {  # in_chroot SECONDS 'bash command'
  timeout "$1" chroot "$R" env -i HOME=/root LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    WINEPREFIX=/job/prefix32 WINEARCH=win32 WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
    bash -c "$2"
}

# --- actions ---------------------------------------------------------------
# One user of the chroot at a time: /job is a single mount point, and a setup
# must not race another. Calls wait for each other (runs take seconds).
mkdir -p "$(dirname "$R")"
exec 9>"$R.lock"
flock 9

case "$action" in
  setup)
    setup
    ;;
  run)
    [ $# -ge 4 ] || { echo "usage: $0 CHROOT run WORKDIR 'COMMAND'" >&2; exit 2; }
    setup
    WORKDIR=$(realpath -m "$3")
    mount_all
    step "in the chroot: $4"
    rc=0; in_chroot "${RUN_TIMEOUT:-1800}" "$4" || rc=$?
    step_done "exit status $rc"
    exit "$rc"
    ;;
  *)
    echo "wine32-chroot.sh: unknown action $action" >&2; exit 2
    ;;
esac
