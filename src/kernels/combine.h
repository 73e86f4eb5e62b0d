// Laying one layer of a collection onto the background: the clipping of the
// layer to the background and the five per-pixel combine modes.
#pragma once

#include "image_view.h"

namespace rastelle::kernels {

enum class CombineMode : int { AlphaBlend = 0, Xor = 1, And = 2, Or = 3, Dissolve = 4 };

// The overlap of a layer of size sw x sh placed at (ox, oy) on a background of dw x dh.
struct LayerOverlap {
    int sourceX, sourceY, backgroundX, backgroundY, width, height;
};

// The overlap's top-left corner in the layer and on the background, and its
// size, whose width or height is 0 when the layer lies wholly outside
// (nothing to do then). Sizes are non-negative; any offset works.
LayerOverlap ClipLayer(int sw, int sh, int dw, int dh, int ox, int oy) noexcept;

// Lays `layer` (already cut to the overlap) onto `background` (the same
// size, the overlap of the background) with the arithmetic of `mode` at
// `opacity` (0..255; values outside are clamped to that range). Per byte c of
// a layer pixel s with alpha a over a background pixel d, o the opacity:
// - AlphaBlend: d + trunc(o * a * (s - d) / 65025);
// - Xor, And, Or: d + trunc((r - d) * o * a * k), r = s XOR/AND/OR d, k the
//   single-precision float nearest 1/65025 (just below it, so a whole change
//   comes out one step smaller: OR of 255 onto 0 at full weight gives 254);
// - Dissolve: a pixel changes to (s * a + d * (255 - a)) / 255 (rounded down)
//   when o * 32767 > n * 255, n the next number of the C runtime's rand()
//   sequence seeded with 17 at the start of each call, one per pixel in row
//   order. The sequence is computed here: the thread's own rand() state is
//   left alone.
// Any other mode leaves the background as it is. Nothing is allocated;
// nothing is thrown.
void CombineLayer(CombineMode mode, const ConstImageView& layer, const ImageView& background, int opacity) noexcept;

}  // namespace rastelle::kernels
