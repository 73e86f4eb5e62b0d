// Flattening an image against a background colour, so that encoders that
// drop alpha see the colour a transparent area hides instead of whatever
// colour values happen to sit under alpha 0.
#pragma once

#include "image_view.h"

namespace rastelle::kernels {

// The yellow used when the image names no background of its own.
inline constexpr std::uint32_t kDefaultFlattenBackground = 0xFFFFFF00u;

// The background an image is flattened against: the colour (alpha forced to
// 0xFF) of the pixel that follows the first nearly transparent pixel (alpha
// 2 or less), or opaque yellow. Only the first (height - 1) x (width - 1)
// pixels in row-major order are searched, and the following pixel must lie
// inside that run as well.
std::uint32_t FlattenBackground(const ConstImageView& image);

// Replaces every pixel's blue, green and red with
// (c * a + b * (255 - a)) / 255 (integer division), b being the background's
// channel and a the pixel's alpha; alpha itself is kept. Opaque pixels stay
// as they are and fully transparent ones take the background colour.
void BlendOverBackground(const ImageView& image, std::uint32_t background);

// FlattenBackground, then BlendOverBackground with it.
void FlattenAgainstBackground(const ImageView& image);

}  // namespace rastelle::kernels
