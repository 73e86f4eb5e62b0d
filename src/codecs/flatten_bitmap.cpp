#include "codecs/flatten_bitmap.h"

#include "com/protected_region.h"
#include "kernels/flatten.h"
#include "platform/gdiplus_raii.h"

namespace rastelle::codecs {

Status FlattenAgainstBackground(Bitmap& bitmap) noexcept {
    const int width = bitmap.width();
    const int height = bitmap.height();
    BitmapLock lock;
    const Status status =
        bitmap.record(lock.Lock(bitmap.native(), Gdiplus::GpRect(0, 0, width, height),
                                Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB));
    if (status != Gdiplus::Ok) return status;
    const Gdiplus::BitmapData& data = lock.data();
    // Rows advance by the stride rounded down to whole pixels.
    const kernels::ImageView view{static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width),
                                  static_cast<int>(data.Height), (data.Stride / 4) * 4};
    if (!com::RunProtected([&] { kernels::FlattenAgainstBackground(view); })) bitmap.record(Gdiplus::GenericError);
    bitmap.record(lock.Unlock());
    return Gdiplus::Ok;
}

}  // namespace rastelle::codecs
