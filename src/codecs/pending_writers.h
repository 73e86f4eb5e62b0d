// The outputs that the system writes with its own writers rather than a GDI+
// encoder: GIF with the system's palette and CMYK TIFF. SaveFile and
// SaveStream reach them through these functions.
#pragma once

#include "platform/gdiplus.h"
#include "image/bitmap.h"
#include "rastelle_h.h"

#include <string>

namespace rastelle::codecs {

// Builds an indexed copy of source with its own palette of colourCount
// entries and saves it with the GIF encoder clsid. Returns a GDI+ status.
Status SaveGifWithPalette(Bitmap& source, const wchar_t* fileName, const CLSID& clsid, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType);
Status SaveGifWithPalette(Bitmap& source, IStream* stream, const CLSID& clsid, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType);

// Separates source into cyan, magenta, yellow and black ink amounts, stored
// in that byte order in cmyk's pixels, through the output channels of the
// profile named (none when empty). 0 on success, else a negative code or an
// HRESULT.
LONG ConvertToCmyk(Bitmap& source, Bitmap* cmyk, const std::wstring& profileFileName);

// Writes cmyk as an uncompressed four-sample TIFF file. 0 on success, 1 when
// the file cannot be written, or the status of a failed lock.
Status WriteCmykTiff(const char* ansiFileName, Bitmap& cmyk);

}  // namespace rastelle::codecs
