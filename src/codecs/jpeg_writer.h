// The system's own JPEG encoder (libjpeg-turbo), the JPEG encoder on every
// platform: the same file everywhere, from the code the tests run.
#pragma once

#include "kernels/image_view.h"

#include <cstdint>
#include <vector>

namespace rastelle::codecs {

// Encodes the pixels' red, green and blue (alpha is dropped, as the GDI+
// encoder drops it) as a baseline JFIF file at quality 0..100 (clamped),
// with 4:2:0 chroma subsampling and the resolution as dots per inch. False
// when libjpeg fails (out of memory); out is then empty.
bool EncodeJpeg(const kernels::ConstImageView& pixels, int quality, float horizontalDpi, float verticalDpi,
                std::vector<std::uint8_t>& out);

}  // namespace rastelle::codecs
