#include "codecs/swf_save.h"

#include "codecs/encode.h"
#include "codecs/encoder_choice.h"
#include "com/com_ptr.h"
#include "com/errors.h"
#include "com/protected_region.h"
#include "image/bitmap_lock.h"
#include "swf/swf_image_movie.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace rastelle::codecs {

namespace {

struct SwfOptions {
    std::uint32_t backgroundArgb = 0xFFFFFFFF;
    SWFCompressionTypes compression = swfctLossless;
    LONG jpegQuality = 75;
};

// The encoder object's values; a failing read leaves that default.
SwfOptions ReadOptions(ISWFEncoderInfo* info) noexcept {
    SwfOptions options;
    if (!info) return options;
    SWFCompressionTypes compression = options.compression;
    if (SUCCEEDED(info->get_CompressionType(&compression))) options.compression = compression;
    LONG background = 0;
    if (SUCCEEDED(info->get_BackgroundColor(&background))) options.backgroundArgb = static_cast<std::uint32_t>(background);
    LONG quality = 0;
    if (SUCCEEDED(info->get_JPEGQuality(&quality))) options.jpegQuality = quality;
    return options;
}

// The pixels in SWF's ARGB byte order into argb.
HRESULT ReadPixels(Bitmap& image, int width, int height, std::vector<std::uint8_t>& argb) {
    PixelLock lock;
    if (lock.Lock(image, Gdiplus::ImageLockModeRead) != Gdiplus::Ok) return E_FAIL;
    argb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    const kernels::ConstImageView pixels = lock.view();
    std::uint8_t* out = argb.data();
    const bool converted = com::RunProtected([&] { swf::ToSwfArgb(pixels, out); });
    lock.Unlock();  // a failure is recorded on the bitmap and otherwise ignored
    return converted ? S_OK : E_FAIL;
}

// The JPEG file the save of image as JPEG at quality writes, through the same
// encoder choice as SaveFile.
HRESULT EncodeJpegBytes(Bitmap& image, LONG quality, std::vector<std::uint8_t>& jpeg) {
    com::ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    if (FAILED(hr)) return hr;
    const EncoderParameterBlock parameters =
        EncoderParameterBlock::Of({{kEncoderQuality, static_cast<ULONG>(quality)}});
    const Status status = EncodeToStream(image.native(), FileType::JPEG, stream.get(), parameters.get());
    if (status != Gdiplus::Ok) {
        image.record(status);
        return E_FAIL;
    }
    return ReadWholeStream(stream.get(), jpeg);
}

HRESULT WriteSwf(const platform::FileName& fileName, Bitmap& image, ISWFEncoderInfo* info) {
    const SwfOptions options = ReadOptions(info);
    const int width = image.width();
    const int height = image.height();
    // A bitmap tag holds its size in 16 bits: a larger image would be written
    // with a wrapped size, so it is refused before the file is opened.
    if (width > 0xFFFF || height > 0xFFFF) return E_INVALIDARG;
    // The pixel or JPEG bytes outlive the movie: its bitmap tag points at the JPEG.
    std::vector<std::uint8_t> bytes;
    std::unique_ptr<swf::SwfTag> bitmap;
    if (options.compression == swfctJPEG) {
        const HRESULT hr = EncodeJpegBytes(image, options.jpegQuality, bytes);
        if (FAILED(hr)) return hr;
        bitmap = std::make_unique<swf::JpegBitmapTag>(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    } else {
        const HRESULT hr = ReadPixels(image, width, height, bytes);
        if (FAILED(hr)) return hr;
        bitmap = swf::MakeLosslessBitmap(bytes.data(), width, height);
    }
    const auto movie = swf::MakeImageMovie(options.backgroundArgb, std::move(bitmap), width, height);
    std::FILE* file = platform::OpenCFile(fileName, L"wb");
    const int saved = movie->Save(file);
    const bool closed = !file || std::fclose(file) == 0;
    return saved == 0 && closed ? S_OK : E_FAIL;
}

}  // namespace

HRESULT WriteSwfFile(const platform::FileName& fileName, Bitmap& image, ISWFEncoderInfo* options) noexcept {
    try {
        return WriteSwf(fileName, image, options);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const swf::LosslessBitmapTag::CompressionFailed&) {
        return E_FAIL;
    } catch (const com::ComError& error) {
        return error.hr;
    }
}

}  // namespace rastelle::codecs
