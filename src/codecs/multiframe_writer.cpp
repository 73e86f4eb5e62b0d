#include "codecs/multiframe_writer.h"

#include "codecs/encode.h"
#include "codecs/encoder_choice.h"
#include "codecs/encoder_probes.h"
#include "codecs/gif_writer.h"
#include "codecs/tiff_writer.h"
#include "image/bitmap_lock.h"

#include <memory>

namespace rastelle::codecs {

namespace {

constexpr GUID kEncoderSaveFlag = {0x292266FC, 0xAC40, 0x47BF, {0x8C, 0xFC, 0xA8, 0x5B, 0x89, 0xA6, 0x55, 0xDE}};
constexpr PROPID kPropertyFrameDelay = 0x5100;

// The save flag first, then a TIFF encoder object's options.
EncoderParameterBlock ParametersOf(const MultiframeOptions& options, ULONG saveFlag) {
    if (!options.compression) return EncoderParameterBlock::Of({{kEncoderSaveFlag, saveFlag}});
    return EncoderParameterBlock::Of({{kEncoderSaveFlag, saveFlag},
                                      {kEncoderCompression, *options.compression},
                                      {kEncoderColorDepth, options.colorDepth.value_or(32)}});
}

Status SetFrameDelays(const std::vector<Bitmap*>& frames) noexcept {
    for (Bitmap* frame : frames) {
        const Status status = SetFrameDelay(*frame);
        if (status != Gdiplus::Ok) return status;
    }
    return Gdiplus::Ok;
}

// libtiff's pages, each with the frame's resolution; the options default
// to what the platform's encoder writes (LZW, 32 bits).
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

Status SaveWithOwnWriter(const std::vector<Bitmap*>& frames, const wchar_t* fileName,
                         const MultiframeOptions& options) {
    Status status = SetFrameDelays(frames);
    if (status != Gdiplus::Ok) return status;
    std::vector<std::uint8_t> bytes;
    status = options.type == FileType::GIF ? EncodeAnimatedGif(frames, bytes) : EncodeOwnTiff(frames, options, bytes);
    if (status != Gdiplus::Ok) return status;
    return WriteFileBytes(fileName, bytes);
}

bool PlatformIsFaithful(const MultiframeOptions& options) {
    if (options.type == FileType::GIF) return PlatformWritesAnimatedGif();
    return PlatformWritesMultipageTiff() && !UsesOwnEncoder(FileType::TIFF, ParametersOf(options, 0).get());
}

}  // namespace

Status SetFrameDelay(Bitmap& image) noexcept {
    ULONG delay = kFrameDelay;
    Gdiplus::PropertyItem item{kPropertyFrameDelay, sizeof delay, PropertyTagTypeLong, &delay};
    return image.record(gp::GdipSetPropertyItem(image.image(), &item));
}

Status SaveFramesWithPlatform(const std::vector<Bitmap*>& frames, const wchar_t* fileName, IStream* stream,
                              const MultiframeOptions& options) noexcept {
    try {
        const bool gif = options.type == FileType::GIF;
        CLSID clsid{};
        if (frames.empty() || GetEncoderClsid(gif ? L"image/gif" : L"image/tiff", &clsid) < 0)
            return Gdiplus::UnknownImageFormat;
        const EncoderParameterBlock parameters = ParametersOf(options, Gdiplus::EncoderValueMultiFrame);
        // The block holds the flag's value; it changes between the calls.
        auto* saveFlag = static_cast<ULONG*>(parameters.get()->Parameter[0].Value);
        Gdiplus::GpImage* first = frames.front()->image();
        Status status = fileName ? gp::GdipSaveImageToFile(first, fileName, &clsid, parameters.get())
                                 : gp::GdipSaveImageToStream(first, stream, &clsid, parameters.get());
        if (status == Gdiplus::Ok) status = SetFrameDelay(*frames.front());
        if (status != Gdiplus::Ok) return status;
        *saveFlag = gif ? Gdiplus::EncoderValueFrameDimensionTime : Gdiplus::EncoderValueFrameDimensionPage;
        for (size_t i = 1; i < frames.size(); ++i) {
            status = SetFrameDelay(*frames[i]);
            if (status == Gdiplus::Ok) status = gp::GdipSaveAddImage(first, frames[i]->image(), parameters.get());
            if (status != Gdiplus::Ok) return status;
        }
        *saveFlag = Gdiplus::EncoderValueFlush;
        return gp::GdipSaveAdd(first, parameters.get());
    } catch (...) {  // the parameter block could not be had
        return Gdiplus::OutOfMemory;
    }
}

Status SaveMultiframe(const std::vector<Bitmap*>& frames, const wchar_t* fileName,
                      const MultiframeOptions& options) noexcept {
    for (Bitmap* frame : frames)
        if (frame->lastStatus() != Gdiplus::Ok) return frame->lastStatus();
    try {
        if (PlatformIsFaithful(options)) return SaveFramesWithPlatform(frames, fileName, nullptr, options);
        return SaveWithOwnWriter(frames, fileName, options);
    } catch (...) {  // out of memory in the writers
        return Gdiplus::OutOfMemory;
    }
}

}  // namespace rastelle::codecs
