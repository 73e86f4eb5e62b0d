// Combine: flattens the layers of a collection into a new raster object.
#pragma once

#include "com/com_ptr.h"
#include "rastelle_h.h"

#include <vector>

namespace rastelle::layers {

// The first item is the background and fixes the size (a copy of its image,
// or, when it is invisible, its size filled with backgroundColor); every
// later visible item with an image is laid over it in position order at its
// offset, with its opacity and mode. Returns a new raster object (made
// through COM) holding the result, with the first item's resolutions and
// output file type JPEG. Throws com::ComError with the failure's text.
com::ComPtr<IRasterObject> CombineLayers(const std::vector<com::ComPtr<IRasterItem>>& items, LONG backgroundColor);

}  // namespace rastelle::layers
