// Whole-image fill and copy of 32-bit pixels.
#pragma once

#include "image_view.h"

namespace rastelle::kernels {

// Sets every pixel of dst to argb (stored as given, not premultiplied).
void FillPixels(const ImageView& dst, std::uint32_t argb);

// Copies src into dst pixel for pixel. Both views must have the same size;
// they may differ in stride and direction but must not overlap.
void CopyPixels(const ConstImageView& src, const ImageView& dst);

}  // namespace rastelle::kernels
