// Colour-keyed transparency: pixels close to a colour fade out.
#pragma once

#include <cstdint>

#include "image_view.h"

namespace rastelle::kernels {

// Copies src into dst, then for every pixel whose colour distance
// dist = (|B - tB| + |G - tG| + |R - tR|) / 3 (integer division) from the
// blue, green and red bytes of `color` is below `threshold`, replaces its
// alpha by min(255, trunc(dist / threshold * 255)). Threshold 0 only copies.
// src and dst have the same size; they may be the same view but must not
// otherwise overlap. Nothing is allocated; nothing is thrown.
void TransparencyKernel(const ConstImageView& src, const ImageView& dst, std::uint32_t color,
                        std::uint8_t threshold);

}  // namespace rastelle::kernels
