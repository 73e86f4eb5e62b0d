#include "simd.h"

#include "rank_filter.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include "blend.h"

// How the filters are computed. Ranking a channel by (alpha * byte, byte)
// is ranking it by the position of (alpha, byte) in that order, a 16-bit
// number (RankOrderOf): each channel becomes a plane of such positions, the
// order statistic is taken over plain 16-bit values and the byte is read back
// from the chosen position. When every pixel of the image has the same alpha,
// that order is the order of the bytes themselves, so such images (opaque
// ones above all) are filtered on their bytes directly, all four channels of
// a pixel at once.
//
// Minimum and maximum are separable (a row pass, then a column pass) and,
// with windows cut at the borders, equal to padding with the identity of
// the operation. Small windows take the extremum over shifted rows with
// SSE2; larger ones use van Herk/Gil-Werman blocks, three operations per
// element whatever the radius. The 3 x 3 median sorts each column of three
// once and takes the median of the window from the sorted columns; larger
// medians slide a two- or three-level histogram along each row (Huang), so
// their cost grows with r, not r^2.

namespace rastelle::kernels {
namespace {

struct OrderTables {
    std::array<std::uint16_t, 65536> order;  // [alpha << 8 | byte]
    std::array<std::uint8_t, 65536> byteOf;
};

const OrderTables& Tables() {
    static const std::unique_ptr<const OrderTables> tables = [] {
        auto t = std::make_unique<OrderTables>();
        std::vector<std::uint32_t> pairs(65536);
        std::iota(pairs.begin(), pairs.end(), 0u);
        auto key = [](std::uint32_t p) { return (p >> 8) * (p & 0xFF); };
        std::sort(pairs.begin(), pairs.end(), [&](std::uint32_t a, std::uint32_t b) {
            return key(a) != key(b) ? key(a) < key(b) : (a & 0xFF) < (b & 0xFF);
        });
        std::uint32_t code = 0;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const std::uint32_t p = pairs[i];
            if (i > 0 && (key(p) != key(pairs[i - 1]) || (p & 0xFF) != (pairs[i - 1] & 0xFF))) ++code;
            t->order[p] = static_cast<std::uint16_t>(code);
            t->byteOf[code] = static_cast<std::uint8_t>(p);
        }
        return std::unique_ptr<const OrderTables>(std::move(t));
    }();
    return *tables;
}

// --- Element types: bytes of interleaved pixels, or 16-bit positions ------
// Positions are stored less 32768, so that SSE2's signed 16-bit minimum and
// maximum order them.

struct Bytes {
    using T = std::uint8_t;
    static __m128i Min(__m128i a, __m128i b) { return _mm_min_epu8(a, b); }
    static __m128i Max(__m128i a, __m128i b) { return _mm_max_epu8(a, b); }
    static constexpr T kLowest = 0, kHighest = 255;
    static unsigned Index(T v) { return v; }
    static T FromIndex(unsigned i) { return static_cast<T>(i); }
};

struct Words {
    using T = std::int16_t;
    static __m128i Min(__m128i a, __m128i b) { return _mm_min_epi16(a, b); }
    static __m128i Max(__m128i a, __m128i b) { return _mm_max_epi16(a, b); }
    static constexpr T kLowest = -32768, kHighest = 32767;
    static unsigned Index(T v) { return static_cast<unsigned>(v + 32768); }
    static T FromIndex(unsigned i) { return static_cast<T>(static_cast<int>(i) - 32768); }
};

// Rows of `width` elements of `unit` bytes (one value, or one pixel's four
// byte values side by side).
struct Rows {
    std::byte* base;
    std::ptrdiff_t stride;
    int width, height, unit;
    std::byte* row(int y) const { return base + y * stride; }
    size_t rowBytes() const { return static_cast<size_t>(width) * unit; }
};

__m128i Load(const std::byte* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store(std::byte* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Stores the first n (< 16) bytes of v.
void StorePart(std::byte* p, __m128i v, size_t n) {
    alignas(16) std::byte tmp[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(tmp), v);
    std::memcpy(p, tmp, n);
}

// A row buffer with `pad` bytes before and after the row (and 16 spare),
// filled with a repeated identity element.
class PaddedRow {
public:
    PaddedRow(size_t rowBytes, size_t pad, const std::byte* identity, int unit)
        : pad_(pad), data_(pad + rowBytes + pad + 32) {
        for (size_t i = 0; i < data_.size(); ++i) data_[i] = identity[i % static_cast<size_t>(unit)];
    }
    std::byte* row() { return data_.data() + pad_; }

private:
    size_t pad_;
    std::vector<std::byte> data_;
};

template <class E, bool kMax>
__m128i Pick(__m128i a, __m128i b) {
    return kMax ? E::Max(a, b) : E::Min(a, b);
}

// --- Minimum and maximum ---------------------------------------------------

constexpr int kDirectRadius = 8;  // up to here shifted rows; beyond, blocks

// Extremum over the cut window [i - r, i + r] of a line of n elements at p,
// elements `step` bytes apart, into q: van Herk/Gil-Werman with blocks of
// 2r + 1 aligned at 0, prefix and suffix extrema inside each block. Works on
// one element per SSE2 register (the unused lanes are don't-cares).
template <class E, bool kMax>
void BlockExtremumLine(const std::byte* p, std::byte* q, int n, int r, int unit, std::vector<Slot<__m128i>>& prefix,
                       std::vector<Slot<__m128i>>& suffix) {
    auto load = [&](int i) {
        std::uint32_t v = 0;
        std::memcpy(&v, p + static_cast<size_t>(i) * unit, static_cast<size_t>(unit));
        return _mm_cvtsi32_si128(static_cast<int>(v));
    };
    const int k = 2 * r + 1;
    prefix.resize(static_cast<size_t>(n));
    suffix.resize(static_cast<size_t>(n));
    for (int start = 0; start < n; start += k) {
        const int end = std::min(n, start + k) - 1;
        prefix[start].v = load(start);
        for (int i = start + 1; i <= end; ++i) prefix[i].v = Pick<E, kMax>(prefix[i - 1].v, load(i));
        suffix[end].v = load(end);
        for (int i = end - 1; i >= start; --i) suffix[i].v = Pick<E, kMax>(suffix[i + 1].v, load(i));
    }
    for (int i = 0; i < n; ++i) {
        const int a = std::max(0, i - r), b = std::min(n - 1, i + r);
        __m128i v;
        if (a / k == b / k) v = a % k == 0 ? prefix[b].v : suffix[a].v;
        else v = Pick<E, kMax>(suffix[a].v, prefix[b].v);
        const std::uint32_t bits = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
        std::memcpy(q + static_cast<size_t>(i) * unit, &bits, static_cast<size_t>(unit));
    }
}

template <class E, bool kMax>
void ExtremumFilter(const Rows& in, const Rows& out, int r) {
    const int w = in.width, h = in.height, unit = in.unit;
    const size_t rowBytes = in.rowBytes();
    const size_t midStride = (rowBytes + 15) / 16 * 16 + 16;
    std::array<std::byte, 4> identity;
    for (int i = 0; i < 4; i += static_cast<int>(sizeof(typename E::T))) {
        const typename E::T v = kMax ? E::kLowest : E::kHighest;
        std::memcpy(&identity[static_cast<size_t>(i)], &v, sizeof v);
    }

    // The row pass, one row at a time.
    PaddedRow padded(rowBytes, static_cast<size_t>(std::min(r, kDirectRadius)) * unit, identity.data(), unit);
    std::vector<Slot<__m128i>> blockPrefix, blockSuffix;
    auto rowPass = [&](int y, std::byte* m) {
        if (r <= kDirectRadius) {
            std::byte* buf = padded.row();
            std::memcpy(buf, in.row(y), rowBytes);
            for (size_t o = 0; o < rowBytes; o += 16) {
                __m128i v = Load(buf + o);
                for (int d = 1; d <= r; ++d) {
                    v = Pick<E, kMax>(v, Load(buf + o - static_cast<size_t>(d) * unit));
                    v = Pick<E, kMax>(v, Load(buf + o + static_cast<size_t>(d) * unit));
                }
                Store(m + o, v);
            }
        } else {
            BlockExtremumLine<E, kMax>(in.row(y), m, w, std::min(r, w), unit, blockPrefix, blockSuffix);
        }
    };
    auto emit = [&](int y, size_t o, __m128i v) {
        if (o + 16 <= rowBytes) Store(out.row(y) + o, v);
        else StorePart(out.row(y) + o, v, rowBytes - o);
    };

    // Small windows: the column pass over a ring of the last 2r + 1 row results.
    if (r <= kDirectRadius && r < h - 1) {
        const int ringRows = 2 * r + 1;
        std::vector<std::byte> ring(midStride * static_cast<size_t>(ringRows));
        auto slot = [&](int k) { return ring.data() + static_cast<size_t>(k % ringRows) * midStride; };
        int done = 0;  // rows through the row pass so far
        for (int y = 0; y < h; ++y) {
            const int k0 = std::max(0, y - r), k1 = std::min(h - 1, y + r);
            for (; done <= k1; ++done) rowPass(done, slot(done));
            for (size_t o = 0; o < rowBytes; o += 16) {
                __m128i v = Load(slot(k0) + o);
                for (int k = k0 + 1; k <= k1; ++k) v = Pick<E, kMax>(v, Load(slot(k) + o));
                emit(y, o, v);
            }
        }
        return;
    }

    std::vector<std::byte> mid(midStride * static_cast<size_t>(h));
    auto midRow = [&](int y) { return mid.data() + static_cast<size_t>(y) * midStride; };
    for (int y = 0; y < h; ++y) rowPass(y, midRow(y));

    // Columns, sixteen bytes at a time.
    if (r >= h - 1) {  // every window holds every row: one result for all
        for (size_t o = 0; o < rowBytes; o += 16) {
            __m128i v = Load(midRow(0) + o);
            for (int y = 1; y < h; ++y) v = Pick<E, kMax>(v, Load(midRow(y) + o));
            for (int y = 0; y < h; ++y) emit(y, o, v);
        }
        return;
    }
    const int k = 2 * r + 1;
    std::vector<std::byte> prefix(midStride * static_cast<size_t>(h)), suffix(prefix.size());
    auto pre = [&](int y) { return prefix.data() + static_cast<size_t>(y) * midStride; };
    auto suf = [&](int y) { return suffix.data() + static_cast<size_t>(y) * midStride; };
    for (int start = 0; start < h; start += k) {
        const int end = std::min(h, start + k) - 1;
        std::memcpy(pre(start), midRow(start), midStride);
        for (int y = start + 1; y <= end; ++y)
            for (size_t o = 0; o < rowBytes; o += 16)
                Store(pre(y) + o, Pick<E, kMax>(Load(pre(y - 1) + o), Load(midRow(y) + o)));
        std::memcpy(suf(end), midRow(end), midStride);
        for (int y = end - 1; y >= start; --y)
            for (size_t o = 0; o < rowBytes; o += 16)
                Store(suf(y) + o, Pick<E, kMax>(Load(suf(y + 1) + o), Load(midRow(y) + o)));
    }
    for (int y = 0; y < h; ++y) {
        const int a = std::max(0, y - r), b = std::min(h - 1, y + r);
        for (size_t o = 0; o < rowBytes; o += 16) {
            __m128i v;
            if (a / k == b / k) v = Load(a % k == 0 ? pre(b) + o : suf(a) + o);
            else v = Pick<E, kMax>(Load(suf(a) + o), Load(pre(b) + o));
            emit(y, o, v);
        }
    }
}

// --- Median -------------------------------------------------------------------

// The median of a cut window, straight: for the border pixels of the 3 x 3
// filter. `lane` picks the value inside an element.
template <class E>
typename E::T WindowMedian(const Rows& in, int lane, int x, int y, int r) {
    using T = typename E::T;
    std::vector<T> values;
    for (int k = std::max(0, y - r); k <= std::min(in.height - 1, y + r); ++k)
        for (int j = std::max(0, x - r); j <= std::min(in.width - 1, x + r); ++j) {
            T v;
            std::memcpy(&v, in.row(k) + static_cast<size_t>(j) * in.unit + static_cast<size_t>(lane) * sizeof(T),
                        sizeof(T));
            values.push_back(v);
        }
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

template <class E>
void BorderMedians(const Rows& in, const Rows& out, int r) {
    using T = typename E::T;
    const int lanes = in.unit / static_cast<int>(sizeof(T));
    auto one = [&](int x, int y) {
        for (int lane = 0; lane < lanes; ++lane) {
            const T v = WindowMedian<E>(in, lane, x, y, r);
            std::memcpy(out.row(y) + static_cast<size_t>(x) * out.unit + static_cast<size_t>(lane) * sizeof(T), &v,
                        sizeof(T));
        }
    };
    for (int y = 0; y < in.height; ++y) {
        const bool edgeRow = y < r || y >= in.height - r;
        for (int x = 0; x < in.width; ++x) {
            if (!edgeRow && x == r && in.width - r > r) x = in.width - r;  // skip the interior
            one(x, y);
        }
    }
}

template <class E>
void Median3x3(const Rows& in, const Rows& out) {
    const int w = in.width, h = in.height, u = in.unit;
    if (w >= 3 && h >= 3) {
        const size_t rowBytes = in.rowBytes();
        const size_t padded = (rowBytes + 15) / 16 * 16 + 32;
        std::vector<std::byte> lo(padded), md(padded), hi(padded), tail(48);
        for (int y = 1; y < h - 1; ++y) {
            // Each column of three, sorted.
            const std::byte* rows[3] = {in.row(y - 1), in.row(y), in.row(y + 1)};
            for (size_t o = 0; o < rowBytes; o += 16) {
                __m128i a, b, c;
                if (o + 16 <= rowBytes) {
                    a = Load(rows[0] + o), b = Load(rows[1] + o), c = Load(rows[2] + o);
                } else {
                    for (int i = 0; i < 3; ++i) std::memcpy(tail.data() + 16 * i, rows[i] + o, rowBytes - o);
                    a = Load(tail.data()), b = Load(tail.data() + 16), c = Load(tail.data() + 32);
                }
                const __m128i ab0 = E::Min(a, b), ab1 = E::Max(a, b);
                const __m128i low = E::Min(ab0, c), t = E::Max(ab0, c);
                Store(lo.data() + o, low);
                Store(md.data() + o, E::Min(ab1, t));
                Store(hi.data() + o, E::Max(ab1, t));
            }
            // The median of nine from three sorted columns: the median of
            // (largest low, median of the middles, smallest high).
            std::byte* dst = out.row(y);
            const size_t end = rowBytes - u;
            for (size_t o = u; o < end; o += 16) {
                const __m128i lowMax = E::Max(E::Max(Load(lo.data() + o - u), Load(lo.data() + o)),
                                              Load(lo.data() + o + u));
                const __m128i highMin = E::Min(E::Min(Load(hi.data() + o - u), Load(hi.data() + o)),
                                               Load(hi.data() + o + u));
                const __m128i m0 = Load(md.data() + o - u), m1 = Load(md.data() + o), m2 = Load(md.data() + o + u);
                const __m128i midMed = E::Max(E::Min(m0, m1), E::Min(E::Max(m0, m1), m2));
                const __m128i v =
                    E::Max(E::Min(lowMax, midMed), E::Min(E::Max(lowMax, midMed), highMin));
                if (o + 16 <= end) Store(dst + o, v);
                else StorePart(dst + o, v, end - o);
            }
        }
    }
    BorderMedians<E>(in, out, 1);
}

// Counts of values in a sliding window, in two levels for bytes (16 x 16)
// and three for 16-bit values (256 x 16 x 16). The coarse level keeps a
// cursor with the count of values below it, which moves only as far as the
// order statistic does from one window to the next.
template <int kBits>
class SlidingHistogram {
public:
    SlidingHistogram() : coarse_(kCoarse), mid_(kBits == 16 ? 4096 : 0), fine_(size_t{1} << kBits) {}

    void Add(unsigned v) {
        ++fine_[v];
        if constexpr (kBits == 16) ++mid_[v >> 4];
        const unsigned c = v >> kCoarseShift;
        ++coarse_[c];
        below_ += c < cursor_;
    }
    void Remove(unsigned v) {
        --fine_[v];
        if constexpr (kBits == 16) --mid_[v >> 4];
        const unsigned c = v >> kCoarseShift;
        --coarse_[c];
        below_ -= c < cursor_;
    }
    // The k-th smallest value (from 0) of a window holding more than k.
    unsigned Select(std::uint32_t k) {
        while (below_ > k) below_ -= coarse_[--cursor_];
        while (below_ + coarse_[cursor_] <= k) below_ += coarse_[cursor_++];
        std::uint32_t rest = k - below_;
        unsigned f = cursor_ << 4;
        if constexpr (kBits == 16) {
            while (mid_[f] <= rest) rest -= mid_[f++];
            f <<= 4;
        }
        while (fine_[f] <= rest) rest -= fine_[f++];
        return f;
    }

private:
    static constexpr unsigned kCoarseShift = kBits - 8 == 0 ? 4 : 8;
    static constexpr unsigned kCoarse = 1u << (kBits - kCoarseShift);
    std::vector<std::uint32_t> coarse_, mid_, fine_;
    unsigned cursor_ = 0;
    std::uint32_t below_ = 0;
};

// Median of one value per element (`lane` of each), r >= 1.
template <class E, int kBits>
void HistogramMedian(const Rows& in, const Rows& out, int lane, int r) {
    using T = typename E::T;
    const int w = in.width, h = in.height;
    const size_t offset = static_cast<size_t>(lane) * sizeof(T);
    auto value = [&](int x, int y) {
        T v;
        std::memcpy(&v, in.row(y) + static_cast<size_t>(x) * in.unit + offset, sizeof v);
        return E::Index(v);
    };
    SlidingHistogram<kBits> hist;
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - r), y1 = std::min(h - 1, y + r);
        const std::uint32_t rows = static_cast<std::uint32_t>(y1 - y0 + 1);
        auto column = [&](int x, bool add) {
            for (int k = y0; k <= y1; ++k) add ? hist.Add(value(x, k)) : hist.Remove(value(x, k));
        };
        int x1 = std::min(w - 1, r);
        for (int x = 0; x <= x1; ++x) column(x, true);
        int x0 = 0;
        std::byte* dst = out.row(y) + offset;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t n = rows * static_cast<std::uint32_t>(x1 - x0 + 1);
            const T v = E::FromIndex(hist.Select(n / 2));
            std::memcpy(dst + static_cast<size_t>(x) * out.unit, &v, sizeof v);
            if (x - r >= 0) column(x0++, false);
            if (x + r + 1 < w) column(++x1, true);
        }
        for (int x = x0; x <= x1; ++x) column(x, false);
    }
}

// --- Drivers -------------------------------------------------------------------

template <class E, int kBits>
void FilterRows(const Rows& in, const Rows& out, int r, RankMode mode, int medianLanes) {
    switch (mode) {
        case RankMode::Minimum: ExtremumFilter<E, false>(in, out, r); break;
        case RankMode::Maximum: ExtremumFilter<E, true>(in, out, r); break;
        case RankMode::Median:
            if (r == 1) {
                Median3x3<E>(in, out);
            } else {
                for (int lane = 0; lane < medianLanes; ++lane) HistogramMedian<E, kBits>(in, out, lane, r);
            }
            break;
    }
}

bool SameAlphaEverywhere(const ConstImageView& src) {
    const std::uint32_t alpha = src.row(0)[0] & 0xFF000000u;
    for (int y = 0; y < src.height; ++y) {
        const std::uint32_t* in = src.row(y);
        for (int x = 0; x < src.width; ++x)
            if ((in[x] & 0xFF000000u) != alpha) return false;
    }
    return true;
}

Rows RowsOf(const ConstImageView& v) {
    // The filters never write through an input.
    return {reinterpret_cast<std::byte*>(const_cast<std::uint32_t*>(v.pixels)), v.strideBytes, v.width, v.height, 4};
}

}  // namespace

std::uint16_t RankOrderOf(std::uint8_t alpha, std::uint8_t byte) {
    return Tables().order[static_cast<size_t>(alpha) << 8 | byte];
}

std::uint8_t ByteOfRankOrder(std::uint16_t order) { return Tables().byteOf[order]; }

void RankFilter(const ConstImageView& src, const ImageView& dst, int radius, RankMode mode, bool rankAlpha) {
    assert(src.width == dst.width && src.height == dst.height);
    if (radius < 1) {
        BlendImageOver(src, dst);
        return;
    }
    const int w = src.width, h = src.height;
    if (w <= 0 || h <= 0) return;
    const int r = std::min(radius, std::max(w, h));

    if (SameAlphaEverywhere(src)) {
        // Byte order is ranking order; the alpha, equal everywhere, comes out
        // unchanged whether ranked or copied.
        const Rows out{reinterpret_cast<std::byte*>(dst.pixels), dst.strideBytes, w, h, 4};
        FilterRows<Bytes, 8>(RowsOf(src), out, r, mode, 3);
        if (mode == RankMode::Median && r > 1) {
            const std::uint32_t alpha = src.row(0)[0] & 0xFF000000u;
            for (int y = 0; y < h; ++y) {
                std::uint32_t* row = dst.row(y);
                for (int x = 0; x < w; ++x) row[x] = (row[x] & 0xFFFFFFu) | alpha;
            }
        }
        return;
    }

    const OrderTables& tables = Tables();
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    std::vector<std::int16_t> plane(count), filtered(count);
    const Rows in{reinterpret_cast<std::byte*>(plane.data()), static_cast<std::ptrdiff_t>(w) * 2, w, h, 2};
    const Rows out{reinterpret_cast<std::byte*>(filtered.data()), static_cast<std::ptrdiff_t>(w) * 2, w, h, 2};
    for (int channel = 0; channel < 4; ++channel) {
        const bool alpha = channel == 3;
        if (alpha && !rankAlpha) break;
        const int shift = 8 * channel;
        for (int y = 0; y < h; ++y) {
            const std::uint32_t* s = src.row(y);
            std::int16_t* p = plane.data() + static_cast<size_t>(y) * w;
            for (int x = 0; x < w; ++x) {
                const std::uint32_t a = s[x] >> 24;
                const unsigned order = alpha ? a : tables.order[a << 8 | ((s[x] >> shift) & 0xFF)];
                p[x] = static_cast<std::int16_t>(static_cast<int>(order) - 32768);
            }
        }
        FilterRows<Words, 16>(in, out, r, mode, 1);
        const std::uint32_t mask = ~(0xFFu << shift);
        for (int y = 0; y < h; ++y) {
            std::uint32_t* d = dst.row(y);
            const std::int16_t* f = filtered.data() + static_cast<size_t>(y) * w;
            for (int x = 0; x < w; ++x) {
                const unsigned order = static_cast<unsigned>(f[x] + 32768);
                const std::uint32_t byte = alpha ? order : tables.byteOf[order];
                d[x] = (d[x] & mask) | byte << shift;
            }
        }
    }
    if (!rankAlpha) {
        for (int y = 0; y < h; ++y) {
            const std::uint32_t* s = src.row(y);
            std::uint32_t* d = dst.row(y);
            for (int x = 0; x < w; ++x) d[x] = (d[x] & 0xFFFFFFu) | (s[x] & 0xFF000000u);
        }
    }
}

void NoiseRemoveImage(const ConstImageView& in, const ImageView& out, int precision) {
    RankFilter(in, out, precision, RankMode::Median, false);
}

void ErosionImage(const ConstImageView& in, const ImageView& out, int strength) {
    RankFilter(in, out, strength, RankMode::Maximum, true);
}

void ExpandImage(const ConstImageView& in, const ImageView& out, int strength) {
    RankFilter(in, out, strength, RankMode::Minimum, true);
}

}  // namespace rastelle::kernels
