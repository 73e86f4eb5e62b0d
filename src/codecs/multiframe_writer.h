// Multi-frame files: several images written as the pages of one TIFF file
// or the frames of one animated GIF or WebP.
#pragma once

#include "codecs/webp_writer.h"
#include "image/bitmap.h"
#include "platform/file_name.h"
#include "platform/gdiplus.h"

#include <optional>
#include <vector>

namespace rastelle::codecs {

struct MultiframeOptions {
    FileType type = FileType::TIFF;  // TIFF, GIF or WebP
    // GDI+ values of a TIFF encoder object, when one was given.
    std::optional<ULONG> compression;
    std::optional<ULONG> colorDepth;
    WebPOptions webp;  // a WebPEncoderInfo's options
};

// Sets the frame-delay property (kFrameDelay hundredths) on an image.
Status SetFrameDelay(Bitmap& image) noexcept;

// Saves the frames in order as one file, setting the frame delay on each,
// with the system's own writers (libtiff's pages, giflib's and libwebp's
// frames, which GIF and WebP show for the same time and loop) on every
// platform. Returns a GDI+ status; a failing file call leaves its Win32
// error code on the thread.
Status SaveMultiframe(const std::vector<Bitmap*>& frames, const platform::FileName& fileName,
                      const MultiframeOptions& options) noexcept;

}  // namespace rastelle::codecs
