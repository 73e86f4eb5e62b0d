#include "simd.h"

#include "rank_filter.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <numeric>
#include <utility>
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
// the operation. Rows: extrema over spans doubled log2(2r + 1) times, then two
// overlapping spans per window. Columns: 2r + 1 rows for r <= 2, otherwise van
// Herk/Gil-Werman blocks (three operations per element whatever the radius).
// All of it 16 bytes at a time with SSE2.
//
// Medians: 3 x 3 and 5 x 5 by sorting networks over columns sorted once and
// shared by the windows they belong to. Larger byte medians (r <= 127) keep a
// histogram per column and take constant time per pixel (Perreault/Hebert);
// larger 16-bit ones slide a three-level histogram along each row (Huang), at
// a cost that grows with r, not r^2.
//
// Memory: the byte path needs a few rows; the general path two 16-bit planes
// of a band of rows (the positions of one channel, and its filtered ones).

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

// The rows whose outputs a filter computes: first..last of its input rows.
struct OutputRows {
    int first, last;
};

__m128i Load(const std::byte* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store(std::byte* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Stores the first n (< 16) bytes of v.
void StorePart(std::byte* p, __m128i v, size_t n) {
    alignas(16) std::byte tmp[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(tmp), v);
    std::memcpy(p, tmp, n);
}

// A row buffer with `pad` bytes before and after the row (and 32 spare),
// whose padding holds a repeated identity element.
class PaddedRow {
public:
    PaddedRow(size_t rowBytes, size_t pad, const std::byte* identity, int unit)
        : rowBytes_(rowBytes), pad_(pad), unit_(static_cast<size_t>(unit)), data_(pad + rowBytes + pad + 32) {
        std::memcpy(identity_, identity, unit_);
        Refill();
    }
    std::byte* row() { return data_.data() + pad_; }
    // Restores the identity in the padding (and the spare bytes).
    void Refill() {
        for (size_t i = 0; i < pad_; ++i) data_[i] = identity_[i % unit_];
        for (size_t i = pad_ + rowBytes_; i < data_.size(); ++i) data_[i] = identity_[(i - pad_ - rowBytes_) % unit_];
    }

private:
    size_t rowBytes_, pad_, unit_;
    std::byte identity_[4];
    std::vector<std::byte> data_;
};

template <class E, bool kMax>
__m128i Pick(__m128i a, __m128i b) {
    return kMax ? E::Max(a, b) : E::Min(a, b);
}

// --- Minimum and maximum ---------------------------------------------------

constexpr int kDirectRadius = 2;  // up to here the column pass reads 2r + 1 rows; beyond, blocks

template <class E, bool kMax>
void ExtremumFilter(const Rows& in, const Rows& out, int r, OutputRows range) {
    const int h = in.height, unit = in.unit;
    const size_t rowBytes = in.rowBytes();
    const size_t ringStride = (rowBytes + 15) / 16 * 16 + 16;
    std::array<std::byte, 4> identity;
    for (int i = 0; i < 4; i += static_cast<int>(sizeof(typename E::T))) {
        const typename E::T v = kMax ? E::kLowest : E::kHighest;
        std::memcpy(&identity[static_cast<size_t>(i)], &v, sizeof v);
    }
    // 16 bytes of a source row from offset o; past its end, don't-cares.
    alignas(16) std::byte tail[16] = {};
    auto source = [&](int y, size_t o) {
        if (o + 16 <= rowBytes) return Load(in.row(y) + o);
        std::memcpy(tail, in.row(y) + o, rowBytes - o);
        return Load(tail);
    };

    // The column pass first, from the source rows into a padded row. Small
    // windows take the extremum of their 2r + 1 rows; larger ones use van
    // Herk/Gil-Werman blocks of 2r + 1 rows aligned at row 0: the prefix
    // extrema of the block holding the window's last row and the suffix
    // extrema of the block holding its first, kept in rings, three operations
    // per 16 bytes whatever the radius.
    const int k = 2 * r + 1;
    const bool blocks = r > kDirectRadius;
    const int ringRows = blocks ? static_cast<int>(std::min<std::int64_t>(h, 2 * std::int64_t{k})) : 0;
    std::vector<std::byte> prefix(ringStride * static_cast<size_t>(ringRows)), suffix(prefix.size());
    auto slot = [&](std::vector<std::byte>& v, int y) {
        return v.data() + static_cast<size_t>(y % ringRows) * ringStride;
    };
    // source rows taken into the prefix ring so far (from the first block needed)
    int done = std::max(0, range.first - r) / k * k;

    // Then the row pass, by doubling: with P the largest power of two up to
    // 2r + 1, the extremum over P neighbours is built in log2(P) passes over
    // the padded row, and two such spans, overlapping, cover the window.
    int span = 1;
    while (2 * span <= k) span *= 2;
    PaddedRow padded(rowBytes, static_cast<size_t>(r) * unit, identity.data(), unit);
    const size_t paddedBytes = rowBytes + 2 * static_cast<size_t>(r) * unit;
    const size_t second = static_cast<size_t>(k - span) * unit;

    for (int y = range.first; y <= range.last; ++y) {
        const int first = std::max(0, y - r), last = std::min(h - 1, y + r);
        std::byte* row = padded.row();
        if (blocks) {
            for (; done <= last; ++done) {
                const int start = done / k * k, end = std::min(h, start + k) - 1;
                std::byte* pre = slot(prefix, done);
                if (done == start) {
                    for (size_t o = 0; o < rowBytes; o += 16) Store(pre + o, source(done, o));
                } else {
                    const std::byte* before = slot(prefix, done - 1);
                    for (size_t o = 0; o < rowBytes; o += 16)
                        Store(pre + o, Pick<E, kMax>(Load(before + o), source(done, o)));
                }
                if (done == end) {
                    std::byte* suf = slot(suffix, end);
                    for (size_t o = 0; o < rowBytes; o += 16) Store(suf + o, source(end, o));
                    for (int i = end - 1; i >= start; --i) {
                        std::byte* to = slot(suffix, i);
                        const std::byte* from = slot(suffix, i + 1);
                        for (size_t o = 0; o < rowBytes; o += 16)
                            Store(to + o, Pick<E, kMax>(Load(from + o), source(i, o)));
                    }
                }
            }
            const std::byte* suf = slot(suffix, first);
            const std::byte* pre = slot(prefix, last);
            const bool oneBlock = first / k == last / k;
            const std::byte* only = first % k == 0 ? pre : suf;
            for (size_t o = 0; o < rowBytes; o += 16)
                Store(row + o, oneBlock ? Load(only + o) : Pick<E, kMax>(Load(suf + o), Load(pre + o)));
        } else {
            for (size_t o = 0; o < rowBytes; o += 16) {
                __m128i v = source(first, o);
                for (int i = first + 1; i <= last; ++i) v = Pick<E, kMax>(v, source(i, o));
                Store(row + o, v);
            }
        }
        padded.Refill();  // the last store may have run into the padding
        std::byte* buf = row - static_cast<size_t>(r) * unit;
        for (int step = 1; step < span; step *= 2) {
            const size_t shift = static_cast<size_t>(step) * unit;
            for (size_t o = 0; o + shift < paddedBytes; o += 16)
                Store(buf + o, Pick<E, kMax>(Load(buf + o), Load(buf + o + shift)));
        }
        std::byte* dst = out.row(y);
        for (size_t o = 0; o < rowBytes; o += 16) {
            const __m128i v = Pick<E, kMax>(Load(buf + o), Load(buf + o + second));
            if (o + 16 <= rowBytes) Store(dst + o, v);
            else StorePart(dst + o, v, rowBytes - o);
        }
    }
}

// --- Median -------------------------------------------------------------------

// The median of a cut (2R + 1)^2 window, straight: for the border pixels of
// the network filters. `lane` picks the value inside an element.
template <class E, int R>
typename E::T WindowMedian(const Rows& in, int lane, int x, int y) {
    using T = typename E::T;
    std::array<T, (2 * R + 1) * (2 * R + 1)> values;
    size_t n = 0;
    for (int k = std::max(0, y - R); k <= std::min(in.height - 1, y + R); ++k)
        for (int j = std::max(0, x - R); j <= std::min(in.width - 1, x + R); ++j)
            std::memcpy(&values[n++], in.row(k) + static_cast<size_t>(j) * in.unit + static_cast<size_t>(lane) * sizeof(T),
                        sizeof(T));
    std::sort(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n));
    return values[n / 2];
}

// Every pixel within R of a border.
template <class E, int R>
void BorderMedians(const Rows& in, const Rows& out, OutputRows range) {
    using T = typename E::T;
    const int lanes = in.unit / static_cast<int>(sizeof(T));
    for (int y = range.first; y <= range.last; ++y) {
        const bool edgeRow = y < R || y >= in.height - R;
        for (int x = 0; x < in.width; ++x) {
            if (!edgeRow && x == R && in.width - R > R) x = in.width - R;  // skip the interior
            for (int lane = 0; lane < lanes; ++lane) {
                const T v = WindowMedian<E, R>(in, lane, x, y);
                std::memcpy(out.row(y) + static_cast<size_t>(x) * out.unit + static_cast<size_t>(lane) * sizeof(T),
                            &v, sizeof(T));
            }
        }
    }
}

// Batcher's odd-even merge of two sorted lists of registers, any lengths,
// unrolled at compile time; whatever the caller does not use of the result
// the compiler drops.
template <size_t kStart, size_t N, size_t... I>
RASTELLE_ALWAYS_INLINE std::array<__m128i, sizeof...(I)> EveryOther(const std::array<__m128i, N>& a, std::index_sequence<I...>) {
    return {a[kStart + 2 * I]...};
}

template <size_t kStart, size_t N>
RASTELLE_ALWAYS_INLINE auto EveryOther(const std::array<__m128i, N>& a) {
    return EveryOther<kStart>(a, std::make_index_sequence<(N + 1 - kStart) / 2>());
}

template <class E, size_t NV, size_t NW, size_t N, size_t... I>
RASTELLE_ALWAYS_INLINE void MeetPairs(std::array<__m128i, N>& z, const std::array<__m128i, NV>& v,
                                      const std::array<__m128i, NW>& w, std::index_sequence<I...>) {
    ((z[2 * I + 1] = E::Min(v[I + 1], w[I]), z[2 * I + 2] = E::Max(v[I + 1], w[I])), ...);
}

template <class E, size_t N, size_t M>
RASTELLE_ALWAYS_INLINE std::array<__m128i, N + M> MergeSorted(const std::array<__m128i, N>& a, const std::array<__m128i, M>& b) {
    if constexpr (N == 0) {
        return b;
    } else if constexpr (M == 0) {
        return a;
    } else if constexpr (N == 1 && M == 1) {
        return {E::Min(a[0], b[0]), E::Max(a[0], b[0])};
    } else {
        // v: the even-indexed elements merged, w: the odd-indexed ones; then
        // each v[i + 1] meets w[i].
        const auto v = MergeSorted<E>(EveryOther<0>(a), EveryOther<0>(b));
        const auto w = MergeSorted<E>(EveryOther<1>(a), EveryOther<1>(b));
        constexpr size_t kPairs = std::min(v.size() - 1, w.size());
        std::array<__m128i, N + M> z;
        z[0] = v[0];
        MeetPairs<E>(z, v, w, std::make_index_sequence<kPairs>());
        if constexpr (v.size() - 1 > kPairs) z[2 * kPairs + 1] = v[kPairs + 1];
        if constexpr (w.size() > kPairs) z[2 * kPairs + 1] = w[kPairs];
        return z;
    }
}

// f(0), ..., f(N - 1), unrolled.
template <size_t N, class F, size_t... I>
RASTELLE_ALWAYS_INLINE auto Gather(F f, std::index_sequence<I...>) {
    return std::array<decltype(f(size_t{0})), N>{f(I)...};
}

template <size_t N, class F>
RASTELLE_ALWAYS_INLINE auto Gather(F f) {
    return Gather<N>(f, std::make_index_sequence<N>());
}

// Medians of the (2R + 1)^2 windows that lie inside the image, R = 1 or 2,
// by sorting networks: each column of 2R + 1 is sorted once per row and
// shared by the 2R + 1 windows it belongs to. Border pixels are done straight.
template <class E, int R>
void MedianNetwork(const Rows& in, const Rows& out, OutputRows range) {
    constexpr int kSide = 2 * R + 1;
    const int w = in.width, h = in.height, u = in.unit;
    if (w >= kSide && h >= kSide) {
        const size_t rowBytes = in.rowBytes();
        const size_t padded = (rowBytes + 15) / 16 * 16 + 16 * kSide;
        std::vector<std::byte> sorted(padded * kSide), tail(16 * kSide);
        auto level = [&](int i) { return sorted.data() + padded * static_cast<size_t>(i); };
        for (int y = std::max(R, range.first); y <= std::min(h - R - 1, range.last); ++y) {
            // Each column, sorted: level i holds the i-th smallest.
            std::array<const std::byte*, kSide> rows;
            for (int i = 0; i < kSide; ++i) rows[static_cast<size_t>(i)] = in.row(y - R + i);
            std::array<std::byte*, kSide> levels;
            for (int i = 0; i < kSide; ++i) levels[static_cast<size_t>(i)] = level(i);
            for (size_t o = 0; o < rowBytes; o += 16) {
                auto at = Gather<kSide>([&](size_t i) { return rows[i] + o; });
                if (o + 16 > rowBytes) {
                    for (size_t i = 0; i < kSide; ++i) {
                        std::memcpy(tail.data() + 16 * i, at[i], rowBytes - o);
                        at[i] = tail.data() + 16 * i;
                    }
                }
                const auto c = Gather<kSide>([&](size_t i) { return Load(at[i]); });
                std::array<__m128i, kSide> s;
                if constexpr (R == 1) {
                    s = MergeSorted<E>(MergeSorted<E>(std::array{c[0]}, std::array{c[1]}), std::array{c[2]});
                } else {
                    s = MergeSorted<E>(MergeSorted<E>(MergeSorted<E>(std::array{c[0]}, std::array{c[1]}),
                                                      std::array{c[2]}),
                                       MergeSorted<E>(std::array{c[3]}, std::array{c[4]}));
                }
                Gather<kSide>([&](size_t i) {
                    Store(levels[i] + o, s[i]);
                    return 0;
                });
            }
            std::byte* dst = out.row(y);
            const size_t end = rowBytes - static_cast<size_t>(R) * u;
            for (size_t o = static_cast<size_t>(R) * u; o < end; o += 16) {
                // column j of the window, sorted
                auto column = [&](int j) {
                    const size_t at = o + static_cast<size_t>(j - R) * u;
                    return Gather<kSide>([&](size_t i) { return Load(levels[i] + at); });
                };
                __m128i v;
                if constexpr (R == 1) {
                    // The median of (largest low, median of the middles,
                    // smallest high) of three sorted columns.
                    const auto c0 = column(0), c1 = column(1), c2 = column(2);
                    const __m128i lowMax = E::Max(E::Max(c0[0], c1[0]), c2[0]);
                    const __m128i highMin = E::Min(E::Min(c0[2], c1[2]), c2[2]);
                    const __m128i midMed = E::Max(E::Min(c0[1], c1[1]), E::Min(E::Max(c0[1], c1[1]), c2[1]));
                    v = E::Max(E::Min(lowMax, midMed), E::Min(E::Max(lowMax, midMed), highMin));
                } else {
                    const auto left = MergeSorted<E>(MergeSorted<E>(column(0), column(1)), column(4));
                    v = MergeSorted<E>(left, MergeSorted<E>(column(2), column(3)))[12];
                }
                if (o + 16 <= end) Store(dst + o, v);
                else StorePart(dst + o, v, end - o);
            }
        }
    }
    BorderMedians<E, R>(in, out, range);
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
void HistogramMedian(const Rows& in, const Rows& out, int lane, int r, OutputRows range) {
    using T = typename E::T;
    const int w = in.width, h = in.height;
    const size_t offset = static_cast<size_t>(lane) * sizeof(T);
    auto value = [&](int x, int y) {
        T v;
        std::memcpy(&v, in.row(y) + static_cast<size_t>(x) * in.unit + offset, sizeof v);
        return E::Index(v);
    };
    SlidingHistogram<kBits> hist;
    for (int y = range.first; y <= range.last; ++y) {
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

// Median of one byte per pixel (`lane` of each) in constant time per pixel
// (Perreault and Hebert): every column keeps a histogram of its 2r + 1 rows,
// moved down a row by one removal and one addition when the window reaches
// it; the window's histogram gains the entering column's and loses the
// leaving one's. Counts are kept in 16 coarse and 16 x 16 fine bins; the fine
// bins of the window are brought up to date only for the coarse bin where
// the median lies. Counts are 16-bit: for r <= 127 only.
constexpr int kConstantTimeRadius = 127;

void ConstantTimeMedian(const Rows& in, const Rows& out, int lane, int r, OutputRows range) {
    const int w = in.width, h = in.height;
    const size_t stride = static_cast<size_t>(in.unit);
    std::vector<std::uint16_t> colCoarse(static_cast<size_t>(w) * 16), colFine(static_cast<size_t>(w) * 256);
    std::vector<int> colRow(static_cast<size_t>(w), -1);  // the row each column histogram is centred on
    auto byteAt = [&](int x, int y) {
        return static_cast<unsigned>(std::to_integer<std::uint8_t>(in.row(y)[static_cast<size_t>(x) * stride + lane]));
    };
    auto count = [&](int j, unsigned v, int delta) {
        colCoarse[static_cast<size_t>(j) * 16 + (v >> 4)] += static_cast<std::uint16_t>(delta);
        colFine[static_cast<size_t>(j) * 256 + v] += static_cast<std::uint16_t>(delta);
    };
    auto bringColumn = [&](int j, int y) {
        int& at = colRow[static_cast<size_t>(j)];
        if (at >= 0 && y - at <= 2 * r) {
            for (int t = at + 1; t <= y; ++t) {
                if (t - r - 1 >= 0) count(j, byteAt(j, t - r - 1), -1);
                if (t + r < h) count(j, byteAt(j, t + r), +1);
            }
        } else {
            std::fill_n(&colCoarse[static_cast<size_t>(j) * 16], 16, std::uint16_t{0});
            std::fill_n(&colFine[static_cast<size_t>(j) * 256], 256, std::uint16_t{0});
            for (int t = std::max(0, y - r); t <= std::min(h - 1, y + r); ++t) count(j, byteAt(j, t), +1);
        }
        at = y;
    };
    auto load = [&](const std::uint16_t* p) { return Load(reinterpret_cast<const std::byte*>(p)); };
    auto store = [&](std::uint16_t* p, __m128i v) { Store(reinterpret_cast<std::byte*>(p), v); };

    alignas(16) std::uint16_t kernelFine[256];
    int fineLo[16], fineHi[16];  // the columns each coarse bin's fine counts cover
    for (int y = range.first; y <= range.last; ++y) {
        const std::uint32_t rows = static_cast<std::uint32_t>(std::min(h - 1, y + r) - std::max(0, y - r) + 1);
        __m128i coarse0 = _mm_setzero_si128(), coarse1 = _mm_setzero_si128();
        auto addCoarse = [&](int j, bool add) {
            const std::uint16_t* c = &colCoarse[static_cast<size_t>(j) * 16];
            coarse0 = add ? _mm_add_epi16(coarse0, load(c)) : _mm_sub_epi16(coarse0, load(c));
            coarse1 = add ? _mm_add_epi16(coarse1, load(c + 8)) : _mm_sub_epi16(coarse1, load(c + 8));
        };
        auto fineBin = [&](int j, unsigned b, bool add) {
            const std::uint16_t* f = &colFine[static_cast<size_t>(j) * 256 + b * 16];
            std::uint16_t* k = kernelFine + b * 16;
            store(k, add ? _mm_add_epi16(load(k), load(f)) : _mm_sub_epi16(load(k), load(f)));
            store(k + 8, add ? _mm_add_epi16(load(k + 8), load(f + 8)) : _mm_sub_epi16(load(k + 8), load(f + 8)));
        };
        std::fill(std::begin(fineLo), std::end(fineLo), 0);
        std::fill(std::begin(fineHi), std::end(fineHi), -1);
        std::fill(std::begin(kernelFine), std::end(kernelFine), std::uint16_t{0});
        int x0 = 0, x1 = std::min(w - 1, r);
        for (int j = x0; j <= x1; ++j) {
            bringColumn(j, y);
            addCoarse(j, true);
        }
        std::byte* dst = out.row(y) + lane;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t k = rows * static_cast<std::uint32_t>(x1 - x0 + 1) / 2;
            alignas(16) std::uint16_t coarse[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(coarse), coarse0);
            _mm_store_si128(reinterpret_cast<__m128i*>(coarse + 8), coarse1);
            unsigned b = 0;
            std::uint32_t below = 0;
            while (below + coarse[b] <= k) below += coarse[b++];
            // Bring bin b's fine counts from columns [fineLo, fineHi] to [x0, x1].
            if (fineHi[b] < x0 || fineLo[b] > x1 || fineHi[b] < fineLo[b]) {
                std::fill_n(kernelFine + b * 16, 16, std::uint16_t{0});
                for (int j = x0; j <= x1; ++j) fineBin(j, b, true);
            } else {
                for (int j = fineLo[b]; j < x0; ++j) fineBin(j, b, false);
                for (int j = fineHi[b] + 1; j <= x1; ++j) fineBin(j, b, true);
            }
            fineLo[b] = x0;
            fineHi[b] = x1;
            const std::uint16_t* fine = kernelFine + b * 16;
            unsigned f = 0;
            while (below + fine[f] <= k) below += fine[f++];
            dst[static_cast<size_t>(x) * out.unit] = static_cast<std::byte>(b * 16 + f);
            if (x - r >= 0) addCoarse(x0++, false);
            if (x + r + 1 < w) {
                bringColumn(++x1, y);
                addCoarse(x1, true);
            }
        }
    }
}

// --- Drivers -------------------------------------------------------------------

template <class E, int kBits>
void FilterRows(const Rows& in, const Rows& out, int r, RankMode mode, int medianLanes, OutputRows range) {
    switch (mode) {
        case RankMode::Minimum: ExtremumFilter<E, false>(in, out, r, range); break;
        case RankMode::Maximum: ExtremumFilter<E, true>(in, out, r, range); break;
        case RankMode::Median:
            if (r == 1) {
                MedianNetwork<E, 1>(in, out, range);
            } else if (r == 2) {
                MedianNetwork<E, 2>(in, out, range);
            } else {
                for (int lane = 0; lane < medianLanes; ++lane) {
                    if constexpr (kBits == 8) {
                        if (r <= kConstantTimeRadius) {
                            ConstantTimeMedian(in, out, lane, r, range);
                            continue;
                        }
                    }
                    HistogramMedian<E, kBits>(in, out, lane, r, range);
                }
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
        FilterRows<Bytes, 8>(RowsOf(src), out, r, mode, 3, {0, h - 1});
        if (mode == RankMode::Median && r > 1) {
            const std::uint32_t alpha = src.row(0)[0] & 0xFF000000u;
            for (int y = 0; y < h; ++y) {
                std::uint32_t* row = dst.row(y);
                for (int x = 0; x < w; ++x) row[x] = (row[x] & 0xFFFFFFu) | alpha;
            }
        }
        return;
    }

    // The general path, in bands of output rows: each band's source rows, with
    // r rows more on either side where the image has them, become 16-bit
    // planes of ranking positions, one channel at a time. The filters cut
    // windows at a band's first and last rows, which are either the image's
    // or at least r rows away from every output row of the band, so every
    // output sees exactly its window.
    const OrderTables& tables = Tables();
    const int band = std::min(h, std::max(64, 4 * r));
    const int bandRows = static_cast<int>(std::min<std::int64_t>(h, std::int64_t{band} + 2 * std::int64_t{r}));
    const size_t planeSize = static_cast<size_t>(w) * static_cast<size_t>(bandRows);
    std::vector<std::int16_t> plane(planeSize), filtered(planeSize);
    for (int y0 = 0; y0 < h; y0 += band) {
        const int y1 = std::min(h, y0 + band);  // output rows [y0, y1)
        const int in0 = std::max(0, y0 - r);
        const int rows = static_cast<int>(std::min<std::int64_t>(h, std::int64_t{y1} + r)) - in0;
        const Rows in{reinterpret_cast<std::byte*>(plane.data()), static_cast<std::ptrdiff_t>(w) * 2, w, rows, 2};
        const Rows out{reinterpret_cast<std::byte*>(filtered.data()), static_cast<std::ptrdiff_t>(w) * 2, w, rows, 2};
        for (int channel = 0; channel < 4; ++channel) {
            const bool alpha = channel == 3;
            const int shift = 8 * channel;
            if (alpha && !rankAlpha) {
                for (int y = y0; y < y1; ++y) {
                    const std::uint32_t* s = src.row(y);
                    std::uint32_t* d = dst.row(y);
                    for (int x = 0; x < w; ++x) d[x] = (d[x] & 0xFFFFFFu) | (s[x] & 0xFF000000u);
                }
                break;
            }
            for (int y = 0; y < rows; ++y) {
                const std::uint32_t* s = src.row(in0 + y);
                std::int16_t* p = plane.data() + static_cast<size_t>(y) * w;
                for (int x = 0; x < w; ++x) {
                    const std::uint32_t a = s[x] >> 24;
                    const unsigned order = alpha ? a : tables.order[a << 8 | ((s[x] >> shift) & 0xFF)];
                    p[x] = static_cast<std::int16_t>(static_cast<int>(order) - 32768);
                }
            }
            FilterRows<Words, 16>(in, out, r, mode, 1, {y0 - in0, y1 - 1 - in0});
            const std::uint32_t mask = ~(0xFFu << shift);
            for (int y = y0; y < y1; ++y) {
                std::uint32_t* d = dst.row(y);
                const std::int16_t* f = filtered.data() + static_cast<size_t>(y - in0) * w;
                for (int x = 0; x < w; ++x) {
                    const unsigned order = static_cast<unsigned>(f[x] + 32768);
                    const std::uint32_t byte = alpha ? order : tables.byteOf[order];
                    d[x] = (d[x] & mask) | byte << shift;
                }
            }
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
