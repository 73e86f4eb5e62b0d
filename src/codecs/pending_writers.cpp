// The GIF writer is not part of this build yet. Until
// it is, a save that needs it stops here with an error that says
// so, instead of a misleading GDI+ or file-system message.
#include "codecs/pending_writers.h"

#include "com/errors.h"

namespace rastelle::codecs {

Status SaveGifWithPalette(Bitmap&, const wchar_t*, const CLSID&, UINT, VARIANT_BOOL, VARIANT_BOOL, PaletteTypes) {
    com::ThrowError(E_NOTIMPL, L"Cannot save GIF: the GIF writer is not available in this build.");
}

Status SaveGifWithPalette(Bitmap&, IStream*, const CLSID&, UINT, VARIANT_BOOL, VARIANT_BOOL, PaletteTypes) {
    com::ThrowError(E_NOTIMPL, L"Cannot save GIF: the GIF writer is not available in this build.");
}

}  // namespace rastelle::codecs
