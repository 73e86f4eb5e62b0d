#include "platform/bitmap_guard.h"

namespace rastelle::platform {

namespace {

int BitsPerPixel(Gdiplus::PixelFormat format) {
    switch (format) {
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB:
    case PixelFormat32bppRGB:
        return 32;
    case PixelFormat24bppRGB:
        return 24;
    case PixelFormat8bppIndexed:
        return 8;
    default:
        return 0;
    }
}

}  // namespace

bool BitmapSizeAllowed(int width, int height, int bitsPerPixel) {
    if (width < 1 || height < 1) return true;
    // Rows are padded to 4 bytes by GDI+.
    const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32) * 4;
    return rowBytes * static_cast<std::uint64_t>(height) <= kMaxBitmapBytes;
}

Status CreateBitmap(int width, int height, Gdiplus::PixelFormat format, Gdiplus::GpBitmap** out) {
    if (!out) return Gdiplus::InvalidParameter;
    *out = nullptr;
    const int bits = BitsPerPixel(format);
    if (bits == 0) return Gdiplus::InvalidParameter;
    if (!BitmapSizeAllowed(width, height, bits)) return Gdiplus::OutOfMemory;
    return gp::GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, out);
}

}  // namespace rastelle::platform
