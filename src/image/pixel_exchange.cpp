#include "image/pixel_exchange.h"

#include "com/automation.h"
#include "com/errors.h"
#include "com/protected_region.h"
#include "com/unique_any.h"
#include "image/bitmap_lock.h"
#include "kernels/fill_copy.h"
#include "platform/bitmap_guard.h"

namespace rastelle {

HRESULT BitmapToPixelArray(Bitmap* bitmap, SAFEARRAY** arraySlot) noexcept {
    if (!bitmap || !bitmap->native() || !arraySlot) return E_FAIL;
    PixelLock lock;
    if (lock.Lock(*bitmap, Gdiplus::ImageLockModeRead) != Gdiplus::Ok) return com::kErrBitmapToArray;
    const int width = lock.view().width;
    const int height = lock.view().height;

    if (*arraySlot) SafeArrayDestroy(*arraySlot);
    *arraySlot = nullptr;
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(height), 0}, {static_cast<ULONG>(width), 0}};
    com::UniqueSafeArray array(SafeArrayCreate(VT_I4, 2, bounds));
    if (!array) return E_FAIL;

    void* data = nullptr;
    HRESULT hr = SafeArrayAccessData(array.get(), &data);
    if (FAILED(hr)) return hr;
    const bool copied = com::RunProtected([&] {
        kernels::CopyPixels(lock.view(), kernels::PackedView(static_cast<std::uint32_t*>(data), width, height));
    });
    hr = SafeArrayUnaccessData(array.get());
    if (!copied) return com::kErrBitmapToArray;
    if (FAILED(hr)) return hr;
    if (lock.Unlock() != Gdiplus::Ok) return com::kErrBitmapToArray;
    *arraySlot = array.release();
    return S_OK;
}

HRESULT PixelArrayToBitmap(SAFEARRAY* array, Bitmap** bitmapSlot) noexcept {
    if (!array || !bitmapSlot) return E_FAIL;
    if (SafeArrayGetDim(array) != 2) return E_INVALIDARG;
    // Elements are read as 32-bit pixels by position; narrower elements
    // would read past the data block.
    if (SafeArrayGetElemsize(array) != 4) return E_INVALIDARG;
    const ULONG width = array->rgsabound[0].cElements;
    const ULONG height = array->rgsabound[1].cElements;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
        !platform::BitmapSizeAllowed(static_cast<int>(width), static_cast<int>(height), 32))
        return E_OUTOFMEMORY;

    com::SafeArrayDataLock access(array);
    if (FAILED(access.status())) return access.status();
    const auto buffer = com::AllocateCoTaskMem<std::uint32_t>(static_cast<size_t>(width) * height * 4);
    if (!buffer) return E_OUTOFMEMORY;

    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    const auto* source = static_cast<const std::uint32_t*>(access.data());
    if (!com::RunProtected([&] { kernels::CopyPixels(kernels::ConstImageView(source, w, h, w * 4LL),
                                                      kernels::PackedView(buffer.get(), w, h)); }))
        return com::kErrArrayToBitmap;

    delete *bitmapSlot;
    *bitmapSlot = nullptr;
    Bitmap* bitmap = Bitmap::Create(w, h, PixelFormat32bppARGB);
    if (!bitmap) return E_OUTOFMEMORY;
    if (bitmap->lastStatus() != Gdiplus::Ok) {
        delete bitmap;
        return com::kErrArrayToBitmap;
    }
    PixelLock write;
    Status status = write.LockFromBuffer(*bitmap, buffer.get(), w, h);
    if (status == Gdiplus::Ok) status = write.Unlock();
    if (status != Gdiplus::Ok) {
        delete bitmap;
        return com::kErrArrayToBitmap;
    }
    *bitmapSlot = bitmap;
    return S_OK;
}

HBITMAP BitmapToHandle(Bitmap* bitmap, Gdiplus::ARGB background) noexcept {
    if (!bitmap || !bitmap->native()) return nullptr;
    HBITMAP handle = nullptr;
    bitmap->record(gp::GdipCreateHBITMAPFromBitmap(bitmap->native(), &handle, background));
    return handle;
}

Bitmap* HandleToBitmap(HBITMAP handle, HPALETTE palette) noexcept {
    Gdiplus::GpBitmap* native = nullptr;
    const Status status = gp::GdipCreateBitmapFromHBITMAP(handle, palette, &native);
    return Bitmap::Adopt(native, status);
}

}  // namespace rastelle
