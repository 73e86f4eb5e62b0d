#include "drawing/gdiplus_settings.h"

#include "com/automation.h"
#include "com/com_ptr.h"
#include "image/bitmap.h"
#include "raster/raster_object.h"

#include <iterator>
#include <memory>
#include <string>

namespace rastelle::drawing {

namespace {

using Gdiplus::GenericError;
using Gdiplus::InvalidParameter;
using Gdiplus::Ok;

Status Succeeded(HRESULT hr) noexcept { return SUCCEEDED(hr) ? Ok : GenericError; }

Status ConvertTexture(IDrawingTextureBrush* settings, UniqueBrush& brush) noexcept {
    com::ComPtr<IRasterObject> texture;
    float scale = 1.0f;
    float rotation = 0.0f;
    WrapModes wrap = wmTile;
    if (FAILED(settings->get_Texture(texture.put())) || FAILED(settings->get_ScaleFactor(&scale)) ||
        FAILED(settings->get_RotateFactor(&rotation)) || FAILED(settings->get_WrapMode(&wrap)))
        return GenericError;
    RasterObject* own = OwnRasterObject(texture.get());
    if (!own) return GenericError;
    // Lent until the brush has its own copy of the image.
    const std::shared_ptr<Bitmap> image = own->LendImage();
    if (!image || !image->native()) return InvalidParameter;
    if (wrap < wmTile || wrap > wmClamp) return GenericError;

    Gdiplus::GpTexture* made = nullptr;
    Status status = gp::GdipCreateTexture(image->image(), static_cast<Gdiplus::GpWrapMode>(wrap), &made);
    brush.reset(made);
    if (status != Ok) return status;
    if (scale != 1.0f) status = gp::GdipScaleTextureTransform(made, scale, scale, Gdiplus::MatrixOrderPrepend);
    if (status == Ok && rotation != 0.0f)
        status = gp::GdipRotateTextureTransform(made, rotation, Gdiplus::MatrixOrderPrepend);
    return status;
}

}  // namespace

bool MapLineCap(LONG cap, Gdiplus::LineCap& mapped) noexcept {
    static constexpr Gdiplus::LineCap kCaps[] = {
        Gdiplus::LineCapFlat,        Gdiplus::LineCapSquare,        Gdiplus::LineCapRound,
        Gdiplus::LineCapTriangle,    Gdiplus::LineCapNoAnchor,      Gdiplus::LineCapSquareAnchor,
        Gdiplus::LineCapRoundAnchor, Gdiplus::LineCapDiamondAnchor, Gdiplus::LineCapArrowAnchor};
    if (cap < 0 || cap >= static_cast<LONG>(std::size(kCaps))) return false;
    mapped = kCaps[cap];
    return true;
}

bool MapDashCap(LONG cap, Gdiplus::DashCap& mapped) noexcept {
    static constexpr Gdiplus::DashCap kCaps[] = {Gdiplus::DashCapFlat, Gdiplus::DashCapRound, Gdiplus::DashCapTriangle};
    if (cap < 0 || cap >= static_cast<LONG>(std::size(kCaps))) return false;
    mapped = kCaps[cap];
    return true;
}

Status ConvertPen(IDrawingPen* settings, UniquePen& pen) noexcept {
    float width = 0.0f, miterLimit = 0.0f;
    LONG color = 0;
    DashStyleTypes dash{};
    LineCapTypes startCap{}, endCap{};
    LineJoinTypes join{};
    DashCapTypes dashCap{};
    if (!settings || FAILED(settings->get_Width(&width)) || FAILED(settings->get_Color(&color)) ||
        FAILED(settings->get_MiterLimit(&miterLimit)) || FAILED(settings->get_DashType(&dash)) ||
        FAILED(settings->get_LineJoinBehaviour(&join)) || FAILED(settings->get_StartCapType(&startCap)) ||
        FAILED(settings->get_EndCapType(&endCap)) || FAILED(settings->get_DashCapType(&dashCap)))
        return GenericError;

    const auto argb = static_cast<Gdiplus::ARGB>(color);
    Status status = gp::GdipCreatePen1(argb, width, Gdiplus::UnitWorld, pen.put());
    if (status != Ok) return status;
    // As for a pen object of GDI+, failures of these three do not stop the
    // conversion.
    gp::GdipSetPenColor(pen.get(), argb);
    gp::GdipSetPenWidth(pen.get(), width);
    gp::GdipSetPenMiterLimit(pen.get(), miterLimit);

    if (dash < dstSolid || dash > dstDashDotDot) return InvalidParameter;
    status = gp::GdipSetPenDashStyle(pen.get(), static_cast<Gdiplus::GpDashStyle>(dash));
    if (status != Ok) return status;
    if (join < ljtMiter || join > ljtMiterClipped) return InvalidParameter;
    status = gp::GdipSetPenLineJoin(pen.get(), static_cast<Gdiplus::GpLineJoin>(join));
    if (status != Ok) return status;
    Gdiplus::LineCap start{}, end{};
    Gdiplus::DashCap dashCapMapped{};
    if (!MapLineCap(startCap, start) || !MapLineCap(endCap, end) || !MapDashCap(dashCap, dashCapMapped))
        return InvalidParameter;
    return gp::GdipSetPenLineCap197819(pen.get(), start, end, static_cast<Gdiplus::GpDashCap>(dashCapMapped));
}

BrushConversion ConvertBrush(IUnknown* settings, UniqueBrush& brush) noexcept {
    BrushConversion result;
    if (!settings) return result;
    com::ComPtr<IUnknown> object(settings);
    com::ComPtr<IDrawingSolidBrush> solid;
    com::ComPtr<IDrawingHatchBrush> hatch;
    com::ComPtr<IDrawingTextureBrush> texture;
    if (SUCCEEDED(object.As(solid))) {
        result.kind = BrushKind::Solid;
        LONG color = 0;
        result.status = Succeeded(solid->get_Color(&color));
        if (result.status != Ok) return result;
        Gdiplus::GpSolidFill* made = nullptr;
        result.status = gp::GdipCreateSolidFill(static_cast<Gdiplus::ARGB>(color), &made);
        brush.reset(made);
    } else if (SUCCEEDED(object.As(hatch))) {
        result.kind = BrushKind::Hatch;
        LONG fore = 0, back = 0;
        HatchTypes style{};
        result.status = Succeeded(hatch->get_HatchColor(&fore));
        if (result.status == Ok) result.status = Succeeded(hatch->get_BackgroundColor(&back));
        if (result.status == Ok) result.status = Succeeded(hatch->get_HatchType(&style));
        if (result.status != Ok) return result;
        // GDI+ itself refuses a style out of range.
        Gdiplus::GpHatch* made = nullptr;
        result.status =
            gp::GdipCreateHatchBrush(static_cast<Gdiplus::GpHatchStyle>(style), static_cast<Gdiplus::ARGB>(fore),
                                     static_cast<Gdiplus::ARGB>(back), &made);
        brush.reset(made);
    } else if (SUCCEEDED(object.As(texture))) {
        result.kind = BrushKind::Texture;
        result.status = ConvertTexture(texture.get(), brush);
    }
    return result;
}

Status ConvertTextInfo(ITextInfo* settings, UniqueFont& font, UniqueStringFormat& format) noexcept {
    com::UniqueBstr name;
    if (!settings || FAILED(settings->get_FontName(name.put()))) return Gdiplus::OutOfMemory;
    float size = 0.0f;
    VARIANT_BOOL bold = 0, italic = 0, underlined = 0, strikeOut = 0, vertical = 0;
    AlignmentTypes alignment{};
    if (FAILED(settings->get_FontSize(&size)) || FAILED(settings->get_IsBold(&bold)) ||
        FAILED(settings->get_IsItalic(&italic)) || FAILED(settings->get_IsUnderlined(&underlined)) ||
        FAILED(settings->get_IsStrikeOut(&strikeOut)) || FAILED(settings->get_IsVertical(&vertical)) ||
        FAILED(settings->get_TextAlignment(&alignment)))
        return GenericError;
    if (alignment < atLeft || alignment > atRight) return GenericError;

    const INT style = (bold ? Gdiplus::FontStyleBold : 0) | (italic ? Gdiplus::FontStyleItalic : 0) |
                      (underlined ? Gdiplus::FontStyleUnderline : 0) | (strikeOut ? Gdiplus::FontStyleStrikeout : 0);
    UniqueFontFamily family;
    const std::wstring familyName(name.view());
    gp::GdipCreateFontFamilyFromName(familyName.c_str(), nullptr, family.put());
    font.reset();
    if (family) gp::GdipCreateFont(family.get(), size, style, Gdiplus::UnitPoint, font.put());

    INT flags = 0;
    if (alignment == atRight) flags |= Gdiplus::StringFormatFlagsDirectionRightToLeft;
    if (vertical) flags |= Gdiplus::StringFormatFlagsDirectionVertical;
    format.reset();
    Status status = gp::GdipCreateStringFormat(flags, LANG_NEUTRAL, format.put());
    if (status != Ok) return status;
    return gp::GdipSetStringFormatAlign(
        format.get(), alignment == atCenter ? Gdiplus::StringAlignmentCenter : Gdiplus::StringAlignmentNear);
}

}  // namespace rastelle::drawing
