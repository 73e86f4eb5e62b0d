#include "codecs/bitmap_target.h"

namespace rastelle::codecs {

kernels::ImageView BitmapTarget::Allocate(int width, int height) noexcept {
    // The decoder writes every pixel: the memory is not cleared first.
    bitmap_.reset(Bitmap::CreateToOverwrite(width, height));
    if (!bitmap_ || bitmap_->lastStatus() != Gdiplus::Ok || lock_.Lock(*bitmap_, Gdiplus::ImageLockModeWrite) != Gdiplus::Ok)
        return {};
    return lock_.view();
}

std::unique_ptr<Bitmap> BitmapTarget::Finish(DecodeResult result) noexcept {
    const Status unlocked = lock_.Unlock();
    if (result != DecodeResult::Decoded || unlocked != Gdiplus::Ok) bitmap_.reset();
    return std::move(bitmap_);
}

}  // namespace rastelle::codecs
