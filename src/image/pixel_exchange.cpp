#include "image/pixel_exchange.h"

#include "com/automation.h"
#include "com/errors.h"
#include "com/protected_region.h"
#include "kernels/fill_copy.h"
#include "platform/bitmap_guard.h"
#include "platform/gdiplus_raii.h"

#include <new>

namespace rastelle {

namespace {

kernels::ImageView LockedView(const Gdiplus::BitmapData& data) {
    return {static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width), static_cast<int>(data.Height),
            static_cast<std::ptrdiff_t>(data.Stride)};
}

}  // namespace

HRESULT BitmapToPixelArray(Bitmap* bitmap, SAFEARRAY** arraySlot) noexcept {
    if (!bitmap || !bitmap->native() || !arraySlot) return E_FAIL;
    const int width = bitmap->width();
    const int height = bitmap->height();

    BitmapLock lock;
    const Gdiplus::GpRect rect(0, 0, width, height);
    if (bitmap->record(lock.Lock(bitmap->native(), rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB)) !=
        Gdiplus::Ok)
        return com::kErrBitmapToArray;

    if (*arraySlot) SafeArrayDestroy(*arraySlot);
    *arraySlot = nullptr;
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(height), 0}, {static_cast<ULONG>(width), 0}};
    com::UniqueSafeArray array(SafeArrayCreate(VT_I4, 2, bounds));
    if (!array) return E_FAIL;

    void* data = nullptr;
    HRESULT hr = SafeArrayAccessData(array.get(), &data);
    if (FAILED(hr)) return hr;
    const bool copied = com::RunProtected([&] {
        kernels::CopyPixels(LockedView(lock.data()),
                            kernels::PackedView(static_cast<std::uint32_t*>(data), width, height));
    });
    hr = SafeArrayUnaccessData(array.get());
    if (!copied) return com::kErrBitmapToArray;
    if (FAILED(hr)) return hr;
    if (bitmap->record(lock.Unlock()) != Gdiplus::Ok) return com::kErrBitmapToArray;
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
    const size_t bytes = static_cast<size_t>(width) * height * 4;
    auto* buffer = static_cast<std::uint32_t*>(CoTaskMemAlloc(bytes == 0 ? 1 : bytes));
    if (!buffer) return E_OUTOFMEMORY;
    struct BufferFree {
        void* p;
        ~BufferFree() { CoTaskMemFree(p); }
    } freeBuffer{buffer};

    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    const auto* source = static_cast<const std::uint32_t*>(access.data());
    if (!com::RunProtected([&] { kernels::CopyPixels(kernels::ConstImageView(source, w, h, w * 4LL),
                                                      kernels::PackedView(buffer, w, h)); }))
        return com::kErrArrayToBitmap;

    delete *bitmapSlot;
    *bitmapSlot = nullptr;
    Bitmap* bitmap = Bitmap::Create(w, h, PixelFormat32bppARGB);
    if (!bitmap) return E_OUTOFMEMORY;
    if (bitmap->lastStatus() != Gdiplus::Ok) {
        delete bitmap;
        return com::kErrArrayToBitmap;
    }
    Gdiplus::BitmapData user{};
    user.Width = width;
    user.Height = height;
    user.Stride = w * 4;
    user.PixelFormat = PixelFormat32bppARGB;
    user.Scan0 = buffer;
    const Gdiplus::GpRect rect(0, 0, w, h);
    Status status = gp::GdipBitmapLockBits(
        bitmap->native(), &rect, Gdiplus::ImageLockModeWrite | Gdiplus::ImageLockModeUserInputBuf,
        PixelFormat32bppARGB, &user);
    if (status == Gdiplus::Ok) status = gp::GdipBitmapUnlockBits(bitmap->native(), &user);
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
    auto* bitmap = new (std::nothrow) Bitmap(native, status);
    if (!bitmap && native) gp::GdipDisposeImage(native);
    return bitmap;
}

}  // namespace rastelle
