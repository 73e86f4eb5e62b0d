#include "codecs/encoder_options.h"

#include "com/errors.h"
#include "com/properties.h"

#include <algorithm>

namespace rastelle::codecs {

namespace {

constexpr com::ErrorOrigin kTiffOrigin{CLSID_TIFFEncoderInfo, IID_ITIFFEncoderInfo};
constexpr com::ErrorOrigin kSwfOrigin{CLSID_SWFEncoderInfo, IID_ISWFEncoderInfo};

LONG ClampQuality(LONG value) { return std::clamp<LONG>(value, 0, 100); }

// Setter body for an enumerated field: stores value when accepted, else
// raises message with E_INVALIDARG and keeps the field.
template <class T>
HRESULT PutChecked(const com::ErrorOrigin& origin, T& field, T value, bool accepted, const wchar_t* message) {
    return com::Boundary(origin, [&] {
        if (!accepted) com::ThrowError(E_INVALIDARG, message);
        field = value;
        return S_OK;
    });
}

}  // namespace

// --- JPEGEncoderInfo --------------------------------------------------------

HRESULT JPEGEncoderInfo::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<JPEGEncoderInfo>(outer, iid, out);
}

STDMETHODIMP JPEGEncoderInfo::get_Quality(LONG* value) { return com::ReadProperty(quality_, value, E_INVALIDARG); }

STDMETHODIMP JPEGEncoderInfo::put_Quality(LONG value) {
    quality_ = ClampQuality(value);
    return S_OK;
}

// --- TIFFEncoderInfo --------------------------------------------------------

HRESULT TIFFEncoderInfo::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<TIFFEncoderInfo>(outer, iid, out);
}

HRESULT TIFFEncoderInfo::FinalConstruct() noexcept {
    iccProfile_.reset(SysAllocString(L""));
    if (!iccProfile_) return E_OUTOFMEMORY;
    return CreateMarshaler();
}

STDMETHODIMP TIFFEncoderInfo::get_CompressionType(TIFFCompressionTypes* value) {
    return com::ReadProperty(compression_, value, E_INVALIDARG);
}

STDMETHODIMP TIFFEncoderInfo::put_CompressionType(TIFFCompressionTypes value) {
    return PutChecked(kTiffOrigin, compression_, value, value == tctNone || value == tctLZW,
                      L"This compression type is not supported!");
}

STDMETHODIMP TIFFEncoderInfo::get_ColorDepth(ColorDepths* value) {
    return com::ReadProperty(colorDepth_, value, E_INVALIDARG);
}

// The count member is accepted here; a save with it fails later.
STDMETHODIMP TIFFEncoderInfo::put_ColorDepth(ColorDepths value) {
    return PutChecked(kTiffOrigin, colorDepth_, value, value >= cd24bpp && value <= cdEnumCount,
                      L"This color depth is not supported!");
}

STDMETHODIMP TIFFEncoderInfo::get_ColorSpace(ColorSpaces* value) {
    return com::ReadProperty(colorSpace_, value, E_INVALIDARG);
}

STDMETHODIMP TIFFEncoderInfo::put_ColorSpace(ColorSpaces value) {
    return PutChecked(kTiffOrigin, colorSpace_, value, value >= csRGB && value <= csEnumCount,
                      L"This color space is not supported!");
}

// The out string is freed first, so a caller may pass the string it holds.
STDMETHODIMP TIFFEncoderInfo::get_ICCProfileFilename(BSTR* value) {
    if (!value) return E_INVALIDARG;
    SysFreeString(*value);
    *value = nullptr;
    const com::ObjectLock::Hold hold(lock_);
    if (BSTR stored = iccProfile_.get())
        *value = SysAllocStringByteLen(reinterpret_cast<const char*>(stored), SysStringByteLen(stored));
    return S_OK;
}

STDMETHODIMP TIFFEncoderInfo::put_ICCProfileFilename(BSTR value) {
    const com::ObjectLock::Hold hold(lock_);
    iccProfile_.reset();
    if (value) iccProfile_.reset(SysAllocStringByteLen(reinterpret_cast<const char*>(value), SysStringByteLen(value)));
    return S_OK;
}

// --- GIFEncoderInfo ---------------------------------------------------------

HRESULT GIFEncoderInfo::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<GIFEncoderInfo>(outer, iid, out);
}

STDMETHODIMP GIFEncoderInfo::get_PaletteType(PaletteTypes* value) {
    return com::ReadProperty(paletteType_, value, E_POINTER);
}

STDMETHODIMP GIFEncoderInfo::put_PaletteType(PaletteTypes value) { return com::WriteProperty(paletteType_, value); }

STDMETHODIMP GIFEncoderInfo::get_IsTransparent(VARIANT_BOOL* value) {
    return com::ReadProperty(transparent_, value, E_POINTER);
}

STDMETHODIMP GIFEncoderInfo::put_IsTransparent(VARIANT_BOOL value) { return com::WriteProperty(transparent_, value); }

STDMETHODIMP GIFEncoderInfo::get_AntialiasingPreprocessOn(VARIANT_BOOL* value) {
    return com::ReadProperty(antialiasingPreprocess_, value, E_POINTER);
}

STDMETHODIMP GIFEncoderInfo::put_AntialiasingPreprocessOn(VARIANT_BOOL value) {
    return com::WriteProperty(antialiasingPreprocess_, value);
}

// --- BMPEncoderInfo ---------------------------------------------------------

HRESULT BMPEncoderInfo::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<BMPEncoderInfo>(outer, iid, out);
}

STDMETHODIMP BMPEncoderInfo::get_ColorDepth(ColorDepths* value) {
    return com::ReadProperty(colorDepth_, value, E_POINTER);
}

STDMETHODIMP BMPEncoderInfo::put_ColorDepth(ColorDepths value) { return com::WriteProperty(colorDepth_, value); }

// --- SWFEncoderInfo ---------------------------------------------------------

HRESULT SWFEncoderInfo::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<SWFEncoderInfo>(outer, iid, out);
}

STDMETHODIMP SWFEncoderInfo::get_CompressionType(SWFCompressionTypes* value) {
    return com::ReadProperty(compression_, value, E_POINTER);
}

STDMETHODIMP SWFEncoderInfo::put_CompressionType(SWFCompressionTypes value) {
    return PutChecked(kSwfOrigin, compression_, value, value == swfctLossless || value == swfctJPEG,
                      L"Wrong compression type! It must be either lossless (0) or JPEG (1)...");
}

STDMETHODIMP SWFEncoderInfo::get_BackgroundColor(LONG* value) {
    return com::ReadProperty(backgroundColor_, value, E_POINTER);
}

STDMETHODIMP SWFEncoderInfo::put_BackgroundColor(LONG value) { return com::WriteProperty(backgroundColor_, value); }

STDMETHODIMP SWFEncoderInfo::get_JPEGQuality(LONG* value) { return com::ReadProperty(jpegQuality_, value, E_POINTER); }

STDMETHODIMP SWFEncoderInfo::put_JPEGQuality(LONG value) {
    jpegQuality_ = ClampQuality(value);
    return S_OK;
}

// --- WebPEncoderInfo --------------------------------------------------------

HRESULT WebPEncoderInfo::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<WebPEncoderInfo>(outer, iid, out);
}

STDMETHODIMP WebPEncoderInfo::get_Quality(LONG* value) { return com::ReadProperty(quality_, value, E_POINTER); }

STDMETHODIMP WebPEncoderInfo::put_Quality(LONG value) {
    quality_ = ClampQuality(value);
    return S_OK;
}

STDMETHODIMP WebPEncoderInfo::get_Lossless(VARIANT_BOOL* value) { return com::ReadProperty(lossless_, value, E_POINTER); }

// Any true value is stored as VARIANT_TRUE, so that scripts compare it with True.
STDMETHODIMP WebPEncoderInfo::put_Lossless(VARIANT_BOOL value) {
    lossless_ = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP WebPEncoderInfo::get_Effort(LONG* value) { return com::ReadProperty(effort_, value, E_POINTER); }

STDMETHODIMP WebPEncoderInfo::put_Effort(LONG value) {
    effort_ = std::clamp<LONG>(value, 0, 6);
    return S_OK;
}

}  // namespace rastelle::codecs
