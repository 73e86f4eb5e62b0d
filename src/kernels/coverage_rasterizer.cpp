#include "simd.h"

#include "coverage_rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "blend.h"

namespace rastelle::kernels {

namespace {

// The part of an edge inside pixel row r: its x at the row's top and bottom
// (within the edge) and its height there.
struct RowPiece {
    double xa, xb, dy;
};

inline RowPiece PieceInRow(const auto& e, int r, double width) {
    const double ya = std::max(e.y0, static_cast<double>(r));
    const double yb = std::min(e.y1, static_cast<double>(r) + 1.0);
    double xa = ya == e.y0 ? e.x0 : e.x0 + (ya - e.y0) * e.dxdy;
    double xb = yb == e.y1 ? e.x1 : e.x0 + (yb - e.y0) * e.dxdy;
    xa = std::clamp(xa, 0.0, width);
    xb = std::clamp(xb, 0.0, width);
    return {xa, xb, yb - ya};
}

// The first and last pixel column a piece from x0 to x1 (x0 <= x1, both in
// [0, width]) touches; its cells run from c0 to c1 + 1 (the carry into the
// pixels to its right).
inline void Columns(double x0, double x1, int width, int& c0, int& c1) {
    c0 = std::min(static_cast<int>(x0), width - 1);
    const int whole = static_cast<int>(x1);  // x1 >= 0: truncation is the floor
    const int lastTouched = static_cast<double>(whole) < x1 ? whole : whole - 1;
    c1 = std::max(c0, std::min(lastTouched, width - 1));
}

// Adds a piece's signed area to the cells of its row (cell[c] indexed by
// pixel column) and widens [first, end) to the cells it touched. Pixel c's
// winding-weighted coverage is the sum of cells up to c: the area of the
// pixel to the right of the piece, the whole height dy for pixels wholly to
// its right.
inline void AccumulatePiece(float* cell, double xa, double xb, double dy, double dir, double dydx, int width,
                            int& first, int& end) {
    const double x0 = std::min(xa, xb), x1 = std::max(xa, xb);
    int c0, c1;
    Columns(x0, x1, width, c0, c1);
    first = std::min(first, c0);
    end = std::max(end, c1 + 2);
    const double h = dy * dir;
    if (c0 == c1) {
        const double m = (x0 + x1) * 0.5 - c0;
        cell[c0] += static_cast<float>(h * (1.0 - m));
        cell[c0 + 1] += static_cast<float>(h * m);
        return;
    }
    // Across columns: in column c the piece has y before c (pixel wholly
    // right of it) and a trapezoid inside it. The same area by symmetry
    // whether x grows downwards or upwards. Columns crossed whole each add
    // the same step. dydx is the edge's rows per column.
    const double firstWidth = c0 + 1.0 - x0;
    double previous = dydx * firstWidth * firstWidth * 0.5;
    cell[c0] += static_cast<float>(dir * previous);
    if (c1 > c0 + 1) {
        const double value = (firstWidth + 0.5) * dydx;
        cell[c0 + 1] += static_cast<float>(dir * (value - previous));
        const float step = static_cast<float>(dir * dydx);
        for (int c = c0 + 2; c < c1; ++c) cell[c] += step;
        previous = value + (c1 - c0 - 2) * dydx;
    }
    const double lastWidth = x1 - c1;
    const double last = (c1 - x0) * dydx + lastWidth * dydx * (1.0 - lastWidth * 0.5);
    cell[c1] += static_cast<float>(dir * (last - previous));
    cell[c1 + 1] += static_cast<float>(dir * (dy - last));
}

// Coverage 0..255 from four winding-weighted areas at once: non-zero takes
// |sum| up to 1 (rounded to the nearest 255th), even-odd folds |sum| into a
// triangle wave of period 2, lane by lane where a sum exceeds 1.
struct NonZeroFold {
    static __m128i Four(__m128 sums) {
        const __m128 v = _mm_min_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), sums), _mm_set1_ps(1.0f));
        return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(v, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
    }
};

struct EvenOddFold {
    static std::uint8_t One(float sum) {
        float v = std::fabs(sum);
        if (v > 1.0f) {
            v = std::fmod(v, 2.0f);
            if (v > 1.0f) v = 2.0f - v;
        }
        return static_cast<std::uint8_t>(v * 255.0f + 0.5f);
    }
    static __m128i Four(__m128 sums) {
        const __m128 v = _mm_andnot_ps(_mm_set1_ps(-0.0f), sums);
        if (_mm_movemask_ps(_mm_cmpgt_ps(v, _mm_set1_ps(1.0f))) == 0) return NonZeroFold::Four(sums);
        float lanes[4];
        _mm_storeu_ps(lanes, sums);
        return _mm_setr_epi32(One(lanes[0]), One(lanes[1]), One(lanes[2]), One(lanes[3]));
    }
};

constexpr int kShortSpan = 16;

// The running sum of a row's cells, folded into coverage; the cells are left
// zero for the next row. Four cells go at a time, as a prefix sum in one
// register, their coverage written as one word (which the compositor then
// reads at once: a read waits far longer on four byte writes than on one).
// Inside a shape most cells are 0 (no edge in the pixel): sixteen at a time
// they leave the coverage as it is, checked only in long spans, whose cells
// were not all just written. count is a multiple of 4.
template <class Fold>
RASTELLE_ALWAYS_INLINE void SumRow(float* cell, int count, std::uint8_t* out) {
    assert(count % 4 == 0);
    const __m128 zero = _mm_setzero_ps();
    __m128 sum = zero;
    std::uint32_t four = 0;  // the last four pixels' coverage
    const auto sumFour = [&](int at) {
        __m128 v = _mm_loadu_ps(cell + at);
        v = _mm_add_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 4)));
        v = _mm_add_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 8)));
        v = _mm_add_ps(v, sum);
        sum = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
        _mm_storeu_ps(cell + at, zero);
        const __m128i words = Fold::Four(v);
        four = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(words, words), words)));
        std::memcpy(out + at, &four, 4);
    };
    const auto allZero = [&](int at) { return _mm_cmpeq_ps(_mm_loadu_ps(cell + at), zero); };
    int j = 0;
    if (count >= kShortSpan) {
        for (; j + 16 <= count; j += 16) {
            if (_mm_movemask_ps(_mm_and_ps(_mm_and_ps(allZero(j), allZero(j + 4)), _mm_and_ps(allZero(j + 8), allZero(j + 12)))) ==
                0xF) {
                std::memset(out + j, static_cast<int>(four >> 24), 16);
                continue;
            }
            for (int k = j; k < j + 16; k += 4) sumFour(k);
        }
    }
    for (; j < count; j += 4) sumFour(j);
}

// round(x / 255) for x in [0, 65025].
inline std::uint32_t Divide255Rounded(std::uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// Over an opaque pixel the new alpha is 255 and each byte
// (s * a + d * (255 - a)) / 255: blue and red, then green and alpha, as two
// 16-bit lanes at once (no lane exceeds 65280, and (x + 1 + (x >> 8)) >> 8 is
// x / 255 for every x up to 255 * 255).
inline std::uint32_t OverOpaque(std::uint32_t d, std::uint32_t s, std::uint32_t a) {
    auto lanes = [a](std::uint32_t sl, std::uint32_t dl) {
        const std::uint32_t x = sl * a + dl * (255 - a);
        return ((x + 0x00010001u + ((x >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    };
    return lanes(s & 0x00FF00FFu, d & 0x00FF00FFu) | (lanes((s >> 8) & 0xFFu, (d >> 8) & 0xFFu) << 8) | 0xFF000000u;
}

inline std::uint32_t Over(std::uint32_t d, std::uint32_t s, std::uint32_t a) {
    if ((d >> 24) == 255) return OverOpaque(d, s, a);
    const std::uint32_t keep = Divide255Rounded((d >> 24) * (255 - a));
    const std::uint32_t na = a + keep;
    if (keep == 0) return (na << 24) | (s & 0xFFFFFFu);
    std::uint32_t result = na << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t c = (s >> shift) & 0xFF, old = (d >> shift) & 0xFF;
        result |= detail::DivideBy(c * a + old * keep, na) << shift;
    }
    return result;
}

// One pixel of CompositeSolid: the colour's alpha times the coverage, laid
// over the pixel.
inline void CompositeSolidPixel(std::uint32_t& d, std::uint32_t c, std::uint32_t alpha, std::uint32_t colour,
                                std::uint32_t opaque) {
    if (c == 0) return;
    const std::uint32_t a = Divide255Rounded(alpha * c);
    if (a == 255)
        d = opaque;
    else if (a != 0)
        d = Over(d, colour, a);
}

}  // namespace

void CoverageRasterizer::Reset(int width, int height) noexcept {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    edges_.clear();
    minX_ = minY_ = std::numeric_limits<double>::max();
    maxX_ = maxY_ = std::numeric_limits<double>::lowest();
}

void CoverageRasterizer::AddPolygon(const PointF* points, std::size_t count) {
    if (count < 2 || width_ == 0 || height_ == 0) return;
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) return;
    for (std::size_t i = 0; i < count; ++i) {
        const PointF& p = points[i];
        const PointF& q = points[i + 1 == count ? 0 : i + 1];
        AddEdge(p.x, p.y, q.x, q.y);
    }
}

void CoverageRasterizer::AddEdge(double x0, double y0, double x1, double y1) {
    if (y0 == y1) return;  // no winding, no area
    double dir = 1.0;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dir = -1.0;
    }
    const double height = height_, width = width_;
    if (y1 <= 0.0 || y0 >= height) return;
    const double dxdy = (x1 - x0) / (y1 - y0);
    auto xAt = [&](double y) { return y == y0 ? x0 : y == y1 ? x1 : x0 + (y - y0) * dxdy; };

    // Cut where the edge crosses the image's rows and its left and right
    // sides. Left of the image a piece still carries its winding into every
    // pixel of its rows: it becomes a vertical piece on the left side. Right
    // of the image it covers no pixel but closes the rows' runs: a vertical
    // piece on the right side.
    double cuts[4];
    int n = 0;
    cuts[n++] = std::max(y0, 0.0);
    for (double side : {0.0, width}) {
        if ((x0 < side) != (x1 < side) && x0 != x1) {
            const double y = y0 + (side - x0) / dxdy;
            if (y > cuts[0] && y < std::min(y1, height)) cuts[n++] = y;
        }
    }
    cuts[n++] = std::min(y1, height);
    if (n == 4 && cuts[1] > cuts[2]) std::swap(cuts[1], cuts[2]);
    for (int i = 0; i + 1 < n; ++i) {
        const double ya = cuts[i], yb = cuts[i + 1];
        if (!(yb > ya)) continue;
        const double xa = xAt(ya), xb = xAt(yb);
        const double middle = (xa + xb) * 0.5;
        if (middle <= 0.0)
            PushEdge(0.0, ya, 0.0, yb, dir);
        else if (middle >= width)
            PushEdge(width, ya, width, yb, dir);
        else
            PushEdge(std::clamp(xa, 0.0, width), ya, std::clamp(xb, 0.0, width), yb, dir);
    }
}

void CoverageRasterizer::PushEdge(double x0, double y0, double x1, double y1, double dir) {
    edges_.push_back({x0, y0, x1, y1, (x1 - x0) / (y1 - y0), x1 != x0 ? std::fabs((y1 - y0) / (x1 - x0)) : 0.0, dir});
    minX_ = std::min({minX_, x0, x1});
    maxX_ = std::max({maxX_, x0, x1});
    minY_ = std::min(minY_, y0);
    maxY_ = std::max(maxY_, y1);
}

PixelRect CoverageRasterizer::Bounds() const noexcept {
    if (edges_.empty()) return {};
    PixelRect r;
    r.x = std::min(static_cast<int>(minX_), width_ - 1);
    r.y = std::min(static_cast<int>(minY_), height_ - 1);
    const int right = std::clamp(static_cast<int>(std::ceil(maxX_)), r.x + 1, width_);
    const int bottom = std::clamp(static_cast<int>(std::ceil(maxY_)), r.y + 1, height_);
    r.width = right - r.x;
    r.height = bottom - r.y;
    return r;
}

void CoverageRasterizer::Render(FillRule rule, SpanSink sink, void* context) {
    const PixelRect bounds = Bounds();
    if (bounds.empty()) return;
    // Edges in the order their rows start; the active ones cross the row.
    order_.resize(edges_.size());
    for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<std::uint32_t>(i);
    std::sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) { return edges_[a].y0 < edges_[b].y0; });
    active_.clear();
    // One row of cells (the carry past the last pixel, and up to three more
    // to end a group of four), left zero after every row.
    const std::size_t rowCells = static_cast<std::size_t>(width_) + 5;
    if (cells_.size() < rowCells) cells_.assign(rowCells, 0.0f);
    coverage_.resize(rowCells);
    float* cell = cells_.data();
    const double width = width_;
    const int right = bounds.x + bounds.width;
    std::size_t next = 0;
    for (int r = bounds.y; r < bounds.y + bounds.height; ++r) {
        while (next < order_.size() && edges_[order_[next]].y0 < r + 1.0) active_.push_back(order_[next++]);
        int first = std::numeric_limits<int>::max(), end = 0;
        std::size_t kept = 0;
        for (std::uint32_t index : active_) {
            const Edge& e = edges_[index];
            if (e.y1 <= r) continue;  // ended above this row
            active_[kept++] = index;
            const RowPiece piece = PieceInRow(e, r, width);
            if (piece.dy > 0.0) AccumulatePiece(cell, piece.xa, piece.xb, piece.dy, e.dir, e.dydx, width_, first, end);
        }
        active_.resize(kept);
        if (end <= first) continue;
        // Summed in whole groups of four: the cells from end on hold no
        // more area.
        const int summed = (end - first + 3) & ~3;  // cells summed and cleared
        std::uint8_t* out = coverage_.data();
        if (rule == FillRule::NonZero)
            SumRow<NonZeroFold>(cell + first, summed, out);
        else
            SumRow<EvenOddFold>(cell + first, summed, out);
        const int count = std::min(end, right) - first;
        if (count > 0) sink(context, r, first, count, out);
    }
}

namespace {

// Four opaque pixels under the colour at their coverages: the pixel rule of
// CompositeSolid (alpha * coverage / 255 rounded, then OverOpaque) in 16-bit
// lanes. Coverage 0 gives the pixel back and full coverage of an opaque
// colour gives the colour, so no pixel needs a branch.
inline __m128i OverOpaqueFour(__m128i d, std::uint32_t four, std::uint32_t colour) {
    const __m128i zero = _mm_setzero_si128();
    // Each pixel's coverage in the four lanes of its channels.
    __m128i c = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), zero);
    c = _mm_unpacklo_epi16(c, c);
    const __m128i cLow = _mm_unpacklo_epi32(c, c), cHigh = _mm_unpackhi_epi32(c, c);
    const __m128i alpha = _mm_set1_epi16(static_cast<short>(colour >> 24));
    const __m128i s = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(colour)), zero);
    const __m128i source = _mm_unpacklo_epi64(s, s);
    const __m128i max = _mm_set1_epi16(255), one = _mm_set1_epi16(1), half = _mm_set1_epi16(128);
    auto blend = [&](__m128i dst, __m128i cover) {
        __m128i a = _mm_add_epi16(_mm_mullo_epi16(alpha, cover), half);
        a = _mm_srli_epi16(_mm_add_epi16(a, _mm_srli_epi16(a, 8)), 8);
        const __m128i x = _mm_add_epi16(_mm_mullo_epi16(source, a), _mm_mullo_epi16(dst, _mm_sub_epi16(max, a)));
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
    };
    const __m128i low = blend(_mm_unpacklo_epi8(d, zero), cLow);
    const __m128i high = blend(_mm_unpackhi_epi8(d, zero), cHigh);
    return _mm_or_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(static_cast<int>(0xFF000000u)));
}

inline bool AllOpaque(__m128i pixels) {
    const __m128i alphas = _mm_srli_epi32(pixels, 24);
    return _mm_movemask_epi8(_mm_cmpeq_epi32(alphas, _mm_set1_epi32(255))) == 0xFFFF;
}

}  // namespace

void CompositeSolid(std::uint32_t* dst, const std::uint8_t* coverage, int count, std::uint32_t colour) noexcept {
    const std::uint32_t alpha = colour >> 24;
    if (alpha == 0) return;
    const std::uint32_t opaque = colour | 0xFF000000u;
    const __m128i fill = _mm_set1_epi32(static_cast<int>(opaque));
    const __m128i full = _mm_set1_epi32(-1);
    const auto sixteenCovered = [&](int at) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coverage + at));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, full)) == 0xFFFF;
    };
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        // Runs of sixteen or four wholly covered pixels take an opaque
        // colour as they are.
        if (alpha == 255 && i + 16 <= count && sixteenCovered(i)) {
            for (int k = 0; k < 16; k += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + k), fill);
            i += 12;  // and 4 more by the loop
            continue;
        }
        std::uint32_t four;
        std::memcpy(&four, coverage + i, 4);
        if (four == 0) continue;
        if (alpha == 255 && four == 0xFFFFFFFFu) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), fill);
            continue;
        }
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        if (AllOpaque(d)) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), OverOpaqueFour(d, four, colour));
            continue;
        }
        for (int k = i; k < i + 4; ++k) CompositeSolidPixel(dst[k], coverage[k], alpha, colour, opaque);
    }
    for (; i < count; ++i) CompositeSolidPixel(dst[i], coverage[i], alpha, colour, opaque);
}

void CompositeRow(std::uint32_t* dst, const std::uint32_t* src, const std::uint8_t* coverage, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        const std::uint32_t c = coverage[i];
        if (c == 0) continue;
        const std::uint32_t a = Divide255Rounded((src[i] >> 24) * c);
        if (a == 255) {
            dst[i] = src[i];
        } else if (a != 0) {
            dst[i] = Over(dst[i], src[i], a);
        }
    }
}

namespace {

// Thin shapes (lines above all) touch a few pixels of many rows, and
// compositing would wait on each row's first load. Spans move smoothly from
// row to row, so the span kPrefetchRows rows down is asked for early, where
// the current span's drift from the last one predicts it, whole (a short
// row's lines come too late for the processor's own prefetching; a long
// row's are streamed in by the processor once the row is under way).
constexpr int kPrefetchRows = 8;
constexpr int kWholeSpanPixels = 256;

class RowPrefetcher {
public:
    explicit RowPrefetcher(const ImageView& dst) : dst_(dst) {}
    void Ahead(int row, int x, int count) {
        if (previousX_ != kNone && row + kPrefetchRows < dst_.height) {
            const int drift = (x - previousX_) * kPrefetchRows;
            const int first = std::clamp(x + drift, 0, dst_.width - 1);
            const int last = std::clamp(x + drift + count - 1, 0, dst_.width - 1);
            const std::uint32_t* ahead = dst_.row(row + kPrefetchRows);
            const int step = last - first <= kWholeSpanPixels ? 16 : last - first;  // a cache line each
            for (int p = first; p < last; p += step) _mm_prefetch(reinterpret_cast<const char*>(ahead + p), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(ahead + last), _MM_HINT_T0);
        }
        previousX_ = x;
    }

private:
    static constexpr int kNone = std::numeric_limits<int>::min();
    const ImageView& dst_;
    int previousX_ = kNone;
};

}  // namespace

void PaintCoverage(CoverageRasterizer& shape, FillRule rule, const ImageView& dst, int dstX, int dstY,
                   std::uint32_t colour) {
    RowPrefetcher prefetcher(dst);
    auto span = [&](int y, int x, int count, const std::uint8_t* coverage) {
        prefetcher.Ahead(y - dstY, x - dstX, count);
        CompositeSolid(dst.row(y - dstY) + (x - dstX), coverage, count, colour);
    };
    shape.Render(rule, span);
}

void PaintCoverage(CoverageRasterizer& shape, FillRule rule, const ImageView& dst, int dstX, int dstY,
                   const ConstImageView& brush) {
    assert(brush.width == dst.width && brush.height == dst.height);
    auto span = [&](int y, int x, int count, const std::uint8_t* coverage) {
        CompositeRow(dst.row(y - dstY) + (x - dstX), brush.row(y - dstY) + (x - dstX), coverage, count);
    };
    shape.Render(rule, span);
}

}  // namespace rastelle::kernels
