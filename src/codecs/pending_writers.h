// The outputs that the system writes with its own writers rather than a GDI+
// encoder: GIF with the system's palette and SWF. SaveFile and SaveStream
// reach them through these functions.
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

// Writes image as a single-frame SWF movie with the options of the encoder
// object (defaults when null).
HRESULT WriteSwfFile(const char* ansiFileName, Bitmap& image, ISWFEncoderInfo* options);

}  // namespace rastelle::codecs
