#include "simd.h"

#include "combine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "cpu_features.h"

// How the modes are computed. Every weighted mode (alpha blend, XOR, AND,
// OR) moves each byte d towards a target r by q = trunc(|r - d| * a * o * w)
// for a weight w that is fixed per call: 1/65025 for the alpha blend, the
// float k = 8454530 / 2^39 (just below 1/65025) for the logical modes. With
// t = |r - d| * a (at most 65025, a 16-bit lane) q is floor(t * M / 2^(32 + s))
// for a per-call multiplier M:
// - logical modes: M = o * 8454530 and s = 7. That is the exact value of the
//   double arithmetic (o * a * k * (r - d) has at most 49 significant bits,
//   so no double product rounds).
// - alpha blend: M = ceil(o * 2^32 / 65025), s = 0, which is floor(t * o /
//   65025) exactly: M exceeds o * 2^32 / 65025 by less than 1, so the error
//   t * (M - exact) / 2^32 < 65025 / 2^32 stays below 1/65025, the smallest
//   distance from a non-whole quotient to the next whole number. The double
//   factor of 1/65025 gives the same truncated quotient (the tests check every
//   (o * a, s - d) pair).
// The 16 x 32-bit product is three 16-bit multiplies (Scale16).

namespace rastelle::kernels {
namespace {

// q = floor(t * multiplier / 2^(32 + shift)); at opacity 255 over an opaque
// pixel, q = max(0, |r - d| - fullDecrement).
struct LayerWeight {
    std::uint32_t multiplier;
    int shift;
    std::uint8_t fullDecrement;
    bool full;
};

// One step of the C runtime's generator: state * 214013 + 2531011 (mod 2^32),
// and a jump of many steps in the same form.
struct LcgJump {
    std::uint32_t multiplier = 1, increment = 0;

    LcgJump then(const LcgJump& next) const {
        return {multiplier * next.multiplier, increment * next.multiplier + next.increment};
    }
};

constexpr LcgJump kLcgStep{214013u, 2531011u};

struct DissolveDraws {
    static constexpr int kLanes = 8;
    std::uint32_t seed;
    int threshold;        // change a pixel when its draw n < threshold
    LcgJump ahead[kLanes];  // ahead[i]: i + 1 steps
    LcgJump row;          // a row's worth of steps
};

struct Sse2Vector {
    using R = __m128i;
    static constexpr int kPixels = 4;
    static constexpr int kAllBytes = 0xFFFF;
    static R Load(const std::uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(std::uint32_t* p, R v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static R Zero() { return _mm_setzero_si128(); }
    static R Set8(char v) { return _mm_set1_epi8(v); }
    static R Set16(short v) { return _mm_set1_epi16(v); }
    static R Set32(int v) { return _mm_set1_epi32(v); }
    static R And(R a, R b) { return _mm_and_si128(a, b); }
    static R AndNot(R a, R b) { return _mm_andnot_si128(a, b); }
    static R Or(R a, R b) { return _mm_or_si128(a, b); }
    static R Xor(R a, R b) { return _mm_xor_si128(a, b); }
    static R Add8(R a, R b) { return _mm_add_epi8(a, b); }
    static R Sub8(R a, R b) { return _mm_sub_epi8(a, b); }
    static R SubsU8(R a, R b) { return _mm_subs_epu8(a, b); }
    static R MinU8(R a, R b) { return _mm_min_epu8(a, b); }
    static R UnpackLo8(R a, R b) { return _mm_unpacklo_epi8(a, b); }
    static R UnpackHi8(R a, R b) { return _mm_unpackhi_epi8(a, b); }
    static R PackUs16(R a, R b) { return _mm_packus_epi16(a, b); }
    template <int Imm>
    static R ShuffleLow16(R a) { return _mm_shufflelo_epi16(a, Imm); }
    template <int Imm>
    static R ShuffleHigh16(R a) { return _mm_shufflehi_epi16(a, Imm); }
    static R Add16(R a, R b) { return _mm_add_epi16(a, b); }
    static R Sub16(R a, R b) { return _mm_sub_epi16(a, b); }
    static R MulLo16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R MulHi16(R a, R b) { return _mm_mulhi_epu16(a, b); }
    static R CmpGt16(R a, R b) { return _mm_cmpgt_epi16(a, b); }
    static R Srl16(R a, __m128i n) { return _mm_srl_epi16(a, n); }
    static R Add32(R a, R b) { return _mm_add_epi32(a, b); }
    static R CmpEq32(R a, R b) { return _mm_cmpeq_epi32(a, b); }
    static R CmpGt32(R a, R b) { return _mm_cmpgt_epi32(a, b); }
    static R Srl32(R a, int n) { return _mm_srli_epi32(a, n); }
    // SSE2 multiplies only the even lanes into 64 bits: two of those, and
    // their low halves interleaved.
    static R MulLo32(R a, R b) {
        const R even = _mm_mul_epu32(a, b);
        const R odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                  _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
    }
    static int MoveMask8(R a) { return _mm_movemask_epi8(a); }
};

struct Avx2Vector {
    using R = __m256i;
    static constexpr int kPixels = 8;
    static constexpr int kAllBytes = -1;
    RASTELLE_TARGET_AVX2 static R Load(const std::uint32_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    RASTELLE_TARGET_AVX2 static void Store(std::uint32_t* p, R v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    RASTELLE_TARGET_AVX2 static R Zero() { return _mm256_setzero_si256(); }
    RASTELLE_TARGET_AVX2 static R Set8(char v) { return _mm256_set1_epi8(v); }
    RASTELLE_TARGET_AVX2 static R Set16(short v) { return _mm256_set1_epi16(v); }
    RASTELLE_TARGET_AVX2 static R Set32(int v) { return _mm256_set1_epi32(v); }
    RASTELLE_TARGET_AVX2 static R And(R a, R b) { return _mm256_and_si256(a, b); }
    RASTELLE_TARGET_AVX2 static R AndNot(R a, R b) { return _mm256_andnot_si256(a, b); }
    RASTELLE_TARGET_AVX2 static R Or(R a, R b) { return _mm256_or_si256(a, b); }
    RASTELLE_TARGET_AVX2 static R Xor(R a, R b) { return _mm256_xor_si256(a, b); }
    RASTELLE_TARGET_AVX2 static R Add8(R a, R b) { return _mm256_add_epi8(a, b); }
    RASTELLE_TARGET_AVX2 static R Sub8(R a, R b) { return _mm256_sub_epi8(a, b); }
    RASTELLE_TARGET_AVX2 static R SubsU8(R a, R b) { return _mm256_subs_epu8(a, b); }
    RASTELLE_TARGET_AVX2 static R MinU8(R a, R b) { return _mm256_min_epu8(a, b); }
    // The unpacks and the pack work within each 128-bit half; used in
    // pairs, they put every byte back in its place.
    RASTELLE_TARGET_AVX2 static R UnpackLo8(R a, R b) { return _mm256_unpacklo_epi8(a, b); }
    RASTELLE_TARGET_AVX2 static R UnpackHi8(R a, R b) { return _mm256_unpackhi_epi8(a, b); }
    RASTELLE_TARGET_AVX2 static R PackUs16(R a, R b) { return _mm256_packus_epi16(a, b); }
    template <int Imm>
    RASTELLE_TARGET_AVX2 static R ShuffleLow16(R a) { return _mm256_shufflelo_epi16(a, Imm); }
    template <int Imm>
    RASTELLE_TARGET_AVX2 static R ShuffleHigh16(R a) { return _mm256_shufflehi_epi16(a, Imm); }
    RASTELLE_TARGET_AVX2 static R Add16(R a, R b) { return _mm256_add_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static R Sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static R MulLo16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static R MulHi16(R a, R b) { return _mm256_mulhi_epu16(a, b); }
    RASTELLE_TARGET_AVX2 static R CmpGt16(R a, R b) { return _mm256_cmpgt_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static R Srl16(R a, __m128i n) { return _mm256_srl_epi16(a, n); }
    RASTELLE_TARGET_AVX2 static R Add32(R a, R b) { return _mm256_add_epi32(a, b); }
    RASTELLE_TARGET_AVX2 static R CmpEq32(R a, R b) { return _mm256_cmpeq_epi32(a, b); }
    RASTELLE_TARGET_AVX2 static R CmpGt32(R a, R b) { return _mm256_cmpgt_epi32(a, b); }
    RASTELLE_TARGET_AVX2 static R Srl32(R a, int n) { return _mm256_srli_epi32(a, n); }
    RASTELLE_TARGET_AVX2 static R MulLo32(R a, R b) { return _mm256_mullo_epi32(a, b); }
    RASTELLE_TARGET_AVX2 static int MoveMask8(R a) { return _mm256_movemask_epi8(a); }
};

}  // namespace
}  // namespace rastelle::kernels

#define RASTELLE_COMBINE_PASS sse2
#define RASTELLE_COMBINE_VECTOR Sse2Vector
#define RASTELLE_COMBINE_TARGET
#include "combine_rows.inl"
#undef RASTELLE_COMBINE_PASS
#undef RASTELLE_COMBINE_VECTOR
#undef RASTELLE_COMBINE_TARGET
#define RASTELLE_COMBINE_PASS avx2
#define RASTELLE_COMBINE_VECTOR Avx2Vector
#define RASTELLE_COMBINE_TARGET RASTELLE_TARGET_AVX2
#include "combine_rows.inl"
#undef RASTELLE_COMBINE_PASS
#undef RASTELLE_COMBINE_VECTOR
#undef RASTELLE_COMBINE_TARGET

namespace rastelle::kernels {
namespace {

// The start of the overlap on one axis, in the layer and on the background,
// and its length. 64-bit, so that any offset can be negated.
struct Span {
    int source, background, length;
};

Span ClipAxis(int layerSize, int backgroundSize, int offset) {
    const std::int64_t o = offset;
    const std::int64_t source = o <= 0 ? std::min<std::int64_t>(-o, layerSize) : 0;
    const std::int64_t background = o >= 0 ? std::min<std::int64_t>(o, backgroundSize) : 0;
    const std::int64_t length = std::min(layerSize - source, backgroundSize - background);
    return {static_cast<int>(source), static_cast<int>(background), static_cast<int>(std::max<std::int64_t>(0, length))};
}

template <CombineMode M>
void Weighted(const ConstImageView& layer, const ImageView& background, const LayerWeight& weight) {
    if (ActiveSimdLevel() == SimdLevel::Avx2) avx2::WeightedRows<M>(layer, background, weight);
    else sse2::WeightedRows<M>(layer, background, weight);
}

void Dissolve(const ConstImageView& layer, const ImageView& background, int opacity) {
    DissolveDraws draws{};
    draws.seed = 17;
    // o * 32767 > n * 255 holds for exactly the n below ceil(o * 32767 / 255).
    draws.threshold = (opacity * 32767 + 254) / 255;
    LcgJump jump;
    for (int i = 0; i < DissolveDraws::kLanes; ++i) draws.ahead[i] = jump = jump.then(kLcgStep);
    for (int x = 0; x < background.width; ++x) draws.row = draws.row.then(kLcgStep);
    if (ActiveSimdLevel() == SimdLevel::Avx2) avx2::DissolveRows(layer, background, draws);
    else sse2::DissolveRows(layer, background, draws);
}

}  // namespace

LayerOverlap ClipLayer(int sw, int sh, int dw, int dh, int ox, int oy) noexcept {
    assert(sw >= 0 && sh >= 0 && dw >= 0 && dh >= 0);
    const Span x = ClipAxis(sw, dw, ox), y = ClipAxis(sh, dh, oy);
    return {x.source, y.source, x.background, y.background, x.length, y.length};
}

void CombineLayer(CombineMode mode, const ConstImageView& layer, const ImageView& background, int opacity) noexcept {
    assert(layer.width == background.width && layer.height == background.height);
    const int o = std::clamp(opacity, 0, 255);
    // At opacity 0 no mode changes a byte, and dissolve draws nothing that
    // outlives the call.
    if (o == 0 || background.width <= 0 || background.height <= 0) return;
    const auto uo = static_cast<std::uint32_t>(o);
    const LayerWeight blend{static_cast<std::uint32_t>(((std::uint64_t{uo} << 32) + 65024) / 65025), 0, 0, o == 255};
    const LayerWeight logical{uo * 8454530u, 7, 1, o == 255};
    switch (mode) {
        case CombineMode::AlphaBlend: Weighted<CombineMode::AlphaBlend>(layer, background, blend); break;
        case CombineMode::Xor: Weighted<CombineMode::Xor>(layer, background, logical); break;
        case CombineMode::And: Weighted<CombineMode::And>(layer, background, logical); break;
        case CombineMode::Or: Weighted<CombineMode::Or>(layer, background, logical); break;
        case CombineMode::Dissolve: Dissolve(layer, background, o); break;
    }
}

}  // namespace rastelle::kernels
