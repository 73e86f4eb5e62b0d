#include "codecs/flatten_bitmap.h"

#include "com/protected_region.h"
#include "image/bitmap_lock.h"
#include "kernels/flatten.h"

namespace rastelle::codecs {

Status FlattenAgainstBackground(Bitmap& bitmap) noexcept {
    PixelLock lock;
    const Status status = lock.Lock(bitmap, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite);
    if (status != Gdiplus::Ok) return status;
    const kernels::ImageView view = lock.view();
    if (!com::RunProtected([&] { kernels::FlattenAgainstBackground(view); })) bitmap.record(Gdiplus::GenericError);
    lock.Unlock();
    return Gdiplus::Ok;
}

}  // namespace rastelle::codecs
