// Owning holders for GDI+ flat-API objects and bitmap locks.
#pragma once

#include "com/unique_any.h"
#include "platform/gdiplus.h"

#include <utility>

namespace rastelle {

template <class T, Status(WINGDIPAPI* Delete)(T*)>
using GdipHandle = com::UniqueAny<T*, Delete>;

using UniqueImage = GdipHandle<Gdiplus::GpImage, &gp::GdipDisposeImage>;
using UniqueGraphics = GdipHandle<Gdiplus::GpGraphics, &gp::GdipDeleteGraphics>;
using UniqueImageAttributes = GdipHandle<Gdiplus::GpImageAttributes, &gp::GdipDisposeImageAttributes>;
using UniqueMatrix = GdipHandle<Gdiplus::GpMatrix, &gp::GdipDeleteMatrix>;
using UniquePath = GdipHandle<Gdiplus::GpPath, &gp::GdipDeletePath>;
using UniquePen = GdipHandle<Gdiplus::GpPen, &gp::GdipDeletePen>;
using UniqueBrush = GdipHandle<Gdiplus::GpBrush, &gp::GdipDeleteBrush>;
using UniqueFont = GdipHandle<Gdiplus::GpFont, &gp::GdipDeleteFont>;
using UniqueFontFamily = GdipHandle<Gdiplus::GpFontFamily, &gp::GdipDeleteFontFamily>;
using UniqueStringFormat = GdipHandle<Gdiplus::GpStringFormat, &gp::GdipDeleteStringFormat>;

// A locked rectangle of a bitmap; unlocks on destruction unless unlocked
// explicitly (whose status the caller may need).
class BitmapLock {
public:
    BitmapLock() noexcept = default;
    BitmapLock(const BitmapLock&) = delete;
    BitmapLock& operator=(const BitmapLock&) = delete;
    ~BitmapLock() { Unlock(); }

    Status Lock(Gdiplus::GpBitmap* bitmap, const Gdiplus::GpRect& rect, UINT flags, Gdiplus::PixelFormat format,
                Gdiplus::BitmapData* userBuffer = nullptr) noexcept {
        if (userBuffer) data_ = *userBuffer;
        const Status status = gp::GdipBitmapLockBits(bitmap, &rect, flags, format, &data_);
        if (status == Gdiplus::Ok) bitmap_ = bitmap;
        return status;
    }

    Status Unlock() noexcept {
        if (!bitmap_) return Gdiplus::Ok;
        return gp::GdipBitmapUnlockBits(std::exchange(bitmap_, nullptr), &data_);
    }

    const Gdiplus::BitmapData& data() const noexcept { return data_; }

private:
    Gdiplus::GpBitmap* bitmap_ = nullptr;
    Gdiplus::BitmapData data_{};
};

}  // namespace rastelle
