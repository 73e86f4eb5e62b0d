# shellcheck shell=bash
# Package installation and cross-built dependencies; sourced by bootstrap.sh.
#
# build_cross_dependencies builds static Windows libraries of libtiff, Little
# CMS 2, libjpeg-turbo, giflib, libspng, libdeflate and libwebp from Debian's source packages for every
# triple in DEPS_TRIPLES, into a cache shared by all work trees:
#
#   $RASTELLE_DEPS_CACHE/                 (default ~/.cache/rastelle-deps)
#     downloads/<pkg>/                    .dsc, .orig.tar.*, .debian.tar.*
#     <triple>/<pkg>-<version>/           include/ lib/ build.log .complete
#     <triple>/prefix/                    include/ lib/ (symlinks to all of the
#                                         above plus the mingw static zlib) and
#                                         deps.txt (what the prefix holds)
#
# A package is rebuilt when Debian's source version changes or when its
# recipe changes (build function, toolchain file or cross compiler): the
# .complete stamp records a hash of those. `deps_prefix <triple>` prints the
# prefix to hand to CMake as -DRASTELLE_DEPS_PREFIX=...; without sourcing:
#   bash scripts/lib/deps.sh deps_prefix x86_64-w64-mingw32

readonly DEB_PACKAGES=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
  wine wine64 libwine-dev fonts-liberation
  libz-mingw-w64-dev nasm autoconf automake libtool xz-utils
  googletest libgtest-dev libbenchmark-dev zlib1g-dev liblcms2-dev
  imagemagick libtiff-tools libjpeg-turbo-progs webp python3 python3-pil python3-numpy
  libjpeg62-turbo-dev libspng-dev libdeflate-dev libwebp-dev libtiff-dev libgif-dev chromium clang
)

readonly DEPS_TRIPLES=(x86_64-w64-mingw32 i686-w64-mingw32)
# libjpeg-turbo comes before tiff: libtiff's JPEG codecs are built over it.
readonly DEPS_SOURCE_PACKAGES=(libjpeg-turbo tiff lcms2 giflib libspng libdeflate libwebp)

_DEPS_SH=$(readlink -f "${BASH_SOURCE[0]}")
_DEPS_REPO=$(cd "$(dirname "$_DEPS_SH")/../.." && pwd)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
  local missing=()
  for p in "${DEB_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "bootstrap: installing ${missing[*]}"
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# ---------------------------------------------------------------------------
# deb-src entries
# ---------------------------------------------------------------------------

readonly DEPS_SRC_SOURCES=/etc/apt/sources.list.d/rastelle-src.sources
readonly DEPS_SRC_LIST=/etc/apt/sources.list.d/rastelle-src.list

# Reads apt source files (deb822 *.sources and one-line *.list) and writes,
# for every binary entry of this release (suite = codename or codename-*)
# that has no source entry yet, the matching source entry: deb822 stanzas to
# the file named by -v out822, one-line entries to -v outlist. Keys embedded
# in Signed-By (continuation lines) are carried over verbatim.
_DEPS_SRC_AWK='
function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
function release_suites(list,    n, s, k, keep) {
  n = split(list, s, /[ \t\n]+/); keep = ""
  for (k = 1; k <= n; k++)
    if (s[k] == codename || index(s[k], codename "-") == 1) keep = keep (keep == "" ? "" : " ") s[k]
  return keep
}
function has_word(list, w) { return index(" " list " ", " " w " ") > 0 }
function flush(    types, uris, suites, n, u, k) {
  if (instanza) {
    types = " " val["types"] " "; gsub(/[ \t\n]+/, " ", types)
    uris = trim(val["uris"]); gsub(/[ \t\n]+/, " ", uris)
    if (tolower(trim(val["enabled"])) != "no") {
      if (index(types, " deb-src ")) {
        n = split(uris, u, " "); split(val["suites"], s2, /[ \t\n]+/)
        for (k = 1; k <= n; k++) for (j in s2) if (s2[j] != "") have[u[k] " " s2[j]] = 1
      } else if (index(types, " deb ")) {
        suites = release_suites(val["suites"])
        if (suites != "" && uris != "") {
          ns++; s_uris[ns] = uris; s_suites[ns] = suites
          s_comps[ns] = trim(val["components"]); gsub(/[ \t\n]+/, " ", s_comps[ns])
          s_signed[ns] = val["signed-by"]
        }
      }
    }
  }
  instanza = 0; cur = ""; split("", val)
}
FNR == 1 { flush() }
FILENAME ~ /\.list$/ {
  line = $0; sub(/#.*/, "", line); n = split(line, f, /[ \t]+/)
  i = 1; if (f[1] == "") i = 2
  type = f[i++]; if (type != "deb" && type != "deb-src") next
  opts = ""
  if (substr(f[i], 1, 1) == "[") {
    while (i <= n) { opts = opts (opts == "" ? "" : " ") f[i]; if (f[i++] ~ /\]$/) break }
  }
  uri = f[i++]; suite = f[i++]; comps = ""
  while (i <= n) { if (f[i] != "") comps = comps (comps == "" ? "" : " ") f[i]; i++ }
  if (type == "deb-src") { have[uri " " suite] = 1; next }
  if (release_suites(suite) == "" || uri == "") next
  nl++; l_opts[nl] = opts; l_uri[nl] = uri; l_suite[nl] = suite; l_comps[nl] = comps
  next
}
/^#/ { next }
/^[ \t]*$/ { flush(); next }
/^[ \t]/ { if (cur != "") val[cur] = val[cur] "\n" $0; next }
{
  i = index($0, ":"); if (!i) next
  cur = tolower(trim(substr($0, 1, i - 1))); val[cur] = trim(substr($0, i + 1)); instanza = 1
}
END {
  flush()
  for (k = 1; k <= ns; k++) {
    n = split(s_uris[k], u, " "); m = split(s_suites[k], s, " "); keep = ""
    for (j = 1; j <= m; j++) {
      covered = 1
      for (i = 1; i <= n; i++) if (!((u[i] " " s[j]) in have)) covered = 0
      if (!covered) keep = keep (keep == "" ? "" : " ") s[j]
    }
    if (keep == "") continue
    print "Types: deb-src" > out822
    print "URIs: " s_uris[k] > out822
    print "Suites: " keep > out822
    if (s_comps[k] != "") print "Components: " s_comps[k] > out822
    if (s_signed[k] != "") print "Signed-By:" (substr(s_signed[k], 1, 1) == "\n" ? "" : " ") s_signed[k] > out822
    print "" > out822
  }
  for (k = 1; k <= nl; k++) {
    if ((l_uri[k] " " l_suite[k]) in have) continue
    print "deb-src " (l_opts[k] == "" ? "" : l_opts[k] " ") l_uri[k] " " l_suite[k] " " l_comps[k] > outlist
  }
}'

# Makes file $1 hold the content of $2 (removed when $2 is empty); sets
# _deps_changed=1 when that changed anything.
_deps_sync_file() {
  local dest=$1 new=$2
  if [ ! -s "$new" ]; then
    [ -e "$dest" ] || return 0
    as_root rm -f "$dest" || return 1
  else
    if [ -f "$dest" ] && cmp -s "$dest" "$new"; then return 0; fi
    as_root install -m 0644 "$new" "$dest" || return 1
  fi
  _deps_changed=1
}

# Adds source entries (deb-src) mirroring the machine's binary entries for
# this release, so that `apt-get source` works; refreshes the package lists
# only when the entries were just added or changed, or no source index has
# been downloaded yet.
enable_source_packages() {
  local codename tmp files=()
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if [ -z "$codename" ]; then
    echo "bootstrap: cannot tell the release codename from /etc/os-release" >&2
    return 1
  fi
  [ -f /etc/apt/sources.list ] && files+=(/etc/apt/sources.list)
  local f
  for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    if [ "$f" = "$DEPS_SRC_SOURCES" ] || [ "$f" = "$DEPS_SRC_LIST" ]; then continue; fi
    files+=("$f")
  done
  if [ ${#files[@]} -eq 0 ]; then
    echo "bootstrap: no apt sources found under /etc/apt" >&2
    return 1
  fi
  tmp=$(mktemp -d)
  : >"$tmp/src.sources"
  : >"$tmp/src.list"
  awk -v codename="$codename" -v out822="$tmp/src.sources" -v outlist="$tmp/src.list" \
    "$_DEPS_SRC_AWK" "${files[@]}" || { rm -rf "$tmp"; return 1; }
  if [ -s "$tmp/src.sources" ]; then
    { echo "# Source entries for apt-get source, derived by Rastelle's scripts/bootstrap.sh"
      echo "# from this machine's binary entries. Safe to delete."
      echo
      cat "$tmp/src.sources"; } >"$tmp/rastelle-src.sources"
  else
    : >"$tmp/rastelle-src.sources"
  fi
  if [ -s "$tmp/src.list" ]; then
    { echo "# Source entries for apt-get source, derived by Rastelle's scripts/bootstrap.sh"
      cat "$tmp/src.list"; } >"$tmp/rastelle-src.list"
  else
    : >"$tmp/rastelle-src.list"
  fi
  _deps_changed=0
  if ! { _deps_sync_file "$DEPS_SRC_SOURCES" "$tmp/rastelle-src.sources" &&
         _deps_sync_file "$DEPS_SRC_LIST" "$tmp/rastelle-src.list"; }; then
    rm -rf "$tmp"
    echo "bootstrap: cannot write the apt source entries" >&2
    return 1
  fi
  rm -rf "$tmp"
  if [ "$_deps_changed" = 1 ] || ! compgen -G '/var/lib/apt/lists/*_Sources*' >/dev/null; then
    echo "bootstrap: enabling Debian source packages (apt-get update)"
    as_root apt-get update -qq || return 1
  fi
}

# ---------------------------------------------------------------------------
# Cross-built static dependencies
# ---------------------------------------------------------------------------

deps_cache_dir() { echo "${RASTELLE_DEPS_CACHE:-$HOME/.cache/rastelle-deps}"; }

# Prints the install prefix (include/, lib/) of the dependencies for a triple.
deps_prefix() {
  local triple=${1:?usage: deps_prefix <triple>}
  echo "$(deps_cache_dir)/$triple/prefix"
}

_deps_toolchain_file() {
  case $1 in
    x86_64-w64-mingw32) echo "$_DEPS_REPO/cmake/toolchains/mingw-x86_64.cmake" ;;
    i686-w64-mingw32) echo "$_DEPS_REPO/cmake/toolchains/mingw-i686.cmake" ;;
    *) echo "deps: unknown triple $1" >&2; return 1 ;;
  esac
}

# Prints the versions of a source package that apt knows, newest first.
_deps_source_versions() {
  local v versions=() sorted=() i
  while read -r v; do versions+=("$v"); done < <(
    apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -u)
  # Insertion sort with dpkg's version ordering (a handful of entries).
  for v in "${versions[@]}"; do
    i=${#sorted[@]}
    sorted+=("$v")
    while [ "$i" -gt 0 ] && dpkg --compare-versions "${sorted[i-1]}" lt "$v"; do
      sorted[i]=${sorted[i-1]}
      i=$((i - 1))
    done
    sorted[i]=$v
  done
  if [ ${#sorted[@]} -gt 0 ]; then printf '%s\n' "${sorted[@]}"; fi
}

# Hash of everything that decides how a package is built for a triple.
_deps_recipe_hash() {
  local pkg=$1 triple=$2 gcc
  gcc=$(command -v "$triple-gcc") || { echo "deps: $triple-gcc not found" >&2; return 1; }
  {
    declare -f "_deps_build_$pkg" _deps_cmake_common
    cat "$(_deps_toolchain_file "$triple")"
    readlink -f "$gcc"
    "$triple-gcc" -dumpfullversion
  } | sha256sum | cut -c1-16
}

# --- per-package builders: run in a child shell with -euo pipefail ---------
# Arguments: triple, source dir, build dir, install dir.

_deps_cmake_common() {
  local triple=$1 src=$2 build=$3 dest=$4; shift 4
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$(_deps_toolchain_file "$triple")" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$dest" \
    -DCMAKE_INSTALL_LIBDIR=lib \
    -DCMAKE_INSTALL_INCLUDEDIR=include \
    "$@"
}

_deps_build_tiff() {
  local triple=$1 src=$2 build=$3 dest=$4 jpeg
  # Of the optional codecs zlib (Deflate, PixarLog), taken from mingw's static
  # libz.a so that the DLL needs no zlib1.dll, and JPEG and old-style JPEG
  # over our own libjpeg-turbo (built first), so that libtiff reads the JPEG
  # TIFFs the platform's decoder cannot.
  jpeg=$(ls -d "$(deps_cache_dir)/$triple/libjpeg-turbo-"[0-9]* | tail -n 1)
  [ -f "$jpeg/lib/libjpeg.a" ]
  _deps_cmake_common "$triple" "$src" "$build" "$dest" \
    -DBUILD_SHARED_LIBS=OFF \
    -Djpeg=ON -Dold-jpeg=ON -Djpeg12=OFF \
    -DJPEG_LIBRARY="$jpeg/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$jpeg/include" \
    -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Djbig=OFF \
    -Dlerc=OFF -Dlibdeflate=OFF \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
    -Dzlib=ON \
    -DZLIB_LIBRARY="/usr/$triple/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="/usr/$triple/include"
  cmake --build "$build" -j "$(nproc)"
  cmake --install "$build"
  # The build must really have zlib support compiled in.
  grep -q '^#define ZIP_SUPPORT' "$dest/include/tiffconf.h"
  grep -q '^#define JPEG_SUPPORT' "$dest/include/tiffconf.h"
  grep -q '^#define OJPEG_SUPPORT' "$dest/include/tiffconf.h"
}

_deps_build_lcms2() {
  local triple=$1 src=$2 build=$3 dest=$4
  mkdir -p "$build"
  cd "$build" || return 1
  "$src/configure" --host="$triple" --prefix="$dest" \
    --disable-shared --enable-static \
    --without-jpeg --without-tiff --without-zlib \
    CFLAGS="-O2"
  # Library and headers only: the sample utilities are not needed.
  make -j "$(nproc)" -C src
  make -C src install
  make -C include install
}

_deps_build_libjpeg_turbo() {
  local triple=$1 src=$2 build=$3 dest=$4
  # SIMD (nasm) works for both x86_64 and i686; require it so that a missing
  # assembler fails the build instead of silently giving a slower library.
  _deps_cmake_common "$triple" "$src" "$build" "$dest" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
    -DCMAKE_ASM_NASM_COMPILER=nasm
  # Only the static library and its headers (the tools are not needed).
  cmake --build "$build" -j "$(nproc)" --target jpeg-static
  mkdir -p "$dest/include" "$dest/lib"
  cp "$build/libjpeg.a" "$dest/lib/"
  cp "$src/jpeglib.h" "$src/jerror.h" "$src/jmorecfg.h" "$build/jconfig.h" "$dest/include/"
}

_deps_build_giflib() {
  local triple=$1 src=$2 build=$3 dest=$4
  # giflib's Makefile builds Unix shared libraries and tools; take the list of
  # library sources from it and compile those directly.
  local sources
  sources=$(make -s -C "$src" -f Makefile --no-print-directory \
    --eval 'rastelle-print-sources: ; @echo $(SOURCES)' rastelle-print-sources)
  [ -n "$sources" ]
  mkdir -p "$build" "$dest/include" "$dest/lib"
  local objs=() s
  for s in $sources; do
    "$triple-gcc" -O2 -std=gnu99 -Wall -c "$src/$s" -I"$src" -o "$build/${s%.c}.o"
    objs+=("$build/${s%.c}.o")
  done
  "$triple-ar" rcs "$dest/lib/libgif.a" "${objs[@]}"
  cp "$src/gif_lib.h" "$dest/include/"
}

_deps_build_libspng() {
  local triple=$1 src=$2 build=$3 dest=$4
  # One C file, over mingw's static zlib (the library's CMake build wants a
  # shared one); SSE2 on i686 too, as the DLL is built.
  local simd=()
  [ "$triple" = i686-w64-mingw32 ] && simd=(-msse2 -mfpmath=sse)
  mkdir -p "$build" "$dest/include" "$dest/lib"
  "$triple-gcc" -O2 -std=c99 "${simd[@]}" -DSPNG_STATIC -I"/usr/$triple/include" -c "$src/spng/spng.c" \
    -o "$build/spng.o"
  "$triple-ar" rcs "$dest/lib/libspng.a" "$build/spng.o"
  cp "$src/spng/spng.h" "$dest/include/"
}

_deps_build_libdeflate() {
  local triple=$1 src=$2 build=$3 dest=$4
  # The library's sources compiled directly (its Makefile builds Unix shared
  # libraries and programs); SSE2 on i686 too, as the DLL is built.
  local simd=() objs=() f
  [ "$triple" = i686-w64-mingw32 ] && simd=(-msse2 -mfpmath=sse)
  mkdir -p "$build" "$dest/include" "$dest/lib"
  for f in "$src"/lib/*.c "$src"/lib/x86/*.c; do
    "$triple-gcc" -O2 -std=c99 "${simd[@]}" -I"$src" -c "$f" -o "$build/$(basename "${f%.c}").o"
    objs+=("$build/$(basename "${f%.c}").o")
  done
  "$triple-ar" rcs "$dest/lib/libdeflate.a" "${objs[@]}"
  cp "$src/libdeflate.h" "$dest/include/"
}

_deps_build_libwebp() {
  local triple=$1 src=$2 build=$3 dest=$4
  # The libraries only (decoder, encoder, mux and demux); Debian's webp
  # package provides the native cwebp and dwebp the tests compare against.
  _deps_cmake_common "$triple" "$src" "$build" "$dest" \
    -DBUILD_SHARED_LIBS=OFF -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF \
    -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF \
    -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF \
    -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_LIBWEBPMUX=ON -DWEBP_USE_THREAD=ON
  cmake --build "$build" -j "$(nproc)"
  cmake --install "$build"
  [ -f "$dest/lib/libwebp.a" ] && [ -f "$dest/lib/libwebpmux.a" ] && [ -f "$dest/lib/libwebpdemux.a" ]
}

# Runs a builder in a fresh shell (so errexit holds whatever the caller's
# context), output appended to a log.
_deps_run_builder() {
  local log=$1; shift
  bash -c 'set -euo pipefail; source "$1"; shift; "$@"' _ "$_DEPS_SH" "$@" >>"$log" 2>&1
}

_deps_fail() {
  local msg=$1 log=$2
  echo "deps: $msg; last lines of $log:" >&2
  tail -n 40 "$log" | sed 's/^/  | /' >&2
  return 1
}

# True when every triple has a complete build of pkg at version (no epoch)
# made with the current recipe.
_deps_all_built() {
  local pkg=$1 version=$2 triple dir
  for triple in "${DEPS_TRIPLES[@]}"; do
    dir="$(deps_cache_dir)/$triple/$pkg-$version"
    [ -f "$dir/.complete" ] &&
      [ "$(cat "$dir/.complete")" = "recipe $(_deps_recipe_hash "${pkg//-/_}" "$triple")" ] ||
      return 1
  done
}

# Builds (or finds in the cache) one source package for all triples. Takes
# the newest version apt knows whose source files can be fetched: a mirror
# may list a security update in its index yet not serve its files. A version
# that could not be fetched is not asked for again for a day.
_deps_build_package() {
  local pkg=$1 cache full version dsc dl fetched=
  cache=$(deps_cache_dir)
  dl="$cache/downloads/$pkg"
  mkdir -p "$dl" "$cache/work"
  local fetchlog="$cache/work/$pkg.fetch.log"
  : >"$fetchlog"
  local versions
  versions=$(_deps_source_versions "$pkg")
  if [ -z "$versions" ]; then
    echo "deps: apt knows no source package '$pkg' (deb-src entries missing?)" >&2
    return 1
  fi
  for full in $versions; do
    version=${full#*:}
    dsc="${pkg}_$version.dsc"
    if _deps_all_built "$pkg" "$version"; then
      local t
      for t in "${DEPS_TRIPLES[@]}"; do echo "deps: $pkg $version $t: cached"; done
      rm -f "$fetchlog"
      return 0
    fi
    local marker="$dl/.unavailable-$version"
    if [ -n "$(find "$marker" -mmin -1440 2>/dev/null)" ]; then
      continue
    fi
    echo "== apt-get source $pkg=$full" >>"$fetchlog"
    if (cd "$dl" && apt-get source --download-only --only-source "$pkg=$full") >>"$fetchlog" 2>&1 &&
        [ -f "$dl/$dsc" ]; then
      rm -f "$marker"
      fetched=$full
      break
    fi
    touch "$marker"
    echo "deps: $pkg $version: source files not downloadable, trying an older version"
  done
  if [ -z "$fetched" ]; then
    _deps_fail "no version of the $pkg source package could be fetched" "$fetchlog"
    return 1
  fi

  local work="$cache/work/$pkg-$version"
  rm -rf "$work"
  mkdir -p "$work"
  dpkg-source --no-copy -x "$dl/$dsc" "$work/src" >>"$fetchlog" 2>&1 ||
    { _deps_fail "unpacking $dsc failed" "$fetchlog"; return 1; }

  local triple
  for triple in "${DEPS_TRIPLES[@]}"; do
    local dir="$cache/$triple/$pkg-$version" hash start log tmpdir
    tmpdir="$dir.partial"
    hash=$(_deps_recipe_hash "${pkg//-/_}" "$triple")
    if [ -f "$dir/.complete" ] && [ "$(cat "$dir/.complete")" = "recipe $hash" ]; then
      echo "deps: $pkg $version $triple: cached"
      continue
    fi
    rm -rf "$dir" "$tmpdir"
    mkdir -p "$tmpdir"
    log="$tmpdir/build.log"
    start=$(date +%s)
    if ! _deps_run_builder "$log" "_deps_build_${pkg//-/_}" \
        "$triple" "$work/src" "$work/build-$triple" "$tmpdir"; then
      _deps_fail "building $pkg $version for $triple failed" "$log"
      return 1
    fi
    echo "recipe $hash" >"$tmpdir/.complete"
    mv "$tmpdir" "$dir"
    # Drop builds of other versions of this package.
    local old
    for old in "$cache/$triple/$pkg-"[0-9]*; do
      if [ -d "$old" ] && [ "$old" != "$dir" ]; then rm -rf "$old"; fi
    done
    echo "deps: $pkg $version $triple: built in $(( $(date +%s) - start )) s"
  done
  rm -rf "$work" "$fetchlog"
  # Keep only this version's source files.
  local f
  for f in "$dl"/*; do
    case $(basename "$f") in
      "$dsc" | "${pkg}_${version%-*}".orig* | "${pkg}_${version}".*) ;;
      *) rm -f "$f" ;;
    esac
  done
}

# (Re)creates <triple>/prefix: include/ and lib/ gathering every package's
# files plus the mingw static zlib, as symlinks. Left alone when unchanged.
_deps_make_prefix() {
  local triple=$1 cache pkg dir manifest
  cache=$(deps_cache_dir)
  local prefix="$cache/$triple/prefix"
  manifest=$(
    for pkg in "${DEPS_SOURCE_PACKAGES[@]}"; do
      for dir in "$cache/$triple/$pkg-"[0-9]*; do
        [ -f "$dir/.complete" ] && echo "$pkg $(basename "$dir") $(cat "$dir/.complete")"
      done
    done
    echo "zlib zlib-$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev 2>/dev/null) /usr/$triple/lib/libz.a"
  )
  if [ -f "$prefix/deps.txt" ] && [ "$(cat "$prefix/deps.txt")" = "$manifest" ]; then
    return 0
  fi
  local tmp="$prefix.partial"
  rm -rf "$tmp"
  mkdir -p "$tmp/include" "$tmp/lib"
  for pkg in "${DEPS_SOURCE_PACKAGES[@]}"; do
    for dir in "$cache/$triple/$pkg-"[0-9]*; do
      [ -f "$dir/.complete" ] || continue
      cp -rs "$dir/include/"* "$tmp/include/"
      local a
      for a in "$dir"/lib/*.a; do ln -s "$a" "$tmp/lib/"; done
    done
  done
  ln -s "/usr/$triple/lib/libz.a" "$tmp/lib/libz.a"
  ln -s "/usr/$triple/include/zlib.h" "$tmp/include/zlib.h"
  ln -s "/usr/$triple/include/zconf.h" "$tmp/include/zconf.h"
  echo "$manifest" >"$tmp/deps.txt"
  rm -rf "$prefix"
  mv "$tmp" "$prefix"
  echo "deps: prefix for $triple: $prefix"
}

build_cross_dependencies() {
  local cache
  cache=$(deps_cache_dir)
  mkdir -p "$cache" || return 1
  # A fresh shell keeps errexit in force whatever the caller's context; the
  # lock lets several work trees share one cache.
  RASTELLE_DEPS_CACHE=$cache flock "$cache/.lock" \
    bash -c 'set -euo pipefail; source "$1"; _deps_build_all' _ "$_DEPS_SH"
}

# Runs under set -euo pipefail (see build_cross_dependencies).
_deps_build_all() {
  local pkg triple
  for triple in "${DEPS_TRIPLES[@]}"; do
    [ -f "/usr/$triple/lib/libz.a" ] || {
      echo "deps: /usr/$triple/lib/libz.a missing (libz-mingw-w64-dev)" >&2
      return 1
    }
    _deps_toolchain_file "$triple" >/dev/null
  done
  for pkg in "${DEPS_SOURCE_PACKAGES[@]}"; do
    _deps_build_package "$pkg"
  done
  for triple in "${DEPS_TRIPLES[@]}"; do
    _deps_make_prefix "$triple"
  done
}

# Run directly: `bash scripts/lib/deps.sh deps_prefix <triple>`.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case ${1:-} in
    deps_prefix | deps_cache_dir) "$@" ;;
    *) echo "usage: $0 deps_prefix <triple> | deps_cache_dir" >&2; exit 2 ;;
  esac
fi
