// The arithmetic is the one resample.h defines; this file only decides how it
// runs: taps planned once per call, each source row premultiplied into float
// once (only the columns some tap reads) and filtered horizontally into a ring
// of rows that the vertical pass reads, with SSE2 vector loops and plain loops
// doing the same float operations in the same order.

// SSE2 throughout, with doubles and floats in SSE registers: the weights
// depend on IEEE double rounding and the sums on single rounding, which the
// x87 unit's wider registers would change. x86_64 always has SSE2; mingw's
// i686 default does not say so.
#if defined(__GNUC__) && defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2,fpmath=sse")
#endif

#include "resample.h"

#include "compiler.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

// Defining RASTELLE_RESAMPLE_SSE2 as 0 builds the plain loops alone.
#if !defined(RASTELLE_RESAMPLE_SSE2)
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define RASTELLE_RESAMPLE_SSE2 1
#else
#define RASTELLE_RESAMPLE_SSE2 0
#endif
#endif
#if RASTELLE_RESAMPLE_SSE2
#include <emmintrin.h>
#endif

namespace rastelle::kernels {
namespace {

constexpr float kFull = 65025.0f;

// The filtered rows kept for the vertical pass; wider outputs are done in
// strips of columns so that very tall filters stay within it.
constexpr std::size_t kRingBudgetBytes = std::size_t{8} << 20;

// Filters are cut to this width (in source pixels, per unit of support): one
// that wide covers any image many times over, and the cut bounds the work of a
// rectangle far larger than the image.
constexpr double kMaxSigma = 1048576.0;

std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {  // d > 0
    std::int64_t q = n / d;
    if (n % d != 0 && n < 0) --q;
    return q;
}

// The round-to-nearest of x / 255 for 0 <= x <= 65025 (never a tie).
std::uint32_t Div255(std::uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// Float to integer, rounded to nearest with ties to even, after clamping to
// 0..65025: the same conversion the vector loops do.
std::uint32_t RoundCoverage(float v) {
    v = std::min(std::max(v, 0.0f), kFull);
#if RASTELLE_RESAMPLE_SSE2
    return static_cast<std::uint32_t>(_mm_cvtss_si32(_mm_set_ss(v)));
#else
    return static_cast<std::uint32_t>(std::nearbyint(v));
#endif
}

// Sums (b, g, r, a) of premultiplied floats laid over the background.
std::uint32_t ComposeSums(const float* sums, std::uint32_t background) {
    PremultipliedPixel p;
    p.a = RoundCoverage(sums[3]);
    p.b = std::min(RoundCoverage(sums[0]), p.a);
    p.g = std::min(RoundCoverage(sums[1]), p.a);
    p.r = std::min(RoundCoverage(sums[2]), p.a);
    return ComposeOver(p, background);
}

// ---- geometry ------------------------------------------------------------

// One axis of the mapping: source offset x and length w of the rectangle onto
// outN output pixels, over an image of `size` pixels.
struct AxisMap {
    std::int64_t x, w, outN, size;

    // Twice the centre of output pixel X times outN: 2 * outN * u.
    std::int64_t CentreScaled(std::int64_t X) const { return 2 * x * outN + (2 * X + 1) * w; }

    // The first output index whose scaled centre reaches `target` (outN if none).
    std::int64_t FirstReaching(std::int64_t target) const {
        std::int64_t lo = 0, hi = outN;
        while (lo < hi) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            if (CentreScaled(mid) >= target) hi = mid;
            else lo = mid + 1;
        }
        return lo;
    }
    // Covered outputs: their centres lie in [0, size).
    int CoveredLo() const { return static_cast<int>(FirstReaching(0)); }
    int CoveredHi() const { return static_cast<int>(std::max(FirstReaching(2 * size * outN), FirstReaching(0))); }

    // The source pixel that contains the centre of output X.
    std::int64_t Nearest(std::int64_t X) const { return x + (2 * X + 1) * w / (2 * outN); }
};

double Triangle(double t) {
    const double r = std::fabs(t);
    return r < 1.0 ? 1.0 - r : 0.0;
}

double Cubic(double t) {
    const double r = std::fabs(t);
    if (r <= 1.0) return (1.5 * r - 2.5) * r * r + 1.0;
    if (r < 2.0) return ((-0.5 * r + 2.5) * r - 4.0) * r + 2.0;
    return 0.0;
}

// Taps of every covered output on one axis: output j (counted from the first
// covered one) reads source pixels first[j] ... first[j] + count[j] - 1 with
// weights[j * stride ...], zero beyond count[j].
struct AxisTaps {
    int coveredLo = 0, coveredHi = 0;
    int stride = 0;  // the longest count
    std::vector<std::int32_t> first, count;
    std::vector<float> weights;
};

AxisTaps PlanTaps(const AxisMap& map, ResampleMode mode) {
    AxisTaps taps;
    taps.coveredLo = map.CoveredLo();
    taps.coveredHi = map.CoveredHi();
    const int n = taps.coveredHi - taps.coveredLo;
    if (n <= 0) return taps;

    const bool cubic = mode == ResampleMode::Bicubic || mode == ResampleMode::HighQualityBicubic;
    const bool widened = mode == ResampleMode::HighQualityBilinear || mode == ResampleMode::HighQualityBicubic;
    double (*kernel)(double) = cubic ? Cubic : Triangle;
    const double support = cubic ? 2.0 : 1.0;
    const double reduction = static_cast<double>(map.w) / static_cast<double>(map.outN);
    const double sigma = widened && reduction > 1.0 ? std::min(reduction, kMaxSigma) : 1.0;
    // Taps k = i - i0 from -reach to reach cover every nonzero weight.
    const std::int64_t reach = static_cast<std::int64_t>(std::ceil(support * sigma)) + 1;
    const std::int64_t last = map.size - 1;

    std::vector<double> folded;
    std::vector<float> all;  // count[j] weights per output, packed
    taps.first.resize(static_cast<std::size_t>(n));
    taps.count.resize(static_cast<std::size_t>(n));
    const std::int64_t d = 2 * map.outN;
    for (int j = 0; j < n; ++j) {
        const std::int64_t num = (2 * static_cast<std::int64_t>(taps.coveredLo + j) + 1) * map.w - map.outN;
        const std::int64_t q = FloorDiv(num, d);
        const std::int64_t i0 = map.x + q;
        const double f = static_cast<double>(num - q * d) / static_cast<double>(d);
        auto raw = [&](std::int64_t k) { return kernel((static_cast<double>(k) - f) / sigma); };

        double sum = 0.0;
        for (std::int64_t k = -reach; k <= reach; ++k) sum += raw(k);
        const std::int64_t lo = std::clamp<std::int64_t>(i0 - reach, 0, last);
        const std::int64_t hi = std::clamp<std::int64_t>(i0 + reach, 0, last);
        folded.assign(static_cast<std::size_t>(hi - lo + 1), 0.0);
        for (std::int64_t k = -reach; k <= reach; ++k) {
            const std::int64_t i = std::clamp<std::int64_t>(i0 + k, 0, last);
            folded[static_cast<std::size_t>(i - lo)] += raw(k) / sum;
        }
        std::size_t b = 0, e = folded.size();
        while (b + 1 < e && static_cast<float>(folded[b]) == 0.0f) ++b;
        while (e > b + 1 && static_cast<float>(folded[e - 1]) == 0.0f) --e;
        taps.first[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(lo + static_cast<std::int64_t>(b));
        taps.count[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(e - b);
        taps.stride = std::max(taps.stride, static_cast<int>(e - b));
        for (std::size_t t = b; t < e; ++t) all.push_back(static_cast<float>(folded[t]));
    }

    const auto stride = static_cast<std::size_t>(taps.stride);
    taps.weights.assign(static_cast<std::size_t>(n) * stride, 0.0f);
    std::size_t from = 0;
    for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j) {
        const auto c = static_cast<std::size_t>(taps.count[j]);
        std::copy_n(all.data() + from, c, taps.weights.data() + j * stride);
        from += c;
    }
    return taps;
}

// ---- row loops -----------------------------------------------------------

void PremultiplyPixel(std::uint32_t argb, float* to) {
    const PremultipliedPixel p = Premultiply(argb);
    to[0] = static_cast<float>(p.b);
    to[1] = static_cast<float>(p.g);
    to[2] = static_cast<float>(p.r);
    to[3] = static_cast<float>(p.a);
}

// Straight 0xAARRGGBB pixels to premultiplied floats (c * a, ..., 255 * a).
void PremultiplyRow(const std::uint32_t* from, int n, float* to) {
    int i = 0;
#if RASTELLE_RESAMPLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i colourLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i alphaLane = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
    const __m128 by255 = _mm_set1_ps(255.0f);
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    auto store = [&](__m128i m, float* out) {  // two pixels' products, at most 65025: exact as unsigned
        _mm_storeu_ps(out, _mm_cvtepi32_ps(_mm_unpacklo_epi16(m, zero)));
        _mm_storeu_ps(out + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(m, zero)));
    };
    auto times = [&](__m128i px16) {  // (c * a, ..., a * 255) of two pixels
        __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(px16, 0xFF), 0xFF);
        a = _mm_or_si128(_mm_and_si128(a, colourLanes), alphaLane);
        return _mm_mullo_epi16(px16, a);
    };
    for (; i + 4 <= n; i += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i lo = _mm_unpacklo_epi8(px, zero), hi = _mm_unpackhi_epi8(px, zero);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(px, alphaBytes), alphaBytes)) == 0xFFFF) {
            // Opaque: every channel times 255, exact in float as in integers.
            float* out = to + 4 * i;
            _mm_storeu_ps(out, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)), by255));
            _mm_storeu_ps(out + 4, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)), by255));
            _mm_storeu_ps(out + 8, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)), by255));
            _mm_storeu_ps(out + 12, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)), by255));
        } else {
            store(times(lo), to + 4 * i);
            store(times(hi), to + 4 * i + 8);
        }
    }
#endif
    for (; i < n; ++i) PremultiplyPixel(from[i], to + 4 * i);
}

// The horizontal taps of one strip of outputs, laid out for the row loop.
// Outputs go in blocks of four; block b, tap k holds the four outputs'
// weights, each repeated over a pixel's four channels, so the loop multiplies
// without shuffling. Outputs that pad the last block have weight 0.
struct StripTaps {
    int outputs = 0, stride = 0;
    std::vector<std::int32_t> offset;  // per output (padded to blocks): first pixel in the line
    std::vector<float> weights;        // [block][k][output in block][channel]
};

void LayOutStrip(const AxisTaps& taps, int j0, int j1, const std::vector<std::int32_t>& lineIndex, StripTaps& strip) {
    strip.outputs = j1 - j0;
    strip.stride = taps.stride;
    const int blocks = (strip.outputs + 3) / 4;
    strip.offset.assign(static_cast<std::size_t>(blocks) * 4, 0);
    strip.weights.assign(static_cast<std::size_t>(blocks) * static_cast<std::size_t>(taps.stride) * 16, 0.0f);
    for (int j = 0; j < strip.outputs; ++j) {
        const auto at = static_cast<std::size_t>(j0 + j);
        strip.offset[static_cast<std::size_t>(j)] = lineIndex[static_cast<std::size_t>(taps.first[at])];
        const float* w = taps.weights.data() + at * static_cast<std::size_t>(taps.stride);
        for (int k = 0; k < taps.count[at]; ++k) {
            const auto tap = static_cast<std::size_t>((j / 4) * taps.stride + k);  // block j / 4, tap k
            float* to = strip.weights.data() + (tap * 4 + static_cast<std::size_t>(j % 4)) * 4;
            std::fill(to, to + 4, w[k]);
        }
    }
    for (int j = strip.outputs; j < blocks * 4; ++j)
        strip.offset[static_cast<std::size_t>(j)] = strip.offset[static_cast<std::size_t>(strip.outputs - 1)];
}

// Horizontal pass of one premultiplied line into out (four floats per
// output). Every output sums `stride` taps in ascending order. The vector loop
// starts each sum with its first product where the plain sum adds that to 0:
// the two differ at most in the sign of a zero, which no later step tells
// apart (the final clamp makes either zero 0). S is the stride when known.
template <int S>
void FilterRow(const float* line, const StripTaps& strip, float* out) {
    const int stride = S > 0 ? S : strip.stride;
    const int blocks = (strip.outputs + 3) / 4;
    const std::int32_t* offset = strip.offset.data();
    const float* w = strip.weights.data();
    for (int b = 0; b < blocks; ++b, offset += 4, w += 16 * static_cast<std::ptrdiff_t>(stride)) {
        const float* p0 = line + 4 * static_cast<std::ptrdiff_t>(offset[0]);
        const float* p1 = line + 4 * static_cast<std::ptrdiff_t>(offset[1]);
        const float* p2 = line + 4 * static_cast<std::ptrdiff_t>(offset[2]);
        const float* p3 = line + 4 * static_cast<std::ptrdiff_t>(offset[3]);
        const int here = std::min(4, strip.outputs - 4 * b);
#if RASTELLE_RESAMPLE_SSE2
        // Four independent sums hide the adds' latency.
        __m128 s0 = _mm_mul_ps(_mm_loadu_ps(w), _mm_loadu_ps(p0));
        __m128 s1 = _mm_mul_ps(_mm_loadu_ps(w + 4), _mm_loadu_ps(p1));
        __m128 s2 = _mm_mul_ps(_mm_loadu_ps(w + 8), _mm_loadu_ps(p2));
        __m128 s3 = _mm_mul_ps(_mm_loadu_ps(w + 12), _mm_loadu_ps(p3));
        for (int k = 1; k < stride; ++k) {
            const float* wk = w + 16 * k;
            s0 = _mm_add_ps(s0, _mm_mul_ps(_mm_loadu_ps(wk), _mm_loadu_ps(p0 + 4 * k)));
            s1 = _mm_add_ps(s1, _mm_mul_ps(_mm_loadu_ps(wk + 4), _mm_loadu_ps(p1 + 4 * k)));
            s2 = _mm_add_ps(s2, _mm_mul_ps(_mm_loadu_ps(wk + 8), _mm_loadu_ps(p2 + 4 * k)));
            s3 = _mm_add_ps(s3, _mm_mul_ps(_mm_loadu_ps(wk + 12), _mm_loadu_ps(p3 + 4 * k)));
        }
        float* o = out + 16 * static_cast<std::ptrdiff_t>(b);
        if (here == 4) {
            _mm_storeu_ps(o, s0);
            _mm_storeu_ps(o + 4, s1);
            _mm_storeu_ps(o + 8, s2);
            _mm_storeu_ps(o + 12, s3);
        } else {
            alignas(16) float s[16];
            _mm_store_ps(s, s0);
            _mm_store_ps(s + 4, s1);
            _mm_store_ps(s + 8, s2);
            _mm_store_ps(s + 12, s3);
            std::memcpy(o, s, sizeof(float) * 4 * static_cast<std::size_t>(here));
        }
#else
        const float* p[4] = {p0, p1, p2, p3};
        for (int m = 0; m < here; ++m) {
            float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            for (int k = 0; k < stride; ++k)
                for (int c = 0; c < 4; ++c) s[c] += w[16 * k + 4 * m] * p[m][4 * k + c];
            std::memcpy(out + 16 * static_cast<std::ptrdiff_t>(b) + 4 * m, s, sizeof s);
        }
#endif
    }
}

void FilterRowAnyStride(const float* line, const StripTaps& strip, float* out) {
    switch (strip.stride) {
    case 1: return FilterRow<1>(line, strip, out);
    case 2: return FilterRow<2>(line, strip, out);
    case 4: return FilterRow<4>(line, strip, out);
    default: return FilterRow<0>(line, strip, out);
    }
}

#if RASTELLE_RESAMPLE_SSE2
// One pixel's sums as integers: clamped to 0..65025, rounded to nearest even.
RASTELLE_ALWAYS_INLINE __m128i Coverage(__m128 s) {
    return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(s, _mm_setzero_ps()), _mm_set1_ps(kFull)));
}

// round(x / 255) in each lane, for 0 <= x <= 65025.
RASTELLE_ALWAYS_INLINE __m128i Div255(__m128i x) {
    x = _mm_add_epi32(x, _mm_set1_epi32(128));
    return _mm_srli_epi32(_mm_add_epi32(x, _mm_srli_epi32(x, 8)), 8);
}

// Four pixels of vertical sums to output pixels; opaque ones in vectors.
RASTELLE_ALWAYS_INLINE void ComposeFour(__m128 s0, __m128 s1, __m128 s2, __m128 s3, std::uint32_t background,
                                        std::uint32_t* out) {
    const __m128i v0 = Coverage(s0), v1 = Coverage(s1), v2 = Coverage(s2), v3 = Coverage(s3);
    // No value exceeds 65025, so the four alphas all equal it exactly when
    // their bitwise and has all of its bits.
    const __m128i all = _mm_and_si128(_mm_and_si128(v0, v1), _mm_and_si128(v2, v3));
    if (_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(all, _mm_set_epi32(65025, 0, 0, 0)))) & 8) {
        // Alpha 65025 everywhere: every colour is at most that, and becomes
        // its rounded 255th as alpha becomes 255.
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(Div255(v0), Div255(v1)),
                                               _mm_packs_epi32(Div255(v2), Div255(v3)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
        return;
    }
    alignas(16) std::uint32_t q[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(q), v0);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 4), v1);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 8), v2);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 12), v3);
    for (int m = 0; m < 4; ++m) {
        PremultipliedPixel p;
        p.a = q[4 * m + 3];
        p.b = std::min(q[4 * m], p.a);
        p.g = std::min(q[4 * m + 1], p.a);
        p.r = std::min(q[4 * m + 2], p.a);
        out[m] = ComposeOver(p, background);
    }
}
#endif

// Vertical pass for outputs 0 .. n - 1 of a strip: rows[k] holds the
// horizontal sums of the k-th row tap, weighted by w[k]; the first product
// starts the sum as in FilterRow. N is the count when known.
template <int N>
void FilterColumnsAndCompose(const float* const* rows, const float* w, int count, int n, std::uint32_t background,
                             std::uint32_t* out) {
    if constexpr (N > 0) count = N;
    int j = 0;
#if RASTELLE_RESAMPLE_SSE2
    // Up to four taps in registers; more in a loop.
    constexpr int k1 = N == 0 || N > 1 ? 1 : 0;  // the generic loop has at least 5 taps
    const __m128 w0 = _mm_set1_ps(w[0]), w1 = _mm_set1_ps(w[k1]);
    const __m128 w2 = _mm_set1_ps(w[N > 2 ? 2 : 0]), w3 = _mm_set1_ps(w[N > 3 ? 3 : 0]);
    const float *r0 = rows[0], *r1 = rows[k1], *r2 = rows[N > 2 ? 2 : 0], *r3 = rows[N > 3 ? 3 : 0];
    auto column = [&](std::ptrdiff_t at) {
        __m128 t = _mm_mul_ps(w0, _mm_loadu_ps(r0 + at));
        if constexpr (N == 0 || N > 1) t = _mm_add_ps(t, _mm_mul_ps(w1, _mm_loadu_ps(r1 + at)));
        if constexpr (N > 2) t = _mm_add_ps(t, _mm_mul_ps(w2, _mm_loadu_ps(r2 + at)));
        if constexpr (N > 3) t = _mm_add_ps(t, _mm_mul_ps(w3, _mm_loadu_ps(r3 + at)));
        if constexpr (N == 0)
            for (int k = 2; k < count; ++k)
                t = _mm_add_ps(t, _mm_mul_ps(_mm_set1_ps(w[k]), _mm_loadu_ps(rows[k] + at)));
        return t;
    };
    for (; j + 4 <= n; j += 4) {
        const std::ptrdiff_t at = 4 * static_cast<std::ptrdiff_t>(j);
        ComposeFour(column(at), column(at + 4), column(at + 8), column(at + 12), background, out + j);
    }
#endif
    for (; j < n; ++j) {
        float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int k = 0; k < count; ++k)
            for (int c = 0; c < 4; ++c) s[c] += w[k] * rows[k][4 * j + c];
        out[j] = ComposeSums(s, background);
    }
}

void FilterColumnsAnyCount(const float* const* rows, const float* w, int count, int n, std::uint32_t background,
                           std::uint32_t* out) {
    // The generic loop takes the first two taps in registers.
    switch (count) {
    case 1: return FilterColumnsAndCompose<1>(rows, w, count, n, background, out);
    case 2: return FilterColumnsAndCompose<2>(rows, w, count, n, background, out);
    case 3: return FilterColumnsAndCompose<3>(rows, w, count, n, background, out);
    case 4: return FilterColumnsAndCompose<4>(rows, w, count, n, background, out);
    default: return FilterColumnsAndCompose<0>(rows, w, count, n, background, out);
    }
}

// ---- the modes -----------------------------------------------------------

void ResampleNearest(const ConstImageView& src, const AxisMap& mx, const AxisMap& my, int x0, int x1, int y0, int y1,
                     const ImageView& dst, std::uint32_t background) {
    std::vector<std::int32_t> column(static_cast<std::size_t>(x1 - x0));
    for (int X = x0; X < x1; ++X) column[static_cast<std::size_t>(X - x0)] = static_cast<std::int32_t>(mx.Nearest(X));
    for (int Y = y0; Y < y1; ++Y) {
        const std::uint32_t* from = src.row(static_cast<int>(my.Nearest(Y)));
        std::uint32_t* to = dst.row(Y) + x0;
        std::uint32_t lastIn = 0, lastOut = background;  // a transparent 0 gives the background
        for (int X = 0; X < x1 - x0; ++X) {
            const std::uint32_t p = from[column[static_cast<std::size_t>(X)]];
            if ((p >> 24) == 255) {
                to[X] = p;
            } else {
                if (p != lastIn) lastIn = p, lastOut = ComposeOver(Premultiply(p), background);
                to[X] = lastOut;
            }
        }
    }
}

void ResampleFiltered(const ConstImageView& src, const AxisMap& mx, const AxisMap& my, ResampleMode mode,
                      const ImageView& dst, std::uint32_t background) {
    const AxisTaps tx = PlanTaps(mx, mode);
    const AxisTaps ty = PlanTaps(my, mode);
    const int nx = tx.coveredHi - tx.coveredLo;
    const int ny = ty.coveredHi - ty.coveredLo;
    const int ring = ty.stride;
    const std::size_t columnBytes = static_cast<std::size_t>(ring) * 16;  // one output column in every slot
    const int stripWidth = static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(nx),
                              std::max<std::size_t>(kRingBudgetBytes / columnBytes, 4) / 4 * 4));

    StripTaps strip;
    std::vector<std::int32_t> used;      // source columns the strip reads, ascending
    std::vector<std::int32_t> lineIndex;  // source column -> its place in the line
    std::vector<float> line, slots;
    std::vector<std::int64_t> held(static_cast<std::size_t>(ring));
    std::vector<const float*> rows(static_cast<std::size_t>(ring));
    for (int j0 = 0; j0 < nx; j0 += stripWidth) {
        const int j1 = std::min(nx, j0 + stripWidth);
        const int width = j1 - j0;
        // Premultiply only the columns some tap reads: a plain reduction
        // leaves most of them out.
        int spanLo = tx.first[static_cast<std::size_t>(j0)], spanHi = spanLo;
        for (int j = j0; j < j1; ++j) {
            spanLo = std::min(spanLo, tx.first[static_cast<std::size_t>(j)]);
            spanHi = std::max(spanHi, tx.first[static_cast<std::size_t>(j)] + tx.count[static_cast<std::size_t>(j)]);
        }
        std::vector<char> reads(static_cast<std::size_t>(spanHi - spanLo), 0);
        for (int j = j0; j < j1; ++j) {
            const int at = tx.first[static_cast<std::size_t>(j)] - spanLo;
            std::fill_n(reads.begin() + at, tx.count[static_cast<std::size_t>(j)], char{1});
        }
        used.clear();
        lineIndex.assign(static_cast<std::size_t>(src.width), 0);
        for (int i = spanLo; i < spanHi; ++i)
            if (reads[static_cast<std::size_t>(i - spanLo)]) {
                lineIndex[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(used.size());
                used.push_back(i);
            }
        const bool dense = used.size() == static_cast<std::size_t>(spanHi - spanLo);
        LayOutStrip(tx, j0, j1, lineIndex, strip);
        // Taps past a short output's count read on, into zeros at the end.
        line.assign((used.size() + static_cast<std::size_t>(tx.stride)) * 4, 0.0f);
        const std::size_t slotFloats = static_cast<std::size_t>((width + 3) / 4 * 4) * 4;  // whole blocks of outputs
        slots.resize(static_cast<std::size_t>(ring) * slotFloats);
        std::fill(held.begin(), held.end(), -1);
        auto slot = [&](std::int64_t r) {
            return slots.data() + static_cast<std::size_t>(r % ring) * slotFloats;
        };

        for (int Y = 0; Y < ny; ++Y) {
            const int first = ty.first[static_cast<std::size_t>(Y)];
            const int count = ty.count[static_cast<std::size_t>(Y)];
            for (int k = 0; k < count; ++k) {
                const int r = first + k;
                float* s = slot(r);
                if (held[static_cast<std::size_t>(r % ring)] != r) {
                    const std::uint32_t* from = src.row(r);
                    if (dense) {
                        PremultiplyRow(from + spanLo, spanHi - spanLo, line.data());
                    } else {
                        for (std::size_t t = 0; t < used.size(); ++t)
                            PremultiplyPixel(from[used[t]], line.data() + 4 * t);
                    }
                    FilterRowAnyStride(line.data(), strip, s);
                    held[static_cast<std::size_t>(r % ring)] = r;
                }
                rows[static_cast<std::size_t>(k)] = s;
            }
            const float* w = ty.weights.data() + static_cast<std::size_t>(Y) * static_cast<std::size_t>(ty.stride);
            FilterColumnsAnyCount(rows.data(), w, count, width, background,
                                  dst.row(ty.coveredLo + Y) + tx.coveredLo + j0);
        }
    }
}

void FillSpan(std::uint32_t* row, int from, int to, std::uint32_t argb) {
    if (to > from) std::fill(row + from, row + to, argb);
}

}  // namespace

PremultipliedPixel Premultiply(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    return {(argb & 0xFF) * a, ((argb >> 8) & 0xFF) * a, ((argb >> 16) & 0xFF) * a, 255 * a};
}

std::uint32_t ComposeOver(const PremultipliedPixel& p, std::uint32_t background) {
    constexpr std::uint32_t T = kFullCoverage;
    assert(p.a <= T && p.b <= p.a && p.g <= p.a && p.r <= p.a);
    if (p.a == T) return 0xFF000000u | Div255(p.r) << 16 | Div255(p.g) << 8 | Div255(p.b);
    if (p.a == 0) return background;
    const std::uint32_t ba = background >> 24;
    const std::uint32_t under = ba * (T - p.a);  // background coverage left, times T
    const std::uint32_t n = 255 * p.a + under;
    const std::uint32_t alpha = (n + 32512) / T;
    auto colour = [&](std::uint32_t c, int shift) {
        const std::uint32_t bc = (background >> shift) & 0xFF;
        return (T * c + bc * under + n / 2) / n;
    };
    return alpha << 24 | colour(p.r, 16) << 16 | colour(p.g, 8) << 8 | colour(p.b, 0);
}

void ResampleOver(const ConstImageView& src, const SourceRect& from, const ImageView& dst, ResampleMode mode,
                  std::uint32_t background) {
    if (dst.width <= 0 || dst.height <= 0) return;
    if (static_cast<int>(mode) < 0 || static_cast<int>(mode) > 4) mode = ResampleMode::Bilinear;
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    const AxisMap mx{from.x, from.width, dst.width, src.width};
    const AxisMap my{from.y, from.height, dst.height, src.height};
    const bool anything = from.width > 0 && from.height > 0 && src.width > 0 && src.height > 0;
    if (anything) {
        x0 = mx.CoveredLo(), x1 = mx.CoveredHi();
        y0 = my.CoveredLo(), y1 = my.CoveredHi();
    }
    if (x0 >= x1 || y0 >= y1) x0 = x1 = y0 = y1 = 0;

    for (int Y = 0; Y < dst.height; ++Y) {
        std::uint32_t* row = dst.row(Y);
        if (Y < y0 || Y >= y1) {
            FillSpan(row, 0, dst.width, background);
        } else {
            FillSpan(row, 0, x0, background);
            FillSpan(row, x1, dst.width, background);
        }
    }
    if (x0 >= x1) return;
    if (mode == ResampleMode::NearestNeighbor) ResampleNearest(src, mx, my, x0, x1, y0, y1, dst, background);
    else ResampleFiltered(src, mx, my, mode, dst, background);
}

}  // namespace rastelle::kernels
