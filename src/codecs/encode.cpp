#include "codecs/encode.h"

#include "codecs/encoder_choice.h"
#include "codecs/bmp_writer.h"
#include "codecs/jpeg_writer.h"
#include "codecs/png_writer.h"
#include "codecs/tiff_writer.h"
#include "image/bitmap_lock.h"

#include <new>

namespace rastelle::codecs {

namespace {

// Locks image for reading and runs encode(pixels, horizontalDpi,
// verticalDpi), which fills the caller's bytes and answers whether it could.
template <class Encode>
Status EncodeLocked(Gdiplus::GpBitmap* image, Encode&& encode) noexcept {
    UINT width = 0;
    UINT height = 0;
    Status status = gp::GdipGetImageWidth(image, &width);
    if (status == Gdiplus::Ok) status = gp::GdipGetImageHeight(image, &height);
    if (status != Gdiplus::Ok) return status;
    float horizontalDpi = 0;
    float verticalDpi = 0;
    gp::GdipGetImageHorizontalResolution(image, &horizontalDpi);
    gp::GdipGetImageVerticalResolution(image, &verticalDpi);

    PixelLock lock;
    status = lock.Lock(image, static_cast<int>(width), static_cast<int>(height), Gdiplus::ImageLockModeRead);
    if (status != Gdiplus::Ok) return status;
    bool encoded = false;
    try {
        encoded = encode(lock.view(), horizontalDpi, verticalDpi);
    } catch (...) {  // out of memory in the writer: nothing may leave this noexcept body
        encoded = false;
    }
    const Status unlocked = lock.Unlock();
    if (!encoded) return Gdiplus::OutOfMemory;
    return unlocked;
}

// Encodes image with the system's own encoder for type into bytes.
Status EncodeOwn(Gdiplus::GpBitmap* image, FileType type, const Gdiplus::EncoderParameters* parameters,
                 std::vector<std::uint8_t>& bytes) noexcept {
    return EncodeLocked(image, [&](const kernels::ConstImageView& pixels, float horizontalDpi, float verticalDpi) {
        if (type == FileType::JPEG) {
            const ULONG quality = FindParameter(parameters, kEncoderQuality).value_or(75);
            return EncodeJpeg(pixels, static_cast<int>(quality), horizontalDpi, verticalDpi, bytes);
        }
        if (type == FileType::PNG) return EncodePng(pixels, horizontalDpi, verticalDpi, bytes);
        TiffOptions options;
        options.lzw = FindParameter(parameters, kEncoderCompression)
                          .value_or(Gdiplus::EncoderValueCompressionLZW) == Gdiplus::EncoderValueCompressionLZW;
        options.withAlpha = FindParameter(parameters, kEncoderColorDepth).value_or(32) != 24;
        options.horizontalDpi = horizontalDpi;
        options.verticalDpi = verticalDpi;
        return EncodeTiff(pixels, options, bytes);
    });
}

}  // namespace

Status WriteFileBytes(const platform::FileName& fileName, const std::vector<std::uint8_t>& bytes) noexcept {
    return platform::WriteWholeFile(fileName, bytes.data(), bytes.size()) == ERROR_SUCCESS ? Gdiplus::Ok
                                                                                           : Gdiplus::GenericError;
}

Status WriteStreamBytes(IStream* stream, const std::vector<std::uint8_t>& bytes) noexcept {
    ULONG written = 0;
    const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    return SUCCEEDED(hr) && written == bytes.size() ? Gdiplus::Ok : Gdiplus::Win32Error;
}

Status EncodeWebpBytes(Gdiplus::GpBitmap* image, const WebPOptions& options, std::vector<std::uint8_t>& bytes) noexcept {
    return EncodeLocked(image, [&](const kernels::ConstImageView& pixels, float, float) {
        return EncodeWebp(pixels, options, bytes);
    });
}

Status EncodeBmpBytes(Gdiplus::GpBitmap* image, bool withAlpha, std::vector<std::uint8_t>& bytes) noexcept {
    return EncodeLocked(image, [&](const kernels::ConstImageView& pixels, float horizontalDpi, float verticalDpi) {
        return EncodeBmp(pixels, withAlpha, horizontalDpi, verticalDpi, bytes);
    });
}

Status EncodeToFile(Gdiplus::GpBitmap* image, FileType type, const platform::FileName& fileName,
                    const Gdiplus::EncoderParameters* parameters) noexcept {
    std::vector<std::uint8_t> bytes;
    const Status status = EncodeOwn(image, type, parameters, bytes);
    if (status != Gdiplus::Ok) {
        SetLastError(ERROR_SUCCESS);  // no Win32 failure: nothing of the locks' calls may be reported
        return status;
    }
    return WriteFileBytes(fileName, bytes);
}

Status EncodeToStream(Gdiplus::GpBitmap* image, FileType type, IStream* stream,
                      const Gdiplus::EncoderParameters* parameters) noexcept {
    std::vector<std::uint8_t> bytes;
    const Status status = EncodeOwn(image, type, parameters, bytes);
    if (status != Gdiplus::Ok) return status;
    return WriteStreamBytes(stream, bytes);
}

HRESULT ReadWholeStream(IStream* stream, std::vector<std::uint8_t>& bytes) noexcept {
    STATSTG stat{};
    HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    LARGE_INTEGER start{};
    hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) return hr;
    try {
        bytes.resize(static_cast<size_t>(stat.cbSize.QuadPart));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    ULONG read = 0;
    hr = stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    if (FAILED(hr)) return hr;
    bytes.resize(read);
    return S_OK;
}

}  // namespace rastelle::codecs
