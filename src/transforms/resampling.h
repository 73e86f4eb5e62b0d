// What resize and crop share: the interpolation a quality choice stands for,
// and the background they clear their output with.
#pragma once

#include "platform/gdiplus.h"
#include "rastelle_h.h"

namespace rastelle::transforms {

Gdiplus::InterpolationMode InterpolationFor(ResizeQualityTypes quality);

// The alpha's lowest bit is forced on: a fully transparent background colour
// becomes alpha 1, an opaque one stays opaque.
inline Gdiplus::ARGB BackgroundWithMinimumAlpha(LONG color) {
    return static_cast<Gdiplus::ARGB>(color) | 0x01000000u;
}

}  // namespace rastelle::transforms
