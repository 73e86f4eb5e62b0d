// Bodies of plain stored properties, shared by every class that has them.
#pragma once

#include "com/object_lock.h"

#include <windows.h>

namespace rastelle::com {

// A getter: E_POINTER (or the class's own code) for a null pointer.
template <class Field, class Out>
HRESULT ReadProperty(const Field& field, Out* out, HRESULT nullResult = E_POINTER) noexcept {
    if (!out) return nullResult;
    *out = static_cast<Out>(field);
    return S_OK;
}

// A setter that stores the value as it is.
template <class Field, class In>
HRESULT WriteProperty(Field& field, In value) noexcept {
    field = value;
    return S_OK;
}

// The same for an object shared between threads: under the object's lock.
template <class Field, class Out>
HRESULT ReadProperty(ObjectLock& lock, const Field& field, Out* out, HRESULT nullResult = E_POINTER) noexcept {
    const ObjectLock::Hold hold(lock);
    return ReadProperty(field, out, nullResult);
}

template <class Field, class In>
HRESULT WriteProperty(ObjectLock& lock, Field& field, In value) noexcept {
    const ObjectLock::Hold hold(lock);
    return WriteProperty(field, value);
}

}  // namespace rastelle::com
