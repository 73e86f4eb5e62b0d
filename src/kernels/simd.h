// SSE2 for the kernels. It is always there on x86_64, and our i686 build
// requires it; where the compiler was not told so (mingw's i686 default), the
// files that include this header are compiled for SSE2 all the same, with
// doubles in SSE registers: the kernels' results depend on IEEE double
// rounding, which the x87 unit's wider registers would change.
//
// Include this header first in a kernel source file, before any other.
#pragma once

#if defined(__GNUC__) && defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2,fpmath=sse")
#endif

#include "compiler.h"

#include <emmintrin.h>
#include <immintrin.h>

#if defined(__GNUC__)
// Containers of registers drop the may_alias attribute of the register
// types, which GCC reports; the kernels only access them as those types.
#pragma GCC diagnostic ignored "-Wignored-attributes"
#endif

// Functions with an AVX2 body: the rest of the file stays SSE2, and the
// caller picks the AVX2 function only where ActiveSimdLevel() allows it.
// Every helper such a function inlines needs the mark too.
#if defined(__GNUC__)
#define RASTELLE_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define RASTELLE_TARGET_AVX2
#endif

namespace rastelle::kernels {

// A register as an element of a container.
template <class V>
struct Slot {
    V v;
};

}  // namespace rastelle::kernels
