// The encoder option classes: small creatable objects that carry the options
// of one output format each. A client fills one and passes it to SaveFile or
// SaveStream; its kind selects the format and its properties the encoder's
// parameters. They hold values only.
#pragma once

#include "com/automation.h"
#include "com/com_object.h"
#include "com/dispatch.h"
#include "com/object_lock.h"
#include "rastelle_h.h"

namespace rastelle::codecs {

class JPEGEncoderInfo final
    : public com::ComObject<JPEGEncoderInfo, com::Dispatch<IJPEGEncoderInfo>,
                            com::SupportErrorInfo<IJPEGEncoderInfo>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_Quality(LONG* value) override;
    STDMETHODIMP put_Quality(LONG value) override;

private:
    LONG quality_ = 75;
};

class TIFFEncoderInfo final
    : public com::ComObject<TIFFEncoderInfo, com::Dispatch<ITIFFEncoderInfo>,
                            com::SupportErrorInfo<ITIFFEncoderInfo>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    HRESULT FinalConstruct() noexcept;

    STDMETHODIMP get_CompressionType(TIFFCompressionTypes* value) override;
    STDMETHODIMP put_CompressionType(TIFFCompressionTypes value) override;
    STDMETHODIMP get_ColorDepth(ColorDepths* value) override;
    STDMETHODIMP put_ColorDepth(ColorDepths value) override;
    STDMETHODIMP get_ICCProfileFilename(BSTR* value) override;
    STDMETHODIMP put_ICCProfileFilename(BSTR value) override;
    STDMETHODIMP get_ColorSpace(ColorSpaces* value) override;
    STDMETHODIMP put_ColorSpace(ColorSpaces value) override;

private:
    TIFFCompressionTypes compression_ = tctLZW;
    ColorDepths colorDepth_ = cd32bpp;
    ColorSpaces colorSpace_ = csRGB;
    com::UniqueBstr iccProfile_;  // null only after a null was stored
    com::ObjectLock lock_;        // guards iccProfile_: encoder objects are shared between threads too
};

class GIFEncoderInfo final
    : public com::ComObject<GIFEncoderInfo, com::Dispatch<IGIFEncoderInfo>, com::SupportErrorInfo<IGIFEncoderInfo>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_PaletteType(PaletteTypes* value) override;
    STDMETHODIMP put_PaletteType(PaletteTypes value) override;
    STDMETHODIMP get_IsTransparent(VARIANT_BOOL* value) override;
    STDMETHODIMP put_IsTransparent(VARIANT_BOOL value) override;
    STDMETHODIMP get_AntialiasingPreprocessOn(VARIANT_BOOL* value) override;
    STDMETHODIMP put_AntialiasingPreprocessOn(VARIANT_BOOL value) override;

private:
    VARIANT_BOOL transparent_ = 0;
    VARIANT_BOOL antialiasingPreprocess_ = 0;
    PaletteTypes paletteType_ = ptOctree;
};

class BMPEncoderInfo final
    : public com::ComObject<BMPEncoderInfo, com::Dispatch<IBMPEncoderInfo>, com::SupportErrorInfo<IBMPEncoderInfo>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_ColorDepth(ColorDepths* value) override;
    STDMETHODIMP put_ColorDepth(ColorDepths value) override;

private:
    ColorDepths colorDepth_ = cd32bpp;
};

class SWFEncoderInfo final
    : public com::ComObject<SWFEncoderInfo, com::Dispatch<ISWFEncoderInfo>, com::SupportErrorInfo<ISWFEncoderInfo>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_CompressionType(SWFCompressionTypes* value) override;
    STDMETHODIMP put_CompressionType(SWFCompressionTypes value) override;
    STDMETHODIMP get_BackgroundColor(LONG* value) override;
    STDMETHODIMP put_BackgroundColor(LONG value) override;
    STDMETHODIMP get_JPEGQuality(LONG* value) override;
    STDMETHODIMP put_JPEGQuality(LONG value) override;

private:
    LONG backgroundColor_ = -1;
    SWFCompressionTypes compression_ = swfctLossless;
    LONG jpegQuality_ = 75;
};

// WebP's options: libwebp's quality, lossless mode and method (its effort).
class WebPEncoderInfo final
    : public com::ComObject<WebPEncoderInfo, com::Dispatch<IWebPEncoderInfo>, com::SupportErrorInfo<IWebPEncoderInfo>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_Quality(LONG* value) override;
    STDMETHODIMP put_Quality(LONG value) override;
    STDMETHODIMP get_Lossless(VARIANT_BOOL* value) override;
    STDMETHODIMP put_Lossless(VARIANT_BOOL value) override;
    STDMETHODIMP get_Effort(LONG* value) override;
    STDMETHODIMP put_Effort(LONG value) override;

private:
    LONG quality_ = 75;
    VARIANT_BOOL lossless_ = VARIANT_FALSE;
    LONG effort_ = 4;
};

}  // namespace rastelle::codecs
