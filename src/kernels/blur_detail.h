// What the blur's two ways of computing share: the passes' taps, the
// finishing of window sums into pixels, and laying the result onto dst.
// Internal to the kernels.
#pragma once

#include "simd.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "blend.h"
#include "blur.h"

namespace rastelle::kernels::blur_detail {

inline std::uint32_t ToByte(double v) { return v < 255.0 ? static_cast<std::uint32_t>(v) : 255u; }

// Turns the four window sums into a pixel: the colour bytes from the sums'
// ratio, the alpha from SA / norm, all four 0 when SA is 0. The sums may all
// be scaled by the same power of two as norm, which changes nothing.
inline std::uint32_t Finish(double sb, double sg, double sr, double sa, double norm) {
    if (sa == 0) return 0;
    const double inv = 1.0 / sa;
    return ToByte(sa / norm) << 24 | ToByte(sr * inv) << 16 | ToByte(sg * inv) << 8 | ToByte(sb * inv);
}

// (B*A, G*A, R*A, A) of one pixel as four 16-bit lanes (each at most 65025).
RASTELLE_ALWAYS_INLINE __m128i Premultiply16(std::uint32_t pixel) {
    const __m128i px = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(pixel)), _mm_setzero_si128());
    __m128i alpha = _mm_shufflelo_epi16(px, _MM_SHUFFLE(3, 3, 3, 3));
    alpha = _mm_or_si128(_mm_and_si128(alpha, _mm_set_epi16(0, 0, 0, 0, 0, -1, -1, -1)),
                         _mm_set_epi16(0, 0, 0, 0, 1, 0, 0, 0));
    return _mm_mullo_epi16(px, alpha);
}

// The same as four 32-bit lanes.
inline __m128i Premultiply(std::uint32_t pixel) {
    return _mm_unpacklo_epi16(Premultiply16(pixel), _mm_setzero_si128());
}

// One pass's taps: distances lo..hi from the centre (none when lo > hi).
struct Taps {
    double radius;
    int lo, hi;
    double norm;   // what the alpha sum is divided by
    bool running;  // 2r is an integer
    bool wide;     // the doubled sums may exceed 31 bits

    Taps(double r, double normDivisor) : radius(r) {
        lo = static_cast<int>(std::floor(-r));
        hi = static_cast<int>(std::ceil(r));
        norm = BlurNormalisingSum(r) / normDivisor;
        running = 2 * r == std::floor(2 * r);
        // Largest doubled sum: 255 * 255 times the doubled weights' total.
        wide = 65025.0 * 2 * BlurNormalisingSum(r) >= 2147483647.0;
    }
    bool Empty() const { return lo > hi; }
    double Weight(std::int64_t d) const { return (radius + 1) - std::abs(static_cast<double>(d)); }
    // Doubled weight of distance d; the window's ends weigh 1 (half-integer
    // radius) or 2 (integer radius).
    std::int64_t Weight2(std::int64_t d) const {
        return static_cast<std::int64_t>(2 * radius + 2) - 2 * (d < 0 ? -d : d);
    }
    bool EdgeWeighsTwo() const { return Weight2(hi) == 2; }
};

// The first and last positions (in the 0..n-1 range of outputs) whose window,
// centred at position - offset, meets the image's 0..n-1.
inline bool ActiveRange(int n, int offset, const Taps& taps, int& first, int& last) {
    const std::int64_t f = std::max<std::int64_t>(0, std::int64_t{offset} - taps.hi);
    const std::int64_t l = std::min<std::int64_t>(n - 1, std::int64_t{offset} + n - 1 - taps.lo);
    if (taps.Empty() || f > l) return false;
    first = static_cast<int>(f);
    last = static_cast<int>(l);
    return true;
}

// Lays one blurred pixel (or the glow layer it gives) onto dst.
struct Layer {
    std::optional<std::uint32_t> glow;
    std::uint32_t operator()(std::uint32_t d, std::uint32_t blurred) const {
        const std::uint32_t a = blurred >> 24;
        if (a == 0) return d;
        if (glow) return BlendOver(d, *glow, (*glow >> 24) * AlphaCurve(a) / 255);
        if (a == 255) return blurred;
        return BlendOver(d, blurred, a);
    }
};

// The rows of the horizontal pass that the vertical pass still needs: a
// ring of the last `ringRows` (rowLength elements each), each made by
// pass.Row(y, row) on first request. Rows are requested in an order whose
// newest row only grows and whose oldest stays within the ring; rows outside
// the image read as zeros (transparent).
template <class T, class Pass>
class RowRing {
public:
    RowRing(Pass& pass, size_t rowLength, int height, int ringRows)
        : pass_(pass), rowLength_(rowLength), height_(height), ringRows_(ringRows),
          ring_(rowLength * static_cast<size_t>(ringRows)), zero_(rowLength, 0) {}

    const T* Get(std::int64_t k) {
        if (k < 0 || k >= height_) return zero_.data();
        if (k >= next_) {
            for (std::int64_t j = std::max<std::int64_t>(next_, k - ringRows_ + 1); j <= k; ++j)
                pass_.Row(static_cast<int>(j), Slot(j));
            next_ = k + 1;
        }
        return Slot(k);
    }

private:
    T* Slot(std::int64_t k) { return ring_.data() + static_cast<size_t>(k % ringRows_) * rowLength_; }
    Pass& pass_;
    size_t rowLength_;
    int height_, ringRows_;
    std::vector<T> ring_, zero_;
    std::int64_t next_ = 0;
};

// Blurs src onto dst over wholly opaque and wholly transparent areas as
// byte tents (blur_byte_path.cpp) and returns true, when the radii are small
// and the image mostly such areas; otherwise returns false and leaves dst.
bool TryBytePathBlur(const ConstImageView& src, const ImageView& dst, const BlurParams& params, const Taps& horizontal,
                     const Taps& vertical);

// Whether the byte path can blur with this radius (as used) in one pass.
bool BytePathTakesRadius(double radius);

// How TryBytePathBlur decides: by its estimate of the cost (the default), or
// wherever the radii allow (the tests cover the path on small images so).
// For the whole process; not meant to change while kernels run.
enum class BytePathChoice { WhenItPays, WheneverPossible };
void SetBytePathChoice(BytePathChoice choice);

}  // namespace rastelle::kernels::blur_detail
