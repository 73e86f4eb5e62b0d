// Plain versions of the GIF palette kernels, written straight from their
// rules: an octree of heap nodes with one list of reducible nodes per level,
// and a scan of every palette entry for the nearest one.
#pragma once

#include <cstdint>
#include <vector>

#include "kernels/image_view.h"
#include "kernels/octree_palette.h"

namespace rastelle::kernels::reference {

bool OctreePalette(const ConstImageView& pixels, unsigned maxColours, unsigned colourBits,
                   std::vector<PaletteColour>& palette);
// The first entry of least squared distance to rgb (0x..RRGGBB).
unsigned NearestEntry(const std::vector<PaletteColour>& palette, std::uint32_t rgb);

}  // namespace rastelle::kernels::reference
