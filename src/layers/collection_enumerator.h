// The enumerator of a RasterCollection (_NewEnum): IEnumVARIANT over the
// collection's live list, handing out items as VT_DISPATCH variants.
#pragma once

#include <oaidl.h>

namespace rastelle::layers {

class RasterCollection;

// A new enumerator over collection (which it keeps alive) with its cursor at
// position cursor.
HRESULT CreateCollectionEnumerator(RasterCollection* collection, ULONG cursor, IEnumVARIANT** out) noexcept;

}  // namespace rastelle::layers
