// Pens, brushes and text settings: the setters' rules and errors, Clone, and
// what each turns into in GDI+.
#include "drawing/gdiplus_settings.h"

#include "image/bitmap.h"
#include "test_support.h"

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <tuple>

namespace rastelle::test {
namespace {

using drawing::BrushKind;

constexpr char kTextureSource[] = "Rastelle.TextureBrush.1";
constexpr char kTextInfoSource[] = "Rastelle.TextInfo.1";

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

TEST(DrawingSettings, ANewPenConvertsToOpaqueBlackSolidBevelledFlatWidthOne) {
    StartGdiplus();
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    UniquePen converted;
    ASSERT_EQ(drawing::ConvertPen(pen.get(), converted), Gdiplus::Ok);
    EXPECT_EQ(StateOf(converted.get()),
              (PenState{0xFF000000, 1.0f, 10.0f, Gdiplus::DashStyleSolid, Gdiplus::LineJoinBevel, Gdiplus::LineCapFlat,
                        Gdiplus::LineCapFlat, Gdiplus::DashCapFlat}));
}

TEST(DrawingSettings, PenCapsAndDashCapsMapToTheirGdiplusValues) {
    StartGdiplus();
    const Gdiplus::LineCap lineCaps[] = {Gdiplus::LineCap(0),    Gdiplus::LineCap(1),    Gdiplus::LineCap(2),
                                         Gdiplus::LineCap(3),    Gdiplus::LineCap(0x10), Gdiplus::LineCap(0x11),
                                         Gdiplus::LineCap(0x12), Gdiplus::LineCap(0x13), Gdiplus::LineCap(0x14)};
    const Gdiplus::DashCap dashCaps[] = {Gdiplus::DashCap(0), Gdiplus::DashCap(2), Gdiplus::DashCap(3)};
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    for (int cap = 0; cap < 9; ++cap) {
        ASSERT_EQ(pen->put_StartCapType(static_cast<LineCapTypes>(cap)), S_OK);
        ASSERT_EQ(pen->put_EndCapType(static_cast<LineCapTypes>(8 - cap)), S_OK);
        ASSERT_EQ(pen->put_DashCapType(static_cast<DashCapTypes>(cap % 3)), S_OK);
        ASSERT_EQ(pen->put_DashType(static_cast<DashStyleTypes>(cap % 5)), S_OK);
        ASSERT_EQ(pen->put_LineJoinBehaviour(static_cast<LineJoinTypes>(cap % 4)), S_OK);
        UniquePen converted;
        ASSERT_EQ(drawing::ConvertPen(pen.get(), converted), Gdiplus::Ok);
        const PenState state = StateOf(converted.get());
        EXPECT_EQ(std::make_tuple(state.start, state.end, state.dashCap, state.dash, state.join),
                  std::make_tuple(lineCaps[cap], lineCaps[8 - cap], dashCaps[cap % 3], Gdiplus::DashStyle(cap % 5),
                                  Gdiplus::LineJoin(cap % 4)));
    }
}

TEST(DrawingSettings, EnumeratedSettersRefuseTheCountAndAboveButStoreNegativesWhichThenFailToConvert) {
    StartGdiplus();
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    ClearThreadError();
    EXPECT_EQ((std::vector<HRESULT>{pen->put_StartCapType(lctEnumCount),
                                    pen->put_EndCapType(static_cast<LineCapTypes>(100)),
                                    pen->put_DashType(dstEnumCount), pen->put_LineJoinBehaviour(ljtEnumCount),
                                    pen->put_DashCapType(dctEnumCount)}),
              std::vector<HRESULT>(5, E_INVALIDARG));
    EXPECT_FALSE(TakeThreadError().present);
    LineCapTypes cap{};
    pen->get_StartCapType(&cap);
    EXPECT_EQ(cap, lctFlat);

    // Each negative setting is stored and makes the conversion fail with
    // InvalidParameter, before GDI+ sees the value.
    const std::function<HRESULT(IDrawingPen*)> negatives[] = {
        [](IDrawingPen* p) { return p->put_DashType(static_cast<DashStyleTypes>(-1)); },
        [](IDrawingPen* p) { return p->put_LineJoinBehaviour(static_cast<LineJoinTypes>(-1)); },
        [](IDrawingPen* p) { return p->put_StartCapType(static_cast<LineCapTypes>(-1)); },
        [](IDrawingPen* p) { return p->put_EndCapType(static_cast<LineCapTypes>(-7)); },
        [](IDrawingPen* p) { return p->put_DashCapType(static_cast<DashCapTypes>(-1)); }};
    for (const auto& put : negatives) {
        auto fresh = NewObject<IDrawingPen>(CLSID_DrawingPen);
        ASSERT_EQ(put(fresh.get()), S_OK);
        UniquePen converted;
        EXPECT_EQ(drawing::ConvertPen(fresh.get(), converted), Gdiplus::InvalidParameter);
    }

    auto hatch = NewObject<IDrawingHatchBrush>(CLSID_DrawingHatchBrush);
    EXPECT_EQ(hatch->put_HatchType(htEnumCount), E_INVALIDARG);
    EXPECT_EQ(hatch->put_HatchType(htSolidDiamond), S_OK);
    auto texture = NewObject<IDrawingTextureBrush>(CLSID_DrawingTextureBrush);
    EXPECT_EQ(texture->put_WrapMode(wmEnumCount), E_INVALIDARG);
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    EXPECT_EQ(text->put_TextAlignment(atEnumCount), E_INVALIDARG);
    EXPECT_EQ(text->put_TextAlignment(static_cast<AlignmentTypes>(-1)), S_OK);
    UniqueFont font;
    UniqueStringFormat format;
    EXPECT_EQ(drawing::ConvertTextInfo(text.get(), font, format), Gdiplus::GenericError);
}

TEST(DrawingSettings, ScaleFactorRefusesZeroNegativesAndNaNWithItsMessage) {
    auto brush = NewObject<IDrawingTextureBrush>(CLSID_DrawingTextureBrush);
    for (float bad : {0.0f, -0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        ExpectError(brush->put_ScaleFactor(bad), E_INVALIDARG, L"Scale factor must be strictly larger than 0!",
                    kTextureSource, IID_IDrawingTextureBrush);
        float kept = 0;
        brush->get_ScaleFactor(&kept);
        EXPECT_EQ(kept, 1.0f);
    }
    EXPECT_EQ(brush->put_ScaleFactor(1e-6f), S_OK);
}

TEST(DrawingSettings, FontNameRefusesNullKeepsTheOldNameAndStoresEmptyNames) {
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    ExpectError(text->put_FontName(nullptr), E_OUTOFMEMORY,
                L"Cannot assign to font name. It is possible not enough memory or new font name is zero-length string!",
                kTextInfoSource, IID_ITextInfo);
    com::UniqueBstr name;
    ASSERT_EQ(text->get_FontName(name.put()), S_OK);
    EXPECT_EQ(name.view(), L"Arial");
    EXPECT_EQ(text->put_FontName(Bstr(L"").get()), S_OK);
    ASSERT_EQ(text->get_FontName(name.put()), S_OK);
    ASSERT_TRUE(name.ok());
    EXPECT_EQ(name.view(), L"");
    EXPECT_EQ(text->get_FontName(nullptr), E_INVALIDARG);
}

TEST(DrawingSettings, ClonesCopyEverySettingAndATextureBrushSharesItsTexture) {
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    pen->put_Width(3.5f), pen->put_Color(0x12345678), pen->put_MiterLimit(4.0f);
    pen->put_DashType(dstDashDot), pen->put_DashCapType(dctTriangle), pen->put_LineJoinBehaviour(ljtRound);
    pen->put_StartCapType(lctRoundAnchor), pen->put_EndCapType(lctDiamondAnchor);
    ComPtr<IDrawingPen> penCopy;
    ASSERT_EQ(pen->Clone(penCopy.put()), S_OK);
    StartGdiplus();
    UniquePen b;
    ASSERT_EQ(drawing::ConvertPen(penCopy.get(), b), Gdiplus::Ok);
    EXPECT_EQ(StateOf(b.get()), (PenState{0x12345678, 3.5f, 4.0f, Gdiplus::DashStyleDashDot, Gdiplus::LineJoinRound,
                                    Gdiplus::LineCapRoundAnchor, Gdiplus::LineCapDiamondAnchor,
                                    Gdiplus::DashCapTriangle}));
    EXPECT_NE(pen.get(), penCopy.get());

    auto hatch = NewObject<IDrawingHatchBrush>(CLSID_DrawingHatchBrush);
    hatch->put_HatchColor(0x11223344), hatch->put_BackgroundColor(0x55667788), hatch->put_HatchType(htWeave);
    auto solid = NewObject<IDrawingSolidBrush>(CLSID_DrawingSolidBrush);
    solid->put_Color(0x0BADF00D);
    ComPtr<IDrawingHatchBrush> hatchCopy;
    ComPtr<IDrawingSolidBrush> solidCopy;
    ASSERT_EQ(std::make_pair(hatch->Clone(hatchCopy.put()), solid->Clone(solidCopy.put())), std::make_pair(S_OK, S_OK));
    LONG fore = 0, back = 0, colour = 0;
    HatchTypes style{};
    hatchCopy->get_HatchColor(&fore), hatchCopy->get_BackgroundColor(&back), hatchCopy->get_HatchType(&style);
    solidCopy->get_Color(&colour);
    EXPECT_EQ(std::make_tuple(fore, back, style, colour),
              std::make_tuple(LONG{0x11223344}, LONG{0x55667788}, htWeave, LONG{0x0BADF00D}));

    auto texture = NewObject<IDrawingTextureBrush>(CLSID_DrawingTextureBrush);
    texture->put_ScaleFactor(0.5f), texture->put_RotateFactor(30.0f), texture->put_WrapMode(wmClamp);
    ComPtr<IDrawingTextureBrush> textureCopy;
    ASSERT_EQ(texture->Clone(textureCopy.put()), S_OK);
    ComPtr<IRasterObject> original, shared;
    texture->get_Texture(original.put()), textureCopy->get_Texture(shared.put());
    float scale = 0, rotation = 0;
    WrapModes wrap{};
    textureCopy->get_ScaleFactor(&scale), textureCopy->get_RotateFactor(&rotation), textureCopy->get_WrapMode(&wrap);
    EXPECT_EQ(std::make_tuple(scale, rotation, wrap, shared.get()), std::make_tuple(0.5f, 30.0f, wmClamp, original.get()));

    EXPECT_EQ(pen->Clone(nullptr), E_INVALIDARG);
    EXPECT_EQ(texture->Clone(nullptr), E_INVALIDARG);
}

// The colour a brush paints at (x, y) of a 16 x 16 fill.
Gdiplus::ARGB PaintedAt(Gdiplus::GpBrush* brush, int x, int y) {
    std::unique_ptr<Bitmap> target(Bitmap::Create(16, 16));
    UniqueGraphics graphics;
    gp::GdipGetImageGraphicsContext(target->image(), graphics.put());
    gp::GdipFillRectangleI(graphics.get(), brush, 0, 0, 16, 16);
    graphics.reset();
    Gdiplus::ARGB pixel = 0;
    gp::GdipBitmapGetPixel(target->native(), x, y, &pixel);
    return pixel;
}

TEST(DrawingSettings, BrushKindsAreFoundInOrderAndPaintTheirSettings) {
    StartGdiplus();
    UniqueBrush brush;
    auto solid = NewObject<IDrawingSolidBrush>(CLSID_DrawingSolidBrush);
    solid->put_Color(static_cast<LONG>(0xFF336699));
    auto converted = drawing::ConvertBrush(solid.get(), brush);
    EXPECT_EQ(std::make_pair(converted.kind, converted.status), std::make_pair(BrushKind::Solid, Gdiplus::Ok));
    EXPECT_EQ(PaintedAt(brush.get(), 5, 5), 0xFF336699u);

    auto hatch = NewObject<IDrawingHatchBrush>(CLSID_DrawingHatchBrush);
    hatch->put_HatchType(htVertical);
    converted = drawing::ConvertBrush(hatch.get(), brush);
    EXPECT_EQ(std::make_pair(converted.kind, converted.status), std::make_pair(BrushKind::Hatch, Gdiplus::Ok));
    // Vertical hatch: white lines over black, both present in one row.
    std::set<Gdiplus::ARGB> row;
    for (int x = 0; x < 16; ++x) row.insert(PaintedAt(brush.get(), x, 3));
    EXPECT_EQ(row, (std::set<Gdiplus::ARGB>{0xFF000000, 0xFFFFFFFF}));
    hatch->put_HatchType(static_cast<HatchTypes>(-1));
    converted = drawing::ConvertBrush(hatch.get(), brush);
    EXPECT_EQ(converted.kind, BrushKind::Hatch);
    EXPECT_NE(converted.status, Gdiplus::Ok);

    // Neither pens nor raster objects are brushes.
    auto pen = NewObject<IDrawingPen>(CLSID_DrawingPen);
    EXPECT_EQ(drawing::ConvertBrush(pen.get(), brush).kind, BrushKind::None);
    EXPECT_EQ(drawing::ConvertBrush(NewRaster().get(), brush).kind, BrushKind::None);
}

TEST(DrawingSettings, TextureBrushPaintsItsTextureOfTheMomentScaledAndRefusesAMissingImage) {
    StartGdiplus();
    auto brush = NewObject<IDrawingTextureBrush>(CLSID_DrawingTextureBrush);
    UniqueBrush converted;
    EXPECT_TRUE(drawing::ConvertBrush(brush.get(), converted).MissingTexture());

    // Left half red, right half blue, 8 x 4 pixels, tiled.
    std::vector<std::uint32_t> pixels(32);
    for (int i = 0; i < 32; ++i) pixels[i] = (i % 8) < 4 ? 0xFFFF0000 : 0xFF0000FF;
    auto image = RasterWith(8, 4, pixels);
    ASSERT_EQ(brush->put_Texture(image.get()), S_OK);
    auto result = drawing::ConvertBrush(brush.get(), converted);
    ASSERT_EQ(std::make_pair(result.kind, result.status), std::make_pair(BrushKind::Texture, Gdiplus::Ok));
    EXPECT_EQ(PaintedAt(converted.get(), 9, 1), 0xFFFF0000u);
    EXPECT_EQ(PaintedAt(converted.get(), 13, 1), 0xFF0000FFu);

    // At half size the texture repeats every 4 pixels; away from the seams.
    brush->put_ScaleFactor(0.5f);
    drawing::ConvertBrush(brush.get(), converted);
    EXPECT_EQ(PaintedAt(converted.get(), 8, 1), 0xFFFF0000u);
    EXPECT_EQ(PaintedAt(converted.get(), 10, 1), 0xFF0000FFu);
    EXPECT_EQ(PaintedAt(converted.get(), 13, 1), 0xFFFF0000u);

    // A new image in the shared raster object shows in the brush and its clone.
    ComPtr<IDrawingTextureBrush> clone;
    brush->Clone(clone.put());
    image->EmptyImage(4, 4, static_cast<LONG>(0xFF00FF00));
    drawing::ConvertBrush(clone.get(), converted);
    EXPECT_EQ(PaintedAt(converted.get(), 6, 1), 0xFF00FF00u);

    brush->put_WrapMode(static_cast<WrapModes>(-1));
    EXPECT_EQ(drawing::ConvertBrush(brush.get(), converted).status, Gdiplus::GenericError);
}

TEST(DrawingSettings, TextInfoBecomesAFontInPointsWithStyleBitsAndDirectionFlags) {
    StartGdiplus();
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
    text->put_TextAlignment(atRight);
    EXPECT_EQ(converted(), std::make_pair(INT{0x0001}, Gdiplus::StringAlignmentNear));
    text->put_IsVertical(VARIANT_TRUE);
    EXPECT_EQ(converted(), std::make_pair(INT{0x0003}, Gdiplus::StringAlignmentNear));
    text->put_TextAlignment(atCenter), text->put_IsVertical(0);
    EXPECT_EQ(converted(), std::make_pair(INT{0}, Gdiplus::StringAlignmentCenter));

    // A family that is not installed converts without a font.
    text->put_FontName(Bstr(L"No Such Family Anywhere").get());
    converted();
    EXPECT_FALSE(font);
}

}  // namespace
}  // namespace rastelle::test
