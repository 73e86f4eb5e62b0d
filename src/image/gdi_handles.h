// GDI handles as OLE pictures and picture transforms pass them: 32-bit
// OLE_HANDLE values, and owning holders for the handles the system deletes.
#pragma once

#include "platform/gdiplus_raii.h"

#include <windows.h>
#include <ocidl.h>

namespace rastelle {

// A GDI handle from its OLE_HANDLE. GDI handles carry 32 significant bits,
// and 64-bit Windows widens them with sign extension (0x80001234 is
// 0xFFFFFFFF80001234), so the value is widened that way too.
template <class Handle>
Handle HandleFromOle(OLE_HANDLE value) noexcept {
    return reinterpret_cast<Handle>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

// The OLE_HANDLE of a GDI handle: its low 32 bits.
inline OLE_HANDLE OleHandleOf(HANDLE handle) noexcept {
    return static_cast<OLE_HANDLE>(reinterpret_cast<ULONG_PTR>(handle));
}

// A GDI object (bitmap, palette, ...) deleted with DeleteObject.
template <class Handle>
using UniqueGdiObject = OwningHolder<Handle, &DeleteObject, HolderKind::Gdi>;

}  // namespace rastelle
