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
// image's borders too (see MedianNetwork). Larger byte medians (r <= 127)
// keep a histogram per column and take constant time per pixel
// (Perreault/Hebert); larger 16-bit ones slide a three-level histogram along
// each row (Huang), at a cost that grows with r, not r^2.
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

constexpr int kDirectRadius = 2;   // minimum and maximum: up to here 2r + 1 rows and columns, beyond, blocks and spans
constexpr int kNetworkRadius = 2;  // medians: up to here sorting networks, beyond, histograms

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
    auto load = [&](const std::uint16_t* p) { return Sse2Vector::Load(reinterpret_cast<const std::byte*>(p)); };
    auto store = [&](std::uint16_t* p, __m128i v) { Sse2Vector::Store(reinterpret_cast<std::byte*>(p), v); };

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
            if (r <= kConstantTimeRadius) {
                ConstantTimeMedian(in, out, lane, r, range);
                continue;
            }
        }
        HistogramMedian<E, kBits>(in, out, lane, r, range);
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
