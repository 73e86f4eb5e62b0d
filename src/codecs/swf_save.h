// Saving an image as an SWF movie with the system's own writer.
#pragma once

#include "image/bitmap.h"
#include "platform/file_name.h"
#include "rastelle_h.h"

namespace rastelle::codecs {

// Writes image as a single-frame SWF movie with the options of the encoder
// object (defaults when null): S_OK; E_FAIL when the pixels cannot be
// locked, the JPEG cannot be encoded, the pixels cannot be compressed or the
// file cannot be opened; E_OUTOFMEMORY; or the failure of a memory-stream
// call; E_INVALIDARG, with no file written, for an image wider or taller
// than 65 535 pixels. Write errors after the file opened are not detected.
HRESULT WriteSwfFile(const platform::FileName& fileName, Bitmap& image, ISWFEncoderInfo* options) noexcept;

}  // namespace rastelle::codecs
