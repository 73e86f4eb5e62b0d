// The plain RGB -> CMYK separation used when no ICC profile names the
// printing condition.
#pragma once

#include <cstdint>

#include "image_view.h"

namespace rastelle::kernels {

// Separates every pixel of src into ink amounts (0 = no ink, 255 = full ink)
// stored in dst's pixels in the byte order cyan, magenta, yellow, black.
// With m = max(R, G, B): K = 255 - m, and each of C, M, Y is
// (m - channel) * 255 / m rounded to nearest (halves up), i.e.
// C = round((255 - R - K) * 255 / (255 - K)); black (m = 0) is K = 255 with
// no colour ink. Alpha takes no part: a pixel's colour is separated as it is
// stored. src and dst have the same size and may be the same view.
void SeparateCmykDefault(const ConstImageView& src, const ImageView& dst);

// One pixel of the same rule, as the four ink bytes in memory order.
std::uint32_t SeparateCmykPixel(std::uint32_t argb);

}  // namespace rastelle::kernels
