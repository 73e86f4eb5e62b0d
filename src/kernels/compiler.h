// Compiler spellings the portable code shares.
#pragma once

// For small helpers that must melt into their caller (the steps of unrolled
// networks and row loops) so that their values stay in registers.
#if defined(_MSC_VER)
#define RASTELLE_ALWAYS_INLINE __forceinline
#else
#define RASTELLE_ALWAYS_INLINE inline __attribute__((always_inline))
#endif

// The same for a lambda, written after its parameter list (left to the
// compiler's judgement where it has no such spelling).
#if defined(_MSC_VER)
#define RASTELLE_INLINE_LAMBDA
#else
#define RASTELLE_INLINE_LAMBDA __attribute__((always_inline))
#endif
