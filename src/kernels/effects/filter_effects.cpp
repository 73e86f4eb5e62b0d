// Neighbourhood effects: unsharp mask, emboss and edge kernels, edge
// smoothing, mosaic and texture. Pixels outside the image repeat the nearest
// edge pixel. The convolutions run on rows widened to 16 bits per channel
// (with the edge repeated into padding), two pixels per SSE2 register, and
// fall back to the plain per-pixel arithmetic where alpha varies.
#include "kernels/simd.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "kernels/aligned_buffer.h"
#include "kernels/effects/effect_detail.h"
#include "kernels/effects/effects.h"

namespace rastelle::kernels::effects {

using detail::ClampByte;
using detail::ClampInt;

namespace {

// One image row as 16-bit channels (blue, green, red, alpha per pixel) with
// `pad` copies of the edge pixel on either side.
class WideRow {
public:
    WideRow(int width, int pad) : width_(width), pad_(pad), data_(static_cast<std::size_t>(width + 2 * pad) * 4 + 8) {}

    void load(const std::uint32_t* src) {
        std::int16_t* d = data_.data() + 4 * pad_;
        const __m128i zero = _mm_setzero_si128();
        int x = 0;
        for (; x + 4 <= width_; x += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), _mm_unpacklo_epi8(p, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x + 8), _mm_unpackhi_epi8(p, zero));
        }
        for (; x < width_; ++x)
            for (int c = 0; c < 4; ++c) d[4 * x + c] = static_cast<std::int16_t>((src[x] >> (8 * c)) & 0xFF);
        for (int i = 1; i <= pad_; ++i)
            for (int c = 0; c < 4; ++c) {
                d[-4 * i + c] = d[c];
                d[4 * (width_ - 1 + i) + c] = d[4 * (width_ - 1) + c];
            }
    }
    // Channel data of pixel x (x may reach `pad` pixels beyond either edge).
    const std::int16_t* at(int x) const { return data_.data() + 4 * (pad_ + x); }

private:
    int width_, pad_;
    AlignedVector<std::int16_t> data_;
};

inline __m128i Load8(const std::int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Packs 16-bit results of two pixels, clamped to bytes, with the source
// pixels' alphas.
inline void StoreWithAlpha(std::uint32_t* d, const std::uint32_t* s, __m128i result) {
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i packed = _mm_packus_epi16(result, result);
    const __m128i source = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d),
                     _mm_or_si128(_mm_andnot_si128(alphaMask, packed), _mm_and_si128(source, alphaMask)));
}

// ---- 3 x 3 kernels -----------------------------------------------------------

using Kernel3 = std::array<int, 9>;

template <int W>
RASTELLE_ALWAYS_INLINE __m128i AddTap(__m128i sum, __m128i v) {
    if constexpr (W == 0) {
        return sum;
    } else if constexpr (W == 1) {
        return _mm_add_epi16(sum, v);
    } else if constexpr (W == -1) {
        return _mm_sub_epi16(sum, v);
    } else if constexpr (W == 2) {
        return _mm_add_epi16(sum, _mm_add_epi16(v, v));
    } else if constexpr (W == -2) {
        return _mm_sub_epi16(sum, _mm_add_epi16(v, v));
    } else {
        return _mm_add_epi16(sum, _mm_mullo_epi16(v, _mm_set1_epi16(static_cast<short>(W))));
    }
}

// The kernel applied to two pixels starting at x of the three rows.
template <const Kernel3& K>
RASTELLE_ALWAYS_INLINE __m128i Convolve(const WideRow* const rows[3], int x) {
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        __m128i sum = _mm_setzero_si128();
        ((sum = AddTap<K[I]>(sum, Load8(rows[I / 3]->at(x - 1 + static_cast<int>(I % 3))))), ...);
        return sum;
    }(std::make_index_sequence<9>{});
}

// The same for one channel of one pixel.
inline int ConvolveScalar(const Kernel3& k, const WideRow* const rows[3], int x, int c) {
    int sum = 0;
    for (int i = 0; i < 9; ++i) sum += k[i] * rows[i / 3]->at(x - 1 + i % 3)[c];
    return sum;
}

inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

// A 3 x 3 effect: Combine turns the kernels' sums into the channel value.
// Two kernels at most (the gradient pairs); the second is unused by the others.
enum class Combine { Bias128, Plain, Absolute, AbsoluteSum };

template <const Kernel3& A, const Kernel3& B, Combine Mode>
void Apply3x3(const ConstImageView& in, const ImageView& out) {
    const int w = in.width, h = in.height;
    WideRow ring[3] = {WideRow(w, 1), WideRow(w, 1), WideRow(w, 1)};
    const __m128i bias = _mm_set1_epi16(128);
    const auto finish = [](int a, int b) {
        if constexpr (Mode == Combine::Bias128) {
            return a + 128;
        } else if constexpr (Mode == Combine::Plain) {
            return a;
        } else if constexpr (Mode == Combine::Absolute) {
            return a < 0 ? -a : a;
        } else {
            return (a < 0 ? -a : a) + (b < 0 ? -b : b);
        }
    };
    // Column sums and differences of the gradient kernels, one pixel of
    // padding either side and a vector's slack.
    AlignedVector<std::int16_t> smooth(static_cast<std::size_t>(w + 2) * 4 + 16), difference(smooth.size());
    ring[0].load(in.row(0));
    ring[1].load(in.row(0));
    for (int y = 0; y < h; ++y) {
        ring[(y + 2) % 3].load(in.row(y + 1 < h ? y + 1 : h - 1));
        const WideRow* const rows[3] = {&ring[y % 3], &ring[(y + 1) % 3], &ring[(y + 2) % 3]};
        const std::uint32_t* s = in.row(y);
        std::uint32_t* d = out.row(y);
        int x = 0;
        if constexpr (Mode == Combine::AbsoluteSum) {
            // The gradient pairs are separable: the smoothed column sums V
            // and the vertical differences D of the three rows give
            // gx = V[x+1] - V[x-1] and gy = D[x-1] + k D[x] + D[x+1].
            static_assert(A[0] == -1 && A[2] == 1 && A[3] == -A[5] && A[6] == -1 && A[8] == 1 && B[1] == -A[5] &&
                          B[7] == A[5] && B[0] == -1 && B[6] == 1);
            const __m128i k = _mm_set1_epi16(static_cast<short>(A[5]));
            for (int i = -4; i < 4 * (w + 1); i += 8) {
                const __m128i up = Load8(rows[0]->at(0) + i), mid = Load8(rows[1]->at(0) + i), down = Load8(rows[2]->at(0) + i);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(smooth.data() + 4 + i),
                                 _mm_add_epi16(_mm_add_epi16(up, down), _mm_mullo_epi16(mid, k)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(difference.data() + 4 + i), _mm_sub_epi16(down, up));
            }
            const std::int16_t* v = smooth.data() + 4;
            const std::int16_t* dv = difference.data() + 4;
            for (; x + 2 <= w; x += 2) {
                const __m128i gx = _mm_sub_epi16(Load8(v + 4 * (x + 1)), Load8(v + 4 * (x - 1)));
                const __m128i gy = _mm_add_epi16(_mm_add_epi16(Load8(dv + 4 * (x - 1)), Load8(dv + 4 * (x + 1))),
                                                 _mm_mullo_epi16(Load8(dv + 4 * x), k));
                StoreWithAlpha(d + x, s + x, _mm_add_epi16(Abs16(gx), Abs16(gy)));
            }
        }
        for (; x + 2 <= w; x += 2) {
            const __m128i a = Convolve<A>(rows, x);
            __m128i r;
            if constexpr (Mode == Combine::Bias128) r = _mm_add_epi16(a, bias);
            if constexpr (Mode == Combine::Plain) r = a;
            if constexpr (Mode == Combine::Absolute) r = Abs16(a);
            if constexpr (Mode == Combine::AbsoluteSum) r = _mm_add_epi16(Abs16(a), Abs16(Convolve<B>(rows, x)));
            StoreWithAlpha(d + x, s + x, r);
        }
        for (; x < w; ++x) {
            std::uint32_t p = s[x] & 0xFF000000u;
            for (int c = 0; c < 3; ++c)
                p |= static_cast<std::uint32_t>(ClampByte(finish(ConvolveScalar(A, rows, x, c), ConvolveScalar(B, rows, x, c))))
                     << (8 * c);
            d[x] = p;
        }
    }
}

constexpr Kernel3 kEmbossGrey = {-1, -1, 0, -1, 0, 1, 0, 1, 1};
constexpr Kernel3 kEmbossColour = {-2, -1, 0, -1, 1, 1, 0, 1, 2};
constexpr Kernel3 kEmbossTop = {-1, -2, -1, 0, 0, 0, 1, 2, 1};
constexpr Kernel3 kEmbossLeft = {-1, 0, 1, -2, 0, 2, -1, 0, 1};
constexpr Kernel3 kSobelX = {-1, 0, 1, -2, 0, 2, -1, 0, 1};
constexpr Kernel3 kSobelY = {-1, -2, -1, 0, 0, 0, 1, 2, 1};
constexpr Kernel3 kPrewittX = {-1, 0, 1, -1, 0, 1, -1, 0, 1};
constexpr Kernel3 kPrewittY = {-1, -1, -1, 0, 0, 0, 1, 1, 1};
constexpr Kernel3 kLaplace4 = {0, -1, 0, -1, 4, -1, 0, -1, 0};
constexpr Kernel3 kLaplace8 = {-1, -1, -1, -1, 8, -1, -1, -1, -1};

// ---- unsharp mask ------------------------------------------------------------

constexpr int kBinomial5[5] = {1, 4, 6, 4, 1};
constexpr int kOpaqueWeight = 255 * 256;  // the alpha weight of a wholly opaque window

// The mask's blurred colour of one pixel: the 5 x 5 binomial average of the
// alpha-weighted colours. Returns false where the whole window is transparent.
bool BlurAt(const ConstImageView& in, int x, int y, int blurred[3]) {
    std::uint64_t sums[3] = {}, weight = 0;
    for (int j = -2; j <= 2; ++j) {
        const std::uint32_t* row = in.row(ClampInt(y + j, 0, in.height - 1));
        for (int i = -2; i <= 2; ++i) {
            const std::uint32_t p = row[ClampInt(x + i, 0, in.width - 1)];
            const std::uint64_t w = static_cast<std::uint64_t>(kBinomial5[i + 2] * kBinomial5[j + 2]) * (p >> 24);
            weight += w;
            for (int c = 0; c < 3; ++c) sums[c] += w * ((p >> (8 * c)) & 0xFF);
        }
    }
    if (weight == 0) return false;
    for (int c = 0; c < 3; ++c) blurred[c] = static_cast<int>(detail::DivideRounded(sums[c], weight));
    return true;
}

inline std::uint32_t SharpenPixel(std::uint32_t p, const int blurred[3], int strength) {
    std::uint32_t r = p & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        const int v = static_cast<int>((p >> (8 * c)) & 0xFF);
        r |= static_cast<std::uint32_t>(ClampByte(v + (((v - blurred[c]) * strength + 8) >> 4))) << (8 * c);
    }
    return r;
}

}  // namespace

void Sharpen(const ConstImageView& in, const ImageView& out, int strength) {
    const int s = ClampInt(strength, 0, 1024);
    const int w = in.width, h = in.height;
    if (w <= 0 || h <= 0) return;
    // Vertical binomial sums of the five rows around y, then horizontal ones:
    // every channel's sum stays below 2^16. A window whose alpha sum is
    // 255 * 256 is opaque, and its alpha-weighted average is (sum + 128) >> 8.
    WideRow ring[5] = {WideRow(w, 0), WideRow(w, 0), WideRow(w, 0), WideRow(w, 0), WideRow(w, 0)};
    AlignedVector<std::uint16_t> vertical(static_cast<std::size_t>(w + 4) * 4 + 8);
    for (int j = 0; j < 4; ++j) ring[j].load(in.row(ClampInt(j - 2, 0, h - 1)));
    const __m128i one = _mm_set1_epi16(1), rounding = _mm_set1_epi16(8), half = _mm_set1_epi16(128);
    const __m128i strengthPair = _mm_unpacklo_epi16(_mm_set1_epi16(static_cast<short>(s)), rounding);
    for (int y = 0; y < h; ++y) {
        ring[(y + 4) % 5].load(in.row(ClampInt(y + 2, 0, h - 1)));
        const std::int16_t* r[5];
        for (int j = 0; j < 5; ++j) r[j] = ring[(y + j) % 5].at(0);
        std::uint16_t* v = vertical.data() + 8;  // two pixels of edge padding
        for (int i = 0; i < 4 * w; i += 8) {
            const __m128i outer = _mm_add_epi16(Load8(r[0] + i), Load8(r[4] + i));
            const __m128i inner = _mm_slli_epi16(_mm_add_epi16(Load8(r[1] + i), Load8(r[3] + i)), 2);
            const __m128i centre = _mm_mullo_epi16(Load8(r[2] + i), _mm_set1_epi16(6));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(v + i), _mm_add_epi16(_mm_add_epi16(outer, inner), centre));
        }
        for (int c = 0; c < 4; ++c) {
            v[-8 + c] = v[-4 + c] = v[c];
            v[4 * w + c] = v[4 * w + 4 + c] = v[4 * (w - 1) + c];
        }
        const std::uint32_t* src = in.row(y);
        std::uint32_t* d = out.row(y);
        const auto general = [&](int x) {
            int blurred[3];
            d[x] = BlurAt(in, x, y, blurred) ? SharpenPixel(src[x], blurred, s) : src[x];
        };
        int x = 0;
        for (; x + 2 <= w; x += 2) {
            const auto tap = [&](int dx) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 4 * (x + dx))); };
            const __m128i sum = _mm_add_epi16(
                _mm_add_epi16(_mm_add_epi16(tap(-2), tap(2)), _mm_slli_epi16(_mm_add_epi16(tap(-1), tap(1)), 2)),
                _mm_mullo_epi16(tap(0), _mm_set1_epi16(6)));
            const int alpha0 = _mm_extract_epi16(sum, 3), alpha1 = _mm_extract_epi16(sum, 7);
            if (alpha0 != kOpaqueWeight || alpha1 != kOpaqueWeight) {
                general(x);
                general(x + 1);
                continue;
            }
            const __m128i blurred = _mm_srli_epi16(_mm_add_epi16(sum, half), 8);
            const __m128i centre = Load8(r[2] + 4 * x);
            const __m128i diff = _mm_sub_epi16(centre, blurred);
            // (diff * s + 8) >> 4 in 32 bits, from (diff, 1) . (s, 8).
            const __m128i lo = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(diff, one), strengthPair), 4);
            const __m128i hi = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(diff, one), strengthPair), 4);
            StoreWithAlpha(d + x, src + x, _mm_adds_epi16(centre, _mm_packs_epi32(lo, hi)));
        }
        for (; x < w; ++x) general(x);
    }
}

void Emboss(const ConstImageView& in, const ImageView& out, int type) {
    if (in.width <= 0 || in.height <= 0) return;
    switch (ClampInt(type, 0, 3)) {
        case 0: Apply3x3<kEmbossGrey, kEmbossGrey, Combine::Bias128>(in, out); break;
        case 1: Apply3x3<kEmbossColour, kEmbossColour, Combine::Plain>(in, out); break;
        case 2: Apply3x3<kEmbossTop, kEmbossTop, Combine::Bias128>(in, out); break;
        default: Apply3x3<kEmbossLeft, kEmbossLeft, Combine::Bias128>(in, out); break;
    }
}

void EdgeDetect(const ConstImageView& in, const ImageView& out, int type) {
    if (in.width <= 0 || in.height <= 0) return;
    switch (ClampInt(type, 0, 3)) {
        case 0: Apply3x3<kSobelX, kSobelY, Combine::AbsoluteSum>(in, out); break;
        case 1: Apply3x3<kPrewittX, kPrewittY, Combine::AbsoluteSum>(in, out); break;
        case 2: Apply3x3<kLaplace4, kLaplace4, Combine::Absolute>(in, out); break;
        default: Apply3x3<kLaplace8, kLaplace8, Combine::Absolute>(in, out); break;
    }
}

// ---- edge smoothing ----------------------------------------------------------

namespace {

// A pixel lies on an edge when one of its four neighbours differs from it by
// at least this much in some channel (alpha included).
constexpr int kEdgeStep = 32;

// The premultiplied 3 x 3 binomial average ([1 2 1] by [1 2 1], over 16).
std::uint32_t SmoothAt(const ConstImageView& in, int x, int y) {
    constexpr int b[3] = {1, 2, 1};
    std::uint32_t sums[3] = {}, weight = 0;
    for (int j = -1; j <= 1; ++j) {
        const std::uint32_t* row = in.row(ClampInt(y + j, 0, in.height - 1));
        for (int i = -1; i <= 1; ++i) {
            const std::uint32_t p = row[ClampInt(x + i, 0, in.width - 1)];
            const std::uint32_t w = static_cast<std::uint32_t>(b[i + 1] * b[j + 1]) * (p >> 24);
            weight += w;
            for (int c = 0; c < 3; ++c) sums[c] += w * ((p >> (8 * c)) & 0xFF);
        }
    }
    if (weight == 0) return in.row(y)[x];
    std::uint32_t r = ((weight + 8) >> 4) << 24;
    for (int c = 0; c < 3; ++c) r |= static_cast<std::uint32_t>(detail::DivideRounded(sums[c], weight)) << (8 * c);
    return r;
}

// Per byte, |a - b| >= kEdgeStep in some byte of the four pixels.
inline __m128i EdgeBytes(__m128i a, __m128i b) {
    const __m128i diff = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
    return _mm_subs_epu8(diff, _mm_set1_epi8(kEdgeStep - 1));
}

}  // namespace

void Antialias(const ConstImageView& in, const ImageView& out) {
    const int w = in.width, h = in.height;
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* up = in.row(y > 0 ? y - 1 : 0);
        const std::uint32_t* s = in.row(y);
        const std::uint32_t* down = in.row(y + 1 < h ? y + 1 : h - 1);
        std::uint32_t* d = out.row(y);
        const auto isEdge = [&](int x) {
            const std::uint32_t p = s[x];
            const std::uint32_t n[4] = {up[x], down[x], s[x > 0 ? x - 1 : 0], s[x + 1 < w ? x + 1 : w - 1]};
            for (const std::uint32_t q : n)
                for (int c = 0; c < 32; c += 8) {
                    const int a = static_cast<int>((p >> c) & 0xFF), b = static_cast<int>((q >> c) & 0xFF);
                    if (a - b >= kEdgeStep || b - a >= kEdgeStep) return true;
                }
            return false;
        };
        int x = 0;
        if (w > 1) {
            d[0] = isEdge(0) ? SmoothAt(in, 0, y) : s[0];
            x = 1;
        }
        // Four interior pixels at a time: most of an image is not an edge.
        for (; x + 5 <= w; x += 4) {
            const auto load = [](const std::uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
            const __m128i p = load(s + x);
            const __m128i edges = _mm_or_si128(_mm_or_si128(EdgeBytes(p, load(up + x)), EdgeBytes(p, load(down + x))),
                                               _mm_or_si128(EdgeBytes(p, load(s + x - 1)), EdgeBytes(p, load(s + x + 1))));
            const int mask = _mm_movemask_epi8(_mm_cmpeq_epi32(edges, _mm_setzero_si128()));
            if (mask == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), p);
                continue;
            }
            for (int i = 0; i < 4; ++i) d[x + i] = (mask >> (4 * i) & 0xF) == 0xF ? s[x + i] : SmoothAt(in, x + i, y);
        }
        for (; x < w; ++x) d[x] = isEdge(x) ? SmoothAt(in, x, y) : s[x];
    }
}

// ---- mosaic --------------------------------------------------------------------

namespace {

// Runs of up to this many pixels sum in 32-bit lanes (65025 per pixel at most).
constexpr int kMaxVectorRun = 66000;

struct CellRow {
    std::uint32_t alpha, red, green, blue;
};

// Alpha and alpha-weighted channel sums of s[from, to), two pixels a step:
// each pixel's 16-bit channels times (a, a, a, 1), added in 32-bit lanes.
CellRow SumCellRow(const std::uint32_t* s, int from, int to) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i keepColour = _mm_setr_epi16(-1, -1, -1, 0, -1, -1, -1, 0), one = _mm_setr_epi16(0, 0, 0, 1, 0, 0, 0, 1);
    __m128i sum = zero;
    const auto add = [&](__m128i pixels) {  // two pixels in the low 8 bytes
        const __m128i c = _mm_unpacklo_epi8(pixels, zero);
        const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
        const __m128i weighted = _mm_mullo_epi16(c, _mm_or_si128(_mm_and_si128(a, keepColour), one));
        sum = _mm_add_epi32(sum, _mm_add_epi32(_mm_unpacklo_epi16(weighted, zero), _mm_unpackhi_epi16(weighted, zero)));
    };
    int x = from;
    for (; x + 2 <= to; x += 2) add(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + x)));
    if (x < to) add(_mm_cvtsi32_si128(static_cast<int>(s[x])));
    alignas(16) std::uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sum);
    return {lanes[3], lanes[2], lanes[1], lanes[0]};
}

}  // namespace

void Mosaic(const ConstImageView& in, const ImageView& out, int cellWidth, int cellHeight) {
    const int w = in.width, h = in.height;
    if (w <= 0 || h <= 0) return;
    const int cw = ClampInt(cellWidth, 1, w), ch = ClampInt(cellHeight, 1, h);
    const int cells = (w + cw - 1) / cw;
    // Per cell of the band: alpha sum and alpha-weighted channel sums.
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(cells) * 4);
    std::vector<std::uint32_t> colour(static_cast<std::size_t>(cells));
    for (int top = 0; top < h; top += ch) {
        const int bottom = top + ch < h ? top + ch : h;
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = top; y < bottom; ++y) {
            const std::uint32_t* s = in.row(y);
            for (int cell = 0, x = 0; cell < cells; ++cell) {
                const int end = x + cw < w ? x + cw : w;
                std::uint64_t a = 0, r = 0, g = 0, b = 0;
                if (end - x <= kMaxVectorRun) {
                    const CellRow row = SumCellRow(s, x, end);
                    a = row.alpha, r = row.red, g = row.green, b = row.blue;
                    x = end;
                }
                for (; x < end; ++x) {
                    const std::uint32_t p = s[x], pa = p >> 24;
                    a += pa;
                    r += pa * ((p >> 16) & 0xFF);
                    g += pa * ((p >> 8) & 0xFF);
                    b += pa * (p & 0xFF);
                }
                std::uint64_t* sum = &sums[static_cast<std::size_t>(cell) * 4];
                sum[0] += a, sum[1] += r, sum[2] += g, sum[3] += b;
            }
        }
        for (int cell = 0; cell < cells; ++cell) {
            const std::uint64_t* sum = &sums[static_cast<std::size_t>(cell) * 4];
            const int left = cell * cw;
            const std::uint64_t n = static_cast<std::uint64_t>((left + cw < w ? cw : w - left)) * (bottom - top);
            colour[cell] = sum[0] == 0 ? 0
                                       : static_cast<std::uint32_t>(detail::DivideRounded(sum[0], n) << 24 |
                                                                    detail::DivideRounded(sum[1], sum[0]) << 16 |
                                                                    detail::DivideRounded(sum[2], sum[0]) << 8 |
                                                                    detail::DivideRounded(sum[3], sum[0]));
        }
        for (int y = top; y < bottom; ++y) {
            std::uint32_t* d = out.row(y);
            for (int cell = 0, x = 0; cell < cells; ++cell)
                for (const int end = x + cw < w ? x + cw : w; x < end; ++x) d[x] = colour[cell];
        }
    }
}

// ---- texture -------------------------------------------------------------------

namespace {

// The texture: value noise, random heights 0..255 on a lattice of `cell`
// pixels joined bilinearly. TextureHeight is the unnormalised height (cell^2
// times the interpolated value); the lattice does not depend on the image.
inline std::uint32_t LatticeValue(int i, int j) {
    return detail::Hash32(static_cast<std::uint32_t>(i) * 0x9E3779B9u ^ detail::Hash32(static_cast<std::uint32_t>(j) + 0x632BE5ABu)) & 0xFF;
}

// The cell size in pixels the Shift argument asks for: its rounded absolute
// value, 2..64; NaN gives 8.
int TextureCell(float shift) {
    if (std::isnan(shift)) return 8;
    const double a = std::fabs(static_cast<double>(shift));
    return a >= 64.0 ? 64 : ClampInt(static_cast<int>(a + 0.5), 2, 64);
}

// Depth factor in 2^-24 units: a relief of height difference d (unnormalised)
// moves each channel by (d * factor) >> 24, about amount% of 255 at the
// steepest slopes whatever the cell size.
std::int64_t TextureDepth(int amount, int cell) {
    return (static_cast<std::int64_t>(ClampInt(amount, 0, 100)) << 22) / (100 * cell);
}

}  // namespace

void Texturize(const ConstImageView& in, const ImageView& out, int amount, float shift) {
    const int w = in.width, h = in.height;
    if (w <= 0 || h <= 0) return;
    const int cell = TextureCell(shift);
    const std::int64_t depth = TextureDepth(amount, cell);
    // Heights of rows y - 1, y and y + 1 (clamped), each row computed once.
    std::vector<std::int32_t> upper(static_cast<std::size_t>(w)), middle(upper.size()), lower(upper.size());
    const auto heights = [&](int y, std::vector<std::int32_t>& dst) {
        const int j = y / cell, fy = y % cell;
        int lastI = -1;
        std::uint32_t v00 = 0, v10 = 0, v01 = 0, v11 = 0;
        for (int x = 0; x < w; ++x) {
            const int i = x / cell, fx = x % cell;
            if (i != lastI) {
                v00 = LatticeValue(i, j), v10 = LatticeValue(i + 1, j);
                v01 = LatticeValue(i, j + 1), v11 = LatticeValue(i + 1, j + 1);
                lastI = i;
            }
            const std::uint32_t top = v00 * static_cast<std::uint32_t>(cell - fx) + v10 * static_cast<std::uint32_t>(fx);
            const std::uint32_t bottom = v01 * static_cast<std::uint32_t>(cell - fx) + v11 * static_cast<std::uint32_t>(fx);
            dst[static_cast<std::size_t>(x)] =
                static_cast<std::int32_t>(top * static_cast<std::uint32_t>(cell - fy) + bottom * static_cast<std::uint32_t>(fy));
        }
    };
    heights(0, upper);
    heights(0, middle);
    heights(h > 1 ? 1 : 0, lower);
    for (int y = 0; y < h; ++y) {
        if (y > 0) {
            upper.swap(middle);
            middle.swap(lower);
            heights(y + 1 < h ? y + 1 : h - 1, lower);
        }
        const std::uint32_t* s = in.row(y);
        std::uint32_t* d = out.row(y);
        for (int x = 0; x < w; ++x) {
            // Light from the top left: the slope from (x-1, y-1) to (x+1, y+1).
            const std::int64_t relief = lower[static_cast<std::size_t>(x + 1 < w ? x + 1 : w - 1)] -
                                        upper[static_cast<std::size_t>(x > 0 ? x - 1 : 0)];
            const int offset = static_cast<int>((relief * depth) >> 24);
            const std::uint32_t p = s[x];
            d[x] = (p & 0xFF000000u) | static_cast<std::uint32_t>(ClampByte(static_cast<int>((p >> 16) & 0xFF) + offset)) << 16 |
                   static_cast<std::uint32_t>(ClampByte(static_cast<int>((p >> 8) & 0xFF) + offset)) << 8 |
                   static_cast<std::uint32_t>(ClampByte(static_cast<int>(p & 0xFF) + offset));
        }
    }
}

}  // namespace rastelle::kernels::effects
