#include "simd.h"

#include "blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "aligned_buffer.h"
#include "blend.h"
#include "blur_detail.h"

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
// the same as leaving them out of the sums. For an output at x the window is
// centred on c = x - offset, and floor(c - r) = c + floor(-r), ceil(c + r + 1)
// = c + ceil(r) + 1: bounds formed in 64-bit integers from the radius as used
// (at most kMaxBlurRadius) and clipped to the image before any pixel is read,
// so no offset or radius can overflow them or index outside the image. The
// vertical pass reads the horizontal pass's rows, premultiplied, from a ring
// of the 2 ceil(ry) + 2 latest (the windows' rows and the one the sliding
// update drops).
//
// Small radii over images made mostly of wholly opaque and wholly transparent
// areas take the byte path instead (blur_byte_path.cpp).

namespace rastelle::kernels {
namespace {

using namespace blur_detail;

constexpr std::int64_t kTableLimit = 1 << 17;  // entries of the reciprocal tables

// The same for integer sums held as four 32-bit lanes (blue, green, red,
// alpha), with the reciprocals and the alphas looked up per alpha sum.
// The tables' data as plain pointers, which the loops keep in registers
// (their vector stores may alias any member they would otherwise reload).
struct TableLookup {
    const double* inverse = nullptr;  // null: no table
    const std::uint8_t* alpha = nullptr;

    RASTELLE_ALWAYS_INLINE std::uint32_t operator()(__m128i sums) const {
        const int sa = _mm_cvtsi128_si32(_mm_shuffle_epi32(sums, _MM_SHUFFLE(3, 3, 3, 3)));
        const __m128d inv = _mm_set1_pd(inverse[sa]);
        const __m128i bg = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(sums), inv));
        const __m128i r = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(sums, sums)), inv));
        const __m128i bgr = _mm_unpacklo_epi64(bg, r);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(bgr, bgr), bgr);
        return (static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes)) & 0xFFFFFFu) |
               static_cast<std::uint32_t>(alpha[sa]) << 24;
    }
};

class TableFinisher {
public:
    TableFinisher(double norm, std::int64_t maxAlphaSum) : inverse_(maxAlphaSum + 1), alpha_(maxAlphaSum + 1) {
        for (std::int64_t s = 1; s <= maxAlphaSum; ++s) {
            inverse_[s] = 1.0 / static_cast<double>(s);
            alpha_[s] = static_cast<std::uint8_t>(ToByte(static_cast<double>(s) / norm));
        }
    }
    TableLookup Lookup() const { return {inverse_.data(), alpha_.data()}; }

private:
    std::vector<double> inverse_;  // [0] = 0 makes a transparent window give 0
    std::vector<std::uint8_t> alpha_;
};

// A row of the work image (the horizontal pass's result) is kept
// premultiplied, four 16-bit values a pixel, ready for the vertical sums.
void StoreWork(std::uint16_t* row, int x, std::uint32_t pixel) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + 4 * static_cast<size_t>(x)), Premultiply16(pixel));
}

__m128i LoadWork(const std::uint16_t* row, int x) {
    return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 4 * static_cast<size_t>(x))),
                              _mm_setzero_si128());
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
    static void To(V v, std::int64_t s[4]) {
        alignas(16) std::int32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
        for (int i = 0; i < 4; ++i) s[i] = lanes[i];
    }
    static V Pixel(std::uint32_t pixel) { return Premultiply(pixel); }
    static V Work(const std::uint16_t* row, int x) { return LoadWork(row, x); }
    static V Add(V a, V b) { return _mm_add_epi32(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi32(a, b); }
};

struct Lanes64 {
    struct V {
        std::int64_t s[4];
    };
    static V Zero() { return {}; }
    static V From(const std::int64_t s[4]) { return {{s[0], s[1], s[2], s[3]}}; }
    static void To(const V& v, std::int64_t s[4]) {
        for (int i = 0; i < 4; ++i) s[i] = v.s[i];
    }
    static V Pixel(std::uint32_t p) {
        const std::int64_t a = p >> 24;
        return {{(p & 0xFF) * a, ((p >> 8) & 0xFF) * a, ((p >> 16) & 0xFF) * a, a}};
    }
    static V Work(const std::uint16_t* row, int x) {
        const std::uint16_t* p = row + 4 * static_cast<size_t>(x);
        return {{p[0], p[1], p[2], p[3]}};
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

// The reciprocal table for a running pass, when its alpha sums are few.
std::unique_ptr<TableFinisher> MakeTable(const Taps& taps) {
    if (!taps.running || taps.wide || taps.Empty()) return nullptr;
    const double maxSum = 255.0 * 2 * BlurNormalisingSum(taps.radius);
    if (maxSum >= kTableLimit) return nullptr;
    return std::make_unique<TableFinisher>(2 * taps.norm, static_cast<std::int64_t>(maxSum));
}

template <class L>
RASTELLE_ALWAYS_INLINE std::uint32_t FinishSums(const typename L::V& t, double norm2, TableLookup table) {
    if constexpr (std::is_same_v<L, Lanes32>) {
        if (table.inverse) return table(t);
        alignas(16) std::int32_t s[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(s), t);
        return Finish(s[0], s[1], s[2], s[3], norm2);
    } else {
        return Finish(static_cast<double>(t.s[0]), static_cast<double>(t.s[1]), static_cast<double>(t.s[2]),
                      static_cast<double>(t.s[3]), norm2);
    }
}

// --- Horizontal pass: one source row into one premultiplied work row -------

class HorizontalPass {
public:
    HorizontalPass(const ConstImageView& src, const Taps& taps, int offX)
        : src_(src), taps_(taps), offX_(offX), table_(MakeTable(taps)) {
        active_ = ActiveRange(src.width, offX, taps, first_, last_);
        if (!taps.running) {
            for (int d = taps.lo; d <= taps.hi; ++d) weights_.push_back(taps.Weight(d));
            doubles_.resize(static_cast<size_t>(src.width) * 2);
        } else if (taps.wide) {
            wide_.resize(static_cast<size_t>(src.width) + 2);
        } else {
            narrow_.resize(static_cast<size_t>(src.width) + 2);
        }
    }

    void Row(int y, std::uint16_t* out) {
        const int w = src_.width;
        if (!active_) {
            std::memset(out, 0, static_cast<size_t>(w) * 8);
            return;
        }
        std::memset(out, 0, static_cast<size_t>(first_) * 8);
        std::memset(out + 4 * static_cast<size_t>(last_ + 1), 0, static_cast<size_t>(w - 1 - last_) * 8);
        const std::uint32_t* in = src_.row(y);
        if (!taps_.running) Direct(in, out);
        else if (taps_.wide) Running<Lanes64>(in, out, wide_);
        else Running<Lanes32>(in, out, narrow_);
    }

private:
    // T (the tent sum) and D (the sum right of the centre minus the sum up to
    // it) of the first window directly; then both slide one step a pixel.
    template <class L>
    void Running(const std::uint32_t* in, std::uint16_t* out, AlignedVector<Slot<typename L::V>>& line) {
        using V = typename L::V;
        const int w = src_.width, h = taps_.hi;
        const bool edgeTwo = taps_.EdgeWeighsTwo();
        const double norm2 = 2 * taps_.norm;
        Slot<V>* v = line.data() + 1;  // a transparent pixel at each end
        v[-1].v = v[w].v = L::Zero();
        for (int x = 0; x < w; ++x) v[x].v = L::Pixel(in[x]);
        auto at = [&](std::int64_t i) { return v[std::clamp<std::int64_t>(i, -1, w)].v; };
        std::int64_t c = std::int64_t{first_} - offX_;
        std::int64_t t[4] = {}, d[4] = {};
        for (std::int64_t j = std::max<std::int64_t>(0, c - h); j <= std::min<std::int64_t>(w - 1, c + h); ++j) {
            const std::uint32_t p = in[j];
            const std::int64_t a = p >> 24, wt = taps_.Weight2(j - c);
            const std::int64_t vals[4] = {(p & 0xFF) * a, ((p >> 8) & 0xFF) * a, ((p >> 16) & 0xFF) * a, a};
            for (int k = 0; k < 4; ++k) {
                t[k] += vals[k] * wt;
                d[k] += j <= c ? -vals[k] : vals[k];
            }
        }
        V tv = L::From(t), dv = L::From(d);
        const TableLookup table = table_ ? table_->Lookup() : TableLookup{};
        StoreWork(out, first_, FinishSums<L>(tv, norm2, table));
        for (int x = first_ + 1; x <= last_; ++x, ++c) {
            const bool inside = c - h >= -1 && c + h + 1 <= w;  // no clamping needed
            const V va = inside ? v[c - h].v : at(c - h), vm = inside ? v[c + 1].v : at(c + 1);
            const V vb = inside ? v[c + h + 1].v : at(c + h + 1);
            tv = L::Add(L::Add(tv, L::Add(dv, dv)), edgeTwo ? L::Add(vb, vb) : L::Add(va, vb));
            dv = L::Sub(L::Add(dv, L::Add(va, vb)), L::Add(vm, vm));
            StoreWork(out, x, FinishSums<L>(tv, norm2, table));
        }
    }

    // The weighted terms added in index order, two channels per register.
    void Direct(const std::uint32_t* in, std::uint16_t* out) {
        const int w = src_.width;
        for (int x = 0; x < w; ++x) {
            const __m128i p = Premultiply(in[x]);
            doubles_[2 * x].v = _mm_cvtepi32_pd(p);
            doubles_[2 * x + 1].v = _mm_cvtepi32_pd(_mm_unpackhi_epi64(p, p));
        }
        for (int x = first_; x <= last_; ++x) {
            const std::int64_t c = std::int64_t{x} - offX_;
            const int j0 = static_cast<int>(std::max<std::int64_t>(0, c + taps_.lo));
            const int j1 = static_cast<int>(std::min<std::int64_t>(w - 1, c + taps_.hi));
            __m128d bg = _mm_setzero_pd(), ra = _mm_setzero_pd();
            const double* wt = weights_.data() + (j0 - c - taps_.lo);
            for (int j = j0; j <= j1; ++j, ++wt) {
                const __m128d k = _mm_set1_pd(*wt);
                bg = _mm_add_pd(bg, _mm_mul_pd(doubles_[2 * j].v, k));
                ra = _mm_add_pd(ra, _mm_mul_pd(doubles_[2 * j + 1].v, k));
            }
            alignas(16) double s[4];
            _mm_store_pd(s, bg);
            _mm_store_pd(s + 2, ra);
            StoreWork(out, x, Finish(s[0], s[1], s[2], s[3], taps_.norm));
        }
    }

    const ConstImageView& src_;
    const Taps& taps_;
    int offX_;
    std::unique_ptr<TableFinisher> table_;
    bool active_ = false;
    int first_ = 0, last_ = -1;
    std::vector<double> weights_;
    AlignedVector<Slot<__m128d>> doubles_;  // (B*A, G*A), (R*A, A) per pixel
    AlignedVector<Slot<Lanes32::V>> narrow_;
    AlignedVector<Slot<Lanes64::V>> wide_;
};

// The horizontal pass's rows, premultiplied, for the vertical pass.
using WorkRows = RowRing<std::uint16_t, HorizontalPass>;

// --- Vertical pass: work columns, laid onto dst ----------------------------

// Per column the same T and D as the horizontal pass, slid down one row at a
// time.
template <class L>
void VerticalRunning(WorkRows& rows, const ImageView& dst, const Taps& taps, int offY, const Layer& layer) {
    using V = typename L::V;
    const int w = dst.width, hgt = dst.height, h = taps.hi;
    const bool edgeTwo = taps.EdgeWeighsTwo();
    const double norm2 = 2 * taps.norm;
    const auto tables = MakeTable(taps);
    const TableLookup table = tables ? tables->Lookup() : TableLookup{};
    int first = 0, last = -1;
    if (!ActiveRange(hgt, offY, taps, first, last)) return;
    AlignedVector<Slot<V>> t(static_cast<size_t>(w), Slot<V>{L::Zero()}), d(t);
    std::int64_t c = std::int64_t{first} - offY;
    // The first window directly, a row at a time.
    for (std::int64_t k = std::max<std::int64_t>(0, c - h); k <= std::min<std::int64_t>(hgt - 1, c + h); ++k) {
        const std::uint16_t* in = rows.Get(k);
        const std::int64_t wt = taps.Weight2(k - c);
        for (int x = 0; x < w; ++x) {
            std::int64_t tx[4], dx[4];
            L::To(t[x].v, tx);
            L::To(d[x].v, dx);
            for (int i = 0; i < 4; ++i) {
                const std::int64_t v = in[4 * static_cast<size_t>(x) + i];
                tx[i] += v * wt;
                dx[i] += k <= c ? -v : v;
            }
            t[x].v = L::From(tx);
            d[x].v = L::From(dx);
        }
    }
    for (int y = first;; ++y, ++c) {
        std::uint32_t* out = dst.row(y);
        for (int x = 0; x < w; ++x) out[x] = layer(out[x], FinishSums<L>(t[x].v, norm2, table));
        if (y == last) break;
        const std::uint16_t* ra = rows.Get(c - h);
        const std::uint16_t* rm = rows.Get(c + 1);
        const std::uint16_t* rb = rows.Get(c + h + 1);
        for (int x = 0; x < w; ++x) {
            const V va = L::Work(ra, x), vm = L::Work(rm, x), vb = L::Work(rb, x);
            const V dx = d[x].v;
            t[x].v = L::Add(L::Add(t[x].v, L::Add(dx, dx)), edgeTwo ? L::Add(vb, vb) : L::Add(va, vb));
            d[x].v = L::Sub(L::Add(dx, L::Add(va, vb)), L::Add(vm, vm));
        }
    }
}

void VerticalDirect(WorkRows& rows, const ImageView& dst, const Taps& taps, int offY, const Layer& layer) {
    const int w = dst.width, hgt = dst.height;
    int first = 0, last = -1;
    if (!ActiveRange(hgt, offY, taps, first, last)) return;
    AlignedVector<Slot<__m128d>> sums(static_cast<size_t>(w) * 2);
    for (int y = first; y <= last; ++y) {
        const std::int64_t c = std::int64_t{y} - offY;
        const std::int64_t k0 = std::max<std::int64_t>(0, c + taps.lo);
        const std::int64_t k1 = std::min<std::int64_t>(hgt - 1, c + taps.hi);
        std::fill(sums.begin(), sums.end(), Slot<__m128d>{_mm_setzero_pd()});
        for (std::int64_t k = k0; k <= k1; ++k) {
            const std::uint16_t* in = rows.Get(k);
            const __m128d wt = _mm_set1_pd(taps.Weight(k - c));
            for (int x = 0; x < w; ++x) {
                const __m128i p = LoadWork(in, x);
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

}  // namespace

using blur_detail::Taps;
using blur_detail::TryBytePathBlur;

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
    if (vertical.Empty()) return;  // no window, no layer
    if (TryBytePathBlur(src, dst, params, horizontal, vertical)) return;
    HorizontalPass pass(src, horizontal, params.offsetX);
    // The vertical windows reach 2 * hi + 1 rows, the sliding update one more.
    const int ringRows = static_cast<int>(std::min<std::int64_t>(dst.height, 2 * std::int64_t{vertical.hi} + 2));
    WorkRows rows(pass, static_cast<size_t>(dst.width) * 4, dst.height, ringRows);
    const Layer layer{params.glowColor};
    if (!vertical.running) VerticalDirect(rows, dst, vertical, params.offsetY, layer);
    else if (vertical.wide) VerticalRunning<Lanes64>(rows, dst, vertical, params.offsetY, layer);
    else VerticalRunning<Lanes32>(rows, dst, vertical, params.offsetY, layer);
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
