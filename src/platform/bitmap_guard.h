// Guarded creation of GDI+ bitmaps. Some GDI+ implementations accept sizes
// whose pixel memory they cannot actually provide and hand back a bitmap with
// a short buffer, so every bitmap the system makes is created here, where the
// size is checked first.
#pragma once

#include "platform/gdiplus.h"

#include <cstdint>

namespace rastelle::platform {

// Largest pixel buffer the system creates: what a 32-bit process can address
// as one signed allocation.
inline constexpr std::uint64_t kMaxBitmapBytes = 0x7FFFFFFF;

// True when a width x height image of bitsPerPixel fits that limit (sizes
// below 1 are left to GDI+, which refuses them).
bool BitmapSizeAllowed(int width, int height, int bitsPerPixel);

// GdipCreateBitmapFromScan0 with GDI+ allocating the pixels, for the pixel
// formats the system uses (32bppARGB, 32bppPARGB, 32bppRGB, 24bppRGB,
// 8bppIndexed). A size over the limit gives OutOfMemory and an unknown format
// InvalidParameter, both without calling GDI+.
Status CreateBitmap(int width, int height, Gdiplus::PixelFormat format, Gdiplus::GpBitmap** out);

}  // namespace rastelle::platform
