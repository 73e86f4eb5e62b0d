// Pens, brushes and text settings: the setters' rules and errors, Clone, and
// what each turns into in GDI+.
#include "drawing/gdiplus_settings.h"

#include "drawing/drawing_settings.h"
#include "image/bitmap.h"
#include "raster/raster_object.h"
#include "test_support.h"

#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <tuple>

namespace rastelle::test {
namespace {

using drawing::BrushKind;

struct PenState {
    Gdiplus::ARGB color;
    float width, miterLimit;
    Gdiplus::DashStyle dash;
    Gdiplus::LineJoin join;
    Gdiplus::LineCap start, end;
    Gdiplus::DashCap dashCap;
    bool operator==(const PenState&) const = default;
};

PenState StateOf(Gdiplus::GpPen* pen) {
    PenState s{};
    gp::GdipGetPenColor(pen, &s.color);
    gp::GdipGetPenWidth(pen, &s.width);
    gp::GdipGetPenMiterLimit(pen, &s.miterLimit);
    gp::GdipGetPenDashStyle(pen, reinterpret_cast<Gdiplus::GpDashStyle*>(&s.dash));
    gp::GdipGetPenLineJoin(pen, reinterpret_cast<Gdiplus::GpLineJoin*>(&s.join));
    gp::GdipGetPenStartCap(pen, reinterpret_cast<Gdiplus::GpLineCap*>(&s.start));
    gp::GdipGetPenEndCap(pen, reinterpret_cast<Gdiplus::GpLineCap*>(&s.end));
    gp::GdipGetPenDashCap197819(pen, reinterpret_cast<Gdiplus::GpDashCap*>(&s.dashCap));
    return s;
}

TEST(DrawingSettings, PenCapsAndDashCapsMapToTheirGdiplusValues) {
    const Gdiplus::LineCap lineCaps[] = {Gdiplus::LineCap(0),    Gdiplus::LineCap(1),    Gdiplus::LineCap(2),
                                         Gdiplus::LineCap(3),    Gdiplus::LineCap(0x10), Gdiplus::LineCap(0x11),
                                         Gdiplus::LineCap(0x12), Gdiplus::LineCap(0x13), Gdiplus::LineCap(0x14)};
    const Gdiplus::DashCap dashCaps[] = {Gdiplus::DashCap(0), Gdiplus::DashCap(2), Gdiplus::DashCap(3)};
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    for (int cap = 0; cap < 9; ++cap) {
        pen->put_StartCapType(static_cast<LineCapTypes>(cap)), pen->put_EndCapType(static_cast<LineCapTypes>(8 - cap));
        pen->put_DashCapType(static_cast<DashCapTypes>(cap % 3)), pen->put_DashType(static_cast<DashStyleTypes>(cap % 5));
        pen->put_LineJoinBehaviour(static_cast<LineJoinTypes>(cap % 4));
        UniquePen converted;
        ASSERT_EQ(drawing::ConvertPen(pen.get(), converted), Gdiplus::Ok);
        const PenState state = StateOf(converted.get());
        EXPECT_EQ(std::make_tuple(state.start, state.end, state.dashCap, state.dash, state.join),
                  std::make_tuple(lineCaps[cap], lineCaps[8 - cap], dashCaps[cap % 3], Gdiplus::DashStyle(cap % 5),
                                  Gdiplus::LineJoin(cap % 4)));
    }
}

TEST(DrawingSettings, EnumeratedSettersRefuseTheCountAndAboveButStoreNegativesWhichThenFailToConvert) {
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    auto hatch = NewObject<IDrawingHatchBrush>(CLSID_DrawingHatchBrush);
    auto texture = NewObject<IDrawingTextureBrush>(CLSID_DrawingTextureBrush);
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    ClearThreadError();
    EXPECT_EQ((std::vector<HRESULT>{pen->put_StartCapType(lctEnumCount), pen->put_DashType(dstEnumCount),
                                    hatch->put_HatchType(htEnumCount), texture->put_WrapMode(wmEnumCount),
                                    text->put_TextAlignment(atEnumCount), hatch->put_HatchType(htSolidDiamond)}),
              (std::vector<HRESULT>{E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, S_OK}));
    EXPECT_FALSE(TakeThreadError().present);
    LineCapTypes cap{};
    pen->get_StartCapType(&cap);
    EXPECT_EQ(cap, lctFlat);

    // A negative setting is stored and makes the conversion fail before GDI+ sees it.
    UniquePen converted;
    ASSERT_EQ(pen->put_DashType(static_cast<DashStyleTypes>(-1)), S_OK);
    EXPECT_EQ(drawing::ConvertPen(pen.get(), converted), Gdiplus::InvalidParameter);
    EXPECT_EQ(text->put_TextAlignment(static_cast<AlignmentTypes>(-1)), S_OK);
    UniqueFont font;
    UniqueStringFormat format;
    EXPECT_EQ(drawing::ConvertTextInfo(text.get(), font, format), Gdiplus::GenericError);
}

TEST(DrawingSettings, ScaleFactorAndFontNameRefuseWithTheirMessages) {
    auto brush = NewObject<IDrawingTextureBrush>(CLSID_DrawingTextureBrush);
    for (float refused : {0.0f, -2.0f, std::numeric_limits<float>::quiet_NaN()})
        ExpectError(brush->put_ScaleFactor(refused), E_INVALIDARG, L"Scale factor must be strictly larger than 0!",
                    "Rastelle.TextureBrush.1", IID_IDrawingTextureBrush);
    float kept = 0;
    brush->get_ScaleFactor(&kept);
    EXPECT_EQ(kept, 1.0f);
    EXPECT_EQ(brush->put_ScaleFactor(1e-6f), S_OK);

    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    ExpectError(text->put_FontName(nullptr), E_OUTOFMEMORY,
                L"Cannot assign to font name. It is possible not enough memory or new font name is zero-length string!",
                "Rastelle.TextInfo.1", IID_ITextInfo);
    com::UniqueBstr name;
    ASSERT_EQ(text->get_FontName(name.put()), S_OK);
    EXPECT_EQ(name.view(), L"Arial");
    EXPECT_EQ(text->put_FontName(Bstr(L"").get()), S_OK);
    ASSERT_EQ(text->get_FontName(name.put()), S_OK);
    EXPECT_TRUE(name.ok() && name.view().empty());
}

// A new pen converts to opaque black, solid, bevelled, flat, of width 1; a
// clone copies every setting.
TEST(DrawingSettings, ANewPenIsPlainBlackAndClonesCopyEverySetting) {
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    UniquePen b;
    ASSERT_EQ(drawing::ConvertPen(pen.get(), b), Gdiplus::Ok);
    EXPECT_EQ(StateOf(b.get()), (PenState{0xFF000000, 1.0f, 10.0f, Gdiplus::DashStyleSolid, Gdiplus::LineJoinBevel,
                                          Gdiplus::LineCapFlat, Gdiplus::LineCapFlat, Gdiplus::DashCapFlat}));
    pen->put_Width(3.5f), pen->put_Color(0x12345678), pen->put_MiterLimit(4.0f);
    pen->put_DashType(dstDashDot), pen->put_DashCapType(dctTriangle), pen->put_LineJoinBehaviour(ljtRound);
    pen->put_StartCapType(lctRoundAnchor), pen->put_EndCapType(lctDiamondAnchor);
    ComPtr<IDrawingPen> penCopy;
    ASSERT_EQ(pen->Clone(penCopy.put()), S_OK);
    ASSERT_EQ(drawing::ConvertPen(penCopy.get(), b), Gdiplus::Ok);
    EXPECT_EQ(StateOf(b.get()), (PenState{0x12345678, 3.5f, 4.0f, Gdiplus::DashStyleDashDot, Gdiplus::LineJoinRound,
                                    Gdiplus::LineCapRoundAnchor, Gdiplus::LineCapDiamondAnchor,
                                    Gdiplus::DashCapTriangle}));
    EXPECT_NE(pen.get(), penCopy.get());

    EXPECT_EQ(pen->Clone(nullptr), E_INVALIDARG);
}

// The colours a brush paints along row 1 of a 16 x 16 fill.
std::vector<Gdiplus::ARGB> Painted(Gdiplus::GpBrush* brush) {
    std::unique_ptr<Bitmap> target(Bitmap::Create(16, 16));
    UniqueGraphics graphics;
    gp::GdipGetImageGraphicsContext(target->image(), graphics.put());
    gp::GdipFillRectangleI(graphics.get(), brush, 0, 0, 16, 16);
    graphics.reset();
    std::vector<Gdiplus::ARGB> row(16);
    for (int x = 0; x < 16; ++x) gp::GdipBitmapGetPixel(target->native(), x, 1, &row[x]);
    return row;
}

// (A solid brush's colour is checked as the drawing tool paints with it.)
TEST(DrawingSettings, BrushKindsAreFoundInOrderAndPaintTheirSettings) {
    UniqueBrush brush;
    // Vertical hatch: white lines over black.
    auto hatch = NewObject<IDrawingHatchBrush>(CLSID_DrawingHatchBrush);
    hatch->put_HatchType(htVertical);
    auto converted = drawing::ConvertBrush(hatch.get(), brush);
    EXPECT_EQ(std::make_pair(converted.kind, converted.status), std::make_pair(BrushKind::Hatch, Gdiplus::Ok));
    const auto row = Painted(brush.get());
    EXPECT_EQ(std::set<Gdiplus::ARGB>(row.begin(), row.end()), (std::set<Gdiplus::ARGB>{0xFF000000, 0xFFFFFFFF}));
    hatch->put_HatchType(static_cast<HatchTypes>(-1));
    converted = drawing::ConvertBrush(hatch.get(), brush);
    EXPECT_TRUE(converted.kind == BrushKind::Hatch && converted.status != Gdiplus::Ok);

    // Neither pens nor raster objects are brushes.
    EXPECT_EQ(drawing::ConvertBrush(NewObject<IDrawingPen>(CLSID_DrawingPen).get(), brush).kind, BrushKind::None);
    EXPECT_EQ(drawing::ConvertBrush(NewRaster().get(), brush).kind, BrushKind::None);
}

TEST(DrawingSettings, TextureBrushPaintsItsTextureOfTheMomentScaledAndRefusesAMissingImage) {
    ComPtr<IDrawingTextureBrush> brush;
    ASSERT_EQ(drawing::DrawingTextureBrush::Create(nullptr, IID_IDrawingTextureBrush, brush.put_void()), S_OK);
    UniqueBrush converted;
    EXPECT_TRUE(drawing::ConvertBrush(brush.get(), converted).MissingTexture());

    // Left half red, right half blue, 8 x 4 pixels, tiled; at half size it
    // repeats every 4 pixels.
    constexpr Gdiplus::ARGB r = 0xFFFF0000, b = 0xFF0000FF;
    std::vector<std::uint32_t> pixels(32);
    for (int i = 0; i < 32; ++i) pixels[i] = (i % 8) < 4 ? r : b;
    // The texture is a raster object of the code under test, not of the DLL:
    // brushes take only images of their own module.
    ComPtr<IRasterObject> image;
    ASSERT_EQ(RasterObject::Create(nullptr, IID_IRasterObject, image.put_void()), S_OK);
    image->EmptyImage(8, 4, static_cast<LONG>(r));
    for (int i = 0; i < 32; ++i) image->put_Pixels(i % 8, i / 8, static_cast<LONG>(pixels[i]));
    ASSERT_EQ(brush->put_Texture(image.get()), S_OK);
    auto result = drawing::ConvertBrush(brush.get(), converted);
    ASSERT_EQ(std::make_pair(result.kind, result.status), std::make_pair(BrushKind::Texture, Gdiplus::Ok));
    auto row = Painted(converted.get());
    EXPECT_EQ((std::vector<Gdiplus::ARGB>{row[9], row[13]}), (std::vector<Gdiplus::ARGB>{r, b}));
    brush->put_ScaleFactor(0.5f);
    drawing::ConvertBrush(brush.get(), converted);
    row = Painted(converted.get());
    EXPECT_EQ((std::vector<Gdiplus::ARGB>{row[8], row[10], row[13]}), (std::vector<Gdiplus::ARGB>{r, b, r}));

    // A new image in the shared raster object shows in the brush's clone.
    ComPtr<IDrawingTextureBrush> clone;
    brush->Clone(clone.put());
    image->EmptyImage(4, 4, static_cast<LONG>(0xFF00FF00));
    drawing::ConvertBrush(clone.get(), converted);
    EXPECT_EQ(Painted(converted.get())[6], 0xFF00FF00u);
    brush->put_WrapMode(static_cast<WrapModes>(-1));
    EXPECT_EQ(drawing::ConvertBrush(brush.get(), converted).status, Gdiplus::GenericError);
}

TEST(DrawingSettings, TextInfoBecomesAFontInPointsWithStyleBitsAndDirectionFlags) {
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    text->put_IsBold(VARIANT_TRUE), text->put_IsUnderlined(1), text->put_FontSize(12.0f);
    UniqueFont font;
    UniqueStringFormat format;
    // The format's flags and alignment after a conversion.
    auto converted = [&] {
        EXPECT_EQ(drawing::ConvertTextInfo(text.get(), font, format), Gdiplus::Ok);
        INT flags = -1;
        Gdiplus::StringAlignment align{};
        gp::GdipGetStringFormatFlags(format.get(), &flags), gp::GdipGetStringFormatAlign(format.get(), &align);
        return std::make_pair(flags, align);
    };
    EXPECT_EQ(converted(), std::make_pair(INT{0}, Gdiplus::StringAlignmentNear));
    ASSERT_TRUE(font);
    INT style = 0;
    Gdiplus::Unit unit{};
    float size = 0;
    gp::GdipGetFontStyle(font.get(), &style), gp::GdipGetFontUnit(font.get(), &unit), gp::GdipGetFontSize(font.get(), &size);
    EXPECT_EQ(std::make_tuple(style, unit, size),
              std::make_tuple(INT{Gdiplus::FontStyleBold | Gdiplus::FontStyleUnderline}, Gdiplus::UnitPoint, 12.0f));
    // Right to left and vertical text are checked as the drawing tool draws them.
    text->put_TextAlignment(atCenter);
    EXPECT_EQ(converted(), std::make_pair(INT{0}, Gdiplus::StringAlignmentCenter));
}

}  // namespace
}  // namespace rastelle::test
