// Reading every page of a multi-page file: TIFF pages through libtiff, WebP
// frames through libwebp's animation decoder, GIF frames through giflib, the
// frames of any other file through GDI+.
#pragma once

#include "codecs/tiff_reader.h"
#include "codecs/webp_reader.h"
#include "com/com_ptr.h"
#include "image/bitmap.h"
#include "platform/gdiplus_raii.h"

#include <memory>
#include <vector>

namespace rastelle::codecs {

// The pages of a TIFF file, first to last, each as a new 32-bit ARGB bitmap
// with the page's resolution.
class TiffPageReader {
public:
    // Opens the file's bytes, which it keeps; false when libtiff cannot read
    // them as TIFF.
    bool Open(std::shared_ptr<const std::vector<std::uint8_t>> bytes);
    // The next page, the first one on the first call; null when there is no
    // further page or it cannot be read (no size, no memory, a decoding
    // failure).
    std::unique_ptr<Bitmap> Next();

private:
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
    MemorySource source_{};
    UniqueTiff tif_;
    bool started_ = false;
};

// The frames of a WebP file as a viewer shows them (each composed onto the
// canvas over the frames before it), first to last; a still file has one.
class WebPFrameReader {
public:
    WebPFrameReader() = default;
    WebPFrameReader(const WebPFrameReader&) = delete;
    WebPFrameReader& operator=(const WebPFrameReader&) = delete;
    // Opens the file's bytes, which it keeps; false when libwebp cannot read
    // them as WebP.
    bool Open(std::shared_ptr<const std::vector<std::uint8_t>> bytes);
    // The next frame as a new 32-bit ARGB bitmap; null when there is none
    // left or it cannot be decoded.
    std::unique_ptr<Bitmap> Next();

private:
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
    WebPAnimation animation_;
};

// The frames of a GIF file as a viewer shows them, first to last, into
// frames. False (frames then empty) when giflib cannot read the whole file
// or memory runs out.
bool ReadGifFrames(const std::vector<std::uint8_t>& bytes, std::vector<std::unique_ptr<Bitmap>>& frames);

// The frames of any file GDI+ decodes, dimension by dimension.
class FrameReader {
public:
    // Loads the file's bytes, which it keeps; the GDI+ status.
    Status Open(std::shared_ptr<const std::vector<std::uint8_t>> bytes) noexcept;
    // The frame dimensions of the file, in the order GDI+ lists them (empty
    // when it has none). Throws std::bad_alloc.
    std::vector<GUID> Dimensions();
    // Frames in a dimension (0 when GDI+ cannot tell).
    UINT FrameCount(const GUID& dimension) noexcept;
    // A 32-bit ARGB copy of a frame, with the resolution GDI+ gives the copy.
    Status CopyFrame(const GUID& dimension, UINT index, std::unique_ptr<Bitmap>& copy) noexcept;

private:
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
    com::ComPtr<IStream> stream_;  // the platform decodes frames from it on demand
    UniqueImage image_;
};

}  // namespace rastelle::codecs
