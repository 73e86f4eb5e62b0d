#include "kernels/coverage_rasterizer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <numeric>
#include <random>
#include <vector>

#include "test_images.h"

namespace rastelle::kernels {
namespace {

using Polygon = std::vector<PointF>;

CoverageRasterizer Shape(const std::vector<Polygon>& polygons, int width, int height) {
    CoverageRasterizer shape;
    shape.Reset(width, height);
    for (const Polygon& p : polygons) shape.AddPolygon(p.data(), p.size());
    return shape;
}

// The coverage of every pixel of a width x height image, row-major, with a
// check that spans are reported once per row, top to bottom, inside Bounds.
std::vector<int> Rasterise(const std::vector<Polygon>& polygons, FillRule rule, int width, int height) {
    CoverageRasterizer shape = Shape(polygons, width, height);
    const PixelRect bounds = shape.Bounds();
    std::vector<int> coverage(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    int lastRow = -1;
    auto sink = [&](int y, int x, int count, const std::uint8_t* values) {
        ASSERT_TRUE(y > lastRow && x >= bounds.x && y >= bounds.y && x + count <= bounds.x + bounds.width &&
                    y < bounds.y + bounds.height && count > 0) << "span " << x << "," << y << " x " << count;
        lastRow = y;
        for (int i = 0; i < count; ++i) coverage[static_cast<size_t>(y * width + x + i)] = values[i];
    };
    shape.Render(rule, sink);
    return coverage;
}

double Total(const std::vector<int>& coverage) { return std::accumulate(coverage.begin(), coverage.end(), 0.0) / 255.0; }

// The area of a simple polygon inside the square [x, x+1) x [y, y+1):
// the polygon clipped by each side of the square in turn, then the shoelace.
double AreaInPixel(const Polygon& polygon, int px, int py) {
    using Point = std::array<double, 2>;
    std::vector<Point> poly;
    for (const PointF& p : polygon) poly.push_back({p.x, p.y});
    for (int side = 0; side < 4; ++side) {
        const int axis = side / 2;
        const double edge = (axis ? py : px) + side % 2;
        const auto inside = [&](const Point& p) { return side % 2 ? p[axis] <= edge : p[axis] >= edge; };
        std::vector<Point> out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const Point a = poly[i], b = poly[(i + 1) % poly.size()];
            if (inside(a)) out.push_back(a);
            if (inside(a) == inside(b)) continue;
            const double t = (edge - a[axis]) / (b[axis] - a[axis]);
            Point cross{a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])};
            cross[axis] = edge;
            out.push_back(cross);
        }
        poly.swap(out);
    }
    double area = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const Point a = poly[i], b = poly[(i + 1) % poly.size()];
        area += a[0] * b[1] - b[0] * a[1];
    }
    return std::fabs(area) / 2;
}

// Every pixel's coverage against the exact area of the (disjoint) polygons in it.
void ExpectExactAreas(const std::vector<Polygon>& polygons, FillRule rule, int width, int height) {
    const auto coverage = Rasterise(polygons, rule, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double area = 0;
            for (const Polygon& polygon : polygons) area += AreaInPixel(polygon, x, y);
            ASSERT_NEAR(coverage[static_cast<size_t>(y * width + x)], area * 255, 0.52) << "pixel " << x << "," << y;
        }
}

PointF At(double x, double y) { return {static_cast<float>(x), static_cast<float>(y)}; }

Polygon Rectangle(float x0, float y0, float x1, float y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

Polygon Ellipse(double cx, double cy, double rx, double ry, int n) {
    Polygon p;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * i / n;
        p.push_back(At(cx + rx * std::cos(t), cy + ry * std::sin(t)));
    }
    return p;
}

TEST(CoverageRasterizer, MatchesExactAreaOnRandomPolygons) {
    // Star-shaped (so simple) polygons with random vertices, partly outside
    // the image, against the area of each pixel clipped from the polygon.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 40; ++round) {
        const int width = 5 + static_cast<int>(unit(random) * 30), height = 5 + static_cast<int>(unit(random) * 30);
        const double cx = unit(random) * width, cy = unit(random) * height;
        const int n = 3 + static_cast<int>(unit(random) * 12);
        std::vector<double> angles(static_cast<size_t>(n));
        for (double& a : angles) a = unit(random) * 2 * std::numbers::pi;
        std::sort(angles.begin(), angles.end());
        if (round & 1) std::reverse(angles.begin(), angles.end());  // either winding direction
        Polygon polygon;
        for (double a : angles) {
            const double radius = 1 + unit(random) * 25;
            polygon.push_back(At(cx + radius * std::cos(a), cy + radius * std::sin(a)));
        }
        for (FillRule rule : {FillRule::NonZero, FillRule::EvenOdd}) ExpectExactAreas({polygon}, rule, width, height);
    }
}

TEST(CoverageRasterizer, FillRulesOnNestedOutlines) {
    // Nested rectangles: the inner one fills under non-zero when it runs the
    // same way, and is a hole under even-odd, or under both when reversed.
    const Polygon outer = Rectangle(2, 2, 38, 38);
    const Polygon inner = Rectangle(10.5f, 10.5f, 29.5f, 29.5f);
    const Polygon reversed(inner.rbegin(), inner.rend());
    EXPECT_EQ((std::vector<int>{Rasterise({outer, inner}, FillRule::NonZero, 40, 40)[820],
                                Rasterise({outer, inner}, FillRule::EvenOdd, 40, 40)[820],
                                Rasterise({outer, reversed}, FillRule::NonZero, 40, 40)[820]}),
              (std::vector<int>{255, 0, 0}));  // the centre
}

TEST(CoverageRasterizer, DegeneratePolygonsAreSkippedAndHugeOnesClipped) {
    // Too few vertices, no area, a NaN or an infinity: the polygon is skipped
    // whole, and the others are drawn as they are.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const auto mixed = Rasterise({{{3, 3}}, {{1, 1}, {8, 1}, {4, 1}}, Rectangle(1, 1, 6, nan), {{1, 1}, {inf, 2}, {3, 6}},
                                  Rectangle(2, 2, 4, 4)}, FillRule::NonZero, 10, 8);
    EXPECT_NEAR(Total(mixed), 4.0, 1e-9);
    // A thin sliver of huge finite coordinates is clipped without overflow.
    const Polygon sliver{{-3e37f, 3.5f}, {3e37f, 3.5f}, {3e37f, 4.25f}, {-3e37f, 4.25f}};
    EXPECT_NEAR(Total(Rasterise({sliver}, FillRule::NonZero, 10, 8)), 10 * 0.75, 0.05);
}

TEST(CoverageRasterizer, LargeShapesRenderTheirAreaAgainAndAgain) {
    // A large shape renders the same twice (the row buffer is left clean).
    CoverageRasterizer shape = Shape({Ellipse(1500, 1000, 1490, 995, 720)}, 3000, 2000);
    double totals[2] = {};
    for (double& total : totals) {
        auto sum = [&](int, int, int count, const std::uint8_t* v) { total = std::accumulate(v, v + count, total); };
        shape.Render(FillRule::NonZero, sum);
    }
    const double first = totals[0];
    EXPECT_EQ(totals[1], first);
    const double polygonArea = 0.5 * 720 * 1490 * 995 * std::sin(2 * std::numbers::pi / 720);
    EXPECT_NEAR(first / 255, polygonArea, 1e-4 * polygonArea);
}

// Source-over in real numbers, for the compositing kernels.
std::uint32_t OverReference(std::uint32_t d, std::uint32_t s, int coverage) {
    const double a = (s >> 24) * coverage / (255.0 * 255.0), da = (d >> 24) / 255.0;
    const double na = a + da * (1 - a);
    if (na <= 0) return d;
    std::uint32_t result = static_cast<std::uint32_t>(std::lround(na * 255)) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double c = ((s >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * da * (1 - a);
        result |= static_cast<std::uint32_t>(std::lround(c / na)) << shift;
    }
    return result;
}

// Alpha within 1 and each colour byte within 2, weighted by its alpha (the
// kernels truncate, as the other blends do): a faint pixel's colour carries little.
void ExpectClose(std::uint32_t got, std::uint32_t want, int i) {
    const int ga = static_cast<int>(got >> 24), wa = static_cast<int>(want >> 24);
    bool close = std::abs(ga - wa) <= 1;
    for (int shift = 0; shift <= 16; shift += 8)
        close = close && std::fabs(static_cast<int>((got >> shift) & 0xFF) * ga / 255.0 -
                                   static_cast<int>((want >> shift) & 0xFF) * wa / 255.0) <= 2.0;
    ASSERT_TRUE(close) << std::hex << "pixel " << i << " got " << got << " want " << want;
}

TEST(Composite, SourceOverThroughCoverage) {
    std::mt19937 random(5);
    constexpr int kCount = 4000;
    std::vector<std::uint32_t> dst(kCount), src(kCount);
    std::vector<std::uint8_t> coverage(kCount);
    const std::uint32_t alphas[] = {0, 1, 128, 254, 255};
    for (int i = 0; i < kCount; ++i) {
        dst[i] = (static_cast<std::uint32_t>(random()) & 0xFFFFFF) | (alphas[random() % 5] << 24);
        src[i] = (static_cast<std::uint32_t>(random()) & 0xFFFFFF) | (alphas[random() % 5] << 24);
        coverage[i] = static_cast<std::uint8_t>(i % 3 == 0 ? alphas[random() % 5] : random());
    }
    auto row = dst;
    CompositeRow(row.data(), src.data(), coverage.data(), kCount);
    for (int i = 0; i < kCount; ++i) {
        if (coverage[i] == 0 || (src[i] >> 24) == 0) ASSERT_EQ(row[i], dst[i]);
        else if (coverage[i] == 255 && (src[i] >> 24) == 255) ASSERT_EQ(row[i], src[i]);
        else ExpectClose(row[i], OverReference(dst[i], src[i], coverage[i]), i);
    }
    for (std::uint32_t colour : {0xFF3080C0u, 0x80FF0000u, 0x00FFFFFFu, 0x01020304u}) {
        auto solid = dst;
        CompositeSolid(solid.data(), coverage.data(), kCount, colour);
        for (int i = 0; i < kCount; ++i) ExpectClose(solid[i], OverReference(dst[i], colour, coverage[i]), i);
        // Over opaque pixels four go at once: the same bytes as one by one.
        auto opaque = dst;
        for (std::uint32_t& p : opaque) p |= 0xFF000000u;
        auto fourAtOnce = opaque;
        CompositeSolid(fourAtOnce.data(), coverage.data(), kCount, colour);
        for (int i = 0; i < kCount; ++i) CompositeSolid(&opaque[i], &coverage[i], 1, colour);
        ASSERT_EQ(fourAtOnce, opaque) << std::hex << colour;
    }
}

TEST(CoverageRasterizer, ThinBarsCoverTheirRowsInPart) {
    // Between a row's edges the coverage is what the edges left: half a row
    // for a bar half a pixel high, in two bars apart on the row.
    ExpectExactAreas({Rectangle(3.5f, 10.25f, 30.75f, 10.75f), Rectangle(36.2f, 10.1f, 70.5f, 11.3f)}, FillRule::EvenOdd,
                     80, 20);
}

TEST(Composite, PaintingLaysEachPixelThroughItsCoverage) {
    // Shapes onto a window of a patterned image placed at their bounds: each
    // pixel is the colour (or brush pixel) composited at its coverage, with
    // two, four (around a hole) or half-covered runs of edges a row.
    struct Case {
        const char* name;
        std::vector<Polygon> shape;
        FillRule rule;
    };
    const Case cases[] = {
        {"ellipse", {Ellipse(40.3, 30.8, 33.1, 22.4, 300)}, FillRule::NonZero},
        {"framed hole", {Rectangle(4.5f, 3.25f, 75.5f, 56.5f), Ellipse(40, 30, 20.5, 15.3, 200)}, FillRule::EvenOdd},
        {"thin bars", {Rectangle(3.5f, 10.25f, 30.75f, 10.75f), Rectangle(36.2f, 10.1f, 70.5f, 11.3f)}, FillRule::NonZero},
    };
    PaddedImage brush(80, 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) brush.at(x, y) = (static_cast<std::uint32_t>(x * 40 + y * 7) << 24) | 0x203040u | (x << 16);
    for (const Case& c : cases) {
        const auto coverage = Rasterise(c.shape, c.rule, 80, 60);
        for (const std::uint32_t colour : {0xFFE01020u, 0x90E01020u, 0u}) {  // 0: the brush
            PaddedImage image(80, 60, 2);
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 80; ++x) image.at(x, y) = ((x ^ y) & 4 ? 0xFF000000u : 0x80000000u) | (x * 3 << 8) | y;
            PaddedImage expected = CopyOf(image, 0);
            for (int i = 0; i < 80 * 60; ++i) {
                const auto v = static_cast<std::uint8_t>(coverage[static_cast<size_t>(i)]);
                std::uint32_t& pixel = expected.at(i % 80, i / 80);
                if (colour != 0) CompositeSolid(&pixel, &v, 1, colour);
                else CompositeRow(&pixel, &brush.at(i % 80, i / 80), &v, 1);
            }
            CoverageRasterizer shape = Shape(c.shape, 80, 60);
            const PixelRect b = shape.Bounds();
            const ImageView window{&image.at(b.x, b.y), b.width, b.height, image.view().strideBytes};
            if (colour != 0)
                PaintCoverage(shape, c.rule, window, b.x, b.y, colour);
            else
                PaintCoverage(shape, c.rule, window, b.x, b.y,
                              ConstImageView{&brush.at(b.x, b.y), b.width, b.height, brush.view().strideBytes});
            EXPECT_EQ(FirstDifference(expected, image), "") << c.name << " " << std::hex << colour;
            EXPECT_TRUE(image.guardsIntact());
        }
    }
}

}  // namespace
}  // namespace rastelle::kernels
