// Images between bitmaps, PixelArrays and GDI bitmap handles.
//
// A PixelArray is a two-dimensional SAFEARRAY of VT_I4 created with the
// bounds (height, width), lower bounds 0, so that its descriptor holds the
// width in rgsabound[0] and the height in rgsabound[1]. Its data block holds
// the 0xAARRGGBB pixels row by row from the top row: pixel (x, y) is element
// y * width + x. Both sides of every exchange work on the data block by
// position and take the sizes from the descriptor; lower bounds are ignored
// when reading.
#pragma once

#include "image/bitmap.h"

#include <oaidl.h>

namespace rastelle {

// Makes *arraySlot a new PixelArray of the bitmap's pixels (destroying an
// array already there), owned by the caller. E_FAIL without a bitmap or when
// the array cannot be made; 0xE0000207 when the bitmap cannot be locked or a
// fault stops the copy.
HRESULT BitmapToPixelArray(Bitmap* bitmap, SAFEARRAY** arraySlot) noexcept;

// Makes *bitmapSlot a new 32-bit ARGB bitmap of the array's pixels (deleting a
// bitmap already there), owned by the caller; the array is left as it is.
// E_FAIL for a null array, E_INVALIDARG unless it has two dimensions of
// 4-byte elements, E_OUTOFMEMORY when the staging buffer cannot be had,
// 0xE0000206 when the bitmap cannot be made or filled (the slot is then null).
HRESULT PixelArrayToBitmap(SAFEARRAY* array, Bitmap** bitmapSlot) noexcept;

// A GDI bitmap handle of the bitmap, partly transparent pixels blended over
// background; the caller owns it. Null when GDI+ cannot make one.
HBITMAP BitmapToHandle(Bitmap* bitmap, Gdiplus::ARGB background) noexcept;

// A new bitmap with a copy of the handle's pixels, in the handle's own pixel
// format; the handle and palette stay the caller's. The creation status is
// the bitmap's last status; null only when memory for the holder is out.
Bitmap* HandleToBitmap(HBITMAP handle, HPALETTE palette) noexcept;

}  // namespace rastelle
