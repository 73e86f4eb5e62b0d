// The decode target of every bitmap the system decodes: a new 32-bit ARGB
// bitmap of the decoded size, locked for writing while the decoder fills it.
#pragma once

#include "codecs/decoder.h"
#include "image/bitmap.h"
#include "image/bitmap_lock.h"

#include <memory>

namespace rastelle::codecs {

class BitmapTarget final : public DecodeTarget {
public:
    kernels::ImageView Allocate(int width, int height) noexcept override;

    // The filled bitmap, unlocked, when the decoder answered Decoded and the
    // unlock succeeded; null otherwise (a partly written bitmap is dropped).
    std::unique_ptr<Bitmap> Finish(DecodeResult result) noexcept;

private:
    std::unique_ptr<Bitmap> bitmap_;
    PixelLock lock_;
};

}  // namespace rastelle::codecs
