#include "cpu_features.h"

#include <atomic>

#if defined(_MSC_VER) && !defined(__clang__)
#include <immintrin.h>
#include <intrin.h>
#endif

namespace rastelle::kernels {
namespace {

bool DetectAvx2() {
#if defined(_MSC_VER) && !defined(__clang__)
    int info[4] = {};
    __cpuid(info, 0);
    if (info[0] < 7) return false;
    __cpuid(info, 1);
    const bool osSavesYmm = (info[2] & (1 << 27)) != 0 && (_xgetbv(0) & 6) == 6;  // OSXSAVE, XMM and YMM state
    const bool avx = (info[2] & (1 << 28)) != 0;
    __cpuidex(info, 7, 0);
    return osSavesYmm && avx && (info[1] & (1 << 5)) != 0;
#elif defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // libgcc's check includes the operating system's support of the YMM state.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

std::atomic<int> g_limit{static_cast<int>(SimdLevel::Avx2)};

}  // namespace

SimdLevel ActiveSimdLevel() {
    static const SimdLevel detected = DetectAvx2() ? SimdLevel::Avx2 : SimdLevel::Sse2;
    const int limit = g_limit.load(std::memory_order_relaxed);
    return static_cast<int>(detected) < limit ? detected : static_cast<SimdLevel>(limit);
}

void LimitSimdLevel(SimdLevel highest) { g_limit.store(static_cast<int>(highest), std::memory_order_relaxed); }

}  // namespace rastelle::kernels
