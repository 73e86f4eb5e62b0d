#include "simd.h"

#include "coverage_rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "blend.h"

namespace rastelle::kernels {

namespace {

// An edge's x at y (within the edge), kept inside [0, width].
inline double EdgeX(const auto& e, double y, double width) {
    return std::clamp(y == e.y0 ? e.x0 : y == e.y1 ? e.x1 : e.x0 + (y - e.y0) * e.dxdy, 0.0, width);
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
// pixel column) and returns the cells it touched. Pixel c's
// winding-weighted coverage is the sum of cells up to c: the area of the
// pixel to the right of the piece, the whole height dy for pixels wholly to
// its right.
template <class Touched>
RASTELLE_ALWAYS_INLINE Touched AccumulatePiece(float* cell, double xa, double xb, double dy, double dir, double dydx,
                                               int width) {
    const double x0 = std::min(xa, xb), x1 = std::max(xa, xb);
    int c0, c1;
    Columns(x0, x1, width, c0, c1);
    const double h = dy * dir;
    if (c0 == c1) {
        const double m = (x0 + x1) * 0.5 - c0;
        cell[c0] += static_cast<float>(h * (1.0 - m));
        cell[c0 + 1] += static_cast<float>(h * m);
        return {c0, c0 + 2};
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
    return {c0, c1 + 2};
}

// The same for pieces of a steep edge (at most one column per row, so a
// piece lies in at most two columns), without branches, two at a time (one
// a lane): with G(X) the area between the piece and the line x = X on its
// left, cell c0 takes G(c0 + 1), and the next two the rest of the second
// difference of G. Right of the piece G grows by dy per column. Gives each
// lane's c0, and its three cells with a fourth 0 (to add in one).
struct SteepCells {
    int column[2];
    __m128 values[2];
};

RASTELLE_ALWAYS_INLINE SteepCells SteepPieceCells(__m128d xa, __m128d xb, __m128d dy, double dir, double dydx,
                                                  int width) {
    const __m128d x0 = _mm_min_pd(xa, xb), x1 = _mm_max_pd(xa, xb);
    __m128i c0 = _mm_cvttpd_epi32(x0);
    const __m128i lastColumn = _mm_set1_epi32(width - 1);
    const __m128i beyond = _mm_cmpgt_epi32(c0, lastColumn);
    c0 = _mm_or_si128(_mm_and_si128(beyond, lastColumn), _mm_andnot_si128(beyond, c0));
    const __m128d one = _mm_set1_pd(1.0), half = _mm_set1_pd(0.5);
    const __m128d boundary = _mm_add_pd(_mm_cvtepi32_pd(c0), one), middle = _mm_mul_pd(_mm_add_pd(x0, x1), half);
    const __m128d inside = _mm_sub_pd(_mm_min_pd(x1, boundary), x0);  // the piece's width left of the boundary
    const __m128d g1 = _mm_add_pd(_mm_mul_pd(dy, _mm_sub_pd(_mm_sub_pd(boundary, x0), inside)),
                                  _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(_mm_set1_pd(dydx), inside), inside), half));
    const __m128d dirs = _mm_set1_pd(dir);
    const __m128d v0 = _mm_mul_pd(dirs, g1);
    const __m128d g2 = _mm_mul_pd(dy, _mm_sub_pd(_mm_add_pd(boundary, one), middle));  // G(c0 + 2)
    const __m128d v1 = _mm_mul_pd(dirs, _mm_sub_pd(g2, _mm_mul_pd(_mm_set1_pd(2.0), g1)));
    const __m128d v2 = _mm_mul_pd(dirs, _mm_sub_pd(g1, _mm_mul_pd(dy, _mm_sub_pd(boundary, middle))));
    const __m128 firstTwo = _mm_unpacklo_ps(_mm_cvtpd_ps(v0), _mm_cvtpd_ps(v1));  // lane 0's two, lane 1's two
    const __m128 third = _mm_cvtpd_ps(v2);                                        // lane 0's, lane 1's, 0, 0
    return {{_mm_cvtsi128_si32(c0), _mm_cvtsi128_si32(_mm_shuffle_epi32(c0, 1))},
            {_mm_shuffle_ps(firstTwo, third, _MM_SHUFFLE(2, 0, 1, 0)),
             _mm_shuffle_ps(firstTwo, third, _MM_SHUFFLE(2, 1, 3, 2))}};
}

// Adds lane's piece of cells to the row of cells at row and returns the
// cells it touched.
template <class Touched>
RASTELLE_ALWAYS_INLINE Touched AddSteepCells(float* row, const SteepCells& cells, int lane) {
    float* const cell = row + cells.column[lane];
    _mm_storeu_ps(cell, _mm_add_ps(_mm_loadu_ps(cell), cells.values[lane]));
    return {cells.column[lane], cells.column[lane] + 3};
}

template <class Touched>
RASTELLE_ALWAYS_INLINE Touched AccumulateSteepPiece(float* cell, double xa, double xb, double dy, double dir,
                                                    double dydx, int width) {
    const SteepCells cells = SteepPieceCells(_mm_set_sd(xa), _mm_set_sd(xb), _mm_set_sd(dy), dir, dydx, width);
    return AddSteepCells<Touched>(cell, cells, 0);
}

// Widens a row's touched cells by those a piece touched.
template <class Touched>
RASTELLE_ALWAYS_INLINE void Widen(Touched& touched, const Touched& piece) {
    touched = {std::min(touched.first, piece.first), std::max(touched.end, piece.end)};
}

// Adds an edge's piece to its row's cells and widens the row's touched
// cells on the edge's side by those it touched.
template <class Touched, class Edge>
RASTELLE_ALWAYS_INLINE void AddPiece(float* cell, Touched& touched, bool steep, const Edge& e, double xTop,
                                     double xBottom, double dy, int width) {
    Widen(touched, steep ? AccumulateSteepPiece<Touched>(cell, xTop, xBottom, dy, e.dir, e.dydx, width)
                         : AccumulatePiece<Touched>(cell, xTop, xBottom, dy, e.dir, e.dydx, width));
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

// The running sum of four cells as a prefix sum in one register, on from
// the sum of the cells before them (in every lane of sum), which it then
// becomes; the cells are left zero for the next row.
RASTELLE_ALWAYS_INLINE __m128 SumFour(float* cell, __m128& sum) {
    __m128 v = _mm_loadu_ps(cell);
    v = _mm_add_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 4)));
    v = _mm_add_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 8)));
    v = _mm_add_ps(v, sum);
    sum = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
    _mm_storeu_ps(cell, _mm_setzero_ps());
    return v;
}

// Four coverage values (0..255 in 32-bit lanes) as four bytes.
inline std::uint32_t CoverageBytes(__m128i words) {
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(words, words), words);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
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
    if (y0 >= 0.0 && y1 <= height && std::min(x0, x1) >= 0.0 && std::max(x0, x1) <= width) {
        PushEdge(x0, y0, x1, y1, dir);  // inside the image: no cuts
        return;
    }
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
    sorted_ = false;
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

template <class Sink>
void CoverageRasterizer::RenderRows(FillRule rule, Sink& sink) {
    const PixelRect bounds = Bounds();
    if (bounds.empty()) return;
    // Edges in the order their rows start; the active ones cross the strip.
    // Sorted once, so that a shape rendered again sums its cells in the same
    // order.
    if (!sorted_) {
        std::sort(edges_.begin(), edges_.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
        sorted_ = true;
    }
    active_.clear();
    // A row of cells has one more than the row has pixels (the carry past
    // the last one) and three more to end a group of four; rows are left
    // zero after use. The coverage is indexed by column like the cells.
    const std::size_t rowCells = static_cast<std::size_t>(width_) + 5;
    coverage_.resize(rowCells);
    float* cell = nullptr;  // the current row's
    std::uint8_t* coverage = coverage_.data();
    const double width = width_;
    const int left = bounds.x, right = bounds.x + bounds.width;

    // A row's touched cells are summed in stretches, in groups of four; the
    // cells between stretches hold no area, so the pixels there all have the
    // coverage of the sum so far: a run. stretch() sums the groups from first
    // to end on from sum and hands the sink their pixels (a group past the
    // shape's right hands on fewer).
    const auto groupsEnd = [](int first, int end) { return first + ((end - first + 3) & ~3); };
    const auto stretch = [&](auto fold, int first, int end, __m128& sum) RASTELLE_INLINE_LAMBDA {
        using Fold = decltype(fold);
        const int cellsEnd = std::min(end, right);
        for (int at = first; at < end; at += 4) sink.Four(at, Fold::Four(SumFour(cell + at, sum)), cellsEnd - at);
    };
    const auto run = [&](auto fold, int from, int to, __m128 sum) {
        using Fold = decltype(fold);
        if (to > from) sink.Run(from, to - from, static_cast<std::uint8_t>(_mm_cvtsi128_si32(Fold::Four(sum))));
    };
    // A row of at most two stretches (a and b may be the same): one stretch
    // where they are close, else a stretch each and the run between. The
    // last stretch's groups are laid to end at the shape's right where they
    // can start early enough (the cells before a stretch hold nothing), so
    // that no group runs past it.
    const auto walkPair = [&](auto fold, Touched a, Touched b) RASTELLE_INLINE_LAMBDA {
        if (b.first < a.first) std::swap(a, b);
        const auto lastGroups = [&](int from, int first, int end) {
            if (groupsEnd(first, end) <= right) return first;
            end = std::min(end, right);
            return std::max(from, end - (groupsEnd(first, end) - first));
        };
        __m128 sum = _mm_setzero_ps();
        if (b.first < groupsEnd(a.first, a.end)) {
            const int first = lastGroups(left, a.first, std::max(a.end, b.end));
            stretch(fold, first, groupsEnd(first, std::max(a.end, b.end)), sum);
            return;
        }
        const int aEnd = groupsEnd(a.first, a.end);
        stretch(fold, a.first, aEnd, sum);
        const int first = lastGroups(aEnd, b.first, b.end);
        run(fold, aEnd, first, sum);
        stretch(fold, first, groupsEnd(first, b.end), sum);
    };

    // Rows go in strips (of at most 256 KB of cells): each edge crossing a
    // strip adds its pieces to the strip's rows one after another. Each row
    // notes the cells touched by the pieces of downward edges and those of
    // upward ones, as two stretches (a simple shape's left and right sides);
    // where the two overlap, the row is summed as one stretch.
    constexpr int kStripRows = 16;
    const int stripRows = static_cast<int>(std::clamp<std::size_t>((std::size_t{1} << 16) / rowCells, 1, kStripRows));
    if (cells_.size() < rowCells * stripRows) cells_.assign(rowCells * stripRows, 0.0f);
    float* const strip = cells_.data();
    constexpr Touched kUntouched{std::numeric_limits<int>::max(), std::numeric_limits<int>::min()};
    Touched rows[kStripRows][2];
    for (auto& row : rows) row[0] = row[1] = kUntouched;
    std::size_t next = 0;
    const int bottom = bounds.y + bounds.height;
    for (int s0 = bounds.y; s0 < bottom; s0 += stripRows) {
        const int s1 = std::min(s0 + stripRows, bottom);
        for (const double stripEnds = s1; next < edges_.size() && edges_[next].y0 < stripEnds; ++next)
            active_.push_back(static_cast<std::uint32_t>(next));
        std::size_t kept = 0;
        for (std::uint32_t index : active_) {
            const Edge& e = edges_[index];
            if (e.y1 <= s0) continue;  // ended above this strip
            active_[kept++] = index;
            const int side = e.dir > 0.0 ? 1 : 0;
            const bool steep = std::fabs(e.dxdy) <= 1.0;
            const auto piece = [&](int r, double xTop, double xBottom, double dy) RASTELLE_INLINE_LAMBDA {
                AddPiece(strip + (r - s0) * rowCells, rows[r - s0][side], steep, e, xTop, xBottom, dy, width_);
            };
            // The edge's piece in each row, from its x at the row's top (or
            // its start) to its x at the row's bottom (or its end): first
            // the rows it leaves through their bottom, then the row it ends
            // in.
            const int rEnd = std::min(s1, static_cast<int>(std::ceil(e.y1)));
            const int throughEnd = std::min(rEnd, static_cast<int>(std::ceil(e.y1)) - 1);
            int r = std::max(s0, static_cast<int>(e.y0));
            double ya = std::max(e.y0, static_cast<double>(r)), xa = EdgeX(e, ya, width);
            if (steep) {
                // Two rows at a time.
                const __m128d x0 = _mm_set1_pd(e.x0), y0 = _mm_set1_pd(e.y0), slope = _mm_set1_pd(e.dxdy);
                for (; r + 1 < throughEnd; r += 2) {
                    const __m128d yb = _mm_setr_pd(r + 1.0, r + 2.0);
                    const __m128d xb = _mm_min_pd(
                        _mm_max_pd(_mm_add_pd(x0, _mm_mul_pd(_mm_sub_pd(yb, y0), slope)), _mm_setzero_pd()),
                        _mm_set1_pd(width));
                    const __m128d dy = _mm_sub_pd(yb, _mm_unpacklo_pd(_mm_set_sd(ya), yb));
                    const SteepCells cells =
                        SteepPieceCells(_mm_unpacklo_pd(_mm_set_sd(xa), xb), xb, dy, e.dir, e.dydx, width_);
                    for (int lane = 0; lane < 2; ++lane) {
                        float* const row = strip + (r + lane - s0) * rowCells;
                        Widen(rows[r + lane - s0][side], AddSteepCells<Touched>(row, cells, lane));
                    }
                    xa = _mm_cvtsd_f64(_mm_unpackhi_pd(xb, xb));
                    ya = r + 2.0;
                }
            }
            for (; r < throughEnd; ++r) {
                const double yb = r + 1.0;
                const double xb = std::min(std::max(e.x0 + (yb - e.y0) * e.dxdy, 0.0), width);
                piece(r, std::exchange(xa, xb), xb, yb - std::exchange(ya, yb));
            }
            if (r < rEnd && e.y1 > ya) piece(r, xa, EdgeX(e, e.y1, width), e.y1 - ya);
        }
        active_.resize(kept);
        for (int r = s0; r < s1; ++r) {
            Touched (&row)[2] = rows[r - s0];
            const int first = std::min(row[0].first, row[1].first);
            if (first == kUntouched.first) continue;
            const int end = std::max(row[0].end, row[1].end);
            cell = strip + (r - s0) * rowCells;
            sink.BeginRow(r, first, std::min(end, right) - first, coverage);
            const Touched a = row[0].first == kUntouched.first ? row[1] : row[0];
            const Touched b = row[1].first == kUntouched.first ? row[0] : row[1];
            if (rule == FillRule::NonZero)
                walkPair(NonZeroFold{}, a, b);
            else
                walkPair(EvenOddFold{}, a, b);
            sink.EndRow();
            row[0] = row[1] = kUntouched;
        }
    }
}

namespace {

// Keeps each row's coverage as bytes in the scratch row (indexed by column)
// for a sink that takes the row whole at its end.
class CoverageBytesRow {
public:
    void BeginRow(int y, int x, int count, std::uint8_t* scratch) {
        y_ = y;
        x_ = x;
        count_ = count;
        row_ = scratch;
    }
    void Four(int x, __m128i cover, int) {
        const std::uint32_t four = CoverageBytes(cover);
        std::memcpy(row_ + x, &four, 4);
    }
    void Run(int x, int count, std::uint8_t value) { std::memset(row_ + x, value, static_cast<std::size_t>(count)); }

protected:
    std::uint8_t* row_ = nullptr;
    int y_ = 0, x_ = 0, count_ = 0;
};

// The whole of each row's coverage in one span, for a span sink.
class WholeRows : public CoverageBytesRow {
public:
    WholeRows(CoverageRasterizer::SpanSink sink, void* context) : sink_(sink), context_(context) {}
    void EndRow() {
        if (count_ > 0) sink_(context_, y_, x_, count_, row_ + x_);
    }

private:
    CoverageRasterizer::SpanSink sink_;
    void* context_;
};

}  // namespace

void CoverageRasterizer::Render(FillRule rule, SpanSink sink, void* context) {
    WholeRows rows(sink, context);
    RenderRows(rule, rows);
}

namespace {

inline bool AllOpaque(__m128i pixels) {
    const __m128i alphas = _mm_srli_epi32(pixels, 24);
    return _mm_movemask_epi8(_mm_cmpeq_epi32(alphas, _mm_set1_epi32(255))) == 0xFFFF;
}

// A solid colour laid over pixels four at a time, by the pixel rule of
// CompositeSolid.
class SolidColour {
public:
    explicit SolidColour(std::uint32_t colour)
        : colour_(colour),
          alpha_(colour >> 24),
          opaque_(colour | 0xFF000000u),
          fill_(_mm_set1_epi32(static_cast<int>(opaque_))),
          alphaLanes_(_mm_set1_epi16(static_cast<short>(alpha_))) {
        const __m128i s = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(colour)), _mm_setzero_si128());
        source_ = _mm_unpacklo_epi64(s, s);
    }

    std::uint32_t alpha() const { return alpha_; }
    __m128i fill() const { return fill_; }

    // Four pixels at their coverages, given both in the low four 16-bit
    // lanes of cover and as the four bytes of bytes; kOpaque: the colour's
    // alpha is 255.
    template <bool kOpaque>
    RASTELLE_ALWAYS_INLINE void Four(std::uint32_t* dst, __m128i cover, std::uint32_t bytes) const {
        assert(kOpaque == (alpha_ == 255));
        if (bytes == 0) return;
        if (kOpaque && bytes == 0xFFFFFFFFu) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), fill_);
            return;
        }
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
        if (AllOpaque(d)) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), OverOpaqueFour<kOpaque>(d, cover));
            return;
        }
        for (int k = 0; k < 4; ++k) Pixel(dst[k], (bytes >> (8 * k)) & 0xFFu);
    }

    void Pixel(std::uint32_t& d, std::uint32_t coverage) const {
        CompositeSolidPixel(d, coverage, alpha_, colour_, opaque_);
    }

private:
    // Four opaque pixels under the colour: alpha * coverage / 255 rounded,
    // then OverOpaque, in 16-bit lanes (an opaque colour's alpha is the
    // coverage itself). Coverage 0 gives the pixel back and full coverage of
    // an opaque colour gives the colour, so no pixel needs a branch.
    template <bool kOpaque>
    RASTELLE_ALWAYS_INLINE __m128i OverOpaqueFour(__m128i d, __m128i cover) const {
        const __m128i zero = _mm_setzero_si128();
        // Each pixel's coverage in the four lanes of its channels.
        const __m128i c = _mm_unpacklo_epi16(cover, cover);
        const __m128i cLow = _mm_unpacklo_epi32(c, c), cHigh = _mm_unpackhi_epi32(c, c);
        const __m128i max = _mm_set1_epi16(255), one = _mm_set1_epi16(1), half = _mm_set1_epi16(128);
        auto blend = [&](__m128i dst, __m128i a) {
            if (!kOpaque) {
                a = _mm_add_epi16(_mm_mullo_epi16(alphaLanes_, a), half);
                a = _mm_srli_epi16(_mm_add_epi16(a, _mm_srli_epi16(a, 8)), 8);
            }
            const __m128i x = _mm_add_epi16(_mm_mullo_epi16(source_, a), _mm_mullo_epi16(dst, _mm_sub_epi16(max, a)));
            return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
        };
        const __m128i low = blend(_mm_unpacklo_epi8(d, zero), cLow);
        const __m128i high = blend(_mm_unpackhi_epi8(d, zero), cHigh);
        return _mm_or_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(static_cast<int>(0xFF000000u)));
    }

    std::uint32_t colour_, alpha_, opaque_;
    __m128i fill_, alphaLanes_, source_;
};

}  // namespace

namespace {

template <bool kOpaque>
void CompositeSolid(const SolidColour& solid, std::uint32_t* dst, const std::uint8_t* coverage, int count) {
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        std::uint32_t four;
        std::memcpy(&four, coverage + i, 4);
        const __m128i cover = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), _mm_setzero_si128());
        solid.Four<kOpaque>(dst + i, cover, four);
    }
    for (; i < count; ++i) solid.Pixel(dst[i], coverage[i]);
}

}  // namespace

void CompositeSolid(std::uint32_t* dst, const std::uint8_t* coverage, int count, std::uint32_t colour) noexcept {
    const SolidColour solid(colour);
    if (solid.alpha() == 255)
        CompositeSolid<true>(solid, dst, coverage, count);
    else if (solid.alpha() != 0)
        CompositeSolid<false>(solid, dst, coverage, count);
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
    // The first rows have no drift to go by: their whole width within the
    // shape's bounds (dst's pixels from x), asked for before the shape's
    // edges are walked.
    RASTELLE_ALWAYS_INLINE void Start(int row, int x, int count) {
        for (int r = row; r < std::min(row + kPrefetchRows, dst_.height); ++r) Span(r, x, x + count - 1);
    }
    void Ahead(int row, int x, int count) {
        const int last = x + count - 1;
        if (previousFirst_ != kNone && row + kPrefetchRows < dst_.height)
            Span(row + kPrefetchRows, x + (x - previousFirst_) * kPrefetchRows,
                 last + (last - previousLast_) * kPrefetchRows);
        previousFirst_ = x;
        previousLast_ = last;
    }

private:
    // Inlined: a function that only prefetches counts as having no effect,
    // and a call to it would be dropped.
    RASTELLE_ALWAYS_INLINE void Span(int row, int first, int last) {
        first = std::clamp(first, 0, dst_.width - 1);
        last = std::clamp(last, first, dst_.width - 1);
        const std::uint32_t* pixels = dst_.row(row);
        const int step = last - first <= kWholeSpanPixels ? 16 : last - first;  // a cache line each
        for (int p = first; p < last; p += step) _mm_prefetch(reinterpret_cast<const char*>(pixels + p), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(pixels + last), _MM_HINT_T0);
    }

    static constexpr int kNone = std::numeric_limits<int>::min();
    const ImageView& dst_;
    int previousFirst_ = kNone, previousLast_ = kNone;
};

// count pixels set to the colour, four at a time.
inline void FillOpaque(std::uint32_t* dst, int count, __m128i fill) {
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), fill);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4), fill);
    }
    if (i + 4 <= count) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), fill);
        i += 4;
    }
    if (i == count) return;
    if (count >= 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + count - 4), fill);  // the last four, again in part
        return;
    }
    for (; i < count; ++i) dst[i] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(fill));
}

// Lays a solid colour through each row's coverage, four pixels as they
// are summed; runs of full coverage take an opaque colour as they are.
// kOpaque: the colour's alpha is 255.
template <bool kOpaque>
class SolidPainter {
public:
    // bounds: the shape's, whose first rows are asked for at once.
    SolidPainter(const ImageView& dst, int dstX, int dstY, std::uint32_t colour, const PixelRect& bounds)
        : dst_(dst), dstX_(dstX), dstY_(dstY), solid_(colour), prefetcher_(dst) {
        if (!bounds.empty()) prefetcher_.Start(bounds.y - dstY_, bounds.x - dstX_, bounds.width);
    }
    void BeginRow(int y, int x, int count, std::uint8_t* scratch) {
        prefetcher_.Ahead(y - dstY_, x - dstX_, count);
        row_ = dst_.row(y - dstY_);
        scratch_ = scratch;
    }
    // count: how many of the four lie inside the image (fewer at its right).
    RASTELLE_ALWAYS_INLINE void Four(int x, __m128i cover, int count) {
        const __m128i lanes = _mm_packs_epi32(cover, cover);
        const auto bytes = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes)));
        std::uint32_t* dst = row_ + (x - dstX_);
        if (count >= 4) {
            solid_.template Four<kOpaque>(dst, lanes, bytes);
            return;
        }
        for (int k = 0; k < count; ++k) solid_.Pixel(dst[k], (bytes >> (8 * k)) & 0xFFu);
    }
    void Run(int x, int count, std::uint8_t value) {
        if (value == 0) return;
        if (kOpaque && value == 255) {
            FillOpaque(row_ + (x - dstX_), count, solid_.fill());
            return;
        }
        std::memset(scratch_ + x, value, static_cast<std::size_t>(count));
        CompositeSolid<kOpaque>(solid_, row_ + (x - dstX_), scratch_ + x, count);
    }
    void EndRow() {}

private:
    const ImageView& dst_;
    int dstX_, dstY_;
    SolidColour solid_;
    RowPrefetcher prefetcher_;
    std::uint32_t* row_ = nullptr;
    std::uint8_t* scratch_ = nullptr;
};

// Lays a brush's pixels through each row's coverage.
class BrushPainter : public CoverageBytesRow {
public:
    BrushPainter(const ImageView& dst, int dstX, int dstY, const ConstImageView& brush)
        : dst_(dst), brush_(brush), dstX_(dstX), dstY_(dstY) {}
    void EndRow() {
        if (count_ <= 0) return;
        const int column = x_ - dstX_;
        CompositeRow(dst_.row(y_ - dstY_) + column, brush_.row(y_ - dstY_) + column, row_ + x_, count_);
    }

private:
    const ImageView& dst_;
    const ConstImageView& brush_;
    int dstX_, dstY_;
};

}  // namespace

void PaintCoverage(CoverageRasterizer& shape, FillRule rule, const ImageView& dst, int dstX, int dstY,
                   std::uint32_t colour) {
    if ((colour >> 24) == 255) {
        SolidPainter<true> painter(dst, dstX, dstY, colour, shape.Bounds());
        shape.RenderRows(rule, painter);
    } else if ((colour >> 24) != 0) {  // alpha 0 leaves every pixel as it is
        SolidPainter<false> painter(dst, dstX, dstY, colour, shape.Bounds());
        shape.RenderRows(rule, painter);
    }
}

void PaintCoverage(CoverageRasterizer& shape, FillRule rule, const ImageView& dst, int dstX, int dstY,
                   const ConstImageView& brush) {
    assert(brush.width == dst.width && brush.height == dst.height);
    BrushPainter painter(dst, dstX, dstY, brush);
    shape.RenderRows(rule, painter);
}

}  // namespace rastelle::kernels
