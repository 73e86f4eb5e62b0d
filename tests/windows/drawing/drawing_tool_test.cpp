// The drawing tool: recording, Apply, drawing on a device context, text
// and the checks and messages of its set methods. Pixel checks stay away
// from edges, or draw with antialiasing off, where the result is exact.
#include "drawing/drawing_tool.h"

#include "fake_com.h"
#include "test_support.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <set>

namespace rastelle::test {
namespace {

using Px = std::vector<std::uint32_t>;
constexpr std::uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;
constexpr HRESULT kDrawFailed = static_cast<HRESULT>(0xE0000205);
constexpr wchar_t kWrongBrush[] =
    L"Wrong brush object passed! You must use DrawingSolidBrush, DrawingTextureBrush and DrawingHatchBrush only!";

struct Image {
    int width, height;
    Px pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    Px at(std::initializer_list<std::pair<int, int>> points) const {
        Px values;
        for (auto [x, y] : points) values.push_back(at(x, y));
        return values;
    }
    // Darkest red channel in the 3 x 3 block around (x, y).
    int darkestAround(int x, int y) const {
        int darkest = 255;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) darkest = std::min<int>(darkest, (at(x + dx, y + dy) >> 16) & 0xFF);
        return darkest;
    }
    Px colours() const {
        const std::set<std::uint32_t> distinct(pixels.begin(), pixels.end());
        return Px(distinct.begin(), distinct.end());
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

// A failure of the tool with its code and text (source and GUID the tool's).
void Fails(HRESULT hr, HRESULT code, const wchar_t* text) {
    ExpectError(hr, code, text, "Rastelle.DrawingTool.1", IID_IDrawingTool);
}

ComPtr<IDrawingTool> NewTool(bool antialiased = false) {
    auto tool = NewObject<IDrawingTool>(CLSID_DrawingTool);
    if (tool) tool->put_AntialiasingOn(antialiased ? VARIANT_TRUE : 0);
    return tool;
}

// Runs Apply on a white width x height image, the result's pixels to `out`.
HRESULT ApplyOnWhite(IDrawingTool* tool, int width, int height, Px* out = nullptr) {
    com::UniqueSafeArray input(PixelArray(width, height, Px(size_t(width) * height, kWhite))), output;
    const HRESULT hr = tool->Apply(input.get(), output.put());
    if (out && output) *out = ArrayValues(output.get());
    return hr;
}
Image Applied(IDrawingTool* tool, int width, int height) {
    Image image{width, height, {}};
    EXPECT_EQ(ApplyOnWhite(tool, width, height, &image.pixels), S_OK);
    return image;
}

TEST(DrawingTool, RecordedShapesAreDrawnByALaterApply) {
    // A line with the default pen, with antialiasing on and off.
    for (bool antialiased : {true, false}) {
        auto tool = NewTool(antialiased);
        ASSERT_EQ(tool->SetLine(0, 0, 10, 10), S_OK);
        const Image image = Applied(tool.get(), 20, 20);
        EXPECT_LT(image.darkestAround(5, 5), 128) << antialiased;
        EXPECT_EQ(image.at({{15, 5}, {5, 15}}), (Px{kWhite, kWhite}));
        EXPECT_TRUE(antialiased || image.colours() == (Px{kBlack, kWhite}));
    }
    // A rotated filled rectangle turns about its centre: the centre, inside
    // the turned rectangle only, inside the unturned one only, outside.
    auto tool = NewTool();
    ASSERT_EQ(tool->SetRectangle(10, 10, 20, 10, 45.0f, VARIANT_TRUE), S_OK);
    EXPECT_EQ(Applied(tool.get(), 40, 40).at({{20, 15}, {16, 8}, {28, 11}, {2, 2}}),
              (Px{kBlack, kBlack, kWhite, kWhite}));
    // An arc's lower right quarter, and a pie over the other three quarters.
    tool = NewTool();
    ASSERT_EQ(tool->SetArcViaRectAndVectors(0, 0, 100, 100, 100, 50, 50, 100), S_OK);
    ASSERT_EQ(tool->SetPieViaRectAndVectors(0, 0, 100, 100, 50, 100, 100, 50, VARIANT_TRUE), S_OK);
    const Image image = Applied(tool.get(), 101, 101);
    EXPECT_EQ(image.darkestAround(85, 85), 0);
    EXPECT_EQ(image.at({{30, 30}, {30, 70}, {70, 30}, {70, 70}}), (Px{kBlack, kBlack, kBlack, kWhite}));
}

TEST(DrawingTool, ArcAnglesComeFromTheDirectionsOfThePointsSeenFromTheCentre) {
    const struct {
        std::array<LONG, 8> args;
        float start, sweep;
    } cases[] = {
        {{0, 0, 100, 100, 50, 100, 100, 50}, 90, 270},  // the sweep wraps past 360
        {{0, 0, 100, 100, 0, 50, 50, 50}, 180, 270},  // a point on the centre points down
        {{0, 0, 100, 100, 60, 60, 50, 50}, 45, 45},   // off the axes: atan2 in degrees
        // The centre is taken as its absolute value, halves truncated toward zero.
        {{-100, -100, 51, 51, 76, 75, 75, 76}, 0, 90},
    };
    for (const auto& c : cases) {
        const auto [x, y, w, h, x1, y1, x2, y2] = c.args;
        const auto angles = drawing::ArcAnglesFromVectors(x, y, w, h, x1, y1, x2, y2);
        EXPECT_TRUE(std::abs(angles.start - c.start) < 1e-4 && std::abs(angles.sweep - c.sweep) < 1e-4)
            << x1 << "," << y1 << ": " << angles.start << " " << angles.sweep;
    }
}

// Empty shapes are refused without text; malformed point lists, curves of two
// points and unknown fill modes fail with their messages. None records anything.
TEST(DrawingTool, RefusedShapesHaveTheirCodesAndMessagesAndRecordNothing) {
    auto tool = NewTool();
    ClearThreadError();
    EXPECT_EQ((std::vector<HRESULT>{tool->SetRectangle(0, 0, 0, 10), tool->SetEllipseViaRect(0, 0, 10, -1),
                                    tool->SetEllipseViaRadius(5, 5, 0, 3), tool->SetArcViaRectAndAngles(0, 0, 0, 5, 0, 90),
                                    tool->SetPieViaRectAndVectors(0, 0, 5, 0, 1, 1, 2, 2)}),
              std::vector<HRESULT>(5, E_INVALIDARG));
    EXPECT_FALSE(TakeThreadError().present);

    VARIANT number;
    number.vt = VT_I4, number.lVal = 1;
    Fails(tool->SetPolygon(number), E_INVALIDARG, L"Wrong points array!");
    ArrayArgument withText(PointTable(VT_VARIANT, {{2, 2}, {30, 2}, {30, 20}}), VT_VARIANT);
    VARIANT text;
    text.vt = VT_BSTR, text.bstrVal = SysAllocString(L"x");
    LONG where[2] = {0, 0};
    SafeArrayPutElement(withText.value.parray, where, &text);
    VariantClear(&text);
    Fails(tool->SetPolygon(withText.value), E_FAIL,
          L"Some error occured during SafeArray with points parsing! If you see this error, please contact *");

    ArrayArgument two(PointPairs({{0, 0}, {5, 5}}), VT_VARIANT), three(PointTable(VT_I4, {{2, 2}, {20, 2}, {11, 20}}), VT_I4);
    Fails(tool->SetOpenedCurve(two.value, 0.5f), E_INVALIDARG, L"There are must be at least 3 points!");
    const wchar_t* wrongMode = L"Wrong filling mode! If you see this message, please contact *";
    Fails(tool->SetPolygon(three.value, VARIANT_TRUE, static_cast<FillModes>(2)), E_FAIL, wrongMode);
    Fails(tool->SetClosedCurve(three.value, 0.5f, VARIANT_TRUE, static_cast<FillModes>(-1)), E_FAIL, wrongMode);
    EXPECT_EQ(Applied(tool.get(), 24, 24).colours(), Px{kWhite});
    ASSERT_EQ(tool->SetPolygon(three.value, VARIANT_TRUE, fmWinding), S_OK);
    EXPECT_EQ(Applied(tool.get(), 24, 24).at({{11, 8}, {2, 18}}), (Px{kBlack, kWhite}));
}

TEST(DrawingTool, OnlyTheSystemsPensBrushesAndTextInfosAreTaken) {
    auto tool = NewTool();
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    Fails(tool->put_DefaultBrush(pen.get()), E_INVALIDARG,
          L"Wrong Brush object! Make sure that you try to assign appropriate instanse of Rastelle's brush object!");
    Fails(tool->put_DefaultBrush(nullptr), E_INVALIDARG, L"You should not assign Nothing to the DefaultBrush property!");
    Fails(tool->put_DefaultPen(nullptr), E_INVALIDARG, L"You should not assign Nothing to the DefaultPen property!");
    Fails(tool->put_DefaultTextInfo(nullptr), E_INVALIDARG,
          L"You should not assign Nothing to the DefaultTextInfo property!");
    Fails(tool->SetRectangle(0, 0, 5, 5, 0, 0, nullptr, pen.get()), E_INVALIDARG, kWrongBrush);
    Fails(tool->SetText(Bstr(L"a").get(), 0, 0, 0, pen.get()), E_NOINTERFACE, L"Wrong TextInfo object!");

    // A texture brush without an image is no brush to draw with.
    auto texture = NewObject<IDrawingTextureBrush>(CLSID_DrawingTextureBrush);
    Fails(tool->SetEllipseViaRect(0, 0, 5, 5, 0, 0, nullptr, texture.get()), E_INVALIDARG, kWrongBrush);
    ASSERT_EQ(tool->put_DefaultBrush(texture.get()), S_OK);
    Fails(ApplyOnWhite(tool.get(), 4, 4), E_INVALIDARG,
          L"Texture is not loaded to the brush! Load some image to the Texture property of the TextureBrush object!");

    // A pen whose stored cap cannot be converted.
    pen->put_EndCapType(static_cast<LineCapTypes>(-1));
    Fails(tool->SetLine(0, 0, 1, 1, pen.get()), E_INVALIDARG,
          L"Cannot convert IDrawingPen to GDI+ Pen! If you see this error, please contact *");
    tool->put_DefaultPen(pen.get());
    Fails(tool->SetLine(0, 0, 1, 1), E_INVALIDARG,
          L"Cannot convert default IDrawingPen to GDI+ Pen! If you see this error, please contact *");
    // Apply refuses an array that is no image.
    com::UniqueSafeArray output;
    Fails(NewTool()->Apply(nullptr, output.put()), kDrawFailed, L"Cannot retrieve bitmap data to the drawing tool");
}

// An object that claims the raster object's internal interface but is not
// one of the system's: its bitmap pointer must never be taken.
struct ForeignRasterObject : Fake<IRasterObjectInternal> {
    int asked = 0;
    STDMETHODIMP GetDataPointer(LONG** result) override { return ++asked, *result = nullptr, S_OK; }
    STDMETHODIMP SetDataPointer(LONG*) override { return ++asked, S_OK; }
};

TEST(DrawingTool, OnlyRasterObjectsOfThisModuleAreTargets) {
    auto tool = NewTool();
    auto foreign = MakeFake<ForeignRasterObject>();
    // The tool only asks the object what it is; any IUnknown does for that.
    EXPECT_EQ(tool->put_RasterObject(reinterpret_cast<IRasterObject*>(foreign.get())), E_NOINTERFACE);
    EXPECT_EQ(foreign->asked, 0);
    auto layers = NewObject<IRasterCollection>(CLSID_RasterCollection);
    ComPtr<IRasterItem> item;
    ASSERT_EQ(layers->Add(-1, item.put()), S_OK);
    EXPECT_EQ(tool->put_RasterObject(item.get()), E_NOINTERFACE) << "an item is not a raster object of its own";
    EXPECT_EQ(tool->put_RasterObject(NewRaster().get()), S_OK);
}

TEST(DrawingTool, RecordsKeepTheSettingsOfTheirMomentAndTheGivenObjectsWin) {
    auto tool = NewTool();
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    auto brush = NewObject<IDrawingSolidBrush>(CLSID_DrawingSolidBrush);
    pen->put_Color(static_cast<LONG>(0xFFFF0000)), brush->put_Color(static_cast<LONG>(0xFF00FF00));
    ASSERT_EQ(tool->SetRectangle(2, 2, 10, 10, 0, VARIANT_TRUE, pen.get(), brush.get()), S_OK);
    pen->put_Color(static_cast<LONG>(0xFF0000FF)), brush->put_Color(static_cast<LONG>(0xFF0000FF));
    EXPECT_EQ(Applied(tool.get(), 16, 16).at({{7, 7}, {2, 7}}), (Px{0xFF00FF00u, 0xFFFF0000u}));
}

TEST(DrawingTool, ClearEmptiesTheListAndPaintsTheTarget) {
    auto tool = NewTool();
    tool->SetLine(0, 0, 10, 10);
    ASSERT_EQ(tool->Clear(static_cast<LONG>(0xFF123456)), S_OK);  // no targets: only the list
    EXPECT_EQ(Applied(tool.get(), 12, 12).colours(), Px{kWhite});
    auto raster = RasterWith(6, 6, Px(36, kWhite));
    ASSERT_EQ(tool->put_RasterObject(raster.get()), S_OK);
    ASSERT_EQ(tool->Clear(static_cast<LONG>(0x80123456)), S_OK);
    EXPECT_EQ(Image({6, 6, PixelsOf(raster.get())}).colours(), Px{0x80123456});
}

TEST(DrawingTool, ATargetSetLaterGetsOnlyLaterPrimitivesOnItsImageOfTheMoment) {
    auto tool = NewTool();
    ASSERT_EQ(tool->SetRectangle(0, 0, 5, 5, 0, VARIANT_TRUE), S_OK);
    auto raster = RasterWith(20, 20, Px(400, kWhite));
    ASSERT_EQ(tool->put_RasterObject(raster.get()), S_OK);
    ASSERT_EQ(tool->SetLine(0, 10, 19, 10), S_OK);
    EXPECT_EQ(Image({20, 20, PixelsOf(raster.get())}).at({{2, 2}, {10, 10}}), (Px{kWhite, kBlack}));

    // The raster object replaces its image: the tool draws on the new one,
    // and keeps the raster object alive until told Nothing.
    ASSERT_EQ(raster->EmptyImage(30, 30, static_cast<LONG>(kWhite)), S_OK);
    ASSERT_EQ(tool->SetLine(25, 0, 25, 29), S_OK);
    EXPECT_EQ(Image({30, 30, PixelsOf(raster.get())}).at({{25, 15}, {10, 10}}), (Px{kBlack, kWhite}));
    raster.reset();
    EXPECT_EQ(tool->SetLine(0, 0, 1, 1), S_OK);
    EXPECT_EQ(tool->put_RasterObject(nullptr), S_OK);
    EXPECT_EQ(tool->SetLine(0, 0, 1, 1), S_OK);
}

TEST(DrawingTool, DrawsOnADeviceContext) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16 /* top-down */, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, section);
    auto tool = NewTool();
    ASSERT_EQ(tool->put_hDC(static_cast<LONG>(reinterpret_cast<LONG_PTR>(dc))), S_OK);
    ASSERT_EQ(tool->Clear(-1), S_OK);
    ASSERT_EQ(tool->SetLine(0, 8, 15, 8), S_OK);
    GdiFlush();
    EXPECT_EQ(std::make_pair(GetPixel(dc, 8, 8), GetPixel(dc, 8, 2)), std::make_pair(RGB(0, 0, 0), RGB(255, 255, 255)));
    SelectObject(dc, old), DeleteObject(section), DeleteDC(dc);
}

TEST(DrawingTool, TextHasHardEdgesWithoutAntialiasingEndsAtItsOriginRightToLeftAndRunsDownVertically) {
    auto tool = NewTool(false);
    ASSERT_EQ(tool->SetEllipseViaRadius(20, 20, 15, 9, 30.0f, VARIANT_TRUE), S_OK);
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    text->put_FontSize(14.0f);
    ASSERT_EQ(tool->SetText(Bstr(L"Wave 42").get(), 2, 40, 0, text.get()), S_OK);
    const Image image = Applied(tool.get(), 80, 64);
    EXPECT_EQ(image.colours(), (Px{kBlack, kWhite}));
    EXPECT_GT(image.ink()[3], 45);  // the text was drawn
    tool->Clear(-1), tool->put_AntialiasingOn(VARIANT_TRUE);
    tool->SetText(Bstr(L"Wave 42").get(), 2, 40, 0, text.get());
    EXPECT_GT(Applied(tool.get(), 80, 64).colours().size(), 2u);

    tool = NewTool(false);
    text->put_FontSize(12.0f), text->put_TextAlignment(atRight);
    ASSERT_EQ(tool->SetText(Bstr(L"WWW").get(), 70, 4, 0, text.get()), S_OK);
    auto ink = Applied(tool.get(), 100, 30).ink();
    EXPECT_LE(ink[2], 72);
    EXPECT_LT(ink[0], 50);
    tool->Clear(-1), text->put_TextAlignment(atLeft), text->put_IsVertical(VARIANT_TRUE);
    ASSERT_EQ(tool->SetText(Bstr(L"WWWW").get(), 40, 4, 0, text.get()), S_OK);
    ink = Applied(tool.get(), 80, 100).ink();
    EXPECT_GT(ink[3] - ink[1], 2 * (ink[2] - ink[0]));
}

// Captions far larger than the image are drawn where they reach it, whatever
// their turn, direction or alignment, and never take the process down.
TEST(DrawingTool, HugeCaptionsAreDrawnWhereTheyReachTheImage) {
    struct Caption {
        size_t length;
        float size, angle;
        bool vertical;
        AlignmentTypes alignment;
    };
    const std::vector<Caption> captions = {{5000, 200, 0, false, atLeft},   {5000, 200, 90, false, atLeft},
                                           {5000, 2000, 33, false, atLeft}, {20000, 1000, 15, false, atLeft},
                                           {5000, 200, 0, true, atLeft},    {5000, 200, 0, false, atRight},
                                           {5000, 200, 0, false, atCenter}, {1500, 200, 0, false, atLeft}};
    for (const bool antialiased : {false, true}) {
        for (const Caption& c : captions) {
            SCOPED_TRACE(testing::Message() << c.length << " at " << c.size << ", " << c.angle << " degrees, vertical "
                                            << c.vertical << ", alignment " << c.alignment << ", antialiased "
                                            << antialiased);
            auto tool = NewTool(antialiased);
            auto text = NewObject<ITextInfo>(CLSID_TextInfo);
            text->put_FontSize(c.size), text->put_IsVertical(c.vertical ? VARIANT_TRUE : 0);
            text->put_TextAlignment(c.alignment);
            // The first line's middle near the image's, so that part of the
            // caption reaches it whichever way it is turned.
            const LONG y = 300 - static_cast<LONG>(c.size * 0.8f);
            ASSERT_EQ(tool->SetText(Bstr(std::wstring(c.length, L'W')).get(), 400, y, c.angle, text.get()), S_OK);
            const Image image = Applied(tool.get(), 800, 600);
            ASSERT_EQ(image.pixels.size(), 800u * 600u);
            EXPECT_GE(image.ink()[2], 0) << "some of the caption reaches the image";
        }
    }
}

// Random captions are drawn or refused as a text failure, never a crash or a
// hang; this seed includes captions whose em is the largest float.
TEST(DrawingTool, RandomCaptionsAreDrawnOrRefused) {
    std::mt19937 random(20261207);
    const float sizes[] = {1.0f, 12.0f, 200.0f, 1000.0f, 2000.0f, 9000.0f, 20000.0f,
                           std::numeric_limits<float>::max(), -50.0f, 0.0f};
    for (int round = 0; round < 80; ++round) {
        auto tool = NewTool(random() % 2 == 0);
        auto text = NewObject<ITextInfo>(CLSID_TextInfo);
        const float size = sizes[random() % std::size(sizes)];
        const float angle = static_cast<float>(static_cast<int>(random() % 1441) - 720) + 0.5f * (random() % 2);
        text->put_FontSize(size), text->put_IsVertical(random() % 3 == 0 ? VARIANT_TRUE : 0);
        text->put_TextAlignment(static_cast<AlignmentTypes>(random() % 3));
        std::wstring caption(1 + random() % 20000, L'W');
        for (size_t i = 0; i < caption.size(); i += 1 + random() % 400) caption[i] = L"\n Ai\u00e9\u56fe"[random() % 6];
        const LONG x = static_cast<LONG>(random() % 400) - 100, y = static_cast<LONG>(random() % 300) - 100;
        SCOPED_TRACE(testing::Message() << "round " << round << ": " << caption.size() << " characters at " << size
                                        << ", " << angle << " degrees");
        ASSERT_EQ(tool->SetText(Bstr(caption).get(), x, y, angle, text.get()), S_OK);
        if (const HRESULT hr = ApplyOnWhite(tool.get(), 200, 150); FAILED(hr))
            Fails(hr, kDrawFailed, L"Error occured during text rendering!*");
    }
}

TEST(DrawingTool, TextInAFontThatIsNotInstalledFailsWhenDrawn) {
    auto tool = NewTool();
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    text->put_FontName(Bstr(L"No Such Family Anywhere").get());
    ASSERT_EQ(tool->SetText(Bstr(L"a").get(), 0, 0, 0, text.get()), S_OK);
    Fails(ApplyOnWhite(tool.get(), 4, 4), kDrawFailed,
          L"Error occured during text rendering! It is possible you try to use font which is not installed at the "
          L"server.");
    // Drawn at once on a target, the failure keeps the record out.
    auto clean = NewTool();
    clean->put_RasterObject(RasterWith(4, 4, Px(16, kWhite)).get());
    Fails(clean->SetText(Bstr(L"a").get(), 0, 0, 0, text.get()), E_FAIL, L"*");
    clean->put_RasterObject(nullptr);
    EXPECT_EQ(Applied(clean.get(), 4, 4).colours(), Px{kWhite});
}

}  // namespace
}  // namespace rastelle::test
