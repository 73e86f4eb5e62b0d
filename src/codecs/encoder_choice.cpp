#include "codecs/encoder_choice.h"

#include "com/automation.h"
#include "com/com_ptr.h"
#include "com/errors.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace rastelle::codecs {

using com::ComPtr;

const wchar_t* MimeTypeOf(FileType type) noexcept {
    switch (type) {
    case FileType::JPEG: return L"image/jpeg";
    case FileType::BMP: return L"image/bmp";
    case FileType::PNG: return L"image/png";
    case FileType::TIFF: return L"image/tiff";
    case FileType::GIF: return L"image/gif";
    default: return nullptr;
    }
}

int GetEncoderClsid(const wchar_t* mimeType, CLSID* clsid) noexcept {
    if (!mimeType || !clsid) return -1;
    UINT count = 0;
    UINT size = 0;
    gp::GdipGetImageEncodersSize(&count, &size);
    if (size == 0) return -1;
    std::unique_ptr<std::byte[]> buffer(new (std::nothrow) std::byte[size]);
    if (!buffer) return -1;
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (gp::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) return -1;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, mimeType) == 0) {
            *clsid = codecs[i].Clsid;
            return static_cast<int>(i);
        }
    }
    return -1;
}

HRESULT SelectEncoderForOutputType(FileType type, EncoderSelection& selection) {
    selection.mimeType = MimeTypeOf(type);
    if (!selection.mimeType) {
        selection.message = com::WithSupportAddress(
            L"Cannot save file: requested file type does not supported. If you see this message, please contact ");
        return E_FAIL;
    }
    if (GetEncoderClsid(selection.mimeType, &selection.clsid) < 0) {
        selection.message = std::wstring(L"Cannot save file: ") + selection.mimeType + L" does not installed in your system";
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ReadTiffEncoderOptions(ITIFFEncoderInfo* info, LONG* colorDepth, LONG* compression, ColorSpaces* colorSpace,
                               BSTR* iccProfile) noexcept {
    if (!info || !colorDepth || !compression || !colorSpace || !iccProfile) return E_POINTER;
    TIFFCompressionTypes compressionType{};
    HRESULT hr = info->get_CompressionType(&compressionType);
    if (FAILED(hr)) return hr;
    switch (compressionType) {
    case tctNone: *compression = Gdiplus::EncoderValueCompressionNone; break;
    case tctLZW: *compression = Gdiplus::EncoderValueCompressionLZW; break;
    default: return E_INVALIDARG;
    }
    ColorDepths depth{};
    hr = info->get_ColorDepth(&depth);
    if (FAILED(hr)) return hr;
    switch (depth) {
    case cd24bpp: *colorDepth = 24; break;
    case cd32bpp: *colorDepth = 32; break;
    default: return E_INVALIDARG;
    }
    hr = info->get_ColorSpace(colorSpace);
    if (FAILED(hr)) return hr;
    if (*colorSpace != csRGB) return info->get_ICCProfileFilename(iccProfile);
    SysFreeString(*iccProfile);
    *iccProfile = SysAllocString(L"");
    return *iccProfile ? S_OK : E_OUTOFMEMORY;
}

WebPOptions ReadWebPEncoderOptions(IWebPEncoderInfo* info) noexcept {
    WebPOptions options;
    LONG quality = options.quality;
    LONG effort = options.effort;
    VARIANT_BOOL lossless = VARIANT_FALSE;
    info->get_Quality(&quality);
    info->get_Effort(&effort);
    info->get_Lossless(&lossless);
    return {static_cast<int>(quality), lossless != VARIANT_FALSE, static_cast<int>(effort)};
}

// --- Parameter blocks -------------------------------------------------------

EncoderParameterBlock EncoderParameterBlock::Of(std::initializer_list<Entry> entries) {
    const size_t count = entries.size();
    const size_t header = offsetof(Gdiplus::EncoderParameters, Parameter) + count * sizeof(Gdiplus::EncoderParameter);
    auto memory = com::AllocateCoTaskMem<Gdiplus::EncoderParameters>(header + count * sizeof(ULONG));
    if (!memory) com::ThrowSilent(E_OUTOFMEMORY);
    std::memset(memory.get(), 0, header + count * sizeof(ULONG));
    Gdiplus::EncoderParameters* block = memory.get();
    auto* values = reinterpret_cast<ULONG*>(reinterpret_cast<std::byte*>(block) + header);
    block->Count = static_cast<UINT>(count);
    size_t i = 0;
    for (const Entry& entry : entries) {
        values[i] = entry.value;
        Gdiplus::EncoderParameter& parameter = block->Parameter[i];
        parameter.Guid = entry.guid;
        parameter.NumberOfValues = 1;
        parameter.Type = Gdiplus::EncoderParameterValueTypeLong;
        parameter.Value = &values[i];
        ++i;
    }
    EncoderParameterBlock result;
    result.block_ = std::move(memory);
    return result;
}

std::optional<ULONG> FindParameter(const Gdiplus::EncoderParameters* parameters, const GUID& guid) noexcept {
    if (!parameters) return std::nullopt;
    for (UINT i = 0; i < parameters->Count; ++i) {
        const Gdiplus::EncoderParameter& parameter = parameters->Parameter[i];
        if (IsEqualGUID(parameter.Guid, guid) && parameter.NumberOfValues >= 1 && parameter.Value &&
            parameter.Type == Gdiplus::EncoderParameterValueTypeLong)
            return *static_cast<const ULONG*>(parameter.Value);
    }
    return std::nullopt;
}

// --- Plans ------------------------------------------------------------------

SavePlan PlanForOutputType(FileType outputType) {
    EncoderSelection selection;
    const HRESULT hr = SelectEncoderForOutputType(outputType, selection);
    if (FAILED(hr)) com::ThrowError(hr, std::move(selection.message));
    SavePlan plan;
    plan.type = outputType;
    plan.clsid = selection.clsid;
    return plan;
}

namespace {

// With an encoder object a missing encoder leaves the CLSID zero, so the save
// fails inside GDI+ and is reported through the status mapping.
void LookUpEncoder(SavePlan& plan) { GetEncoderClsid(MimeTypeOf(plan.type), &plan.clsid); }

}  // namespace

SavePlan PlanForEncoder(IDispatch* encoder) {
    SavePlan plan;

    ComPtr<IJPEGEncoderInfo> jpeg;
    HRESULT hr = encoder->QueryInterface(IID_IJPEGEncoderInfo, jpeg.put_void());
    if (SUCCEEDED(hr)) {
        plan.type = FileType::JPEG;
        LookUpEncoder(plan);
        LONG quality = 0;
        hr = jpeg->get_Quality(&quality);
        if (FAILED(hr)) com::ThrowError(hr, L"Cannot get JPEG quality. It is possible Encoder object is wrong.");
        plan.parameters = EncoderParameterBlock::Of({{kEncoderQuality, static_cast<ULONG>(quality)}});
        return plan;
    }

    ComPtr<ITIFFEncoderInfo> tiff;
    hr = encoder->QueryInterface(IID_ITIFFEncoderInfo, tiff.put_void());
    if (SUCCEEDED(hr)) {
        plan.type = FileType::TIFF;
        LookUpEncoder(plan);
        LONG colorDepth = 0;
        LONG compression = 0;
        com::UniqueBstr profile;
        hr = ReadTiffEncoderOptions(tiff.get(), &colorDepth, &compression, &plan.tiffColorSpace, profile.put());
        if (FAILED(hr)) com::ThrowError(hr, L"Wrong TIFF encoder parameters!");
        plan.iccProfile = profile.view();
        plan.parameters = EncoderParameterBlock::Of({{kEncoderCompression, static_cast<ULONG>(compression)},
                                                     {kEncoderColorDepth, static_cast<ULONG>(colorDepth)}});
        return plan;
    }

    ComPtr<IGIFEncoderInfo> gif;
    hr = encoder->QueryInterface(IID_IGIFEncoderInfo, gif.put_void());
    if (SUCCEEDED(hr)) {
        plan.type = FileType::GIF;
        LookUpEncoder(plan);
        gif->get_PaletteType(&plan.paletteType);
        gif->get_IsTransparent(&plan.gifTransparent);
        gif->get_AntialiasingPreprocessOn(&plan.gifAntialiasingPreprocess);
        return plan;
    }

    ComPtr<IBMPEncoderInfo> bmp;
    hr = encoder->QueryInterface(IID_IBMPEncoderInfo, bmp.put_void());
    if (SUCCEEDED(hr)) {
        plan.type = FileType::BMP;
        LookUpEncoder(plan);
        bmp->get_ColorDepth(&plan.bmpColorDepth);
        return plan;
    }

    // WebP is written by the system's own encoder: no GDI+ encoder to find.
    ComPtr<IWebPEncoderInfo> webp;
    hr = encoder->QueryInterface(IID_IWebPEncoderInfo, webp.put_void());
    if (SUCCEEDED(hr)) {
        plan.type = FileType::WebP;
        plan.webp = ReadWebPEncoderOptions(webp.get());
        return plan;
    }

    com::ThrowError(hr, L"Wrong Encoder object!");
}

}  // namespace rastelle::codecs
