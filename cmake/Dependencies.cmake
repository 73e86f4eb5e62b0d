# Static third-party libraries cross-built by scripts/bootstrap.sh.
#
# Defines the IMPORTED targets
#   deps::tiff   libtiff (links deps::jpeg and deps::zlib)
#   deps::lcms2  Little CMS 2
#   deps::jpeg   libjpeg-turbo (libjpeg API)
#   deps::gif    giflib
#   deps::zlib   mingw-w64's static zlib
# from RASTELLE_DEPS_PREFIX, the per-triple prefix printed by
#   bash -c 'source scripts/lib/deps.sh; deps_prefix x86_64-w64-mingw32'
# When it is not given, the prefix is looked for where bootstrap.sh puts it:
# ${RASTELLE_DEPS_CACHE:-$HOME/.cache/rastelle-deps}/<triple>/prefix, with the
# triple taken from the toolchain file (TOOLCHAIN_TRIPLE).

include_guard(GLOBAL)

if(NOT RASTELLE_DEPS_PREFIX AND TOOLCHAIN_TRIPLE)
  if(DEFINED ENV{RASTELLE_DEPS_CACHE} AND NOT "$ENV{RASTELLE_DEPS_CACHE}" STREQUAL "")
    set(_rastelle_deps_cache "$ENV{RASTELLE_DEPS_CACHE}")
  else()
    set(_rastelle_deps_cache "$ENV{HOME}/.cache/rastelle-deps")
  endif()
  set(_rastelle_deps_guess "${_rastelle_deps_cache}/${TOOLCHAIN_TRIPLE}/prefix")
  if(EXISTS "${_rastelle_deps_guess}/deps.txt")
    set(RASTELLE_DEPS_PREFIX "${_rastelle_deps_guess}" CACHE PATH
        "Prefix (include/, lib/) of the cross-built static dependencies" FORCE)
  endif()
endif()
set(RASTELLE_DEPS_PREFIX "${RASTELLE_DEPS_PREFIX}" CACHE PATH
    "Prefix (include/, lib/) of the cross-built static dependencies")

set(_rastelle_deps_libs
  tiff libtiff.a
  lcms2 liblcms2.a
  jpeg libjpeg.a
  gif libgif.a
  spng libspng.a
  deflate libdeflate.a
  webp libwebp.a
  webpmux libwebpmux.a
  webpdemux libwebpdemux.a
  zlib libz.a)
set(_rastelle_deps_headers tiffio.h lcms2.h jpeglib.h gif_lib.h spng.h libdeflate.h webp/decode.h webp/encode.h
    webp/mux.h webp/demux.h zlib.h)

set(_rastelle_deps_missing "")
if(NOT RASTELLE_DEPS_PREFIX)
  set(_rastelle_deps_missing "RASTELLE_DEPS_PREFIX is not set")
elseif(NOT IS_DIRECTORY "${RASTELLE_DEPS_PREFIX}")
  set(_rastelle_deps_missing "${RASTELLE_DEPS_PREFIX} does not exist")
else()
  set(_i 1)
  list(LENGTH _rastelle_deps_libs _n)
  while(_i LESS _n)
    list(GET _rastelle_deps_libs ${_i} _lib)
    if(NOT EXISTS "${RASTELLE_DEPS_PREFIX}/lib/${_lib}")
      string(APPEND _rastelle_deps_missing " lib/${_lib}")
    endif()
    math(EXPR _i "${_i} + 2")
  endwhile()
  foreach(_h IN LISTS _rastelle_deps_headers)
    if(NOT EXISTS "${RASTELLE_DEPS_PREFIX}/include/${_h}")
      string(APPEND _rastelle_deps_missing " include/${_h}")
    endif()
  endforeach()
  if(_rastelle_deps_missing)
    set(_rastelle_deps_missing "${RASTELLE_DEPS_PREFIX} lacks${_rastelle_deps_missing}")
  endif()
endif()
if(_rastelle_deps_missing)
  message(FATAL_ERROR
    "Cross-built dependencies not found: ${_rastelle_deps_missing}.\n"
    "Run scripts/bootstrap.sh to build them, then configure with\n"
    "  -DRASTELLE_DEPS_PREFIX=$(bash -c 'source scripts/lib/deps.sh; deps_prefix <triple>')")
endif()

set(_i 0)
list(LENGTH _rastelle_deps_libs _n)
while(_i LESS _n)
  list(GET _rastelle_deps_libs ${_i} _name)
  math(EXPR _j "${_i} + 1")
  list(GET _rastelle_deps_libs ${_j} _lib)
  if(NOT TARGET deps::${_name})
    add_library(deps::${_name} STATIC IMPORTED GLOBAL)
    set_target_properties(deps::${_name} PROPERTIES
      IMPORTED_LOCATION "${RASTELLE_DEPS_PREFIX}/lib/${_lib}"
      INTERFACE_INCLUDE_DIRECTORIES "${RASTELLE_DEPS_PREFIX}/include")
  endif()
  math(EXPR _i "${_i} + 2")
endwhile()
# libtiff calls libjpeg (its JPEG codecs) and zlib, so they follow it on the
# link line.
set_property(TARGET deps::tiff PROPERTY INTERFACE_LINK_LIBRARIES deps::jpeg deps::zlib)
# libspng inflates with zlib and is linked statically.
set_property(TARGET deps::spng PROPERTY INTERFACE_LINK_LIBRARIES deps::zlib)
set_property(TARGET deps::spng PROPERTY INTERFACE_COMPILE_DEFINITIONS SPNG_STATIC)
# The WebP container libraries call the codec library.
set_property(TARGET deps::webpmux PROPERTY INTERFACE_LINK_LIBRARIES deps::webp)
set_property(TARGET deps::webpdemux PROPERTY INTERFACE_LINK_LIBRARIES deps::webp)

if(EXISTS "${RASTELLE_DEPS_PREFIX}/deps.txt")
  file(STRINGS "${RASTELLE_DEPS_PREFIX}/deps.txt" _rastelle_deps_list)
  list(TRANSFORM _rastelle_deps_list REPLACE "^[^ ]+ ([^ ]+).*" "\\1")
  list(JOIN _rastelle_deps_list ", " _rastelle_deps_list)
  message(STATUS "Dependencies from ${RASTELLE_DEPS_PREFIX}: ${_rastelle_deps_list}")
endif()
