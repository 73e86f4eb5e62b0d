// Quarter turns and mirrors of a whole image.
#pragma once

#include "image_view.h"

namespace rastelle::kernels {

// The eight turn-and-mirror types, numbered as GDI+ numbers them.
enum class RotateFlip {
    None = 0,            // unchanged
    Rotate90 = 1,        // a quarter turn clockwise
    Rotate180 = 2,       // also a mirror in both axes
    Rotate270 = 3,       // a quarter turn counter-clockwise
    FlipX = 4,           // mirrored left to right
    Rotate90FlipX = 5,   // turned clockwise, then mirrored left to right: the transpose
    FlipY = 6,           // mirrored top to bottom
    Rotate90FlipY = 7,   // turned clockwise, then mirrored top to bottom: the anti-transpose
};

// True for the types that swap width and height.
inline bool SwapsAxes(RotateFlip type) { return (static_cast<int>(type) & 1) != 0; }

// Writes src turned and mirrored by type into dst, whose size must be src's
// (with width and height swapped when SwapsAxes(type)).
void RotateFlipImage(const ConstImageView& src, const ImageView& dst, RotateFlip type);

}  // namespace rastelle::kernels
