#include "image/bitmap_lock.h"

namespace rastelle {

Status PixelLock::Lock(Bitmap& bitmap, UINT mode) noexcept {
    Unlock();
    const int width = bitmap.width();
    const int height = bitmap.height();
    owner_ = &bitmap;
    return Record(LockWhole(bitmap.native(), width, height, mode));
}

Status PixelLock::Lock(Gdiplus::GpBitmap* native, int width, int height, UINT mode) noexcept {
    Unlock();
    owner_ = nullptr;
    return LockWhole(native, width, height, mode);
}

Status PixelLock::LockWhole(Gdiplus::GpBitmap* native, int width, int height, UINT mode) noexcept {
    const Status status = lock_.Lock(native, Gdiplus::GpRect(0, 0, width, height), mode, PixelFormat32bppARGB);
    locked_ = status == Gdiplus::Ok;
    return status;
}

Status PixelLock::LockFromBuffer(Bitmap& bitmap, std::uint32_t* pixels, int width, int height) noexcept {
    Unlock();
    owner_ = &bitmap;
    Gdiplus::BitmapData user{};
    user.Width = static_cast<UINT>(width);
    user.Height = static_cast<UINT>(height);
    user.Stride = width * 4;
    user.PixelFormat = PixelFormat32bppARGB;
    user.Scan0 = pixels;
    const Status status =
        lock_.Lock(bitmap.native(), Gdiplus::GpRect(0, 0, width, height),
                   Gdiplus::ImageLockModeWrite | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppARGB, &user);
    locked_ = status == Gdiplus::Ok;
    return Record(status);
}

kernels::ImageView PixelLock::view() const noexcept {
    if (!locked_) return {};
    const Gdiplus::BitmapData& data = lock_.data();
    return {static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width), static_cast<int>(data.Height),
            static_cast<std::ptrdiff_t>(data.Stride)};
}

Status PixelLock::Unlock() noexcept {
    if (!locked_) return Gdiplus::Ok;
    locked_ = false;
    return Record(lock_.Unlock());
}

Status PixelLockPair::Lock(Bitmap& input, Bitmap& output) noexcept {
    Status status = input_.Lock(input, Gdiplus::ImageLockModeRead);
    if (status != Gdiplus::Ok) return status;
    status = output_.Lock(output, Gdiplus::ImageLockModeWrite);
    if (status != Gdiplus::Ok) input_.Unlock();
    return status;
}

Status PixelLockPair::Unlock() noexcept {
    const Status first = input_.Unlock();
    const Status second = output_.Unlock();
    return first != Gdiplus::Ok ? first : second;
}

}  // namespace rastelle
