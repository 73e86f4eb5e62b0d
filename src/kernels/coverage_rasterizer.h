// Antialiased polygon filling by exact area: each pixel's coverage is the
// area of the pixel square inside the polygon (under the fill rule), not a
// count of samples. Edges are walked once per pixel row they cross, adding
// the signed area each leaves to its right into a row of cells; a running sum
// along the row then gives every pixel's winding-weighted area, which the
// fill rule folds into 0..1. Rows are walked top to bottom in strips; each
// edge crossing a strip adds its pieces row after row. Only the cells a
// row's edges touch are summed and cleared, so thin shapes cost what they
// touch. Between two stretches of touched cells every pixel has the same
// coverage: inside a shape a run that painting fills without summing or
// blending. Buffers are reused from shape to shape.
//
// Then the compositing: a solid colour or a row of brush pixels laid through
// the coverage onto 32-bit ARGB pixels, source-over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image_view.h"

namespace rastelle::kernels {

struct PointF {
    float x;
    float y;
};

enum class FillRule { NonZero, EvenOdd };

// A rectangle of pixels; empty when width or height is 0.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const noexcept { return width <= 0 || height <= 0; }
};

class CoverageRasterizer {
public:
    // y, first x, pixel count and that many coverage values (0..255).
    using SpanSink = void (*)(void* context, int y, int x, int count, const std::uint8_t* coverage);

    // Starts a new shape, clipped to the pixels [0, width) x [0, height). A
    // size below 1 clips everything away.
    void Reset(int width, int height) noexcept;

    // Adds a closed polygon: the last vertex joins the first. Coordinates are
    // pixel units with pixel (x, y) the square [x, x + 1) x [y, y + 1). A
    // polygon with a NaN or infinite coordinate is skipped whole; fewer than
    // two vertices add nothing. Parts outside the image are clipped exactly,
    // so any finite coordinate is fine. May throw std::bad_alloc.
    void AddPolygon(const PointF* points, std::size_t count);

    // The pixels that can receive coverage (every span Render reports lies
    // inside); empty when nothing was added inside the image.
    PixelRect Bounds() const noexcept;

    // Reports the coverage row by row, top to bottom, one span per row that
    // the shape touches. Pixels outside the spans have coverage 0. The shape
    // stays, so it can be rendered again. May throw std::bad_alloc.
    void Render(FillRule rule, SpanSink sink, void* context);

    template <class F>
    void Render(FillRule rule, F& span) {
        Render(
            rule,
            [](void* context, int y, int x, int count, const std::uint8_t* coverage) {
                (*static_cast<F*>(context))(y, x, count, coverage);
            },
            &span);
    }

private:
    friend void PaintCoverage(CoverageRasterizer&, FillRule, const ImageView&, int, int, std::uint32_t);
    friend void PaintCoverage(CoverageRasterizer&, FillRule, const ImageView&, int, int, const ConstImageView&);

    // The cells a row's edge piece touched, [first, end).
    struct Touched {
        int first, end;
    };

    // Walks the shape row by row, handing the sink each row's touched cells'
    // coverage and the runs of one coverage between them, left to right.
    template <class Sink>
    void RenderRows(FillRule rule, Sink& sink);

    // Runs downwards (y0 < y1) with x inside [0, width]; dir is +1 for an
    // edge that ran downwards in the polygon, -1 for one that ran upwards.
    struct Edge {
        double x0, y0, x1, y1, dxdy, dydx, dir;  // dydx: |1 / dxdy|, 0 for a vertical edge
    };

    void AddEdge(double x0, double y0, double x1, double y1);
    void PushEdge(double x0, double y0, double x1, double y1, double dir);

    int width_ = 0;
    int height_ = 0;
    double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
    std::vector<Edge> edges_;
    bool sorted_ = false;                // edges_ in the order of their y0
    std::vector<std::uint32_t> active_;  // edges crossing the current strip of rows
    std::vector<float> cells_;           // the strip's signed areas, row by row
    std::vector<std::uint8_t> coverage_;
};

// Lays the colour through the coverage onto count pixels of dst, source-over:
// each pixel gets the colour at alpha a = round(A * c / 255) (A the colour's
// alpha, c the coverage); the new alpha is a + round(D * (255 - a) / 255) and
// each colour byte (s * a + d * keep) / new alpha, truncated, with keep the
// destination's share (D the destination's alpha). a = 0 leaves the pixel.
void CompositeSolid(std::uint32_t* dst, const std::uint8_t* coverage, int count, std::uint32_t colour) noexcept;

// The same with a row of brush pixels (straight ARGB), each with its own
// colour and alpha.
void CompositeRow(std::uint32_t* dst, const std::uint32_t* src, const std::uint8_t* coverage, int count) noexcept;

// Renders the rasteriser's shape in a solid colour onto dst, whose first
// pixel is the shape's pixel (dstX, dstY) and which covers shape.Bounds().
void PaintCoverage(CoverageRasterizer& shape, FillRule rule, const ImageView& dst, int dstX, int dstY,
                   std::uint32_t colour);

// The same with a brush image of the same size and place as dst: each pixel
// takes the brush pixel at its place.
void PaintCoverage(CoverageRasterizer& shape, FillRule rule, const ImageView& dst, int dstX, int dstY,
                   const ConstImageView& brush);

}  // namespace rastelle::kernels
