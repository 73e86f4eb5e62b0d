#include "simd.h"

#include "blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "blend.h"

// How the passes are computed. Each output pixel needs, over its window, the
// alpha-weighted sums SA = sum A*w and SC = sum (C*A)*w formed in double
// precision in index order, then trunc(SC * (1/SA)) and trunc(SA / norm).
//
// When 2r is an integer every weight is a multiple of 1/2, and so is every
// partial sum; below 2^52 (which kMaxBlurRadius guarantees) such doubles are
// exact, so the order of the additions cannot matter. Those passes keep the
// sums doubled in integers and slide them along the line in O(1) per pixel,
// whatever the radius (the running path). Other radii add the weighted terms
// in index order exactly as written (the direct path), at a cost that grows
// with the window, which the image's size bounds.
//
// Windows are cut at the image: pixels outside count as transparent, which is
// the same as leaving them out of the sums.

namespace rastelle::kernels {
namespace {

constexpr std::int64_t kTableLimit = 1 << 17;  // entries of the reciprocal tables

std::uint32_t ToByte(double v) { return v < 255.0 ? static_cast<std::uint32_t>(v) : 255u; }

// Turns the four window sums into a pixel: the colour bytes from the sums'
// ratio, the alpha from SA / norm, all four 0 when SA is 0. The sums may all
// be scaled by the same power of two as norm, which changes nothing.
std::uint32_t Finish(double sb, double sg, double sr, double sa, double norm) {
    if (sa == 0) return 0;
    const double inv = 1.0 / sa;
    return ToByte(sa / norm) << 24 | ToByte(sr * inv) << 16 | ToByte(sg * inv) << 8 | ToByte(sb * inv);
}

// The same for integer sums held as four 32-bit lanes (blue, green, red,
// alpha), with the reciprocals and the alphas looked up per alpha sum.
class TableFinisher {
public:
    TableFinisher(double norm, std::int64_t maxAlphaSum) : inverse_(maxAlphaSum + 1), alpha_(maxAlphaSum + 1) {
        for (std::int64_t s = 1; s <= maxAlphaSum; ++s) {
            inverse_[s] = 1.0 / static_cast<double>(s);
            alpha_[s] = static_cast<std::uint8_t>(ToByte(static_cast<double>(s) / norm));
        }
    }
    std::uint32_t operator()(__m128i sums) const {
        const int sa = _mm_cvtsi128_si32(_mm_shuffle_epi32(sums, _MM_SHUFFLE(3, 3, 3, 3)));
        const __m128d inv = _mm_set1_pd(inverse_[sa]);
        const __m128i bg = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(sums), inv));
        const __m128i r = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(sums, sums)), inv));
        const __m128i bgr = _mm_unpacklo_epi64(bg, r);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(bgr, bgr), bgr);
        return (static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes)) & 0xFFFFFFu) |
               static_cast<std::uint32_t>(alpha_[sa]) << 24;
    }

private:
    std::vector<double> inverse_;  // [0] = 0 makes a transparent window give 0
    std::vector<std::uint8_t> alpha_;
};

// (B*A, G*A, R*A, A) of one pixel as four 32-bit lanes.
__m128i Premultiply(std::uint32_t pixel) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i px = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(pixel)), zero);
    __m128i alpha = _mm_shufflelo_epi16(px, _MM_SHUFFLE(3, 3, 3, 3));
    alpha = _mm_or_si128(_mm_and_si128(alpha, _mm_set_epi16(0, 0, 0, 0, 0, -1, -1, -1)),
                         _mm_set_epi16(0, 0, 0, 0, 1, 0, 0, 0));
    return _mm_unpacklo_epi16(_mm_mullo_epi16(px, alpha), zero);
}

// Window sums in integers, doubled (so that half weights are whole): 32-bit
// lanes while they fit, 64-bit otherwise.
struct Lanes32 {
    using V = __m128i;
    static V Zero() { return _mm_setzero_si128(); }
    static V From(const std::int64_t s[4]) {
        return _mm_set_epi32(static_cast<int>(s[3]), static_cast<int>(s[2]), static_cast<int>(s[1]),
                             static_cast<int>(s[0]));
    }
    static V Load(std::uint32_t pixel) { return Premultiply(pixel); }
    static V Add(V a, V b) { return _mm_add_epi32(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi32(a, b); }
};

struct Lanes64 {
    struct V {
        std::int64_t s[4];
    };
    static V Zero() { return {}; }
    static V From(const std::int64_t s[4]) { return {{s[0], s[1], s[2], s[3]}}; }
    static V Load(std::uint32_t p) {
        const std::int64_t a = p >> 24;
        return {{(p & 0xFF) * a, ((p >> 8) & 0xFF) * a, ((p >> 16) & 0xFF) * a, a}};
    }
    static V Add(V a, const V& b) {
        for (int i = 0; i < 4; ++i) a.s[i] += b.s[i];
        return a;
    }
    static V Sub(V a, const V& b) {
        for (int i = 0; i < 4; ++i) a.s[i] -= b.s[i];
        return a;
    }
};

// One pass's taps: distances lo..hi from the centre (none when lo > hi).
struct Taps {
    double radius;
    int lo, hi;
    double norm;  // what the alpha sum is divided by
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
    double Weight(int d) const { return (radius + 1) - std::abs(d); }
    // Doubled weight of distance d, and the doubled weight of the window's ends.
    std::int64_t Weight2(std::int64_t d) const {
        return static_cast<std::int64_t>(2 * radius + 2) - 2 * (d < 0 ? -d : d);
    }
    std::int64_t EdgeWeight2() const { return Weight2(hi); }
};

// The first and last positions (in the 0..n-1 range of outputs) whose window,
// centred at position - offset, meets the image's 0..n-1.
bool ActiveRange(int n, int offset, const Taps& taps, int& first, int& last) {
    const std::int64_t f = std::max<std::int64_t>(0, std::int64_t{offset} - taps.hi);
    const std::int64_t l = std::min<std::int64_t>(n - 1, std::int64_t{offset} + n - 1 - taps.lo);
    if (taps.Empty() || f > l) return false;
    first = static_cast<int>(f);
    last = static_cast<int>(l);
    return true;
}

// --- Horizontal pass: src rows into the packed work image ------------------

template <class L>
void HorizontalRunning(const ConstImageView& src, std::uint32_t* work, const Taps& taps, int offX,
                       const TableFinisher* table) {
    using V = typename L::V;
    const int w = src.width, h = taps.hi;
    const bool edgeTwo = taps.EdgeWeight2() == 2;  // integer radius (else 1: half-integer)
    const double norm2 = 2 * taps.norm;
    std::vector<Slot<V>> line(static_cast<size_t>(w) + 2);  // premultiplied, a transparent pixel at each end
    Slot<V>* v = line.data() + 1;
    v[-1].v = v[w].v = L::Zero();
    auto at = [&](std::int64_t i) { return v[std::clamp<std::int64_t>(i, -1, w)].v; };
    auto finish = [&](const V& t) -> std::uint32_t {
        if constexpr (std::is_same_v<L, Lanes32>) {
            if (table) return (*table)(t);
            alignas(16) std::int32_t s[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(s), t);
            return Finish(s[0], s[1], s[2], s[3], norm2);
        } else {
            return Finish(static_cast<double>(t.s[0]), static_cast<double>(t.s[1]), static_cast<double>(t.s[2]),
                          static_cast<double>(t.s[3]), norm2);
        }
    };
    int first = 0, last = -1;
    const bool active = ActiveRange(w, offX, taps, first, last);
    for (int y = 0; y < src.height; ++y) {
        std::uint32_t* out = work + static_cast<size_t>(y) * w;
        if (!active) {
            std::fill(out, out + w, 0u);
            continue;
        }
        const std::uint32_t* in = src.row(y);
        for (int x = 0; x < w; ++x) v[x].v = L::Load(in[x]);
        std::fill(out, out + first, 0u);
        std::fill(out + last + 1, out + w, 0u);
        // The first window directly; then T (the tent sum) and D (the sum
        // right of the centre minus the sum up to it) slide one step a pixel.
        std::int64_t c = std::int64_t{first} - offX;
        std::int64_t t[4] = {}, d[4] = {};
        for (std::int64_t j = std::max<std::int64_t>(0, c - h); j <= std::min<std::int64_t>(w - 1, c + h); ++j) {
            const std::uint32_t p = in[j];
            const std::int64_t a = p >> 24, wt = taps.Weight2(j - c);
            const std::int64_t vals[4] = {(p & 0xFF) * a, ((p >> 8) & 0xFF) * a, ((p >> 16) & 0xFF) * a, a};
            for (int k = 0; k < 4; ++k) {
                t[k] += vals[k] * wt;
                d[k] += j <= c ? -vals[k] : vals[k];
            }
        }
        V tv = L::From(t), dv = L::From(d);
        out[first] = finish(tv);
        for (int x = first + 1; x <= last; ++x, ++c) {
            const V va = at(c - h), vm = at(c + 1), vb = at(c + h + 1);
            tv = L::Add(L::Add(tv, L::Add(dv, dv)), edgeTwo ? L::Add(vb, vb) : L::Add(va, vb));
            dv = L::Sub(L::Add(dv, L::Add(va, vb)), L::Add(vm, vm));
            out[x] = finish(tv);
        }
    }
}

void HorizontalDirect(const ConstImageView& src, std::uint32_t* work, const Taps& taps, int offX) {
    const int w = src.width;
    std::vector<double> weights;
    for (int d = taps.lo; d <= taps.hi; ++d) weights.push_back(taps.Weight(d));
    std::vector<Slot<__m128d>> line(static_cast<size_t>(w) * 2);  // (B*A, G*A), (R*A, A) per pixel
    int first = 0, last = -1;
    const bool active = ActiveRange(w, offX, taps, first, last);
    for (int y = 0; y < src.height; ++y) {
        std::uint32_t* out = work + static_cast<size_t>(y) * w;
        std::fill(out, out + w, 0u);
        if (!active) continue;
        const std::uint32_t* in = src.row(y);
        for (int x = 0; x < w; ++x) {
            const __m128i p = Premultiply(in[x]);
            line[2 * x].v = _mm_cvtepi32_pd(p);
            line[2 * x + 1].v = _mm_cvtepi32_pd(_mm_unpackhi_epi64(p, p));
        }
        for (int x = first; x <= last; ++x) {
            const std::int64_t c = std::int64_t{x} - offX;
            const int j0 = static_cast<int>(std::max<std::int64_t>(0, c + taps.lo));
            const int j1 = static_cast<int>(std::min<std::int64_t>(w - 1, c + taps.hi));
            __m128d bg = _mm_setzero_pd(), ra = _mm_setzero_pd();
            const double* wt = weights.data() + (j0 - c - taps.lo);
            for (int j = j0; j <= j1; ++j, ++wt) {
                const __m128d k = _mm_set1_pd(*wt);
                bg = _mm_add_pd(bg, _mm_mul_pd(line[2 * j].v, k));
                ra = _mm_add_pd(ra, _mm_mul_pd(line[2 * j + 1].v, k));
            }
            alignas(16) double s[4];
            _mm_store_pd(s, bg);
            _mm_store_pd(s + 2, ra);
            out[x] = Finish(s[0], s[1], s[2], s[3], taps.norm);
        }
    }
}

// --- Vertical pass: work columns, laid onto dst ----------------------------

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

template <class L>
void VerticalRunning(const std::uint32_t* work, const ImageView& dst, const Taps& taps, int offY, const Layer& layer,
                     const TableFinisher* table) {
    using V = typename L::V;
    const int w = dst.width, hgt = dst.height, h = taps.hi;
    const bool edgeTwo = taps.EdgeWeight2() == 2;
    const double norm2 = 2 * taps.norm;
    int first = 0, last = -1;
    if (!ActiveRange(hgt, offY, taps, first, last)) return;
    const std::vector<std::uint32_t> zeroRow(static_cast<size_t>(w), 0u);
    auto row = [&](std::int64_t k) {
        return k < 0 || k >= hgt ? zeroRow.data() : work + static_cast<size_t>(k) * w;
    };
    std::vector<Slot<V>> t(static_cast<size_t>(w)), d(static_cast<size_t>(w));
    std::int64_t c = std::int64_t{first} - offY;
    {
        std::vector<std::int64_t> t64(static_cast<size_t>(w) * 4, 0), d64(static_cast<size_t>(w) * 4, 0);
        for (std::int64_t k = std::max<std::int64_t>(0, c - h); k <= std::min<std::int64_t>(hgt - 1, c + h); ++k) {
            const std::uint32_t* in = row(k);
            const std::int64_t wt = taps.Weight2(k - c);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = in[x];
                const std::int64_t a = p >> 24;
                const std::int64_t vals[4] = {(p & 0xFF) * a, ((p >> 8) & 0xFF) * a, ((p >> 16) & 0xFF) * a, a};
                for (int i = 0; i < 4; ++i) {
                    t64[4 * x + i] += vals[i] * wt;
                    d64[4 * x + i] += k <= c ? -vals[i] : vals[i];
                }
            }
        }
        for (int x = 0; x < w; ++x) {
            t[x].v = L::From(&t64[4 * static_cast<size_t>(x)]);
            d[x].v = L::From(&d64[4 * static_cast<size_t>(x)]);
        }
    }
    auto finish = [&](const V& s) -> std::uint32_t {
        if constexpr (std::is_same_v<L, Lanes32>) {
            if (table) return (*table)(s);
            alignas(16) std::int32_t v[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(v), s);
            return Finish(v[0], v[1], v[2], v[3], norm2);
        } else {
            return Finish(static_cast<double>(s.s[0]), static_cast<double>(s.s[1]), static_cast<double>(s.s[2]),
                          static_cast<double>(s.s[3]), norm2);
        }
    };
    for (int y = first;; ++y, ++c) {
        std::uint32_t* out = dst.row(y);
        for (int x = 0; x < w; ++x) out[x] = layer(out[x], finish(t[x].v));
        if (y == last) break;
        const std::uint32_t* ra = row(c - h);
        const std::uint32_t* rm = row(c + 1);
        const std::uint32_t* rb = row(c + h + 1);
        for (int x = 0; x < w; ++x) {
            const V va = L::Load(ra[x]), vm = L::Load(rm[x]), vb = L::Load(rb[x]);
            const V dx = d[x].v;
            t[x].v = L::Add(L::Add(t[x].v, L::Add(dx, dx)), edgeTwo ? L::Add(vb, vb) : L::Add(va, vb));
            d[x].v = L::Sub(L::Add(dx, L::Add(va, vb)), L::Add(vm, vm));
        }
    }
}

void VerticalDirect(const std::uint32_t* work, const ImageView& dst, const Taps& taps, int offY, const Layer& layer) {
    const int w = dst.width, hgt = dst.height;
    int first = 0, last = -1;
    if (!ActiveRange(hgt, offY, taps, first, last)) return;
    std::vector<Slot<__m128d>> sums(static_cast<size_t>(w) * 2);
    for (int y = first; y <= last; ++y) {
        const std::int64_t c = std::int64_t{y} - offY;
        const int k0 = static_cast<int>(std::max<std::int64_t>(0, c + taps.lo));
        const int k1 = static_cast<int>(std::min<std::int64_t>(hgt - 1, c + taps.hi));
        std::fill(sums.begin(), sums.end(), Slot<__m128d>{_mm_setzero_pd()});
        for (int k = k0; k <= k1; ++k) {
            const std::uint32_t* in = work + static_cast<size_t>(k) * w;
            const __m128d wt = _mm_set1_pd(taps.Weight(static_cast<int>(k - c)));
            for (int x = 0; x < w; ++x) {
                const __m128i p = Premultiply(in[x]);
                sums[2 * x].v = _mm_add_pd(sums[2 * x].v, _mm_mul_pd(_mm_cvtepi32_pd(p), wt));
                sums[2 * x + 1].v =
                    _mm_add_pd(sums[2 * x + 1].v, _mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(p, p)), wt));
            }
        }
        std::uint32_t* out = dst.row(y);
        for (int x = 0; x < w; ++x) {
            alignas(16) double s[4];
            _mm_store_pd(s, sums[2 * x].v);
            _mm_store_pd(s + 2, sums[2 * x + 1].v);
            out[x] = layer(out[x], Finish(s[0], s[1], s[2], s[3], taps.norm));
        }
    }
}

// The reciprocal table for a running pass, when its alpha sums are few.
std::unique_ptr<TableFinisher> MakeTable(const Taps& taps) {
    if (!taps.running || taps.wide || taps.Empty()) return nullptr;
    const double maxSum = 255.0 * 2 * BlurNormalisingSum(taps.radius);
    if (maxSum >= kTableLimit) return nullptr;
    return std::make_unique<TableFinisher>(2 * taps.norm, static_cast<std::int64_t>(maxSum));
}

}  // namespace

double BlurRadiusUsed(double radius) {
    if (std::isnan(radius)) return 0.0;
    return std::clamp(radius, -1.0, kMaxBlurRadius);
}

double BlurIntensityUsed(double intensity) { return intensity >= 1.0 ? intensity : 1.0; }

double BlurNormalisingSum(double radius) {
    double sum = 0;
    const int lo = static_cast<int>(std::floor(-radius)), hi = static_cast<int>(std::ceil(radius));
    for (int i = lo; i <= hi; ++i) sum += (radius + 1) - std::abs(i);
    return sum;
}

void BlurKernel(const ConstImageView& src, const ImageView& dst, const BlurParams& params) {
    assert(src.width == dst.width && src.height == dst.height);
    const double intensity = BlurIntensityUsed(params.intensity);
    const double rx = BlurRadiusUsed(params.radiusX), ry = BlurRadiusUsed(params.radiusY);
    if (dst.width <= 0 || dst.height <= 0) return;
    if (!params.glowColor && rx <= 0 && ry <= 0) {
        BlendImageOver(src, dst);
        return;
    }
    const Taps horizontal(rx, 1.0);
    const Taps vertical(ry, params.glowColor ? intensity : 1.0);
    std::vector<std::uint32_t> work(static_cast<size_t>(dst.width) * static_cast<size_t>(dst.height));

    if (!horizontal.running) {
        HorizontalDirect(src, work.data(), horizontal, params.offsetX);
    } else if (horizontal.wide) {
        HorizontalRunning<Lanes64>(src, work.data(), horizontal, params.offsetX, nullptr);
    } else {
        const auto table = MakeTable(horizontal);
        HorizontalRunning<Lanes32>(src, work.data(), horizontal, params.offsetX, table.get());
    }

    const Layer layer{params.glowColor};
    if (!vertical.running) {
        VerticalDirect(work.data(), dst, vertical, params.offsetY, layer);
    } else if (vertical.wide) {
        VerticalRunning<Lanes64>(work.data(), dst, vertical, params.offsetY, layer, nullptr);
    } else {
        const auto table = MakeTable(vertical);
        VerticalRunning<Lanes32>(work.data(), dst, vertical, params.offsetY, layer, table.get());
    }
}

void FastBlurImage(const ConstImageView& in, const ImageView& out, double radius) {
    BlurParams params;
    params.radiusX = params.radiusY = radius;
    BlurKernel(in, out, params);
}

void GlowImage(const ConstImageView& in, const ImageView& out, std::uint32_t color, double intensity,
               double radius) {
    BlurParams glow;
    glow.glowColor = color;
    glow.intensity = intensity;
    glow.radiusX = glow.radiusY = radius;
    BlurKernel(in, out, glow);
    BlurKernel(in, out, BlurParams{});
}

void ShadowImage(const ConstImageView& in, const ImageView& out, std::uint32_t color, double radius, int offsetX,
                 int offsetY) {
    BlurParams shadow;
    shadow.glowColor = color;
    shadow.offsetX = offsetX;
    shadow.offsetY = offsetY;
    shadow.radiusX = shadow.radiusY = radius;
    BlurKernel(in, out, shadow);
    BlurKernel(in, out, BlurParams{});
}

}  // namespace rastelle::kernels
