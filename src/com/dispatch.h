// IDispatch implemented from the type library embedded in this module.
#pragma once

#include "com/com_ptr.h"

#include <oaidl.h>

#include <vector>

namespace rastelle::com {

// The type information of interface iid, loaded from the module's own type
// library once and cached (no registration needed).
HRESULT GetTypeInfoOf(REFIID iid, ITypeInfo** out) noexcept;
// Releases the cached type library and type information (module unload).
void ReleaseTypeInfoCache() noexcept;

// The arguments of a late-bound call as Wine's ITypeInfo::Invoke is to see
// them. It converts the arguments in order and, when one cannot be
// converted, returns without freeing the conversions already made (an
// object's reference, a string's copy); and it keeps a reference to an object
// passed as VT_UNKNOWN for a parameter of an interface type. Either would
// leak an object on every such call a script makes. So every argument of a
// call with two or more is first tried with VariantChangeType against its
// parameter (one that does not convert fails the call with
// DISP_E_TYPEMISMATCH and its index), and an object passed as VT_UNKNOWN for
// an interface parameter is handed over as its IDispatch, released after the
// call.
class PreparedArguments {
public:
    PreparedArguments() noexcept = default;
    PreparedArguments(const PreparedArguments&) = delete;
    PreparedArguments& operator=(const PreparedArguments&) = delete;
    ~PreparedArguments();

    HRESULT Prepare(ITypeInfo* info, DISPID id, WORD flags, DISPPARAMS* params, UINT* argError) noexcept;
    // The caller's arguments, or a copy with objects handed over as IDispatch.
    DISPPARAMS* params() const noexcept { return params_; }

private:
    HRESULT Against(ITypeInfo* info, const FUNCDESC& func, UINT* argError);

    DISPPARAMS* params_ = nullptr;
    DISPPARAMS copy_{};
    std::vector<VARIANT> arguments_;
    std::vector<bool> owned_;
};

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
        PreparedArguments arguments;
        HRESULT invoked = arguments.Prepare(info.get(), id, flags, params, argError);
        if (FAILED(invoked)) return invoked;
        invoked = info->Invoke(static_cast<Itf*>(this), id, flags, arguments.params(), result, exception, argError);
        // Object-valued properties are declared propput; a client's
        // "Set x.P = o" asks for put-by-reference, which means the same here.
        if (invoked == DISP_E_MEMBERNOTFOUND && (flags & DISPATCH_PROPERTYPUTREF)) {
            const WORD asPut = static_cast<WORD>((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
            PreparedArguments asPutArguments;
            invoked = asPutArguments.Prepare(info.get(), id, asPut, params, argError);
            if (SUCCEEDED(invoked))
                invoked = info->Invoke(static_cast<Itf*>(this), id, asPut, asPutArguments.params(), result,
                                       exception, argError);
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
