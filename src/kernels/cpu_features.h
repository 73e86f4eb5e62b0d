// Which vector instructions the kernels may use on this processor.
#pragma once

namespace rastelle::kernels {

enum class SimdLevel { Sse2, Avx2 };

// The widest level this processor and operating system support, checked
// once, capped by LimitSimdLevel. Kernels with an AVX2 path ask this before
// each call and otherwise run their SSE2 path, so one binary runs everywhere.
SimdLevel ActiveSimdLevel();

// Caps the level for the whole process (the tests run every path this way;
// a setting for diagnostics). Not meant to change while kernels run.
void LimitSimdLevel(SimdLevel highest);

}  // namespace rastelle::kernels
