// LoadMultiframeImage and SaveMultiframeImage: a collection's items to and
// from the pages of a TIFF file or the frames of an animated GIF.
#pragma once

#include "com/com_ptr.h"
#include "rastelle_h.h"

#include <vector>

namespace rastelle::layers {

class RasterCollection;

// Appends one item per page or frame of the file, emptying the collection
// first when clearFirst is set. Throws com::ComError with the failure's text.
void LoadMultiframeFile(RasterCollection& collection, BSTR fileName, bool clearFirst);

// Writes the items (all, or only the visible ones) as one multi-frame file
// in the format encoderInfo names. Throws com::ComError.
void SaveMultiframeFile(const std::vector<com::ComPtr<IRasterItem>>& items, BSTR fileName, const VARIANT& encoderInfo,
                        bool ignoreVisibleProperty);

}  // namespace rastelle::layers
