// IDispatch implemented from the type library embedded in this module.
#pragma once

#include "com/com_ptr.h"

#include <oaidl.h>

namespace rastelle::com {

// The type information of interface iid, loaded from the module's own type
// library once and cached (no registration needed).
HRESULT GetTypeInfoOf(REFIID iid, ITypeInfo** out) noexcept;
// Releases the cached type library and type information (module unload).
void ReleaseTypeInfoCache() noexcept;

// Mixin implementing IDispatch for the dual interface Itf.
template <class Itf>
class Dispatch : public Itf {
public:
    using Interface = Itf;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_INVALIDARG;
        *count = 1;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return GetTypeInfoOf(__uuidof(Itf), info);
    }

    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = GetTypeInfoOf(__uuidof(Itf), info.put());
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    }

    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = GetTypeInfoOf(__uuidof(Itf), info.put());
        if (FAILED(hr)) return hr;
        HRESULT invoked = info->Invoke(static_cast<Itf*>(this), id, flags, params, result, exception, argError);
        // Object-valued properties are declared propput; a client's
        // "Set x.P = o" asks for put-by-reference, which means the same here.
        if (invoked == DISP_E_MEMBERNOTFOUND && (flags & DISPATCH_PROPERTYPUTREF)) {
            const WORD asPut = static_cast<WORD>((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
            invoked = info->Invoke(static_cast<Itf*>(this), id, asPut, params, result, exception, argError);
        }
        return invoked;
    }
};

// Mixin answering ISupportErrorInfo: S_OK for the listed interfaces (those
// whose failures raise error objects), S_FALSE for anything else.
template <class... Itfs>
class SupportErrorInfo : public ISupportErrorInfo {
public:
    using Interface = ISupportErrorInfo;
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
        return (IsEqualIID(iid, __uuidof(Itfs)) || ...) ? S_OK : S_FALSE;
    }
};

}  // namespace rastelle::com
