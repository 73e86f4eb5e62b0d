#include "drawing/drawing_settings.h"

#include "com/errors.h"
#include "com/properties.h"
#include "raster/raster_object.h"

namespace rastelle::drawing {

namespace {

constexpr com::ErrorOrigin kTextureOrigin{CLSID_DrawingTextureBrush, IID_IDrawingTextureBrush};
constexpr com::ErrorOrigin kTextInfoOrigin{CLSID_TextInfo, IID_ITextInfo};

template <class Field, class Out>
HRESULT Get(const Field& field, Out* out) noexcept {
    return com::ReadProperty(field, out, E_INVALIDARG);
}

// An enumerated setter: refuses the enumeration's count and above without an
// error object; negative values are stored (their conversion fails later).
template <class T>
HRESULT PutBelow(T& field, T value, long count) noexcept {
    if (static_cast<long>(value) >= count) return E_INVALIDARG;
    field = value;
    return S_OK;
}

// Clone: a new object made by create, filled through its own setters, called
// in the order given (each takes the copy); the first failure is returned.
template <class Itf, class... Setters>
HRESULT CloneThroughSetters(com::CreateFunction create, Itf** result, Setters&&... setters) noexcept {
    if (!result) return E_INVALIDARG;
    *result = nullptr;
    com::ComPtr<Itf> copy;
    HRESULT hr = create(nullptr, __uuidof(Itf), copy.put_void());
    ((hr = FAILED(hr) ? hr : setters(copy.get())), ...);
    if (FAILED(hr)) return hr;
    *result = copy.detach();
    return S_OK;
}

}  // namespace

// --- DrawingPen -------------------------------------------------------------

HRESULT DrawingPen::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<DrawingPen>(outer, iid, out);
}

STDMETHODIMP DrawingPen::get_Width(float* value) { return Get(width_, value); }
STDMETHODIMP DrawingPen::put_Width(float value) { return com::WriteProperty(width_, value); }
STDMETHODIMP DrawingPen::get_Color(LONG* value) { return Get(color_, value); }
STDMETHODIMP DrawingPen::put_Color(LONG value) { return com::WriteProperty(color_, value); }
STDMETHODIMP DrawingPen::get_DashType(DashStyleTypes* value) { return Get(dashType_, value); }
STDMETHODIMP DrawingPen::put_DashType(DashStyleTypes value) { return PutBelow(dashType_, value, dstEnumCount); }
STDMETHODIMP DrawingPen::get_StartCapType(LineCapTypes* value) { return Get(startCap_, value); }
STDMETHODIMP DrawingPen::put_StartCapType(LineCapTypes value) { return PutBelow(startCap_, value, lctEnumCount); }
STDMETHODIMP DrawingPen::get_EndCapType(LineCapTypes* value) { return Get(endCap_, value); }
STDMETHODIMP DrawingPen::put_EndCapType(LineCapTypes value) { return PutBelow(endCap_, value, lctEnumCount); }
STDMETHODIMP DrawingPen::get_LineJoinBehaviour(LineJoinTypes* value) { return Get(lineJoin_, value); }
STDMETHODIMP DrawingPen::put_LineJoinBehaviour(LineJoinTypes value) { return PutBelow(lineJoin_, value, ljtEnumCount); }
STDMETHODIMP DrawingPen::get_MiterLimit(float* value) { return Get(miterLimit_, value); }
// The limit is stored: a client that sets it for mitred joins gets it.
STDMETHODIMP DrawingPen::put_MiterLimit(float value) { return com::WriteProperty(miterLimit_, value); }
STDMETHODIMP DrawingPen::get_DashCapType(DashCapTypes* value) { return Get(dashCap_, value); }
STDMETHODIMP DrawingPen::put_DashCapType(DashCapTypes value) { return PutBelow(dashCap_, value, dctEnumCount); }

STDMETHODIMP DrawingPen::Clone(IDrawingPen** result) {
    return CloneThroughSetters(
        &DrawingPen::Create, result, [&](IDrawingPen* c) { return c->put_Color(color_); },
        [&](IDrawingPen* c) { return c->put_Width(width_); },
        [&](IDrawingPen* c) { return c->put_MiterLimit(miterLimit_); },
        [&](IDrawingPen* c) { return c->put_DashCapType(dashCap_); },
        [&](IDrawingPen* c) { return c->put_DashType(dashType_); },
        [&](IDrawingPen* c) { return c->put_LineJoinBehaviour(lineJoin_); },
        [&](IDrawingPen* c) { return c->put_StartCapType(startCap_); },
        [&](IDrawingPen* c) { return c->put_EndCapType(endCap_); });
}

// --- DrawingSolidBrush ------------------------------------------------------

HRESULT DrawingSolidBrush::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<DrawingSolidBrush>(outer, iid, out);
}

STDMETHODIMP DrawingSolidBrush::get_Color(LONG* value) { return Get(color_, value); }
STDMETHODIMP DrawingSolidBrush::put_Color(LONG value) { return com::WriteProperty(color_, value); }

STDMETHODIMP DrawingSolidBrush::Clone(IDrawingSolidBrush** result) {
    return CloneThroughSetters(&DrawingSolidBrush::Create, result,
                               [&](IDrawingSolidBrush* c) { return c->put_Color(color_); });
}

// --- DrawingHatchBrush ------------------------------------------------------

HRESULT DrawingHatchBrush::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<DrawingHatchBrush>(outer, iid, out);
}

STDMETHODIMP DrawingHatchBrush::get_HatchColor(LONG* value) { return Get(hatchColor_, value); }
STDMETHODIMP DrawingHatchBrush::put_HatchColor(LONG value) { return com::WriteProperty(hatchColor_, value); }
STDMETHODIMP DrawingHatchBrush::get_BackgroundColor(LONG* value) { return Get(backgroundColor_, value); }
STDMETHODIMP DrawingHatchBrush::put_BackgroundColor(LONG value) { return com::WriteProperty(backgroundColor_, value); }
STDMETHODIMP DrawingHatchBrush::get_HatchType(HatchTypes* value) { return Get(hatchType_, value); }
STDMETHODIMP DrawingHatchBrush::put_HatchType(HatchTypes value) { return PutBelow(hatchType_, value, htEnumCount); }

STDMETHODIMP DrawingHatchBrush::Clone(IDrawingHatchBrush** result) {
    return CloneThroughSetters(
        &DrawingHatchBrush::Create, result,
        [&](IDrawingHatchBrush* c) { return c->put_BackgroundColor(backgroundColor_); },
        [&](IDrawingHatchBrush* c) { return c->put_HatchColor(hatchColor_); },
        [&](IDrawingHatchBrush* c) { return c->put_HatchType(hatchType_); });
}

// --- DrawingTextureBrush ----------------------------------------------------

HRESULT DrawingTextureBrush::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<DrawingTextureBrush>(outer, iid, out);
}

HRESULT DrawingTextureBrush::FinalConstruct() noexcept {
    const HRESULT hr = RasterObject::Create(nullptr, IID_IRasterObject, texture_.put_void());
    if (FAILED(hr)) return hr;
    return CreateMarshaler();
}

STDMETHODIMP DrawingTextureBrush::get_Texture(IRasterObject** value) {
    if (!value) return E_INVALIDARG;
    const com::ObjectLock::Hold hold(lock_);
    return texture_.CopyTo(value);
}

// The brush shares the object: later changes to its image show in the brush.
STDMETHODIMP DrawingTextureBrush::put_Texture(IRasterObject* value) {
    const com::ObjectLock::Hold hold(lock_);
    texture_ = com::ComPtr<IRasterObject>(value);
    return S_OK;
}

STDMETHODIMP DrawingTextureBrush::get_ScaleFactor(float* value) { return Get(scaleFactor_, value); }

STDMETHODIMP DrawingTextureBrush::put_ScaleFactor(float value) {
    return com::Boundary(kTextureOrigin, [&] {
        // Written so that NaN is refused too.
        if (!(value > 0.0f)) com::ThrowError(E_INVALIDARG, L"Scale factor must be strictly larger than 0!");
        scaleFactor_ = value;
        return S_OK;
    });
}

STDMETHODIMP DrawingTextureBrush::get_RotateFactor(float* value) { return Get(rotateFactor_, value); }
STDMETHODIMP DrawingTextureBrush::put_RotateFactor(float value) { return com::WriteProperty(rotateFactor_, value); }
STDMETHODIMP DrawingTextureBrush::get_WrapMode(WrapModes* value) { return Get(wrapMode_, value); }
STDMETHODIMP DrawingTextureBrush::put_WrapMode(WrapModes value) { return PutBelow(wrapMode_, value, wmEnumCount); }

STDMETHODIMP DrawingTextureBrush::Clone(IDrawingTextureBrush** result) {
    const com::ObjectLock::Hold hold(lock_);
    return CloneThroughSetters(
        &DrawingTextureBrush::Create, result, [&](IDrawingTextureBrush* c) { return c->put_RotateFactor(rotateFactor_); },
        [&](IDrawingTextureBrush* c) { return c->put_ScaleFactor(scaleFactor_); },
        [&](IDrawingTextureBrush* c) { return c->put_WrapMode(wrapMode_); },
        [&](IDrawingTextureBrush* c) { return c->put_Texture(texture_.get()); });
}

// --- TextInfo ---------------------------------------------------------------

HRESULT TextInfo::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<TextInfo>(outer, iid, out);
}

HRESULT TextInfo::FinalConstruct() noexcept {
    fontName_ = com::UniqueBstr(std::wstring_view(L"Arial"));
    if (!fontName_.ok()) return E_OUTOFMEMORY;
    return CreateMarshaler();
}

STDMETHODIMP TextInfo::get_FontName(BSTR* value) {
    if (!value) return E_INVALIDARG;
    *value = nullptr;  // a failure hands out nothing
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kTextInfoOrigin, [&] {
        com::UniqueBstr copy(fontName_.view());
        if (!copy.ok())
            com::ThrowError(E_OUTOFMEMORY,
                            L"Cannot assign font name. It is possible not enough memory or font "
                            L"name is zero-length string!");
        *value = copy.release();
        return S_OK;
    });
}

STDMETHODIMP TextInfo::put_FontName(BSTR value) {
    return com::Boundary(kTextInfoOrigin, [&] {
        com::UniqueBstr copy;
        if (value) copy = com::UniqueBstr(std::wstring_view(value, SysStringLen(value)));
        if (!copy.ok())
            com::ThrowError(E_OUTOFMEMORY,
                            L"Cannot assign to font name. It is possible not enough memory or new "
                            L"font name is zero-length string!");
        const com::ObjectLock::Hold hold(lock_);
        fontName_ = std::move(copy);
        return S_OK;
    });
}

STDMETHODIMP TextInfo::get_FontSize(float* value) { return Get(fontSize_, value); }
STDMETHODIMP TextInfo::put_FontSize(float value) { return com::WriteProperty(fontSize_, value); }
STDMETHODIMP TextInfo::get_IsBold(VARIANT_BOOL* value) { return Get(bold_, value); }
STDMETHODIMP TextInfo::put_IsBold(VARIANT_BOOL value) { return com::WriteProperty(bold_, value); }
STDMETHODIMP TextInfo::get_IsItalic(VARIANT_BOOL* value) { return Get(italic_, value); }
STDMETHODIMP TextInfo::put_IsItalic(VARIANT_BOOL value) { return com::WriteProperty(italic_, value); }
STDMETHODIMP TextInfo::get_IsUnderlined(VARIANT_BOOL* value) { return Get(underlined_, value); }
STDMETHODIMP TextInfo::put_IsUnderlined(VARIANT_BOOL value) { return com::WriteProperty(underlined_, value); }
STDMETHODIMP TextInfo::get_IsStrikeOut(VARIANT_BOOL* value) { return Get(strikeOut_, value); }
STDMETHODIMP TextInfo::put_IsStrikeOut(VARIANT_BOOL value) { return com::WriteProperty(strikeOut_, value); }
STDMETHODIMP TextInfo::get_IsVertical(VARIANT_BOOL* value) { return Get(vertical_, value); }
STDMETHODIMP TextInfo::put_IsVertical(VARIANT_BOOL value) { return com::WriteProperty(vertical_, value); }
STDMETHODIMP TextInfo::get_TextAlignment(AlignmentTypes* value) { return Get(alignment_, value); }
STDMETHODIMP TextInfo::put_TextAlignment(AlignmentTypes value) { return PutBelow(alignment_, value, atEnumCount); }

}  // namespace rastelle::drawing
