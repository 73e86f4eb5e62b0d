// Locks of whole bitmaps as 32-bit ARGB pixels, handed out as kernel views.
// A lock still held when its holder goes away is undone by the destructor,
// so no error path leaves a bitmap locked. A failing lock or unlock status is
// recorded in the bitmap and returned.
//
// Code that walks the pixels in a protected region keeps the lock holder
// outside the region: a fault skips the destructors of objects made inside.
#pragma once

#include "image/bitmap.h"
#include "kernels/image_view.h"
#include "platform/gdiplus_raii.h"

#include <cstdint>

namespace rastelle {

class PixelLock {
public:
    PixelLock() noexcept = default;
    PixelLock(const PixelLock&) = delete;
    PixelLock& operator=(const PixelLock&) = delete;
    ~PixelLock() { Unlock(); }

    // Locks the whole bitmap with the ImageLockMode flags in mode.
    Status Lock(Bitmap& bitmap, UINT mode) noexcept;
    // The same for a bare GDI+ bitmap of the given size (nothing recorded).
    Status Lock(Gdiplus::GpBitmap* native, int width, int height, UINT mode) noexcept;
    // Locks the whole bitmap for writing from the caller's tightly packed
    // buffer of width x height pixels, which GDI+ copies in when the lock
    // ends; the buffer must outlive the lock.
    Status LockFromBuffer(Bitmap& bitmap, std::uint32_t* pixels, int width, int height) noexcept;

    // The locked pixels; empty when nothing is locked.
    kernels::ImageView view() const noexcept;

    // Ok when nothing is locked.
    Status Unlock() noexcept;

private:
    Status LockWhole(Gdiplus::GpBitmap* native, int width, int height, UINT mode) noexcept;
    Status Record(Status status) noexcept { return owner_ ? owner_->record(status) : status; }

    BitmapLock lock_;
    Bitmap* owner_ = nullptr;
    bool locked_ = false;
};

// The two locks of a transform body: the whole input for reading and the
// whole output for writing.
class PixelLockPair {
public:
    // Locks the input, then the output. When either fails, neither stays
    // locked and the failing status is returned.
    Status Lock(Bitmap& input, Bitmap& output) noexcept;

    kernels::ConstImageView input() const noexcept { return input_.view(); }
    kernels::ImageView output() const noexcept { return output_.view(); }

    // Unlocks the input, then the output; the first failing status.
    Status Unlock() noexcept;

private:
    PixelLock input_;
    PixelLock output_;
};

}  // namespace rastelle
