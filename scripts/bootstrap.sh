#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Idempotent: packages already present and dependency builds already cached
# are skipped. Safe to call from every entry point (README commands, CI).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/lib/deps.sh"

install_packages
enable_source_packages
build_cross_dependencies

# 32-bit Wine for the i686 DLL's tests: an i386 chroot, made once and cached.
bash "$here/scripts/wine32-chroot.sh" "${RASTELLE_WINE32_CHROOT:-$HOME/.cache/rastelle-wine32/chroot}" setup
