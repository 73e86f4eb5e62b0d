#include "image/bitmap.h"

#include "com/protected_region.h"
#include "com/unique_any.h"
#include "image/bitmap_lock.h"
#include "kernels/fill_copy.h"
#include "platform/bitmap_guard.h"

#include <new>

namespace rastelle {

Bitmap::~Bitmap() {
    if (!native_) return;
    // The bitmap goes before the memory it was made over (memory_ is freed
    // after this body).
    gp::GdipDisposeImage(native_);
    ReportLetGo(HolderKind::Gdiplus);
}

namespace {

bool MadeOverOwnMemory(int width, int height, Gdiplus::PixelFormat format) {
    return (format == PixelFormat32bppARGB || format == PixelFormat32bppPARGB || format == PixelFormat32bppRGB) &&
           width > 0 && height > 0;
}

}  // namespace

Bitmap* Bitmap::Create(int width, int height, Gdiplus::PixelFormat format) noexcept {
    return Create(width, height, format, PixelMemory::Contents::Zeroed);
}

Bitmap* Bitmap::CreateToOverwrite(int width, int height) noexcept {
    return Create(width, height, PixelFormat32bppARGB, PixelMemory::Contents::Undefined);
}

Bitmap* Bitmap::Create(int width, int height, Gdiplus::PixelFormat format, PixelMemory::Contents contents) noexcept {
    Gdiplus::GpBitmap* native = nullptr;
    if (!MadeOverOwnMemory(width, height, format)) return Adopt(native, platform::CreateBitmap(width, height, format, &native));
    if (!platform::BitmapSizeAllowed(width, height, 32)) return Adopt(nullptr, Gdiplus::OutOfMemory);
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    PixelMemory memory = PixelMemory::Acquire(stride * static_cast<std::size_t>(height), contents);
    if (!memory.data()) return Adopt(nullptr, Gdiplus::OutOfMemory);
    const Status status = gp::GdipCreateBitmapFromScan0(width, height, static_cast<INT>(stride), format,
                                                        reinterpret_cast<BYTE*>(memory.data()), &native);
    Bitmap* bitmap = Adopt(status == Gdiplus::Ok ? native : nullptr, status);
    if (status != Gdiplus::Ok && native) gp::GdipDisposeImage(native);
    if (bitmap && bitmap->native_) bitmap->memory_ = std::move(memory);
    return bitmap;
}

Bitmap* Bitmap::Adopt(Gdiplus::GpBitmap* native, Status status) noexcept {
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
    const auto pixels =
        com::AllocateCoTaskMem<std::uint32_t>(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    if (!pixels) return Gdiplus::OutOfMemory;

    PixelLock lock;  // declared after the buffer: unlocks (and copies) while it lives
    Status status = Gdiplus::Ok;
    const bool completed = com::RunProtected([&] {
        kernels::FillPixels(kernels::PackedView(pixels.get(), width, height), argb);
        status = lock.LockFromBuffer(bitmap, pixels.get(), width, height);
        if (status == Gdiplus::Ok) status = lock.Unlock();
    });
    if (!completed) status = Gdiplus::GenericError;
    return bitmap.record(status);
}

Status CloneBitmap32(Bitmap* source, Bitmap** target) noexcept {
    if (!source || !target) return Gdiplus::GenericError;
    delete *target;
    *target = nullptr;
    Bitmap* copy = Bitmap::CreateToOverwrite(source->width(), source->height());
    if (!copy) return Gdiplus::OutOfMemory;
    *target = copy;
    if (copy->lastStatus() != Gdiplus::Ok) return copy->lastStatus();

    PixelLockPair locks;
    Status status = Gdiplus::Ok;
    const bool completed = com::RunProtected([&] {
        status = locks.Lock(*source, *copy);
        if (status != Gdiplus::Ok) return;
        kernels::CopyPixels(locks.input(), locks.output());
        status = locks.Unlock();
    });
    if (!completed) return Gdiplus::InsufficientBuffer;
    return status;
}

}  // namespace rastelle
