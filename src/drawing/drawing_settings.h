// The drawing settings: a pen, three kinds of brush and a text-settings
// object. Each is a plain property bag that the drawing tool reads when a
// primitive is recorded; none draws anything itself.
#pragma once

#include "com/automation.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "com/object_lock.h"
#include "rastelle_h.h"

namespace rastelle::drawing {

class DrawingPen final
    : public com::ComObject<DrawingPen, com::Dispatch<IDrawingPen>, com::SupportErrorInfo<IDrawingPen>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_Width(float* value) override;
    STDMETHODIMP put_Width(float value) override;
    STDMETHODIMP get_Color(LONG* value) override;
    STDMETHODIMP put_Color(LONG value) override;
    STDMETHODIMP get_DashType(DashStyleTypes* value) override;
    STDMETHODIMP put_DashType(DashStyleTypes value) override;
    STDMETHODIMP get_StartCapType(LineCapTypes* value) override;
    STDMETHODIMP put_StartCapType(LineCapTypes value) override;
    STDMETHODIMP get_EndCapType(LineCapTypes* value) override;
    STDMETHODIMP put_EndCapType(LineCapTypes value) override;
    STDMETHODIMP get_LineJoinBehaviour(LineJoinTypes* value) override;
    STDMETHODIMP put_LineJoinBehaviour(LineJoinTypes value) override;
    STDMETHODIMP get_MiterLimit(float* value) override;
    STDMETHODIMP put_MiterLimit(float value) override;
    STDMETHODIMP get_DashCapType(DashCapTypes* value) override;
    STDMETHODIMP put_DashCapType(DashCapTypes value) override;
    STDMETHODIMP Clone(IDrawingPen** result) override;

private:
    float width_ = 1.0f;
    float miterLimit_ = 10.0f;
    LONG color_ = static_cast<LONG>(0xFF000000);
    DashStyleTypes dashType_ = dstSolid;
    DashCapTypes dashCap_ = dctFlat;
    LineJoinTypes lineJoin_ = ljtBevel;
    LineCapTypes startCap_ = lctFlat;
    LineCapTypes endCap_ = lctFlat;
};

class DrawingSolidBrush final
    : public com::ComObject<DrawingSolidBrush, com::Dispatch<IDrawingSolidBrush>,
                            com::SupportErrorInfo<IDrawingSolidBrush>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_Color(LONG* value) override;
    STDMETHODIMP put_Color(LONG value) override;
    STDMETHODIMP Clone(IDrawingSolidBrush** result) override;

private:
    LONG color_ = static_cast<LONG>(0xFF000000);
};

class DrawingHatchBrush final
    : public com::ComObject<DrawingHatchBrush, com::Dispatch<IDrawingHatchBrush>,
                            com::SupportErrorInfo<IDrawingHatchBrush>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_HatchColor(LONG* value) override;
    STDMETHODIMP put_HatchColor(LONG value) override;
    STDMETHODIMP get_BackgroundColor(LONG* value) override;
    STDMETHODIMP put_BackgroundColor(LONG value) override;
    STDMETHODIMP get_HatchType(HatchTypes* value) override;
    STDMETHODIMP put_HatchType(HatchTypes value) override;
    STDMETHODIMP Clone(IDrawingHatchBrush** result) override;

private:
    LONG hatchColor_ = -1;
    LONG backgroundColor_ = static_cast<LONG>(0xFF000000);
    HatchTypes hatchType_ = htHorizontal;
};

class DrawingTextureBrush final
    : public com::ComObject<DrawingTextureBrush, com::Dispatch<IDrawingTextureBrush>,
                            com::SupportErrorInfo<IDrawingTextureBrush>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    // Starts with a new, empty RasterObject as the texture.
    HRESULT FinalConstruct() noexcept;

    STDMETHODIMP get_Texture(IRasterObject** value) override;
    STDMETHODIMP put_Texture(IRasterObject* value) override;
    STDMETHODIMP get_ScaleFactor(float* value) override;
    STDMETHODIMP put_ScaleFactor(float value) override;
    STDMETHODIMP get_RotateFactor(float* value) override;
    STDMETHODIMP put_RotateFactor(float value) override;
    STDMETHODIMP get_WrapMode(WrapModes* value) override;
    STDMETHODIMP put_WrapMode(WrapModes value) override;
    STDMETHODIMP Clone(IDrawingTextureBrush** result) override;

private:
    float scaleFactor_ = 1.0f;
    float rotateFactor_ = 0.0f;
    com::ComPtr<IRasterObject> texture_;
    com::ObjectLock lock_;  // guards texture_: brushes are shared between threads too
    WrapModes wrapMode_ = wmTile;
};

class TextInfo final : public com::ComObject<TextInfo, com::Dispatch<ITextInfo>, com::SupportErrorInfo<ITextInfo>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    HRESULT FinalConstruct() noexcept;

    STDMETHODIMP get_FontName(BSTR* value) override;
    STDMETHODIMP put_FontName(BSTR value) override;
    STDMETHODIMP get_FontSize(float* value) override;
    STDMETHODIMP put_FontSize(float value) override;
    STDMETHODIMP get_IsBold(VARIANT_BOOL* value) override;
    STDMETHODIMP put_IsBold(VARIANT_BOOL value) override;
    STDMETHODIMP get_IsItalic(VARIANT_BOOL* value) override;
    STDMETHODIMP put_IsItalic(VARIANT_BOOL value) override;
    STDMETHODIMP get_IsUnderlined(VARIANT_BOOL* value) override;
    STDMETHODIMP put_IsUnderlined(VARIANT_BOOL value) override;
    STDMETHODIMP get_IsStrikeOut(VARIANT_BOOL* value) override;
    STDMETHODIMP put_IsStrikeOut(VARIANT_BOOL value) override;
    STDMETHODIMP get_IsVertical(VARIANT_BOOL* value) override;
    STDMETHODIMP put_IsVertical(VARIANT_BOOL value) override;
    STDMETHODIMP get_TextAlignment(AlignmentTypes* value) override;
    STDMETHODIMP put_TextAlignment(AlignmentTypes value) override;

private:
    com::UniqueBstr fontName_;
    com::ObjectLock lock_;  // guards fontName_: text settings are shared between threads too
    float fontSize_ = 10.0f;
    VARIANT_BOOL bold_ = 0;
    VARIANT_BOOL italic_ = 0;
    VARIANT_BOOL underlined_ = 0;
    VARIANT_BOOL strikeOut_ = 0;
    VARIANT_BOOL vertical_ = 0;
    AlignmentTypes alignment_ = atLeft;
};

}  // namespace rastelle::drawing
