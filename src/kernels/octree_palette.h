// The octree colour quantiser that builds the palette of a GIF: a tree of
// depth colourBits over the colour bits of each pixel, whose deepest internal
// nodes are merged whenever it holds more than maxColours leaves; each
// remaining leaf gives one palette colour, the mean of its pixels.
#pragma once

#include "kernels/image_view.h"

#include <cstdint>
#include <vector>

namespace rastelle::kernels {

struct PaletteColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const PaletteColour&) const = default;
};

// Builds the palette of pixels (0x..RRGGBB; alpha is ignored), visited row by
// row in the view's order, which decides when the tree is reduced. The
// colours come in depth-first order of the tree, children 0 to 7. False, with
// palette empty, when colourBits is above 8 or the tree cannot be brought
// down to maxColours leaves.
bool BuildOctreePalette(ConstImageView pixels, unsigned maxColours, unsigned colourBits,
                        std::vector<PaletteColour>& palette);

}  // namespace rastelle::kernels
