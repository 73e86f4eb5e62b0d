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
#include "cpu_features.h"

// How the filters are computed. Ranking a channel by (alpha * byte, byte)
// is ranking it by the position of (alpha, byte) in that order, a 16-bit
// number (RankOrderOf): each channel becomes a plane of such positions, the
// order statistic is taken over plain 16-bit values and the byte is read back
// from the chosen position. When every pixel of the image has the same alpha,
// that order is the order of the bytes themselves, so such images (opaque
// ones above all) are filtered on their bytes directly, all four channels of
// a pixel at once. Whether they have is checked a row at a time right after
// the byte filters first read the row (it is in cache then: the check costs
// no pass over the image of its own); at the first row with another alpha
// the byte filters stop and the general path computes the whole image.
//
// Minimum and maximum are separable (a column pass, then a row pass) and,
// with windows cut at the borders, equal to padding with the identity of
// the operation. Columns: 2r + 1 rows for r <= 2, otherwise van Herk/Gil-
// Werman blocks (three operations per element whatever the radius). Rows:
// 2r + 1 neighbours for r <= 2, otherwise extrema over spans doubled
// log2(2r + 1) times, then two overlapping spans per window.
//
// Medians: 3 x 3 and 5 x 5 by sorting networks over columns sorted once and
// shared by the windows they belong to. The networks rank windows cut by the
// image's borders too (see MedianNetwork). Larger byte medians keep a
// histogram per column and take constant time per pixel at any radius
// (Perreault/Hebert); so do larger 16-bit ones where the band holds at most
// 4096 distinct values (replaced by their ranks among them). Beyond that,
// from radius 24, columns keep their values sorted beside coarse counts
// (constant histogram work per pixel, one shift of a column's values); below
// radius 24 (or in bands of 24 rows or fewer) a three-level histogram slides
// along each row (Huang), at a cost that grows with the clipped window's
// height.
//
// The vector passes (minimum, maximum and the median networks) exist for
// SSE2, 16 bytes at a time, and for AVX2, 32 bytes at a time; each call takes
// the widest one ActiveSimdLevel() allows.
//
// Memory: the byte path needs a few rows (2r + 3 for minimum and maximum
// beyond r = 2); the general path two 16-bit planes of a band of rows (the
// positions of one channel, and its filtered ones).

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
// Positions are stored less 32768, so that the signed 16-bit minimum and
// maximum instructions order them.

struct Bytes {
    using T = std::uint8_t;
    static __m128i Min(__m128i a, __m128i b) { return _mm_min_epu8(a, b); }
    static __m128i Max(__m128i a, __m128i b) { return _mm_max_epu8(a, b); }
    RASTELLE_TARGET_AVX2 static __m256i Min(__m256i a, __m256i b) { return _mm256_min_epu8(a, b); }
    RASTELLE_TARGET_AVX2 static __m256i Max(__m256i a, __m256i b) { return _mm256_max_epu8(a, b); }
    static constexpr T kLowest = 0, kHighest = 255;
    static unsigned Index(T v) { return v; }
    static T FromIndex(unsigned i) { return static_cast<T>(i); }
};

struct Words {
    using T = std::int16_t;
    static __m128i Min(__m128i a, __m128i b) { return _mm_min_epi16(a, b); }
    static __m128i Max(__m128i a, __m128i b) { return _mm_max_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static __m256i Min(__m256i a, __m256i b) { return _mm256_min_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static __m256i Max(__m256i a, __m256i b) { return _mm256_max_epi16(a, b); }
    static constexpr T kLowest = -32768, kHighest = 32767;
    static unsigned Index(T v) { return static_cast<unsigned>(v + 32768); }
    static T FromIndex(unsigned i) { return static_cast<T>(static_cast<int>(i) - 32768); }
};

// --- Registers: what the vector passes need of an instruction set --------

struct Sse2Vector {
    using R = __m128i;
    static constexpr size_t kBytes = 16;
    static R Load(const std::byte* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(std::byte* p, R v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static R Zero() { return _mm_setzero_si128(); }
    static R AllOnes() { return _mm_set1_epi32(-1); }
    static R And(R a, R b) { return _mm_and_si128(a, b); }
    static R Or(R a, R b) { return _mm_or_si128(a, b); }
};

struct Avx2Vector {
    using R = __m256i;
    static constexpr size_t kBytes = 32;
    RASTELLE_TARGET_AVX2 static R Load(const std::byte* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    RASTELLE_TARGET_AVX2 static void Store(std::byte* p, R v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    RASTELLE_TARGET_AVX2 static R Zero() { return _mm256_setzero_si256(); }
    RASTELLE_TARGET_AVX2 static R AllOnes() { return _mm256_set1_epi32(-1); }
    RASTELLE_TARGET_AVX2 static R And(R a, R b) { return _mm256_and_si256(a, b); }
    RASTELLE_TARGET_AVX2 static R Or(R a, R b) { return _mm256_or_si256(a, b); }
};

// --- Rows ------------------------------------------------------------------------

// Admits the rows of an image, in order, as long as each has the alpha of
// the image's first pixel everywhere. The byte filters ask for each row
// right after they first read it (it is in cache then) and stop at the
// first one refused; their output is then of no use.
class AlphaGate {
public:
    // Whether every pixel of a row has the given alpha (in the top byte).
    using RowCheck = bool (*)(const std::uint32_t* row, int width, std::uint32_t alpha);

    AlphaGate(const ConstImageView& image, RowCheck check)
        : image_(image), check_(check), alpha_(image.row(0)[0] & 0xFF000000u) {}
    std::uint32_t alpha() const { return alpha_; }
    // Whether rows 0..y all have the alpha.
    bool Admit(int y) {
        for (; checked_ <= y; ++checked_)
            if (!check_(image_.row(checked_), image_.width, alpha_)) return false;
        return true;
    }

private:
    ConstImageView image_;
    RowCheck check_;
    std::uint32_t alpha_;
    int checked_ = 0;  // rows below this one have the alpha
};

// Rows of `width` elements of `unit` bytes (one value, or one pixel's four
// byte values side by side).
struct Rows {
    std::byte* base;
    std::ptrdiff_t stride;
    int width, height, unit;
    AlphaGate* gate = nullptr;  // for the rows of an image taken on trust to have one alpha

    std::byte* row(int y) const { return base + y * stride; }
    size_t rowBytes() const { return static_cast<size_t>(width) * unit; }
    // Whether the rows up to y may be filtered (asked once they are read).
    bool admit(int y) const { return gate == nullptr || gate->Admit(y); }
};

// The rows whose outputs a filter computes: first..last of its input rows.
struct OutputRows {
    int first, last;
};

// A row buffer with `pad` bytes before and after the row (and `spare` more
// after), whose padding holds a repeated element.
class PaddedRow {
public:
    PaddedRow(size_t rowBytes, size_t pad, size_t spare, const std::byte* element, int unit)
        : rowBytes_(rowBytes), pad_(pad), unit_(static_cast<size_t>(unit)), data_(pad + rowBytes + pad + spare) {
        std::memcpy(element_, element, unit_);
        Refill();
    }
    std::byte* row() { return data_.data() + pad_; }
    // Restores the element in the padding (and the spare bytes).
    void Refill() {
        for (size_t i = 0; i < pad_; ++i) data_[i] = element_[i % unit_];
        for (size_t i = pad_ + rowBytes_; i < data_.size(); ++i) data_[i] = element_[(i - pad_ - rowBytes_) % unit_];
    }

private:
    size_t rowBytes_, pad_, unit_;
    std::byte element_[4];
    std::vector<std::byte> data_;
};

// --- Medians of windows that the networks cannot rank ------------------------

// The median of a cut (2R + 1)^2 window, straight. `lane` picks the value
// inside an element.
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

// Every pixel of the rows, straight: for images narrower than a window.
template <class E, int R>
void StraightMedians(const Rows& in, const Rows& out, OutputRows range) {
    using T = typename E::T;
    const int lanes = in.unit / static_cast<int>(sizeof(T));
    for (int y = range.first; y <= range.last; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int lane = 0; lane < lanes; ++lane) {
                const T v = WindowMedian<E, R>(in, lane, x, y);
                std::memcpy(out.row(y) + static_cast<size_t>(x) * out.unit + static_cast<size_t>(lane) * sizeof(T),
                            &v, sizeof(T));
            }
}

constexpr int kSortedColumnsFrom = 24; // 16-bit medians: below, a histogram slides along the row
constexpr int kDirectRadius = 2;       // minimum and maximum: up to here 2r + 1 rows and columns, beyond, blocks and spans
constexpr int kNetworkRadius = 2;      // medians: up to here sorting networks, beyond, histograms

}  // namespace
}  // namespace rastelle::kernels

// --- Vector passes ------------------------------------------------------------
// rank_filter_passes.inl, compiled twice: for SSE2 into namespace sse2 and
// for AVX2 into namespace avx2. Every function there is
// marked RASTELLE_RANK_TARGET, which is RASTELLE_TARGET_AVX2 in the second
// compilation: the AVX2 code must be marked function by function (the rest
// of the binary stays SSE2), and a template cannot be marked for one of its
// instantiations only.

#define RASTELLE_RANK_PASS sse2
#define RASTELLE_RANK_VECTOR Sse2Vector
#define RASTELLE_RANK_TARGET
#include "rank_filter_passes.inl"
#undef RASTELLE_RANK_PASS
#undef RASTELLE_RANK_VECTOR
#undef RASTELLE_RANK_TARGET

#define RASTELLE_RANK_PASS avx2
#define RASTELLE_RANK_VECTOR Avx2Vector
#define RASTELLE_RANK_TARGET RASTELLE_TARGET_AVX2
#include "rank_filter_passes.inl"
#undef RASTELLE_RANK_PASS
#undef RASTELLE_RANK_VECTOR
#undef RASTELLE_RANK_TARGET

namespace rastelle::kernels {
namespace {

// --- Histogram medians --------------------------------------------------------

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
    if (r >= w - 1) {
        // Every window of a row spans the whole row: the row's outputs are one
        // value, and the histogram slides down a row at a time.
        auto countRow = [&](int k, bool add) {
            for (int x = 0; x < w; ++x) add ? hist.Add(value(x, k)) : hist.Remove(value(x, k));
        };
        // Rows top..bottom are counted; windows move down by at most a row.
        int top = std::max(0, range.first - r), bottom = top - 1;
        for (int y = range.first; y <= range.last; ++y) {
            const int y0 = std::max(0, y - r), y1 = y < h - r ? y + r : h - 1;
            for (; top < y0; ++top) countRow(top, false);
            while (bottom < y1) countRow(++bottom, true);
            const std::uint32_t n = static_cast<std::uint32_t>(y1 - y0 + 1) * static_cast<std::uint32_t>(w);
            const T v = E::FromIndex(hist.Select(n / 2));
            std::byte* dst = out.row(y) + offset;
            for (int x = 0; x < w; ++x) std::memcpy(dst + static_cast<size_t>(x) * out.unit, &v, sizeof v);
        }
        return;
    }
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

// Adds (or subtracts) n counts of 16 or 32 bits, n a multiple of 16.
template <class Count>
void AddCounts(Count* k, const Count* f, size_t n, bool add) {
    constexpr bool wide = sizeof(Count) == 4;
    for (size_t i = 0; i < n; i += 16 / sizeof(Count)) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(k + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + i));
        const __m128i sum = wide ? (add ? _mm_add_epi32(a, b) : _mm_sub_epi32(a, b))
                                 : (add ? _mm_add_epi16(a, b) : _mm_sub_epi16(a, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(k + i), sum);
    }
}

// The values a constant-time median ranks: bytes (lane `lane` of each
// element), or 16-bit values below 4096 (one an element).
struct ByteValues {
    using T = std::uint8_t;
    static constexpr unsigned kBits = 8;
    static unsigned Index(T v) { return v; }
    static T FromIndex(unsigned i) { return static_cast<T>(i); }
};
struct TwelveBitValues {
    using T = std::uint16_t;
    static constexpr unsigned kBits = 12;
    static unsigned Index(T v) { return v; }
    static T FromIndex(unsigned i) { return static_cast<T>(i); }
};

// Median in constant time per pixel (Perreault and Hebert): every column
// keeps its 2r + 1 rows, moved down a row by one removal and one addition
// when the window reaches it; the window's coarse counts gain the entering
// column's and lose the leaving one's, and its fine counts are brought up to
// date only for the coarse bin where the median lies. Windows of fewer than
// 65536 pixels count in 16 bits, larger ones in 32. The column store says
// how a column keeps its values:
//   kCoarse, kFine: the bins (a value is coarse bin * kFine + fine bin)
//   Bring(j, y): moves column j to rows y - r .. y + r (BringColumn)
//   Coarse(j): column j's kCoarse counts
//   AddFine(j, b, fine, add): adds (or removes) column j's counts of coarse
//     bin b to the window's kFine counts `fine`
// write(x, y, value) stores the median of the window at (x, y).
template <class Count, class Columns, class Write>
void SlideMedianWindows(Columns& columns, int w, int h, int r, OutputRows range, Write write) {
    constexpr size_t kCoarse = Columns::kCoarse, kFine = Columns::kFine;
    alignas(16) Count coarse[kCoarse];
    std::vector<Count> kernelFine(kCoarse * kFine);
    int fineLo[kCoarse], fineHi[kCoarse];  // the columns each coarse bin's fine counts cover
    for (int y = range.first; y <= range.last; ++y) {
        const int rowLast = y < h - r ? y + r : h - 1;
        const std::uint32_t rows = static_cast<std::uint32_t>(rowLast - std::max(0, y - r) + 1);
        std::fill(std::begin(coarse), std::end(coarse), Count{0});
        auto addCoarse = [&](int j, bool add) { AddCounts(coarse, columns.Coarse(j), kCoarse, add); };
        auto fineBin = [&](int j, unsigned b, bool add) { columns.AddFine(j, b, &kernelFine[b * kFine], add); };
        std::fill(std::begin(fineLo), std::end(fineLo), 0);
        std::fill(std::begin(fineHi), std::end(fineHi), -1);
        std::fill(kernelFine.begin(), kernelFine.end(), Count{0});
        int x0 = 0, x1 = std::min(w - 1, r);
        for (int j = x0; j <= x1; ++j) {
            columns.Bring(j, y);
            addCoarse(j, true);
        }
        for (int x = 0; x < w; ++x) {
            const std::uint32_t k = rows * static_cast<std::uint32_t>(x1 - x0 + 1) / 2;
            unsigned b = 0;
            std::uint32_t below = 0;
            while (below + coarse[b] <= k) below += coarse[b++];
            // Bring bin b's fine counts from columns [fineLo, fineHi] to [x0, x1].
            if (fineHi[b] < x0 || fineLo[b] > x1 || fineHi[b] < fineLo[b]) {
                std::fill_n(&kernelFine[b * kFine], kFine, Count{0});
                for (int j = x0; j <= x1; ++j) fineBin(j, b, true);
            } else {
                for (int j = fineLo[b]; j < x0; ++j) fineBin(j, b, false);
                for (int j = fineHi[b] + 1; j <= x1; ++j) fineBin(j, b, true);
            }
            fineLo[b] = x0;
            fineHi[b] = x1;
            const Count* fine = &kernelFine[b * kFine];
            unsigned f = 0;
            while (below + fine[f] <= k) below += fine[f++];
            write(x, y, b * static_cast<unsigned>(kFine) + f);
            if (x - r >= 0) addCoarse(x0++, false);
            if (x < w - 1 - r) {
                columns.Bring(++x1, y);
                addCoarse(x1, true);
            }
        }
    }
}

// Moves column j of a store to rows y - r .. y + r: slid down when that is
// shorter than taking the rows afresh, so a window taller than the image
// costs nothing per row. The store: Clear(j), Add(j, v), Remove(j, v), and
// Done(j) after taking a column afresh; centredOn(j), the row column j is
// centred on (-1: none); value(x, y), the value to rank.
template <class Store>
void BringColumn(Store& store, int j, int y) {
    const int r = store.r, h = store.h;
    int& at = store.centredOn[static_cast<size_t>(j)];
    if (at >= 0 && y - at <= std::min(2 * r, h)) {
        for (int t = at + 1; t <= y; ++t) {
            if (t - r - 1 >= 0) store.Remove(j, store.value(j, t - r - 1));
            if (t < h - r) store.Add(j, store.value(j, t + r));
        }
    } else {
        store.Clear(j);
        const int last = y < h - r ? y + r : h - 1;
        for (int t = std::max(0, y - r); t <= last; ++t) store.Add(j, store.value(j, t));
        store.Done(j);
    }
    at = y;
}

// What the column stores share: the window's geometry and the values.
template <class Value>
struct ColumnsOf {
    Value value;
    int r, h;
    std::vector<int> centredOn;
    ColumnsOf(Value v, int radius, int width, int height) : value(v), r(radius), h(height), centredOn(static_cast<size_t>(width), -1) {}
};

// Columns as histograms of coarse and fine bins (16 x 16 for bytes, 64 x 64
// for 12 bits).
template <class Count, class V, class Value>
struct HistogramColumns : ColumnsOf<Value> {
    static constexpr size_t kCoarse = size_t{1} << (V::kBits - V::kBits / 2), kFine = size_t{1} << (V::kBits / 2);
    std::vector<Count> coarse, fine;
    HistogramColumns(Value v, int r, int w, int h)
        : ColumnsOf<Value>(v, r, w, h), coarse(static_cast<size_t>(w) * kCoarse),
          fine(static_cast<size_t>(w) * kCoarse * kFine) {}
    void Bring(int j, int y) { BringColumn(*this, j, y); }
    const Count* Coarse(int j) const { return &coarse[static_cast<size_t>(j) * kCoarse]; }
    void AddFine(int j, unsigned b, Count* window, bool add) const {
        AddCounts(window, &fine[(static_cast<size_t>(j) * kCoarse + b) * kFine], kFine, add);
    }
    void Clear(int j) {
        std::fill_n(&coarse[static_cast<size_t>(j) * kCoarse], kCoarse, Count{0});
        std::fill_n(&fine[static_cast<size_t>(j) * kCoarse * kFine], kCoarse * kFine, Count{0});
    }
    void Add(int j, unsigned v) { Step(j, v, true); }
    void Remove(int j, unsigned v) { Step(j, v, false); }
    void Done(int) {}
    void Step(int j, unsigned v, bool add) {
        Count& c = coarse[static_cast<size_t>(j) * kCoarse + v / kFine];
        Count& f = fine[static_cast<size_t>(j) * kCoarse * kFine + v];
        c = static_cast<Count>(add ? c + 1 : c - 1);
        f = static_cast<Count>(add ? f + 1 : f - 1);
    }
};

// The median of lane `lane` of every element (values V) over a column store.
template <class Count, class V, template <class, class, class> class Columns>
void ColumnMedian(const Rows& in, const Rows& out, int lane, int r, OutputRows range) {
    using T = typename V::T;
    const size_t offset = static_cast<size_t>(lane) * sizeof(T);
    auto valueAt = [&](int x, int y) {
        T v;
        std::memcpy(&v, in.row(y) + static_cast<size_t>(x) * in.unit + offset, sizeof v);
        return V::Index(v);
    };
    Columns<Count, V, decltype(valueAt)> columns(valueAt, r, in.width, in.height);
    SlideMedianWindows<Count>(columns, in.width, in.height, r, range, [&](int x, int y, unsigned v) {
        const T t = V::FromIndex(v);
        std::memcpy(out.row(y) + static_cast<size_t>(x) * out.unit + offset, &t, sizeof t);
    });
}

// Whether the largest window of an image fits 16-bit counts.
bool WindowFitsSixteenBits(int w, int h, int r) {
    const std::int64_t side = 2 * std::int64_t{r} + 1;
    return std::min<std::int64_t>(side, w) * std::min<std::int64_t>(side, h) <= 65535;
}

template <class V>
void ConstantTimeMedianOf(const Rows& in, const Rows& out, int lane, int r, OutputRows range) {
    if (WindowFitsSixteenBits(in.width, in.height, r))
        ColumnMedian<std::uint16_t, V, HistogramColumns>(in, out, lane, r, range);
    else
        ColumnMedian<std::uint32_t, V, HistogramColumns>(in, out, lane, r, range);
}

// Columns of 16-bit values of any spread, where a 65 536-bin histogram a
// column would take 128 KB each: a column keeps its values sorted instead,
// beside 256 coarse counts, and moving it down a row shifts its values by
// one place. A column's fine counts of a coarse bin are its values in the
// bin, found by binary search.
template <class Count, class V, class Value>
struct SortedColumns : ColumnsOf<Value> {
    static constexpr size_t kCoarse = 256, kFine = 256;
    size_t height;
    std::vector<std::uint16_t> values;
    std::vector<size_t> size;
    std::vector<Count> coarse;
    bool fresh = false;  // taking a column afresh: Add appends, Done sorts
    SortedColumns(Value v, int r, int w, int h)
        : ColumnsOf<Value>(v, r, w, h), height(static_cast<size_t>(std::min(2 * std::int64_t{r} + 1, std::int64_t{h}))),
          values(static_cast<size_t>(w) * height), size(static_cast<size_t>(w), 0),
          coarse(static_cast<size_t>(w) * kCoarse) {}
    void Bring(int j, int y) { BringColumn(*this, j, y); }
    std::uint16_t* Values(int j) { return values.data() + static_cast<size_t>(j) * height; }
    const std::uint16_t* Values(int j) const { return values.data() + static_cast<size_t>(j) * height; }
    const Count* Coarse(int j) const { return &coarse[static_cast<size_t>(j) * kCoarse]; }
    void AddFine(int j, unsigned b, Count* window, bool add) const {
        const std::uint16_t* end = Values(j) + size[static_cast<size_t>(j)];
        const auto first = static_cast<std::uint16_t>(b * kFine);
        for (const std::uint16_t* v = std::lower_bound(Values(j), end, first); v != end && *v / kFine == b; ++v) {
            Count& n = window[*v - first];
            n = static_cast<Count>(add ? n + 1 : n - 1);
        }
    }
    void Clear(int j) {
        std::fill_n(&coarse[static_cast<size_t>(j) * kCoarse], kCoarse, Count{0});
        size[static_cast<size_t>(j)] = 0;
        fresh = true;
    }
    void Done(int j) {
        std::sort(Values(j), Values(j) + size[static_cast<size_t>(j)]);
        fresh = false;
    }
    void Add(int j, unsigned v) {
        std::uint16_t* s = Values(j);
        size_t& n = size[static_cast<size_t>(j)];
        std::uint16_t* at = fresh ? s + n : std::upper_bound(s, s + n, static_cast<std::uint16_t>(v));
        std::memmove(at + 1, at, static_cast<size_t>(s + n - at) * sizeof *s);
        *at = static_cast<std::uint16_t>(v);
        ++n;
        ++coarse[static_cast<size_t>(j) * kCoarse + v / kFine];
    }
    void Remove(int j, unsigned v) {
        std::uint16_t* s = Values(j);
        size_t& n = size[static_cast<size_t>(j)];
        std::uint16_t* at = std::lower_bound(s, s + n, static_cast<std::uint16_t>(v));
        std::memmove(at, at + 1, static_cast<size_t>(s + n - at - 1) * sizeof *s);
        --n;
        --coarse[static_cast<size_t>(j) * kCoarse + v / kFine];
    }
};

// Whether sorted columns take a window: one narrower than the image
// (wider ones are whole rows, which the sliding histogram counts once a
// row) and, both ways, large enough that sliding a histogram along the row
// costs more. Its columns' sorted values never take more than the 16-bit
// plane they come from; their coarse counts (up to 1 KB a column) may take
// 64 MB or twice the plane.
bool SortedColumnsSuit(int w, int h, int r) {
    const std::int64_t plane = std::int64_t{w} * h * 2, coarse = std::int64_t{w} * 256 * 4;
    return r >= kSortedColumnsFrom && r < w - 1 && h > kSortedColumnsFrom &&
           coarse <= std::max(std::int64_t{64} << 20, 2 * plane);
}

// Median of 16-bit positions in constant time per pixel, when the rows hold
// few distinct ones (as images of a few alphas do): the positions are
// replaced by their ranks among those present, which fit a byte (up to 256)
// or 12 bits (up to 4096, while the column histograms stay within 64 MB),
// filtered, and mapped back. False, with nothing written, otherwise.
bool RankedMedian(const Rows& in, const Rows& out, int r, OutputRows range) {
    const int w = in.width, h = in.height;
    std::vector<std::uint16_t> rankOf(65536, 0);
    for (int y = 0; y < h; ++y) {
        const std::byte* row = in.row(y);
        for (int x = 0; x < w; ++x) {
            std::int16_t v;
            std::memcpy(&v, row + static_cast<size_t>(x) * 2, 2);
            rankOf[Words::Index(v)] = 1;
        }
    }
    std::vector<std::int16_t> valueOf;
    for (unsigned i = 0; i < 65536; ++i)
        if (rankOf[i]) {
            rankOf[i] = static_cast<std::uint16_t>(valueOf.size());
            valueOf.push_back(Words::FromIndex(i));
        }
    const bool bytes = valueOf.size() <= 256;
    const size_t columnBytes = (bytes ? 256 + 16 : 4096 + 64) * (WindowFitsSixteenBits(w, h, r) ? 2 : 4);
    if (valueOf.size() > 4096 || columnBytes * static_cast<size_t>(w) > (size_t{64} << 20)) return false;

    const int unit = bytes ? 1 : 2;
    const size_t planeBytes = static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(unit);
    std::vector<std::byte> ranks(planeBytes), filtered(planeBytes);
    const Rows rankRows{ranks.data(), static_cast<std::ptrdiff_t>(w) * unit, w, h, unit};
    const Rows filteredRows{filtered.data(), static_cast<std::ptrdiff_t>(w) * unit, w, h, unit};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::int16_t v;
            std::memcpy(&v, in.row(y) + static_cast<size_t>(x) * 2, 2);
            const std::uint16_t rank = rankOf[Words::Index(v)];
            std::byte* d = rankRows.row(y) + static_cast<size_t>(x) * unit;
            if (bytes) *d = static_cast<std::byte>(rank);
            else std::memcpy(d, &rank, 2);
        }
    if (bytes) ConstantTimeMedianOf<ByteValues>(rankRows, filteredRows, 0, r, range);
    else ConstantTimeMedianOf<TwelveBitValues>(rankRows, filteredRows, 0, r, range);
    for (int y = range.first; y <= range.last; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint16_t rank = 0;
            const std::byte* f = filteredRows.row(y) + static_cast<size_t>(x) * unit;
            if (bytes) rank = std::to_integer<std::uint8_t>(*f);
            else std::memcpy(&rank, f, 2);
            std::memcpy(out.row(y) + static_cast<size_t>(x) * 2, &valueOf[rank], 2);
        }
    return true;
}

// --- Drivers -------------------------------------------------------------------

// Filters the rows; false if the input's gate refused a row (the output is
// then partly written).
template <class E, int kBits>
bool FilterRows(const Rows& in, const Rows& out, int r, RankMode mode, int medianLanes, OutputRows range) {
    const bool avx2 = ActiveSimdLevel() == SimdLevel::Avx2;
    switch (mode) {
        case RankMode::Minimum:
            return avx2 ? avx2::ExtremumFilter<E, false>(in, out, r, range)
                        : sse2::ExtremumFilter<E, false>(in, out, r, range);
        case RankMode::Maximum:
            return avx2 ? avx2::ExtremumFilter<E, true>(in, out, r, range)
                        : sse2::ExtremumFilter<E, true>(in, out, r, range);
        case RankMode::Median: break;
    }
    if (r == 1) return avx2 ? avx2::MedianNetwork<E, 1>(in, out, range) : sse2::MedianNetwork<E, 1>(in, out, range);
    if (r == 2) return avx2 ? avx2::MedianNetwork<E, 2>(in, out, range) : sse2::MedianNetwork<E, 2>(in, out, range);
    // The histograms read each row many times, in no order that suits the
    // gate: it sees all rows first (a small part of these filters' time).
    if (!in.admit(std::min(in.height - 1, range.last + r))) return false;
    for (int lane = 0; lane < medianLanes; ++lane) {
        if constexpr (kBits == 8) {
            ConstantTimeMedianOf<ByteValues>(in, out, lane, r, range);
        } else {
            if (RankedMedian(in, out, r, range)) continue;
            if (!SortedColumnsSuit(in.width, in.height, r))
                HistogramMedian<E, kBits>(in, out, lane, r, range);
            else if (WindowFitsSixteenBits(in.width, in.height, r))
                ColumnMedian<std::uint16_t, E, SortedColumns>(in, out, lane, r, range);
            else
                ColumnMedian<std::uint32_t, E, SortedColumns>(in, out, lane, r, range);
        }
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

    // First on bytes, trusting every pixel to have the first one's alpha: byte
    // order is ranking order then, and the alpha, equal everywhere, comes out
    // unchanged whether ranked or copied.
    AlphaGate gate(src, ActiveSimdLevel() == SimdLevel::Avx2 ? &avx2::RowHasAlpha : &sse2::RowHasAlpha);
    Rows bytes = RowsOf(src);
    bytes.gate = &gate;
    const Rows out{reinterpret_cast<std::byte*>(dst.pixels), dst.strideBytes, w, h, 4};
    if (FilterRows<Bytes, 8>(bytes, out, r, mode, 3, {0, h - 1})) {
        if (mode == RankMode::Median && r > kNetworkRadius) {  // the histograms leave the alpha out
            for (int y = 0; y < h; ++y) {
                std::uint32_t* row = dst.row(y);
                for (int x = 0; x < w; ++x) row[x] = (row[x] & 0xFFFFFFu) | gate.alpha();
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
