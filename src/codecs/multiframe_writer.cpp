#include "codecs/multiframe_writer.h"

#include "codecs/encode.h"
#include "codecs/gif_writer.h"
#include "codecs/tiff_writer.h"
#include "image/bitmap_lock.h"

#include <memory>

namespace rastelle::codecs {

namespace {

constexpr PROPID kPropertyFrameDelay = 0x5100;

Status SetFrameDelays(const std::vector<Bitmap*>& frames) noexcept {
    for (Bitmap* frame : frames) {
        const Status status = SetFrameDelay(*frame);
        if (status != Gdiplus::Ok) return status;
    }
    return Gdiplus::Ok;
}

// libtiff's pages, each with the frame's resolution; without an encoder
// object's options, LZW and 32 bits.
Status EncodeOwnTiff(const std::vector<Bitmap*>& frames, const MultiframeOptions& options,
                     std::vector<std::uint8_t>& bytes) {
    const auto locks = std::make_unique<PixelLock[]>(frames.size());
    std::vector<TiffPage> pages;
    for (size_t i = 0; i < frames.size(); ++i) {
        Bitmap& frame = *frames[i];
        const Status status = locks[i].Lock(frame, Gdiplus::ImageLockModeRead);
        if (status != Gdiplus::Ok) return status;
        TiffPage page{locks[i].view(), {}};
        page.options.lzw = options.compression.value_or(Gdiplus::EncoderValueCompressionLZW) ==
                           Gdiplus::EncoderValueCompressionLZW;
        page.options.withAlpha = options.colorDepth.value_or(32) != 24;
        gp::GdipGetImageHorizontalResolution(frame.image(), &page.options.horizontalDpi);
        gp::GdipGetImageVerticalResolution(frame.image(), &page.options.verticalDpi);
        pages.push_back(page);
    }
    if (!EncodeTiffPages(pages, bytes)) return Gdiplus::OutOfMemory;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Status status = locks[i].Unlock();
        if (status != Gdiplus::Ok) return status;
    }
    return Gdiplus::Ok;
}

// libwebp's animation, each frame shown as long as a GIF frame.
Status EncodeOwnWebp(const std::vector<Bitmap*>& frames, const WebPOptions& options, std::vector<std::uint8_t>& bytes) {
    const auto locks = std::make_unique<PixelLock[]>(frames.size());
    std::vector<kernels::ConstImageView> views;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Status status = locks[i].Lock(*frames[i], Gdiplus::ImageLockModeRead);
        if (status != Gdiplus::Ok) return status;
        views.push_back(locks[i].view());
    }
    if (!EncodeAnimatedWebp(views, options, kFrameDelay * 10, bytes)) return Gdiplus::OutOfMemory;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Status status = locks[i].Unlock();
        if (status != Gdiplus::Ok) return status;
    }
    return Gdiplus::Ok;
}

}  // namespace

Status SetFrameDelay(Bitmap& image) noexcept {
    ULONG delay = kFrameDelay;
    Gdiplus::PropertyItem item{kPropertyFrameDelay, sizeof delay, PropertyTagTypeLong, &delay};
    return image.record(gp::GdipSetPropertyItem(image.image(), &item));
}

Status SaveMultiframe(const std::vector<Bitmap*>& frames, const platform::FileName& fileName,
                      const MultiframeOptions& options) noexcept {
    for (Bitmap* frame : frames)
        if (frame->lastStatus() != Gdiplus::Ok) return frame->lastStatus();
    try {
        Status status = SetFrameDelays(frames);
        if (status != Gdiplus::Ok) return status;
        std::vector<std::uint8_t> bytes;
        switch (options.type) {
        case FileType::GIF: status = EncodeAnimatedGif(frames, bytes); break;
        case FileType::WebP: status = EncodeOwnWebp(frames, options.webp, bytes); break;
        default: status = EncodeOwnTiff(frames, options, bytes); break;
        }
        if (status != Gdiplus::Ok) return status;
        return WriteFileBytes(fileName, bytes);
    } catch (...) {  // out of memory in the writers
        return Gdiplus::OutOfMemory;
    }
}

}  // namespace rastelle::codecs
