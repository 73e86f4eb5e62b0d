// Antialiased strokes and fills through the system's own rasteriser: the
// coverage they lay down, the brushes they carry and the platform probe.
#include "test_support.h"

#include "drawing/antialiased_paint.h"
#include "platform/bitmap_guard.h"
#include "platform/gdiplus_raii.h"

#include <cmath>
#include <numbers>

namespace rastelle::test {
namespace {

using drawing::FillPathAntialiased;
using drawing::StrokePathAntialiased;

constexpr Gdiplus::ARGB kWhite = 0xFFFFFFFF;

// A width x height bitmap filled with one colour.
UniqueImage NewBitmap(int width, int height, Gdiplus::ARGB colour) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    EXPECT_EQ(platform::CreateBitmap(width, height, PixelFormat32bppARGB, &bitmap), Gdiplus::Ok);
    UniqueImage owner(bitmap);
    UniqueGraphics graphics;
    EXPECT_EQ(gp::GdipGetImageGraphicsContext(bitmap, graphics.put()), Gdiplus::Ok);
    gp::GdipGraphicsClear(graphics.get(), colour);
    return owner;
}

Gdiplus::GpBitmap* AsBitmap(const UniqueImage& image) { return static_cast<Gdiplus::GpBitmap*>(image.get()); }

std::vector<Gdiplus::ARGB> Pixels(const UniqueImage& image) {
    UINT width = 0, height = 0;
    gp::GdipGetImageWidth(image.get(), &width);
    gp::GdipGetImageHeight(image.get(), &height);
    std::vector<Gdiplus::ARGB> pixels;
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            Gdiplus::ARGB pixel = 0;
            gp::GdipBitmapGetPixel(AsBitmap(image), static_cast<INT>(x), static_cast<INT>(y), &pixel);
            pixels.push_back(pixel);
        }
    return pixels;
}

// Black on white: the area covered, from the red channel.
double CoveredArea(const std::vector<Gdiplus::ARGB>& pixels) {
    double sum = 0;
    for (Gdiplus::ARGB p : pixels) sum += 255 - ((p >> 16) & 0xFF);
    return sum / 255;
}
int Intermediate(const std::vector<Gdiplus::ARGB>& pixels) {
    int count = 0;
    for (Gdiplus::ARGB p : pixels) count += ((p >> 16) & 0xFF) != 0 && ((p >> 16) & 0xFF) != 255;
    return count;
}

// A path of the figures `add` puts in it, e.g. gp::GdipAddPathLine with its numbers.
template <class Add, class... Args>
UniquePath PathOf(Add add, Args... args) {
    UniquePath path;
    EXPECT_EQ(gp::GdipCreatePath(Gdiplus::FillModeAlternate, path.put()), Gdiplus::Ok);
    add(path.get(), args...);
    return path;
}

UniqueBrush SolidBrush(Gdiplus::ARGB colour) {
    Gdiplus::GpSolidFill* made = nullptr;
    EXPECT_EQ(gp::GdipCreateSolidFill(colour, &made), Gdiplus::Ok);
    return UniqueBrush(made);
}

UniquePen BlackPen(float width) {
    UniquePen pen;
    EXPECT_EQ(gp::GdipCreatePen1(0xFF000000, width, Gdiplus::UnitPixel, pen.put()), Gdiplus::Ok);
    return pen;
}

// Fills a width x height bitmap of one colour with the brush, through GDI+.
UniqueImage FilledByGdiplus(int width, int height, Gdiplus::ARGB colour, Gdiplus::GpBrush* brush,
                            Gdiplus::GpPath* path = nullptr, Gdiplus::GpMatrix* world = nullptr) {
    auto target = NewBitmap(width, height, colour);
    UniqueGraphics graphics;
    gp::GdipGetImageGraphicsContext(target.get(), graphics.put());
    if (world) gp::GdipSetWorldTransform(graphics.get(), world);
    if (path) gp::GdipFillPath(graphics.get(), brush, path);
    else gp::GdipFillRectangleI(graphics.get(), brush, 0, 0, width, height);
    return target;
}

TEST(AntialiasedPaint, ProbeReportsWinesMissingSmoothing) {
    EXPECT_EQ(drawing::ProbeShapeAntialiasing(), !RunningUnderWine());
    EXPECT_EQ(drawing::PlatformAntialiasesShapes(), drawing::ProbeShapeAntialiasing());
}

TEST(AntialiasedPaint, FillsAndStrokesCoverTheirExactArea) {
    // An ellipse: soft edges, and the area pi a b.
    {
        const auto target = NewBitmap(120, 90, kWhite);
        const auto path = PathOf(gp::GdipAddPathEllipse, 10.3f, 8.6f, 96.0f, 64.4f);
        const auto black = SolidBrush(0xFF000000);
        ASSERT_EQ(FillPathAntialiased(AsBitmap(target), path.get(), black.get(), Gdiplus::FillModeAlternate, nullptr),
                  Gdiplus::Ok);
        const auto pixels = Pixels(target);
        const double area = std::numbers::pi * 48.0 * 32.2;
        EXPECT_NEAR(CoveredArea(pixels), area, 0.005 * area);
        EXPECT_GT(Intermediate(pixels), 150) << "the edge is smoothed all round";
        EXPECT_EQ(pixels[45 * 120 + 58], 0xFF000000u);
        EXPECT_EQ(pixels[2 * 120 + 2], kWhite);
    }
    // A line of width 5 covers length x 5 (flat caps).
    {
        const auto target = NewBitmap(200, 120, kWhite);
        const auto path = PathOf(gp::GdipAddPathLine, 20.5f, 30.2f, 170.1f, 95.7f);
        const auto pen = BlackPen(5.0f);
        ASSERT_EQ(StrokePathAntialiased(AsBitmap(target), path.get(), pen.get(), nullptr), Gdiplus::Ok);
        const auto pixels = Pixels(target);
        const double area = std::hypot(170.1 - 20.5, 95.7 - 30.2) * 5;
        EXPECT_NEAR(CoveredArea(pixels), area, 0.02 * area);
        EXPECT_GT(Intermediate(pixels), 200);

        // The pen is in world units: doubled by the world transform, the
        // line covers four times as much.
        const auto scaled = NewBitmap(400, 240, kWhite);
        UniqueMatrix world;
        gp::GdipCreateMatrix2(2, 0, 0, 2, 0, 0, world.put());
        ASSERT_EQ(StrokePathAntialiased(AsBitmap(scaled), path.get(), pen.get(), world.get()), Gdiplus::Ok);
        EXPECT_NEAR(CoveredArea(Pixels(scaled)), 4 * area, 0.02 * 4 * area);
    }
    // Under a world transform: scaled by 2 and 3, a 10 x 10 square covers 600
    // pixels, its translucent colour laid over the target as GDI+ lays it.
    {
        const auto target = NewBitmap(60, 60, 0xFF2040C0);
        const auto path = PathOf(gp::GdipAddPathRectangle, 2.25f, 3.5f, 10.0f, 10.0f);
        UniqueMatrix world;
        gp::GdipCreateMatrix2(2, 0, 0, 3, 0.5f, 0, world.put());
        const auto brush = SolidBrush(0x80FF8000);
        ASSERT_EQ(FillPathAntialiased(AsBitmap(target), path.get(), brush.get(), Gdiplus::FillModeWinding, world.get()),
                  Gdiplus::Ok);
        const Gdiplus::ARGB blended = Pixels(FilledByGdiplus(1, 1, 0xFF2040C0, brush.get()))[0];
        const auto pixels = Pixels(target);
        int inside = 0;
        for (Gdiplus::ARGB p : pixels) inside += p == blended;
        // x from 5 to 25, y from 10.5 to 40.5: 20 x 29 whole pixels and half
        // rows at the top and bottom.
        EXPECT_EQ(inside, 20 * 29) << "every wholly covered pixel has GDI+'s blend";
        EXPECT_NE(pixels[10 * 60 + 15], blended);
        EXPECT_NE(pixels[10 * 60 + 15], 0xFF2040C0u);
    }
}

TEST(AntialiasedPaint, FillModesFollowThePath) {
    // Two overlapping squares running the same way: the overlap is inside
    // under winding, outside under alternate.
    auto path = PathOf(gp::GdipAddPathRectangle, 5.0f, 5.0f, 30.0f, 30.0f);
    gp::GdipAddPathRectangle(path.get(), 20, 20, 30, 30);
    const auto black = SolidBrush(0xFF000000);
    for (auto [mode, overlap] : {std::pair{Gdiplus::FillModeWinding, Gdiplus::ARGB{0xFF000000}}, std::pair{Gdiplus::FillModeAlternate, kWhite}}) {
        const auto target = NewBitmap(60, 60, kWhite);
        ASSERT_EQ(FillPathAntialiased(AsBitmap(target), path.get(), black.get(), mode, nullptr), Gdiplus::Ok);
        const auto pixels = Pixels(target);
        EXPECT_EQ(pixels[27 * 60 + 27], overlap);
        EXPECT_EQ(pixels[10 * 60 + 10], 0xFF000000u);
        EXPECT_EQ(pixels[45 * 60 + 45], 0xFF000000u);
    }
}

// Fills the same path with the brush through FillPathAntialiased and
// through GDI+ with hard edges; the pixels well inside the path must match.
void ExpectSameInside(Gdiplus::GpBrush* brush, Gdiplus::GpMatrix* world) {
    const auto path = PathOf(gp::GdipAddPathRectangle, 7.3f, 5.6f, 40.0f, 30.0f);
    const auto ours = NewBitmap(100, 100, kWhite);
    ASSERT_EQ(FillPathAntialiased(AsBitmap(ours), path.get(), brush, Gdiplus::FillModeAlternate, world), Gdiplus::Ok);
    const auto theirs = FilledByGdiplus(100, 100, kWhite, brush, path.get(), world);
    // The path's pixels, shrunk by two on each side, mapped by the world
    // transform's translation and scale (the tests use no rotation).
    Gdiplus::REAL m[6] = {1, 0, 0, 1, 0, 0};
    if (world) gp::GdipGetMatrixElements(world, m);
    const auto a = Pixels(ours), b = Pixels(theirs);
    int compared = 0, colours = 0;
    Gdiplus::ARGB first = a[0];
    for (int y = static_cast<int>(5.6f * m[3] + m[5]) + 2; y < static_cast<int>(35.6f * m[3] + m[5]) - 2; ++y)
        for (int x = static_cast<int>(7.3f * m[0] + m[4]) + 2; x < static_cast<int>(47.3f * m[0] + m[4]) - 2; ++x) {
            const size_t i = static_cast<size_t>(y * 100 + x);
            ASSERT_EQ(a[i], b[i]) << "pixel " << x << "," << y;
            ++compared;
            if (a[i] != first) ++colours, first = a[i];
        }
    EXPECT_GT(compared, 500);
    EXPECT_GT(colours, 20) << "a pattern, not a single colour";
}

TEST(AntialiasedPaint, HatchAndTextureBrushesLieAsGdiplusLaysThem) {
    Gdiplus::GpHatch* madeHatch = nullptr;
    ASSERT_EQ(gp::GdipCreateHatchBrush(Gdiplus::HatchStyleDiagonalCross, 0xFFFF0000, 0xFF0000FF, &madeHatch),
              Gdiplus::Ok);
    UniqueBrush hatch(madeHatch);
    ExpectSameInside(hatch.get(), nullptr);

    // A texture of distinct pixels, tiled, under a translation and a scale.
    std::vector<std::uint32_t> texels(16);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x0F0B07);
    Gdiplus::GpBitmap* pattern = nullptr;
    ASSERT_EQ(gp::GdipCreateBitmapFromScan0(4, 4, 16, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(texels.data()), &pattern),
              Gdiplus::Ok);
    UniqueImage patternOwner(pattern);
    Gdiplus::GpTexture* madeTexture = nullptr;
    ASSERT_EQ(gp::GdipCreateTexture(pattern, Gdiplus::WrapModeTile, &madeTexture), Gdiplus::Ok);
    UniqueBrush texture(madeTexture);
    ExpectSameInside(texture.get(), nullptr);
    UniqueMatrix world;
    gp::GdipCreateMatrix2(2, 0, 0, 2, 3, 1, world.put());
    ExpectSameInside(texture.get(), world.get());
}

TEST(AntialiasedPaint, ArrowAnchorCapsAppear) {
    // A horizontal line of width 4 from x = 20 to 80 at y = 30.5: the arrow
    // reaches beyond the line's half-width near its end, not at its start.
    auto draw = [](Gdiplus::LineCap cap) {
        auto target = NewBitmap(100, 60, kWhite);
        const auto path = PathOf(gp::GdipAddPathLine, 20.0f, 30.5f, 80.0f, 30.5f);
        const auto pen = BlackPen(4.0f);
        gp::GdipSetPenEndCap(pen.get(), cap);
        EXPECT_EQ(StrokePathAntialiased(AsBitmap(target), path.get(), pen.get(), nullptr), Gdiplus::Ok);
        return Pixels(target);
    };
    const auto flat = draw(Gdiplus::LineCapFlat);
    const auto arrow = draw(Gdiplus::LineCapArrowAnchor);
    const int offRow = 30 - 3;  // 2.5 to 3.5 px above the centre line, outside the pen's 2
    EXPECT_EQ(flat[offRow * 100 + 74], kWhite);
    EXPECT_NE(arrow[offRow * 100 + 74], kWhite) << "the arrow's wings";
    EXPECT_EQ(arrow[offRow * 100 + 40], kWhite) << "the line itself is unchanged";
    EXPECT_EQ(arrow[30 * 100 + 85], kWhite) << "the point ends at the line's end";
    // The arrow's triangle replaces the line's last stretch.
    const double side = 8, height = side * std::sqrt(3.0) / 2;
    EXPECT_NEAR(CoveredArea(arrow) - CoveredArea(flat), side * height / 2 - height * 4, 1.0);
}

TEST(AntialiasedPaint, RefusesMissingObjects) {
    const auto target = NewBitmap(4, 4, kWhite);
    const auto path = PathOf(gp::GdipAddPathLine, 0.0f, 0.0f, 3.0f, 3.0f);
    const auto brush = SolidBrush(0xFF000000);
    const auto pen = BlackPen(1.0f);
    EXPECT_EQ(FillPathAntialiased(nullptr, path.get(), brush.get(), Gdiplus::FillModeAlternate, nullptr),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(FillPathAntialiased(AsBitmap(target), path.get(), nullptr, Gdiplus::FillModeAlternate, nullptr),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(StrokePathAntialiased(AsBitmap(target), nullptr, pen.get(), nullptr), Gdiplus::InvalidParameter);
    EXPECT_EQ(Pixels(target), std::vector<Gdiplus::ARGB>(16, kWhite));
}

}  // namespace
}  // namespace rastelle::test
