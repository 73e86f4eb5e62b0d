// The outputs that the system writes with its own writers rather than a GDI+
// encoder: GIF with the system's palette. SaveFile and SaveStream reach it
// through this function.
#pragma once

#include "platform/gdiplus.h"
#include "image/bitmap.h"
#include "rastelle_h.h"

namespace rastelle::codecs {

// Builds an indexed copy of source with its own palette of colourCount
// entries and saves it with the GIF encoder clsid. Returns a GDI+ status.
Status SaveGifWithPalette(Bitmap& source, const wchar_t* fileName, const CLSID& clsid, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType);
Status SaveGifWithPalette(Bitmap& source, IStream* stream, const CLSID& clsid, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType);

}  // namespace rastelle::codecs
