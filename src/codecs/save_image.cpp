#include "codecs/save_image.h"

#include "codecs/cmyk_tiff.h"
#include "codecs/encode.h"
#include "codecs/encoder_choice.h"
#include "codecs/flatten_bitmap.h"
#include "codecs/gif_writer.h"
#include "codecs/swf_save.h"
#include "com/automation.h"
#include "com/com_ptr.h"
#include "com/errors.h"
#include "platform/file_name.h"
#include "platform/gdiplus_errors.h"

#include <asptlb.h>

#include <memory>
#include <string>
#include <vector>

namespace rastelle::codecs {

const IID kIID_IResponse = {0xD97A6DA0, 0xA864, 0x11CF, {0x83, 0xBE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8}};

namespace {

using com::ComPtr;
using com::ThrowError;

constexpr char kObjectName[] = "RasterObject";
constexpr UINT kGifColours = 256;

// Writes the object's resolution into its bitmap, as every save does first.
void ApplyResolution(const SaveSource& source, const char* method) {
    const Status status = source.bitmap->record(gp::GdipBitmapSetResolution(
        source.bitmap->native(), source.horizontalResolution, source.verticalResolution));
    if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, kObjectName, method, 0, E_FAIL);
}

// A whole-image clone of bitmap in format. GDI+ clones may not keep the
// resolution, which the file must carry, so it is written into the clone.
Status CloneWhole(Gdiplus::GpBitmap* bitmap, Gdiplus::PixelFormat format, const SaveSource& source,
                  std::unique_ptr<Bitmap>& clone) {
    UINT width = 0;
    UINT height = 0;
    gp::GdipGetImageWidth(bitmap, &width);
    gp::GdipGetImageHeight(bitmap, &height);
    Gdiplus::GpBitmap* native = nullptr;
    const Status status = gp::GdipCloneBitmapAreaI(0, 0, static_cast<INT>(width), static_cast<INT>(height), format,
                                                   bitmap, &native);
    if (status != Gdiplus::Ok) {
        if (native) gp::GdipDisposeImage(native);
        return status;
    }
    clone = std::make_unique<Bitmap>(native);
    gp::GdipBitmapSetResolution(native, source.horizontalResolution, source.verticalResolution);
    return Gdiplus::Ok;
}

// Runs one platform save with the thread's last error cleared before it and
// read right after it, before any clean-up call can change it.
template <class Save>
Status SaveReadingError(DWORD& win32Error, Save&& save) {
    SetLastError(ERROR_SUCCESS);
    const Status status = save();
    win32Error = GetLastError();
    return status;
}

// --- Files ------------------------------------------------------------------

void MapFileStatus(Status status, DWORD win32Error) {
    switch (status) {
    case Gdiplus::Ok: return;
    case Gdiplus::AccessDenied:
        ThrowError(com::kErrSaveFile,
                   L"Cannot save file: access denied. Contact you system administrator to solve the problem.");
    case Gdiplus::UnknownImageFormat:
        ThrowError(com::kErrSaveFile, L"Cannot save file: this software does not support this image type.");
    default: ThrowError(com::kErrSaveFile, platform::FailureMessage(status, kObjectName, "SaveFile", win32Error));
    }
}

// CMYK TIFF: separated by the system and written with libtiff. The target
// is not deleted first; opening it for writing replaces it.
void SaveCmykTiff(const SaveSource& source, const platform::FileName& fileName, const std::wstring& profile) {
    Bitmap& image = *source.bitmap;
    std::unique_ptr<Bitmap> cmyk(Bitmap::Create(image.width(), image.height()));
    if (!cmyk) com::ThrowSilent(E_OUTOFMEMORY);
    const LONG code = ConvertToCmyk(image, cmyk->native() ? cmyk.get() : nullptr, profile);
    if (code < 0) {
        if (code == -1)
            ThrowError(code, L"Cannot open ICM profile. It is possible such a profile does not exist or you try to "
                             L"use non-ICM profile file as profile.");
        if (code == -3)
            ThrowError(code, com::WithSupportAddress(L"Cannot lock input bits. If you see this error, please contact "));
        ThrowError(code, com::WithSupportAddress(L"Unknown error. If you see this error, please contact "));
    }
    gp::GdipBitmapSetResolution(cmyk->native(), source.horizontalResolution, source.verticalResolution);
    DWORD win32Error = ERROR_SUCCESS;
    const Status status = SaveReadingError(win32Error, [&] { return WriteCmykTiff(fileName, *cmyk); });
    MapFileStatus(status, win32Error);
}

// Encodes for a file save; win32Error receives the thread's error code
// right after the save call.
Status EncodeFile(const SaveSource& source, const SavePlan& plan, const platform::FileName& fileName,
                  DWORD& win32Error) {
    Bitmap& image = *source.bitmap;
    win32Error = ERROR_SUCCESS;
    switch (plan.type) {
    case FileType::BMP: {
        // 24 bits keep the colours and drop the alpha; 32 bits keep both.
        std::vector<std::uint8_t> bytes;
        const Status status = EncodeBmpBytes(image.native(), plan.bmpColorDepth != cd24bpp, bytes);
        if (status != Gdiplus::Ok) return status;
        return SaveReadingError(win32Error, [&] { return WriteFileBytes(fileName, bytes); });
    }
    case FileType::GIF:
        return SaveReadingError(win32Error, [&] {
            return SaveGifWithPalette(image, fileName, kGifColours, plan.gifTransparent,
                                      plan.gifAntialiasingPreprocess, plan.paletteType);
        });
    case FileType::WebP: {
        std::vector<std::uint8_t> bytes;
        const Status status = EncodeWebpBytes(image.native(), plan.webp, bytes);
        if (status != Gdiplus::Ok) return status;
        return SaveReadingError(win32Error, [&] { return WriteFileBytes(fileName, bytes); });
    }
    default:
        return SaveReadingError(win32Error, [&] {
            return EncodeToFile(image.native(), plan.type, fileName, plan.parameters.get());
        });
    }
}

// --- Streams ----------------------------------------------------------------

// Encodes for a stream save into memory. Encoders without alpha get a
// flattened working copy; the object's own image changes only in its
// resolution (and through the GIF writer's preprocessing).
Status EncodeStream(const SaveSource& source, const SavePlan& plan, IStream* memory) {
    Bitmap& image = *source.bitmap;
    std::unique_ptr<Bitmap> copy;
    Status status = image.record(CloneWhole(image.native(), PixelFormat32bppARGB, source, copy));
    if (status != Gdiplus::Ok) return status;
    switch (plan.type) {
    case FileType::BMP: {
        // 24 bits from the copy flattened against the background; 32 bits
        // from the object's own image.
        const bool withAlpha = plan.bmpColorDepth != cd24bpp;
        if (!withAlpha) FlattenAgainstBackground(*copy);
        std::vector<std::uint8_t> bytes;
        status = EncodeBmpBytes(withAlpha ? image.native() : copy->native(), withAlpha, bytes);
        return status == Gdiplus::Ok ? WriteStreamBytes(memory, bytes) : status;
    }
    case FileType::GIF:
        return SaveGifWithPalette(image, memory, kGifColours, plan.gifTransparent,
                                  plan.gifAntialiasingPreprocess, plan.paletteType);
    case FileType::WebP: {
        // WebP keeps the alpha: the copy is not flattened.
        std::vector<std::uint8_t> bytes;
        status = EncodeWebpBytes(copy->native(), plan.webp, bytes);
        return status == Gdiplus::Ok ? WriteStreamBytes(memory, bytes) : status;
    }
    default:
        FlattenAgainstBackground(*copy);
        return EncodeToStream(copy->native(), plan.type, memory, plan.parameters.get());
    }
}

void MapStreamStatus(Status status) {
    if (status == Gdiplus::Ok) return;
    if (status == Gdiplus::UnknownImageFormat)
        ThrowError(com::kErrSaveStream, L"Cannot save stream: this software does not support this image type.");
    ThrowError(com::kErrSaveStream, platform::FailureMessage(status, kObjectName, "SaveStream", 0));
}

// Hands the encoded bytes to an ASP response in one BinaryWrite: a byte
// array in a VT_ARRAY | VT_UI1 variant. BinaryWrite's own result is not
// examined.
HRESULT DeliverToResponse(IStream* memory, ULONGLONG size, IResponse* response) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(size & 0xFFFFFFFFu), 0};
    com::UniqueSafeArray array(SafeArrayCreate(VT_I1, 1, &bound));
    if (!array) return E_FAIL;
    void* data = nullptr;
    HRESULT hr = SafeArrayAccessData(array.get(), &data);
    if (FAILED(hr)) return hr;
    ULONG read = 0;
    memory->Read(data, bound.cElements, &read);
    hr = SafeArrayUnaccessData(array.get());
    if (FAILED(hr)) return hr;
    VARIANT bytes;
    VariantInit(&bytes);
    bytes.vt = VT_ARRAY | VT_UI1;
    bytes.parray = array.get();
    response->BinaryWrite(bytes);
    return SafeArrayDestroy(array.release());
}

}  // namespace

HRESULT SaveFile(const SaveSource& source, BSTR fileName, IDispatch* encoder) {
    if (!source.bitmap)
        ThrowError(com::kErrSaveFile,
                   L"Cannot save image to file, because there is no any data. Create new image or load it first.");
    ApplyResolution(source, "SaveFile");
    const platform::FileName name(fileName);

    // An SWF encoder object decides before anything else is looked at.
    ComPtr<ISWFEncoderInfo> swf;
    if (encoder) encoder->QueryInterface(IID_ISWFEncoderInfo, swf.put_void());
    if (swf || source.outputType == FileType::SWF) {
        const HRESULT hr = WriteSwfFile(name, *source.bitmap, swf.get());
        swf.reset();
        if (FAILED(hr))
            ThrowError(com::kErrSaveFile, L"Cannot save SWF file. It is possible permissions problem or wrong path.");
        return S_OK;
    }

    SavePlan plan = encoder ? PlanForEncoder(encoder) : PlanForOutputType(source.outputType);
    if (encoder && plan.type == FileType::TIFF && plan.tiffColorSpace == csCMYK) {
        plan.parameters.reset();
        SaveCmykTiff(source, name, plan.iccProfile);
        return S_OK;
    }

    // The old file goes first, even when the save then fails.
    platform::DeleteNamedFile(name);
    DWORD win32Error = 0;
    const Status status = EncodeFile(source, plan, name, win32Error);
    plan.parameters.reset();
    MapFileStatus(status, win32Error);
    return S_OK;
}

HRESULT SaveStream(const SaveSource& source, IUnknown* outputStream, IDispatch* encoder) {
    if (!source.bitmap)
        ThrowError(com::kErrSaveStream, L"Cannot save image to the stream, because there is no any data. Create new "
                                        L"image or load it first.");
    if (!outputStream) com::ThrowSilent(E_INVALIDARG);
    // Streams never take the CMYK path: a TIFF colour space is read and
    // ignored.
    SavePlan plan = encoder ? PlanForEncoder(encoder) : PlanForOutputType(source.outputType);

    ComPtr<IStream> memory;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, memory.put());
    if (FAILED(hr)) com::ThrowSilent(hr);

    ComPtr<IStream> stream;
    ComPtr<IResponse> response;
    hr = outputStream->QueryInterface(IID_IStream, stream.put_void());
    if (FAILED(hr)) {
        hr = outputStream->QueryInterface(kIID_IResponse, response.put_void());
        if (FAILED(hr)) ThrowError(hr, L"Cannot query neigther IStream nor IResponse interface.");
    }

    ApplyResolution(source, "SaveStream");
    MapStreamStatus(EncodeStream(source, plan, memory.get()));
    plan.parameters.reset();

    STATSTG stat{};
    hr = memory->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) com::ThrowSilent(hr);
    LARGE_INTEGER start{};
    memory->Seek(start, STREAM_SEEK_SET, nullptr);

    if (stream) return memory->CopyTo(stream.get(), stat.cbSize, nullptr, nullptr);
    return DeliverToResponse(memory.get(), stat.cbSize.QuadPart, response.get());
}

}  // namespace rastelle::codecs
