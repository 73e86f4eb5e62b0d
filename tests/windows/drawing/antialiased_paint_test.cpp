// Antialiased strokes and fills through the system's own rasteriser: how
// paths, pens, brushes, fill modes and world transforms reach it (the
// rasteriser's coverage is proven exact in the kernel tests), and the probe.
#include "test_support.h"

#include "drawing/antialiased_paint.h"
#include "image/bitmap.h"
#include "platform/gdiplus_raii.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace rastelle::test {
namespace {

using drawing::FillPathAntialiased;
using drawing::StrokePathAntialiased;
using Argb = std::vector<std::uint32_t>;
constexpr Gdiplus::ARGB kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

// A width x height image of one colour, filled with `brush` over `path`
// (the whole image without one) by GDI+ itself when a brush is given.
ComPtr<IRasterObject> Canvas(int width, int height, Gdiplus::ARGB colour, Gdiplus::GpBrush* brush = nullptr,
                             Gdiplus::GpPath* path = nullptr, Gdiplus::GpMatrix* world = nullptr) {
    auto raster = RasterWith(width, height, Argb(size_t(width) * height, colour));
    UniqueGraphics graphics;
    if (!brush || gp::GdipGetImageGraphicsContext(BitmapOf(raster.get())->image(), graphics.put()) != Gdiplus::Ok)
        return raster;
    if (world) gp::GdipSetWorldTransform(graphics.get(), world);
    if (path) gp::GdipFillPath(graphics.get(), brush, path);
    else gp::GdipFillRectangleI(graphics.get(), brush, 0, 0, width, height);
    return raster;
}
Gdiplus::GpBitmap* Native(const ComPtr<IRasterObject>& raster) { return BitmapOf(raster.get())->native(); }

// Black on white: the area covered, from the red channel.
double CoveredArea(const Argb& pixels) {
    double sum = 0;
    for (Gdiplus::ARGB p : pixels) sum += 255 - ((p >> 16) & 0xFF);
    return sum / 255;
}

UniquePath Path(Gdiplus::GpStatus(WINGDIPAPI* add)(Gdiplus::GpPath*, float, float, float, float), float a, float b, float c,
                float d) {
    UniquePath path;
    EXPECT_EQ(gp::GdipCreatePath(Gdiplus::FillModeAlternate, path.put()), Gdiplus::Ok);
    add(path.get(), a, b, c, d);
    return path;
}
UniqueBrush SolidBrush(Gdiplus::ARGB colour) {
    Gdiplus::GpSolidFill* made = nullptr;
    EXPECT_EQ(gp::GdipCreateSolidFill(colour, &made), Gdiplus::Ok);
    return UniqueBrush(made);
}
UniquePen BlackPen(float width) {
    UniquePen pen;
    EXPECT_EQ(gp::GdipCreatePen1(kBlack, width, Gdiplus::UnitPixel, pen.put()), Gdiplus::Ok);
    return pen;
}
UniqueMatrix Matrix(float sx, float sy, float dx, float dy) {
    UniqueMatrix world;
    gp::GdipCreateMatrix2(sx, 0, 0, sy, dx, dy, world.put());
    return world;
}

TEST(AntialiasedPaint, StrokesAndFillsUnderTheWorldTransform) {
    // A line of width 5 covers length x 5 (flat caps), with soft edges; the
    // pen is in world units, so doubled by the world it covers four times as much.
    const auto line = Path(gp::GdipAddPathLine, 20.5f, 30.2f, 170.1f, 95.7f);
    const auto pen = BlackPen(5.0f);
    const double area = std::hypot(170.1 - 20.5, 95.7 - 30.2) * 5;
    const auto target = Canvas(200, 120, kWhite), scaled = Canvas(400, 240, kWhite);
    ASSERT_EQ(StrokePathAntialiased(Native(target), line.get(), pen.get(), nullptr), Gdiplus::Ok);
    ASSERT_EQ(StrokePathAntialiased(Native(scaled), line.get(), pen.get(), Matrix(2, 2, 0, 0).get()), Gdiplus::Ok);
    const Argb pixels = PixelsOf(target.get());
    EXPECT_NEAR(CoveredArea(pixels), area, 0.02 * area);
    EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](auto p) { return p != kWhite && p != kBlack; }), 200);
    EXPECT_NEAR(CoveredArea(PixelsOf(scaled.get())), 4 * area, 0.02 * 4 * area);

    // Scaled by 2 and 3, a 10 x 10 square at (2.25, 3.5) covers x 5..25 and y
    // 10.5..40.5: 20 x 29 whole pixels in GDI+'s blend of the translucent colour.
    const auto square = Path(gp::GdipAddPathRectangle, 2.25f, 3.5f, 10.0f, 10.0f);
    const auto brush = SolidBrush(0x80FF8000);
    const auto filled = Canvas(60, 60, 0xFF2040C0);
    ASSERT_EQ(FillPathAntialiased(Native(filled), square.get(), brush.get(), Gdiplus::FillModeWinding,
                                  Matrix(2, 3, 0.5f, 0).get()),
              Gdiplus::Ok);
    const Gdiplus::ARGB blended = PixelsOf(Canvas(1, 1, 0xFF2040C0, brush.get()).get())[0];
    const Argb inside = PixelsOf(filled.get());
    EXPECT_EQ(std::count(inside.begin(), inside.end(), blended), 20 * 29);
    EXPECT_NE(inside[10 * 60 + 15], blended) << "a half-covered row";
    EXPECT_NE(inside[10 * 60 + 15], 0xFF2040C0u);
}

TEST(AntialiasedPaint, FillModesFollowThePath) {
    // Two overlapping squares running the same way: the overlap is inside
    // under winding, outside under alternate.
    auto path = Path(gp::GdipAddPathRectangle, 5, 5, 30, 30);
    gp::GdipAddPathRectangle(path.get(), 20, 20, 30, 30);
    const auto black = SolidBrush(kBlack);
    for (auto [mode, overlap] : {std::pair{Gdiplus::FillModeWinding, kBlack}, std::pair{Gdiplus::FillModeAlternate, kWhite}}) {
        const auto target = Canvas(60, 60, kWhite);
        ASSERT_EQ(FillPathAntialiased(Native(target), path.get(), black.get(), mode, nullptr), Gdiplus::Ok);
        const Argb pixels = PixelsOf(target.get());
        EXPECT_EQ((Argb{pixels[27 * 60 + 27], pixels[10 * 60 + 10], pixels[45 * 60 + 45]}), (Argb{overlap, kBlack, kBlack}));
    }
}

// A tiled texture of distinct pixels under a translation and a scale lies
// as GDI+ lays it: the pixels well inside the path match GDI+'s hard fill.
TEST(AntialiasedPaint, TextureBrushesLieAsGdiplusLaysThem) {
    std::vector<std::uint32_t> texels(16);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x0F0B07);
    Gdiplus::GpBitmap* pattern = nullptr;
    ASSERT_EQ(gp::GdipCreateBitmapFromScan0(4, 4, 16, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(texels.data()), &pattern),
              Gdiplus::Ok);
    UniqueImage patternOwner(pattern);
    Gdiplus::GpTexture* texture = nullptr;
    ASSERT_EQ(gp::GdipCreateTexture(pattern, Gdiplus::WrapModeTile, &texture), Gdiplus::Ok);
    UniqueBrush brush(texture);
    const auto world = Matrix(2, 2, 3, 1);
    const auto path = Path(gp::GdipAddPathRectangle, 7.3f, 5.6f, 40.0f, 30.0f);
    const auto ours = Canvas(100, 100, kWhite);
    ASSERT_EQ(FillPathAntialiased(Native(ours), path.get(), brush.get(), Gdiplus::FillModeAlternate, world.get()),
              Gdiplus::Ok);
    const Argb a = PixelsOf(ours.get()), b = PixelsOf(Canvas(100, 100, kWhite, brush.get(), path.get(), world.get()).get());
    std::set<Gdiplus::ARGB> colours;
    for (int y = 14; y < 70; ++y)  // (5.6 .. 35.6) x 2 + 1, two pixels in
        for (int x = 19; x < 95; ++x) {  // (7.3 .. 47.3) x 2 + 3
            ASSERT_EQ(a[y * 100 + x], b[y * 100 + x]) << "pixel " << x << "," << y;
            colours.insert(a[y * 100 + x]);
        }
    EXPECT_GE(colours.size(), 16u) << "the whole texture";
}

TEST(AntialiasedPaint, ArrowAnchorCapsAppear) {
    // A horizontal line of width 4 from x = 20 to 80 at y = 30.5: the arrow
    // reaches beyond the line's half-width near its end, not at its start.
    auto draw = [](Gdiplus::LineCap cap) {
        auto target = Canvas(100, 60, kWhite);
        const auto pen = BlackPen(4.0f);
        gp::GdipSetPenEndCap(pen.get(), cap);
        EXPECT_EQ(StrokePathAntialiased(Native(target), Path(gp::GdipAddPathLine, 20, 30.5f, 80, 30.5f).get(),
                                        pen.get(), nullptr),
                  Gdiplus::Ok);
        return PixelsOf(target.get());
    };
    const Argb flat = draw(Gdiplus::LineCapFlat), arrow = draw(Gdiplus::LineCapArrowAnchor);
    const int offRow = 27;  // 2.5 to 3.5 px above the centre line, outside the pen's 2
    EXPECT_NE(arrow[offRow * 100 + 74], kWhite) << "the arrow's wings";
    EXPECT_EQ((Argb{flat[offRow * 100 + 74], arrow[offRow * 100 + 40], arrow[30 * 100 + 85]}), Argb(3, kWhite))
        << "no wings without the cap, the line unchanged, the point at the line's end";
    // The arrow's triangle replaces the line's last stretch.
    const double side = 8, height = side * std::sqrt(3.0) / 2;
    EXPECT_NEAR(CoveredArea(arrow) - CoveredArea(flat), side * height / 2 - height * 4, 1.0);
}

}  // namespace
}  // namespace rastelle::test
