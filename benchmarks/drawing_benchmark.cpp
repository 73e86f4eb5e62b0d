// Antialiased drawing at kernel level: 10 000 lines of width 2 and 1 000
// filled ellipses on a white 2000 x 2000 image, each shape rasterised by
// exact area and laid on in its own opaque colour. The shapes come from the
// generator that benchmarks/peers/drawing.py repeats for Cairo and Pillow.
// The outlines are what GDI+ hands the DLL: a line's flat-capped rectangle,
// an ellipse flattened to within a quarter pixel.
#include "kernels/coverage_rasterizer.h"

#include <benchmark/benchmark.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace rastelle {
namespace {

using kernels::PointF;

constexpr int kSize = 2000;

// A 64-bit linear congruential generator; its top 32 bits scaled to [0, 1).
struct Shapes {
    std::uint64_t state = 1;
    double Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 32) / 4294967296.0;
    }
    std::uint32_t Colour() { return 0xFF000000u | static_cast<std::uint32_t>(Next() * 16777216.0); }
};

void LineOutline(double x0, double y0, double x1, double y1, double width, std::vector<PointF>& out) {
    const double length = std::hypot(x1 - x0, y1 - y0);
    const double nx = length > 0 ? -(y1 - y0) / length * width / 2 : 0, ny = length > 0 ? (x1 - x0) / length * width / 2 : 0;
    out = {{static_cast<float>(x0 + nx), static_cast<float>(y0 + ny)},
           {static_cast<float>(x1 + nx), static_cast<float>(y1 + ny)},
           {static_cast<float>(x1 - nx), static_cast<float>(y1 - ny)},
           {static_cast<float>(x0 - nx), static_cast<float>(y0 - ny)}};
}

// The vertices step round the ellipse by one rotation each, as a flattener
// steps along its curves, without a sine and cosine per vertex.
void EllipseOutline(double cx, double cy, double rx, double ry, std::vector<PointF>& out) {
    const double r = std::max(rx, ry);
    const int n = std::max(8, static_cast<int>(std::ceil(std::numbers::pi / std::acos(1 - 0.25 / r))));
    out.resize(static_cast<size_t>(n));
    const double stepCos = std::cos(2 * std::numbers::pi / n), stepSin = std::sin(2 * std::numbers::pi / n);
    double c = 1, s = 0;
    for (int i = 0; i < n; ++i) {
        out[static_cast<size_t>(i)] = {static_cast<float>(cx + rx * c), static_cast<float>(cy + ry * s)};
        const double nextCos = c * stepCos - s * stepSin;
        s = s * stepCos + c * stepSin;
        c = nextCos;
    }
}

// Each shape of the job in turn, as the rasteriser holds it, with its colour.
template <class F>
void EachShape(bool lines, kernels::CoverageRasterizer& shape, std::vector<PointF>& outline, F&& use) {
    Shapes random;
    for (int i = 0; i < (lines ? 10000 : 1000); ++i) {
        if (lines) {
            const double x0 = random.Next() * kSize, y0 = random.Next() * kSize;
            const double x1 = random.Next() * kSize, y1 = random.Next() * kSize;
            LineOutline(x0, y0, x1, y1, 2.0, outline);
        } else {
            const double cx = random.Next() * kSize, cy = random.Next() * kSize;
            const double rx = 4 + random.Next() * 60, ry = 4 + random.Next() * 60;
            EllipseOutline(cx, cy, rx, ry, outline);
        }
        const std::uint32_t colour = random.Colour();
        shape.Reset(kSize, kSize);
        shape.AddPolygon(outline.data(), outline.size());
        use(colour);
    }
}

void Draw(benchmark::State& state, bool lines) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(kSize) * kSize, 0xFFFFFFFFu);
    const kernels::ImageView image = kernels::PackedView(pixels.data(), kSize, kSize);
    kernels::CoverageRasterizer shape;
    std::vector<PointF> outline;
    for (auto _ : state) {
        EachShape(lines, shape, outline, [&](std::uint32_t colour) {
            kernels::PaintCoverage(shape, kernels::FillRule::NonZero, image, 0, 0, colour);
        });
        benchmark::DoNotOptimize(pixels.data());
    }
}

void BM_DrawLines(benchmark::State& state) { Draw(state, true); }
void BM_DrawEllipses(benchmark::State& state) { Draw(state, false); }

// What the ellipses cost apart: their coverage without compositing, and
// the floor the memory sets, their pixels merely written row by row (spans
// recorded beforehand), with the span eight rows down prefetched or not.
void BM_RasteriseEllipses(benchmark::State& state) {
    kernels::CoverageRasterizer shape;
    std::vector<PointF> outline;
    std::uint64_t touched = 0;
    auto sink = [&](int, int, int count, const std::uint8_t* coverage) { touched += coverage[count - 1]; };
    for (auto _ : state)
        EachShape(false, shape, outline, [&](std::uint32_t) { shape.Render(kernels::FillRule::NonZero, sink); });
    benchmark::DoNotOptimize(touched);
}

void BM_FillEllipseSpans(benchmark::State& state) {
    struct Span {
        int y, x, count;
        std::uint32_t colour;
    };
    std::vector<Span> spans;
    kernels::CoverageRasterizer shape;
    std::vector<PointF> outline;
    EachShape(false, shape, outline, [&](std::uint32_t colour) {
        auto record = [&](int y, int x, int count, const std::uint8_t*) { spans.push_back({y, x, count, colour}); };
        shape.Render(kernels::FillRule::NonZero, record);
    });
    const bool prefetch = state.range(0) != 0;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(kSize) * kSize, 0xFFFFFFFFu);
    for (auto _ : state) {
        for (size_t i = 0; i < spans.size(); ++i) {
            if (prefetch && i + 8 < spans.size() && spans[i + 8].y == spans[i].y + 8) {
                const Span& ahead = spans[i + 8];
                const std::uint32_t* row = &pixels[static_cast<size_t>(ahead.y) * kSize + ahead.x];
                for (int p = 0; p < ahead.count; p += 16) _mm_prefetch(reinterpret_cast<const char*>(row + p), _MM_HINT_T0);
            }
            std::fill_n(&pixels[static_cast<size_t>(spans[i].y) * kSize + spans[i].x], spans[i].count, spans[i].colour);
        }
        benchmark::DoNotOptimize(pixels.data());
    }
}

BENCHMARK(BM_DrawLines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawEllipses)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RasteriseEllipses)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillEllipseSpans)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace rastelle
