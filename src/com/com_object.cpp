#include "com/com_object.h"

namespace rastelle::com {

ObjectRoot::~ObjectRoot() {
    if (marshaler_) marshaler_->Release();
    UnlockModule();
}

HRESULT ObjectRoot::InnerQueryInterface(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        *out = &inner_;
        inner_.AddRef();
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IMarshal)) {
        return marshaler_ ? marshaler_->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    void* found = FindInterface(iid);
    if (!found) return E_NOINTERFACE;
    *out = found;
    static_cast<IUnknown*>(found)->AddRef();
    return S_OK;
}

ULONG ObjectRoot::InnerRelease() noexcept {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) {
        // Guard against a release that the destructor's own work triggers.
        refs_ = LONG_MIN / 2;
        delete this;
    }
    return static_cast<ULONG>(refs);
}

HRESULT ObjectRoot::CreateMarshaler() noexcept {
    if (marshaler_) return S_OK;
    return CoCreateFreeThreadedMarshaler(controlling_, &marshaler_);
}

}  // namespace rastelle::com
