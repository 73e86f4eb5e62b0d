// The system's own BMP encoder, on every platform: an uncompressed bottom-up
// bitmap with a 40-byte information header.
#pragma once

#include "kernels/image_view.h"

#include <cstdint>
#include <vector>

namespace rastelle::codecs {

// Encodes the pixels as 24-bit BGR (alpha dropped, colours kept as they are)
// or as 32-bit BGRA with the straight alpha in the fourth byte, with the
// resolution (when both are positive). False when memory runs out or the
// image is too large for one file; out is then empty.
bool EncodeBmp(const kernels::ConstImageView& pixels, bool withAlpha, float horizontalDpi, float verticalDpi,
               std::vector<std::uint8_t>& out);

}  // namespace rastelle::codecs
