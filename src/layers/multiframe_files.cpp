#include "layers/multiframe_files.h"

#include "codecs/encoder_choice.h"
#include "codecs/gif_reader.h"
#include "codecs/multiframe_reader.h"
#include "codecs/multiframe_writer.h"
#include "codecs/webp_reader.h"
#include "com/automation.h"
#include "com/errors.h"
#include "layers/raster_collection.h"
#include "layers/raster_item.h"
#include "platform/file_name.h"
#include "platform/file_signature.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_session.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rastelle::layers {

namespace {

constexpr char kObjectName[] = "RasterCollection";
constexpr char kLoadMethod[] = "LoadMultiframeImage";
constexpr char kSaveMethod[] = "SaveMultiframeImage";
// Largest file read for one call: what one signed 32-bit size holds.
constexpr std::uint64_t kMaxFileBytes = 0x7FFFFFFF;

// GDI+ started for the duration of one call.
void StartGdiplus(platform::GdiplusSession& session, const char* method) {
    const Status status = session.Start();
    if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, kObjectName, method, 0, com::kErrGdiplusStartup);
}

// --- Loading ------------------------------------------------------------------

void Clear(RasterCollection& collection) {
    while (collection.count() > 0) {
        VARIANT first;
        V_VT(&first) = VT_I4;
        V_I4(&first) = 0;
        const HRESULT hr = collection.Remove(first);
        if (FAILED(hr)) com::ThrowError(hr, L"Cannot clear the collection!");
    }
}

// A new last item holding page, with the page's resolution and JPEG as its
// output type.
void AppendItem(RasterCollection& collection, std::unique_ptr<Bitmap> page) {
    com::ComPtr<IRasterItem> item;
    HRESULT hr = collection.Add(-1, item.put());
    if (FAILED(hr)) com::ThrowSilent(hr);
    com::ComPtr<IRasterObject> raster;
    hr = item->get_RasterObject(raster.put());
    com::ComPtr<IRasterObjectInternal> internal;
    if (SUCCEEDED(hr)) hr = raster.As(internal);
    if (FAILED(hr)) com::ThrowSilent(hr);
    float horizontal = 0;
    float vertical = 0;
    gp::GdipGetImageHorizontalResolution(page->image(), &horizontal);
    gp::GdipGetImageVerticalResolution(page->image(), &vertical);
    internal->SetDataPointer(reinterpret_cast<LONG*>(page.release()));
    raster->put_HorizontalResolution(horizontal);
    raster->put_VerticalResolution(vertical);
    raster->put_OutputFileType(oftJPEG);
}

[[noreturn]] void ThrowLoadFailure(Status status, DWORD win32Error) {
    platform::ThrowGdiplusFailure(status, kObjectName, kLoadMethod, win32Error);
}

void LoadFrames(RasterCollection& collection, std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                bool clearFirst) {
    codecs::FrameReader reader;
    SetLastError(ERROR_SUCCESS);
    const Status status = reader.Open(std::move(bytes));
    if (status != Gdiplus::Ok) ThrowLoadFailure(status, GetLastError());
    const std::vector<GUID> dimensions = reader.Dimensions();
    if (dimensions.empty()) com::ThrowError(E_FAIL, L"No pages are present here!");
    if (clearFirst) Clear(collection);
    for (const GUID& dimension : dimensions) {
        const UINT frames = reader.FrameCount(dimension);
        for (UINT i = 0; i < frames; ++i) {
            std::unique_ptr<Bitmap> frame;
            SetLastError(ERROR_SUCCESS);
            const Status copied = reader.CopyFrame(dimension, i, frame);
            if (copied != Gdiplus::Ok) ThrowLoadFailure(copied, GetLastError());
            AppendItem(collection, std::move(frame));
        }
    }
}

// --- Saving -------------------------------------------------------------------

constexpr wchar_t kOnlyTiffAndGif[] = L"Only TIFF and GIF multiframe file formats are supported!";

// The format and options encoderInfo names: an OutputFileTypes number (its
// low 16 bits), a TIFFEncoderInfo or a WebPEncoderInfo object.
codecs::MultiframeOptions OptionsOf(const VARIANT& encoderInfo) {
    com::UniqueVariant value;
    HRESULT hr = VariantCopyInd(value.get(), const_cast<VARIANT*>(&encoderInfo));
    if (FAILED(hr)) com::ThrowSilent(hr);
    const VARIANT& v = *value.get();
    codecs::MultiframeOptions options;
    ULONG number = 0;
    switch (V_VT(&v)) {
    case VT_I1: number = static_cast<ULONG>(V_I1(&v)); break;
    case VT_UI1: number = V_UI1(&v); break;
    case VT_I2: number = static_cast<ULONG>(V_I2(&v)); break;
    case VT_UI2: number = V_UI2(&v); break;
    case VT_I4: number = static_cast<ULONG>(V_I4(&v)); break;
    case VT_UI4: number = V_UI4(&v); break;
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        // A WebPEncoderInfo makes an animated WebP.
        com::ComPtr<IWebPEncoderInfo> webp;
        if (V_UNKNOWN(&v) && SUCCEEDED(V_UNKNOWN(&v)->QueryInterface(IID_IWebPEncoderInfo, webp.put_void()))) {
            options.type = FileType::WebP;
            options.webp = codecs::ReadWebPEncoderOptions(webp.get());
            return options;
        }
        com::ComPtr<ITIFFEncoderInfo> tiff;
        hr = V_UNKNOWN(&v) ? V_UNKNOWN(&v)->QueryInterface(IID_ITIFFEncoderInfo, tiff.put_void()) : E_NOINTERFACE;
        if (FAILED(hr))
            com::ThrowError(hr, L"You must pass only TIFFEncoderInfo object (or OutputFileTypes members)!");
        LONG colorDepth = 0;
        LONG compression = 0;
        ColorSpaces colorSpace = csRGB;
        com::UniqueBstr profile;
        hr = codecs::ReadTiffEncoderOptions(tiff.get(), &colorDepth, &compression, &colorSpace, profile.put());
        if (FAILED(hr)) com::ThrowError(hr, L"Wrong TIFF encoder parameters!");
        options.compression = static_cast<ULONG>(compression);
        options.colorDepth = static_cast<ULONG>(colorDepth);
        return options;
    }
    default: com::ThrowError(E_INVALIDARG, L"You should pass OutputFileTypes members or TIFFEncoderInfo object!");
    }
    switch (number & 0xFFFF) {
    case oftTIFF: options.type = FileType::TIFF; break;
    case oftGIF: options.type = FileType::GIF; break;
    default: com::ThrowError(E_INVALIDARG, kOnlyTiffAndGif);
    }
    return options;
}

// The images to write, in position order; every one must exist.
// They are lent by their raster objects until the file is written.
std::vector<std::shared_ptr<Bitmap>> FramesOf(const std::vector<com::ComPtr<IRasterItem>>& items,
                                              bool ignoreVisibleProperty) {
    std::vector<std::shared_ptr<Bitmap>> frames;
    for (const auto& item : items) {
        VARIANT_BOOL visible = 0;
        if (!ignoreVisibleProperty && (FAILED(item->get_IsVisible(&visible)) || !visible)) continue;
        std::shared_ptr<Bitmap> image = LendItemImage(item.get());
        if (!image) {
            LONG index = 0;
            item->get_Index(&index);
            com::ThrowError(E_FAIL, L"Cannot save the multiframe image: item " + std::to_wstring(index) +
                                   L" has no image. Load or create one first.");
        }
        frames.push_back(std::move(image));
    }
    return frames;
}

}  // namespace

void LoadMultiframeFile(RasterCollection& collection, BSTR fileName, bool clearFirst) {
    platform::GdiplusSession session;
    StartGdiplus(session, kLoadMethod);
    // Read once, whole: the TIFF check and either reader work on our copy.
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    const DWORD error = platform::ReadWholeFile(platform::FileName(fileName), kMaxFileBytes, *bytes);
    if (error == ERROR_NOT_ENOUGH_MEMORY) ThrowLoadFailure(Gdiplus::OutOfMemory, 0);
    if (error != ERROR_SUCCESS) ThrowLoadFailure(Gdiplus::Win32Error, error);
    if (platform::DeclaresTooManyPixels(bytes->data(), bytes->size(), platform::FramesDecoded::All))
        ThrowLoadFailure(Gdiplus::OutOfMemory, 0);
    if (codecs::LooksLikeWebp(bytes->data(), bytes->size())) {
        codecs::WebPFrameReader frames;
        if (frames.Open(bytes)) {
            if (clearFirst) Clear(collection);
            while (std::unique_ptr<Bitmap> frame = frames.Next()) AppendItem(collection, std::move(frame));
            return;
        }
    }
    if (codecs::LooksLikeGif(bytes->data(), bytes->size())) {
        std::vector<std::unique_ptr<Bitmap>> frames;
        if (codecs::ReadGifFrames(*bytes, frames)) {
            if (clearFirst) Clear(collection);
            for (auto& frame : frames) AppendItem(collection, std::move(frame));
            return;
        }
    }
    codecs::TiffPageReader pages;
    if (!pages.Open(bytes)) {
        LoadFrames(collection, std::move(bytes), clearFirst);
        return;
    }
    if (clearFirst) Clear(collection);
    while (std::unique_ptr<Bitmap> page = pages.Next()) AppendItem(collection, std::move(page));
}

void SaveMultiframeFile(const std::vector<com::ComPtr<IRasterItem>>& items, BSTR fileName, const VARIANT& encoderInfo,
                        bool ignoreVisibleProperty) {
    platform::GdiplusSession session;
    StartGdiplus(session, kSaveMethod);
    const codecs::MultiframeOptions options = OptionsOf(encoderInfo);
    const std::vector<std::shared_ptr<Bitmap>> lent = FramesOf(items, ignoreVisibleProperty);
    if (lent.empty()) com::ThrowError(0, L"No data to save the multiframe image!");
    std::vector<Bitmap*> frames;
    for (const auto& frame : lent) frames.push_back(frame.get());
    SetLastError(ERROR_SUCCESS);
    const Status status = codecs::SaveMultiframe(frames, platform::FileName(fileName), options);
    if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, kObjectName, kSaveMethod, GetLastError());
}

}  // namespace rastelle::layers
