// The drawing tool: recording, immediate drawing on its targets, Apply, Clear
// and the checks and messages of its set methods. Pixel checks stay away
// from edges, or draw with antialiasing off, where the result is exact.
#include "drawing/drawing_tool.h"
#include "drawing/text_probes.h"

#include "test_support.h"

#include <algorithm>
#include <array>
#include <climits>

namespace rastelle::test {
namespace {

constexpr char kSource[] = "Rastelle.DrawingTool.1";
constexpr std::uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

struct Image {
    int width, height;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Darkest red channel in the 3 x 3 block around (x, y).
    int darkestAround(int x, int y) const {
        int darkest = 255;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) darkest = std::min<int>(darkest, (at(x + dx, y + dy) >> 16) & 0xFF);
        return darkest;
    }
    std::vector<std::uint32_t> colours() const {
        std::vector<std::uint32_t> distinct(pixels);
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        return distinct;
    }
    // Bounding box of the pixels that are not white: left, top, right, bottom.
    std::array<int, 4> ink() const {
        std::array<int, 4> box{INT_MAX, INT_MAX, -1, -1};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) != kWhite)
                    box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
        return box;
    }
};

ComPtr<IDrawingTool> NewTool(bool antialiased = false) {
    auto tool = NewObject<IDrawingTool>(CLSID_DrawingTool);
    if (tool) tool->put_AntialiasingOn(antialiased ? VARIANT_TRUE : 0);
    return tool;
}

// Runs Apply on a width x height image of one colour.
Image Applied(IDrawingTool* tool, int width, int height, std::uint32_t colour = kWhite) {
    com::UniqueSafeArray input(PixelArray(width, height, std::vector<std::uint32_t>(size_t(width) * height, colour)));
    com::UniqueSafeArray output;
    EXPECT_EQ(tool->Apply(input.get(), output.put()), S_OK);
    return {width, height, output ? ArrayValues(output.get()) : std::vector<std::uint32_t>{}};
}

Image PixelsOfRaster(IRasterObject* raster) {
    auto [width, height] = SizeOf(raster);
    return {int(width), int(height), PixelsOf(raster)};
}

// A variant holding an (N, 2) array of longs, or N pairs in variants.
struct PointsArgument {
    VARIANT value;
    PointsArgument(const std::vector<std::pair<LONG, LONG>>& points, bool pairs, ULONG columns = 2) {
        VariantInit(&value);
        if (!pairs) {
            SAFEARRAYBOUND bounds[2] = {{ULONG(points.size()), 0}, {columns, 0}};
            value.vt = VT_ARRAY | VT_I4;
            value.parray = SafeArrayCreate(VT_I4, 2, bounds);
            for (LONG i = 0; i < LONG(points.size()); ++i) {
                LONG x[2] = {i, 0}, y[2] = {i, 1};
                SafeArrayPutElement(value.parray, x, const_cast<LONG*>(&points[i].first));
                SafeArrayPutElement(value.parray, y, const_cast<LONG*>(&points[i].second));
            }
            return;
        }
        SAFEARRAYBOUND bound{ULONG(points.size()), 0};
        value.vt = VT_ARRAY | VT_VARIANT;
        value.parray = SafeArrayCreate(VT_VARIANT, 1, &bound);
        for (LONG i = 0; i < LONG(points.size()); ++i) {
            SAFEARRAYBOUND two{2, 0};
            VARIANT pair;
            pair.vt = VT_ARRAY | VT_I4;
            pair.parray = SafeArrayCreate(VT_I4, 1, &two);
            LONG at = 0;
            SafeArrayPutElement(pair.parray, &at, const_cast<LONG*>(&points[i].first));
            at = 1;
            SafeArrayPutElement(pair.parray, &at, const_cast<LONG*>(&points[i].second));
            SafeArrayPutElement(value.parray, &i, &pair);
            VariantClear(&pair);
        }
    }
    PointsArgument(const PointsArgument&) = delete;
    ~PointsArgument() { VariantClear(&value); }
};

TEST(DrawingTool, ALineRecordedWithoutTargetsIsDrawnByALaterApplyWithTheDefaultPen) {
    for (bool antialiased : {true, false}) {
        auto tool = NewTool(antialiased);
        ASSERT_EQ(tool->SetLine(0, 0, 10, 10), S_OK);
        const Image image = Applied(tool.get(), 20, 20);
        EXPECT_LT(image.darkestAround(5, 5), 128) << antialiased;
        EXPECT_EQ(image.at(15, 5), kWhite);
        EXPECT_EQ(image.at(5, 15), kWhite);
        if (!antialiased) {
            EXPECT_EQ(image.colours(), (std::vector<std::uint32_t>{kBlack, kWhite}));
        }
    }
}

TEST(DrawingTool, ARotatedFilledRectangleTurnsAboutItsCentre) {
    auto tool = NewTool();
    ASSERT_EQ(tool->SetRectangle(10, 10, 20, 10, 45.0f, VARIANT_TRUE), S_OK);
    const Image image = Applied(tool.get(), 40, 40);
    EXPECT_EQ(image.at(20, 15), kBlack);  // the centre
    EXPECT_EQ(image.at(16, 8), kBlack);   // inside the turned rectangle only
    EXPECT_EQ(image.at(28, 11), kWhite);  // inside the unturned rectangle only
    EXPECT_EQ(image.at(2, 2), kWhite);
}

TEST(DrawingTool, EmptyRectanglesAndRadiiAreRefusedWithoutTextAndRecordNothing) {
    auto tool = NewTool();
    ClearThreadError();
    EXPECT_EQ(tool->SetRectangle(0, 0, 0, 10), E_INVALIDARG);
    EXPECT_EQ(tool->SetEllipseViaRect(0, 0, 10, -1), E_INVALIDARG);
    EXPECT_EQ(tool->SetEllipseViaRadius(5, 5, 0, 3), E_INVALIDARG);
    EXPECT_EQ(tool->SetArcViaRectAndAngles(0, 0, 0, 5, 0, 90), E_INVALIDARG);
    EXPECT_EQ(tool->SetPieViaRectAndVectors(0, 0, 5, 0, 1, 1, 2, 2), E_INVALIDARG);
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_EQ(Applied(tool.get(), 12, 12).colours(), std::vector<std::uint32_t>{kWhite});
}

TEST(DrawingTool, ArcAnglesComeFromTheDirectionsOfThePointsSeenFromTheCentre) {
    using drawing::ArcAnglesFromVectors;
    auto angles = [](auto a) { return std::make_pair(a.start, a.sweep); };
    EXPECT_EQ(angles(ArcAnglesFromVectors(0, 0, 100, 100, 100, 50, 50, 100)), std::make_pair(0.0f, 90.0f));
    EXPECT_EQ(angles(ArcAnglesFromVectors(0, 0, 100, 100, 50, 100, 100, 50)), std::make_pair(90.0f, 270.0f));
    EXPECT_EQ(angles(ArcAnglesFromVectors(0, 0, 100, 100, 50, 0, 0, 50)), std::make_pair(270.0f, 270.0f));
    EXPECT_EQ(angles(ArcAnglesFromVectors(0, 0, 100, 100, 0, 50, 50, 50)), std::make_pair(180.0f, 270.0f));
    // Off the axes: atan2 in degrees; a point on the centre points down.
    const auto diagonal = ArcAnglesFromVectors(0, 0, 100, 100, 60, 60, 50, 50);
    EXPECT_NEAR(diagonal.start, 45.0f, 1e-4);
    EXPECT_NEAR(diagonal.sweep, 45.0f, 1e-4);
    // The centre is taken as its absolute value, halves truncated toward zero.
    EXPECT_EQ(angles(ArcAnglesFromVectors(-100, -100, 51, 51, 76, 75, 75, 76)), std::make_pair(0.0f, 90.0f));
}

TEST(DrawingTool, ArcsAndPiesDrawTheSweepBetweenTheirVectors) {
    auto tool = NewTool();
    ASSERT_EQ(tool->SetArcViaRectAndVectors(0, 0, 100, 100, 100, 50, 50, 100), S_OK);
    ASSERT_EQ(tool->SetPieViaRectAndVectors(0, 0, 100, 100, 50, 100, 100, 50, VARIANT_TRUE), S_OK);
    const Image image = Applied(tool.get(), 101, 101);
    // The arc's lower right quarter: a point on the circle at 45 degrees.
    EXPECT_EQ(image.darkestAround(85, 85), 0);
    // The pie fills the other three quarters, from 90 degrees round to 0.
    EXPECT_EQ(image.at(30, 30), kBlack);
    EXPECT_EQ(image.at(30, 70), kBlack);
    EXPECT_EQ(image.at(70, 30), kBlack);
    EXPECT_EQ(image.at(70, 70), kWhite);
}

TEST(DrawingTool, PointArraysOfBothShapesDrawTheSameAndOtherShapesFailWithTheirMessages) {
    const std::vector<std::pair<LONG, LONG>> points{{2, 2}, {30, 2}, {30, 20}};
    auto table = NewTool(), pairs = NewTool();
    PointsArgument asTable(points, false), asPairs(points, true);
    ASSERT_EQ(table->SetPolyline(asTable.value), S_OK);
    ASSERT_EQ(pairs->SetPolyline(asPairs.value), S_OK);
    const Image drawn = Applied(table.get(), 32, 24);
    EXPECT_EQ(drawn.pixels, Applied(pairs.get(), 32, 24).pixels);
    EXPECT_EQ(drawn.at(16, 2), kBlack);
    EXPECT_EQ(drawn.at(30, 10), kBlack);
    EXPECT_EQ(drawn.at(16, 10), kWhite);  // a polyline stays open

    PointsArgument threeByThree(points, false, 3);
    ExpectError(table->SetPolyline(threeByThree.value), E_INVALIDARG, L"Wrong array of points!", kSource,
                IID_IDrawingTool);
    VARIANT number;
    number.vt = VT_I4, number.lVal = 1;
    ExpectError(table->SetPolygon(number), E_INVALIDARG, L"Wrong points array!", kSource, IID_IDrawingTool);

    // A string among the numbers: the polyline's own text, the others' text
    // with the parse's code.
    VARIANT text;
    text.vt = VT_BSTR, text.bstrVal = SysAllocString(L"x");
    LONG where[2] = {0, 0};
    SafeArrayDestroy(asTable.value.parray);
    SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 0}};
    asTable.value.vt = VT_ARRAY | VT_VARIANT;
    asTable.value.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
    SafeArrayPutElement(asTable.value.parray, where, &text);
    VariantClear(&text);
    ExpectError(table->SetPolyline(asTable.value), static_cast<HRESULT>(0xE000020A), L"Array must contain numbers only!",
                kSource, IID_IDrawingTool);
    ExpectError(table->SetPolygon(asTable.value), E_FAIL,
                L"Some error occured during SafeArray with points parsing! If you see this error, please contact *",
                kSource, IID_IDrawingTool);
    EXPECT_EQ(Applied(table.get(), 32, 24).pixels, drawn.pixels);  // the failures recorded nothing
}

TEST(DrawingTool, CurvesNeedThreePointsAndFillModesAreZeroOrOne) {
    auto tool = NewTool();
    PointsArgument two({{0, 0}, {5, 5}}, true), three({{2, 2}, {20, 2}, {11, 20}}, false);
    ExpectError(tool->SetOpenedCurve(two.value, 0.5f), E_INVALIDARG, L"There are must be at least 3 points!", kSource,
                IID_IDrawingTool);
    ExpectError(tool->SetClosedCurve(two.value, 0.5f), E_INVALIDARG, L"There are must be at least 3 points!", kSource,
                IID_IDrawingTool);
    ExpectError(tool->SetPolygon(three.value, VARIANT_TRUE, static_cast<FillModes>(2)), E_FAIL,
                L"Wrong filling mode! If you see this message, please contact *", kSource, IID_IDrawingTool);
    ExpectError(tool->SetClosedCurve(three.value, 0.5f, VARIANT_TRUE, static_cast<FillModes>(-1)), E_FAIL,
                L"Wrong filling mode! If you see this message, please contact *", kSource, IID_IDrawingTool);
    ASSERT_EQ(tool->SetPolygon(three.value, VARIANT_TRUE, fmWinding), S_OK);
    const Image image = Applied(tool.get(), 24, 24);
    EXPECT_EQ(image.at(11, 8), kBlack);
    EXPECT_EQ(image.at(2, 18), kWhite);
}

TEST(DrawingTool, OnlyTheSystemsPensBrushesAndTextInfosAreTaken) {
    auto tool = NewTool();
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    auto raster = NewRaster();
    ExpectError(tool->put_DefaultBrush(pen.get()), E_INVALIDARG,
                L"Wrong Brush object! Make sure that you try to assign appropriate instanse of Rastelle's brush object!",
                kSource, IID_IDrawingTool);
    ExpectError(tool->put_DefaultBrush(nullptr), E_INVALIDARG,
                L"You should not assign Nothing to the DefaultBrush property!", kSource, IID_IDrawingTool);
    ExpectError(tool->put_DefaultPen(nullptr), E_INVALIDARG, L"You should not assign Nothing to the DefaultPen property!",
                kSource, IID_IDrawingTool);
    ExpectError(tool->put_DefaultTextInfo(nullptr), E_INVALIDARG,
                L"You should not assign Nothing to the DefaultTextInfo property!", kSource, IID_IDrawingTool);
    ExpectError(tool->SetLine(0, 0, 1, 1, raster.get()), E_NOINTERFACE, L"Invalid pen object passed!", kSource,
                IID_IDrawingTool);
    ExpectError(tool->SetRectangle(0, 0, 5, 5, 0, 0, nullptr, pen.get()), E_INVALIDARG,
                L"Wrong brush object passed! You must use DrawingSolidBrush, DrawingTextureBrush and DrawingHatchBrush "
                L"only!",
                kSource, IID_IDrawingTool);
    ExpectError(tool->SetText(Bstr(L"a").get(), 0, 0, 0, pen.get()), E_NOINTERFACE, L"Wrong TextInfo object!",
                kSource, IID_IDrawingTool);

    // A texture brush without an image is no brush to draw with.
    auto texture = NewObject<IDrawingTextureBrush>(CLSID_DrawingTextureBrush);
    ExpectError(tool->SetEllipseViaRect(0, 0, 5, 5, 0, 0, nullptr, texture.get()), E_INVALIDARG,
                L"Wrong brush object passed! You must use DrawingSolidBrush, DrawingTextureBrush and DrawingHatchBrush "
                L"only!",
                kSource, IID_IDrawingTool);
    ASSERT_EQ(tool->put_DefaultBrush(texture.get()), S_OK);
    com::UniqueSafeArray input(PixelArray(4, 4, std::vector<std::uint32_t>(16, kWhite))), output;
    ExpectError(tool->Apply(input.get(), output.put()), E_INVALIDARG,
                L"Texture is not loaded to the brush! Load some image to the Texture property of the TextureBrush "
                L"object!",
                kSource, IID_IDrawingTool);

    // A pen whose stored cap cannot be converted.
    pen->put_EndCapType(static_cast<LineCapTypes>(-1));
    ExpectError(tool->SetLine(0, 0, 1, 1, pen.get()), E_INVALIDARG,
                L"Cannot convert IDrawingPen to GDI+ Pen! If you see this error, please contact *", kSource,
                IID_IDrawingTool);
    tool->put_DefaultPen(pen.get());
    ExpectError(tool->SetLine(0, 0, 1, 1), E_INVALIDARG,
                L"Cannot convert default IDrawingPen to GDI+ Pen! If you see this error, please contact *", kSource,
                IID_IDrawingTool);
}

TEST(DrawingTool, RecordsKeepTheSettingsOfTheirMomentAndTheGivenObjectsWin) {
    auto tool = NewTool();
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    auto brush = NewObject<IDrawingSolidBrush>(CLSID_DrawingSolidBrush);
    pen->put_Color(static_cast<LONG>(0xFFFF0000));
    brush->put_Color(static_cast<LONG>(0xFF00FF00));
    ASSERT_EQ(tool->SetRectangle(2, 2, 10, 10, 0, VARIANT_TRUE, pen.get(), brush.get()), S_OK);
    pen->put_Color(static_cast<LONG>(0xFF0000FF));
    brush->put_Color(static_cast<LONG>(0xFF0000FF));
    const Image image = Applied(tool.get(), 16, 16);
    EXPECT_EQ(image.at(7, 7), 0xFF00FF00u);
    EXPECT_EQ(image.at(2, 7), 0xFFFF0000u);
}

TEST(DrawingTool, ClearEmptiesTheListAndPaintsTheTarget) {
    auto tool = NewTool();
    tool->SetLine(0, 0, 10, 10);
    ASSERT_EQ(tool->Clear(static_cast<LONG>(0xFF123456)), S_OK);  // no targets: only the list
    const Image image = Applied(tool.get(), 12, 12, 0x80FF00FF);
    EXPECT_EQ(image.colours(), std::vector<std::uint32_t>{0x80FF00FF});

    auto raster = RasterWith(6, 6, std::vector<std::uint32_t>(36, kWhite));
    tool->put_RasterObject(raster.get());
    ASSERT_EQ(tool->Clear(static_cast<LONG>(0x80123456)), S_OK);
    EXPECT_EQ(PixelsOfRaster(raster.get()).colours(), std::vector<std::uint32_t>{0x80123456});
}

TEST(DrawingTool, ATargetSetLaterGetsOnlyLaterPrimitivesOnItsImageOfTheMoment) {
    auto tool = NewTool();
    ASSERT_EQ(tool->SetRectangle(0, 0, 5, 5, 0, VARIANT_TRUE), S_OK);
    auto raster = RasterWith(20, 20, std::vector<std::uint32_t>(400, kWhite));
    ASSERT_EQ(tool->put_RasterObject(raster.get()), S_OK);
    EXPECT_EQ(PixelsOfRaster(raster.get()).colours(), std::vector<std::uint32_t>{kWhite});
    ASSERT_EQ(tool->SetLine(0, 10, 19, 10), S_OK);
    Image image = PixelsOfRaster(raster.get());
    EXPECT_EQ(image.at(10, 10), kBlack);
    EXPECT_EQ(image.at(2, 2), kWhite);

    // The raster object replaces its image: the tool draws on the new one.
    ASSERT_EQ(raster->EmptyImage(30, 30, static_cast<LONG>(kWhite)), S_OK);
    ASSERT_EQ(tool->SetLine(25, 0, 25, 29), S_OK);
    image = PixelsOfRaster(raster.get());
    EXPECT_EQ(image.at(25, 15), kBlack);
    EXPECT_EQ(image.at(10, 10), kWhite);

    // The tool keeps the raster object alive, and Nothing lets it go.
    Bitmap* held = BitmapOf(raster.get());
    raster.reset();
    EXPECT_EQ(tool->SetLine(0, 0, 1, 1), S_OK);
    EXPECT_NE(held, nullptr);
    EXPECT_EQ(tool->put_RasterObject(nullptr), S_OK);
    EXPECT_EQ(tool->SetLine(0, 0, 1, 1), S_OK);
}

TEST(DrawingTool, DrawsOnADeviceContext) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, section);
    auto tool = NewTool();
    ASSERT_EQ(tool->put_hDC(static_cast<LONG>(reinterpret_cast<LONG_PTR>(dc))), S_OK);
    ASSERT_EQ(tool->Clear(-1), S_OK);
    ASSERT_EQ(tool->SetLine(0, 8, 15, 8), S_OK);
    GdiFlush();
    EXPECT_EQ(GetPixel(dc, 8, 8), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 8, 2), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
}

TEST(DrawingTool, WithAntialiasingOffShapesAndTextHaveHardEdges) {
    auto tool = NewTool(false);
    ASSERT_EQ(tool->SetEllipseViaRadius(20, 20, 15, 9, 30.0f, VARIANT_TRUE), S_OK);
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    text->put_FontSize(14.0f);
    ASSERT_EQ(tool->SetText(Bstr(L"Wave 42").get(), 2, 40, 0, text.get()), S_OK);
    const Image image = Applied(tool.get(), 80, 64);
    EXPECT_EQ(image.colours(), (std::vector<std::uint32_t>{kBlack, kWhite}));
    EXPECT_GT(image.ink()[3], 45);  // the text was drawn

    // With it on, the ellipse's edge has intermediate coverage.
    tool->Clear(-1);
    tool->put_AntialiasingOn(VARIANT_TRUE);
    tool->SetText(Bstr(L"Wave 42").get(), 2, 40, 0, text.get());
    const Image smooth = Applied(tool.get(), 80, 64);
    EXPECT_GT(smooth.colours().size(), 2u);
}

TEST(DrawingTool, RightToLeftTextEndsAtItsOriginAndVerticalTextRunsDown) {
    auto tool = NewTool(false);
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    text->put_FontSize(12.0f);
    text->put_TextAlignment(atRight);
    ASSERT_EQ(tool->SetText(Bstr(L"WWW").get(), 70, 4, 0, text.get()), S_OK);
    auto ink = Applied(tool.get(), 100, 30).ink();
    EXPECT_LE(ink[2], 72);
    EXPECT_LT(ink[0], 50);

    tool->Clear(-1);
    text->put_TextAlignment(atLeft);
    text->put_IsVertical(VARIANT_TRUE);
    ASSERT_EQ(tool->SetText(Bstr(L"WWWW").get(), 40, 4, 0, text.get()), S_OK);
    ink = Applied(tool.get(), 80, 100).ink();
    EXPECT_GT(ink[3] - ink[1], 2 * (ink[2] - ink[0]));
}

TEST(DrawingTool, TextInAFontThatIsNotInstalledFailsWhenDrawn) {
    auto tool = NewTool();
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    text->put_FontName(Bstr(L"No Such Family Anywhere").get());
    ASSERT_EQ(tool->SetText(Bstr(L"a").get(), 0, 0, 0, text.get()), S_OK);
    com::UniqueSafeArray input(PixelArray(4, 4, std::vector<std::uint32_t>(16, kWhite))), output;
    ExpectError(tool->Apply(input.get(), output.put()), static_cast<HRESULT>(0xE0000205),
                L"Error occured during text rendering! It is possible you try to use font which is not installed at the "
                L"server.",
                kSource, IID_IDrawingTool);

    // Drawn at once on a target, the failure keeps the record out.
    auto clean = NewTool();
    auto raster = RasterWith(4, 4, std::vector<std::uint32_t>(16, kWhite));
    clean->put_RasterObject(raster.get());
    ExpectError(clean->SetText(Bstr(L"a").get(), 0, 0, 0, text.get()), E_FAIL, L"*", kSource, IID_IDrawingTool);
    clean->put_RasterObject(nullptr);
    EXPECT_EQ(Applied(clean.get(), 4, 4).colours(), std::vector<std::uint32_t>{kWhite});
}

TEST(DrawingTool, ApplyRefusesAnArrayThatIsNoImage) {
    auto tool = NewTool();
    com::UniqueSafeArray output;
    ExpectError(tool->Apply(nullptr, output.put()), static_cast<HRESULT>(0xE0000205),
                L"Cannot retrieve bitmap data to the drawing tool", kSource, IID_IDrawingTool);
}

TEST(DrawingTool, TextProbesReportWhatWinesGdiplusIgnores) {
    if (!RunningUnderWine()) GTEST_SKIP() << "the gaps are Wine's";
    StartGdiplus();
    EXPECT_FALSE(drawing::PlatformDrawsSingleBitText());
    EXPECT_FALSE(drawing::PlatformHonoursVerticalText());
    EXPECT_FALSE(drawing::PlatformHonoursRightToLeftText());
}

}  // namespace
}  // namespace rastelle::test
