// Flattening a bitmap against its background colour before it goes to an
// encoder without alpha (see kernels/flatten.h for the rule).
#pragma once

#include "image/bitmap.h"

namespace rastelle::codecs {

// Changes bitmap in place. Returns the lock's status when the bitmap cannot
// be locked (nothing changes then); other failures (unlock, a fault in the
// pixel loop) are recorded on the bitmap only.
Status FlattenAgainstBackground(Bitmap& bitmap) noexcept;

}  // namespace rastelle::codecs
