// The system's own PNG encoder, the PNG encoder on every platform: rows
// filtered adaptively and deflated by libdeflate.
#pragma once

#include "kernels/image_view.h"

#include <cstdint>
#include <vector>

namespace rastelle::codecs {

// Encodes the pixels as an 8-bit PNG: truecolour when every pixel is opaque,
// truecolour with alpha otherwise, with the resolution (when both are
// positive) in a pHYs chunk. False when memory runs out or the image is too
// large for one file; out is then empty.
bool EncodePng(const kernels::ConstImageView& pixels, float horizontalDpi, float verticalDpi,
               std::vector<std::uint8_t>& out);

}  // namespace rastelle::codecs
