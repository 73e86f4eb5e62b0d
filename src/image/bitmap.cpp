#include "image/bitmap.h"

#include "com/protected_region.h"
#include "kernels/fill_copy.h"
#include "platform/bitmap_guard.h"
#include "platform/gdiplus_raii.h"

#include <new>

namespace rastelle {

namespace {

kernels::ImageView ViewOf(const Gdiplus::BitmapData& data) {
    return {static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width), static_cast<int>(data.Height),
            static_cast<std::ptrdiff_t>(data.Stride)};
}

Gdiplus::GpRect WholeRect(int width, int height) { return Gdiplus::GpRect(0, 0, width, height); }

}  // namespace

Bitmap::~Bitmap() {
    if (native_) gp::GdipDisposeImage(native_);
}

Bitmap* Bitmap::Create(int width, int height, Gdiplus::PixelFormat format) noexcept {
    Gdiplus::GpBitmap* native = nullptr;
    const Status status = platform::CreateBitmap(width, height, format, &native);
    auto* bitmap = new (std::nothrow) Bitmap(native, status);
    if (!bitmap && native) gp::GdipDisposeImage(native);
    return bitmap;
}

int Bitmap::width() noexcept {
    UINT value = 0;
    if (!native_ || record(gp::GdipGetImageWidth(native_, &value)) != Gdiplus::Ok) return 0;
    return static_cast<int>(value);
}

int Bitmap::height() noexcept {
    UINT value = 0;
    if (!native_ || record(gp::GdipGetImageHeight(native_, &value)) != Gdiplus::Ok) return 0;
    return static_cast<int>(value);
}

FileType DetectFileType(Gdiplus::GpImage* image, bool isIconOrCursor) noexcept {
    if (!image || isIconOrCursor) return FileType::Unknown;
    GUID format{};
    if (gp::GdipGetImageRawFormat(image, &format) != Gdiplus::Ok) return FileType::Unknown;
    // The raw-format GUIDs of the GDI+ decoders, compared in this order.
    static const struct {
        GUID format;
        FileType type;
    } kFormats[] = {
        {{0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}, FileType::JPEG},
        {{0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}, FileType::BMP},
        {{0xB96B3CAF, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}, FileType::PNG},
        {{0xB96B3CB1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}, FileType::TIFF},
        {{0xB96B3CB0, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}, FileType::GIF},
        {{0xB96B3CAC, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}, FileType::EMF},
        {{0xB96B3CB2, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}, FileType::EXIF},
    };
    for (const auto& entry : kFormats) {
        if (IsEqualGUID(format, entry.format)) return entry.type;
    }
    return FileType::Unknown;
}

Status FillBitmap(Bitmap& bitmap, Gdiplus::ARGB argb) noexcept {
    const int width = bitmap.width();
    const int height = bitmap.height();
    if (!platform::BitmapSizeAllowed(width, height, 32)) return Gdiplus::OutOfMemory;
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    auto* pixels = static_cast<std::uint32_t*>(CoTaskMemAlloc(bytes == 0 ? 1 : bytes));
    if (!pixels) return Gdiplus::OutOfMemory;

    Status status = Gdiplus::Ok;
    const bool completed = com::RunProtected([&] {
        kernels::FillPixels(kernels::PackedView(pixels, width, height), argb);
        Gdiplus::BitmapData user{};
        user.Width = static_cast<UINT>(width);
        user.Height = static_cast<UINT>(height);
        user.Stride = width * 4;
        user.PixelFormat = PixelFormat32bppARGB;
        user.Scan0 = pixels;
        const Gdiplus::GpRect rect = WholeRect(width, height);
        status = gp::GdipBitmapLockBits(bitmap.native(), &rect, Gdiplus::ImageLockModeWrite | Gdiplus::ImageLockModeUserInputBuf,
                                        PixelFormat32bppARGB, &user);
        if (status == Gdiplus::Ok) status = gp::GdipBitmapUnlockBits(bitmap.native(), &user);
    });
    CoTaskMemFree(pixels);
    if (!completed) status = Gdiplus::GenericError;
    return bitmap.record(status);
}

Status CloneBitmap32(Bitmap* source, Bitmap** target) noexcept {
    if (!source || !target) return Gdiplus::GenericError;
    delete *target;
    *target = nullptr;
    const int width = source->width();
    const int height = source->height();
    Bitmap* copy = Bitmap::Create(width, height, PixelFormat32bppARGB);
    if (!copy) return Gdiplus::OutOfMemory;
    *target = copy;
    if (copy->lastStatus() != Gdiplus::Ok) return copy->lastStatus();

    // The locks live outside the protected region: a fault skips destructors
    // there, and these must unlock.
    BitmapLock from;
    BitmapLock to;
    Status status = Gdiplus::Ok;
    const bool completed = com::RunProtected([&] {
        const Gdiplus::GpRect rect = WholeRect(width, height);
        status = source->record(from.Lock(source->native(), rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB));
        if (status != Gdiplus::Ok) return;
        status = copy->record(to.Lock(copy->native(), rect, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB));
        if (status != Gdiplus::Ok) return;
        kernels::CopyPixels(ViewOf(from.data()), ViewOf(to.data()));
        status = copy->record(to.Unlock());
        const Status sourceUnlock = source->record(from.Unlock());
        if (status == Gdiplus::Ok) status = sourceUnlock;
    });
    if (!completed) return Gdiplus::InsufficientBuffer;
    return status;
}

}  // namespace rastelle
