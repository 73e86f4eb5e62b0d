#include "com/dispatch.h"

#include "com/module_state.h"

#include <oleauto.h>

#include <utility>

namespace rastelle::com {

namespace {

// Type information is cached per interface in a small lock-free table. A
// slot is free, claimed by one thread while it fills it, or ready; a thread
// that misses claims a free slot with an interlocked compare-exchange, so
// racing threads at worst cache the same interface twice, and a full table
// (far more interfaces than the system has) only stops caching.
enum SlotState : LONG { kFree = 0, kClaimed = 1, kReady = 2 };

struct CachedTypeInfo {
    volatile LONG state;
    IID iid;
    ITypeInfo* info;
};

constexpr int kCacheSlots = 64;
CachedTypeInfo g_cache[kCacheSlots];
ITypeLib* volatile g_typeLib = nullptr;

HRESULT TypeLib(ITypeLib** out) {
    if (ITypeLib* lib = g_typeLib) {
        *out = lib;
        return S_OK;
    }
    ITypeLib* lib = nullptr;
    const HRESULT hr = LoadTypeLibEx(ModulePath(), REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_typeLib), lib, nullptr) != nullptr)
        lib->Release();
    *out = g_typeLib;
    return S_OK;
}

}  // namespace

HRESULT GetTypeInfoOf(REFIID iid, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (CachedTypeInfo& slot : g_cache) {
        if (slot.state == kReady && IsEqualIID(slot.iid, iid)) {
            slot.info->AddRef();
            *out = slot.info;
            return S_OK;
        }
    }
    ITypeLib* lib = nullptr;
    HRESULT hr = TypeLib(&lib);
    if (FAILED(hr)) return hr;
    ITypeInfo* info = nullptr;
    hr = lib->GetTypeInfoOfGuid(iid, &info);
    if (FAILED(hr)) return hr;
    for (CachedTypeInfo& slot : g_cache) {
        if (InterlockedCompareExchange(&slot.state, kClaimed, kFree) != kFree) continue;
        slot.iid = iid;
        info->AddRef();
        slot.info = info;
        InterlockedExchange(&slot.state, kReady);  // publishes iid and info
        break;
    }
    *out = info;
    return S_OK;
}

void ReleaseTypeInfoCache() noexcept {
    for (CachedTypeInfo& slot : g_cache) {
        if (slot.state == kReady) slot.info->Release();
        slot.info = nullptr;
        slot.state = kFree;
    }
    if (ITypeLib* lib = g_typeLib) lib->Release();
    g_typeLib = nullptr;
}

namespace {

// The type a parameter's argument is converted to, or VT_EMPTY for those not
// checked (variants, arrays, pointers: interfaces and references).
VARTYPE ConvertedTypeOf(ITypeInfo* info, const TYPEDESC& type) {
    switch (type.vt) {
    case VT_USERDEFINED: {  // an enumeration is converted as a long
        ComPtr<ITypeInfo> ref;
        if (FAILED(info->GetRefTypeInfo(type.hreftype, ref.put()))) return VT_EMPTY;
        TYPEATTR* attr = nullptr;
        if (FAILED(ref->GetTypeAttr(&attr))) return VT_EMPTY;
        const VARTYPE vt = attr->typekind == TKIND_ENUM ? VT_I4 : VT_EMPTY;
        ref->ReleaseTypeAttr(attr);
        return vt;
    }
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR: case VT_DISPATCH:
    case VT_BOOL: case VT_UNKNOWN: case VT_DECIMAL: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8:
    case VT_UI8: case VT_INT: case VT_UINT:
        return type.vt;
    default: return VT_EMPTY;
    }
}

// Whether the argument converts to the parameter's type (a missing optional
// one always does).
bool Converts(ITypeInfo* info, const ELEMDESC& parameter, const VARIANT& argument) {
    if (V_VT(&argument) == VT_ERROR && V_ERROR(&argument) == DISP_E_PARAMNOTFOUND &&
        (parameter.paramdesc.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)))
        return true;
    const VARTYPE target = ConvertedTypeOf(info, parameter.tdesc);
    if (target == VT_EMPTY) return true;
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANT*>(&argument), 0, target);
    VariantClear(&converted);
    return SUCCEEDED(hr);
}

bool InvokedAs(INVOKEKIND kind, WORD flags) {
    switch (kind) {
    case INVOKE_FUNC: return (flags & DISPATCH_METHOD) != 0;
    case INVOKE_PROPERTYGET: return (flags & DISPATCH_PROPERTYGET) != 0;
    case INVOKE_PROPERTYPUT: return (flags & DISPATCH_PROPERTYPUT) != 0;
    case INVOKE_PROPERTYPUTREF: return (flags & DISPATCH_PROPERTYPUTREF) != 0;
    }
    return false;
}

// Whether a type names an interface (through aliases, such as stdole's
// Picture for IPictureDisp).
bool IsInterface(ITypeInfo* info, const TYPEDESC& type, int depth = 0) {
    if (type.vt != VT_USERDEFINED || depth > 4) return false;
    ComPtr<ITypeInfo> ref;
    if (FAILED(info->GetRefTypeInfo(type.hreftype, ref.put()))) return false;
    TYPEATTR* attr = nullptr;
    if (FAILED(ref->GetTypeAttr(&attr))) return false;
    const bool result = attr->typekind == TKIND_INTERFACE || attr->typekind == TKIND_DISPATCH ||
                        (attr->typekind == TKIND_ALIAS && IsInterface(ref.get(), attr->tdescAlias, depth + 1));
    ref->ReleaseTypeAttr(attr);
    return result;
}

// Whether a parameter is a pointer to an interface.
bool IsInterfaceParameter(ITypeInfo* info, const TYPEDESC& type) {
    return type.vt == VT_PTR && type.lptdesc && IsInterface(info, *type.lptdesc);
}

}  // namespace

PreparedArguments::~PreparedArguments() {
    for (size_t i = 0; i < owned_.size(); ++i)
        if (owned_[i]) VariantClear(&arguments_[i]);
}

HRESULT PreparedArguments::Prepare(ITypeInfo* info, DISPID id, WORD flags, DISPPARAMS* params,
                                   UINT* argError) noexcept {
    params_ = params;
    if (!params || !params->rgvarg || params->cArgs == 0 || params->cNamedArgs > params->cArgs) return S_OK;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return S_OK;
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT f = 0; f < functions; ++f) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(f, &func))) continue;
        if (func->memid != id || !InvokedAs(func->invkind, flags)) {
            info->ReleaseFuncDesc(func);
            continue;
        }
        HRESULT hr = S_OK;
        try {
            hr = Against(info, *func, argError);
        } catch (...) {  // no memory for the copy: the call goes ahead with the caller's arguments
            params_ = params;
        }
        info->ReleaseFuncDesc(func);
        return hr;
    }
    return S_OK;
}

// Pairs each argument with its parameter: the positional ones (rgvarg holds
// them last first) with the first parameters, a property put's value with
// the last.
HRESULT PreparedArguments::Against(ITypeInfo* info, const FUNCDESC& func, UINT* argError) {
    const DISPPARAMS& params = *params_;
    const UINT positional = params.cArgs - params.cNamedArgs;
    const UINT count = static_cast<UINT>(func.cParams);
    const bool putValue =
        params.cNamedArgs == 1 && params.rgdispidNamedArgs && params.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    std::vector<std::pair<UINT, const ELEMDESC*>> pairs;  // argument index, parameter
    for (UINT i = 0; i < positional && i < count; ++i) pairs.emplace_back(params.cArgs - 1 - i, &func.lprgelemdescParam[i]);
    if (putValue && count > 0) pairs.emplace_back(0, &func.lprgelemdescParam[count - 1]);

    if (params.cArgs >= 2) {  // a single argument has no conversion before it
        for (const auto& [index, parameter] : pairs) {
            if (Converts(info, *parameter, params.rgvarg[index])) continue;
            if (argError) *argError = index;
            return DISP_E_TYPEMISMATCH;
        }
    }
    for (const auto& [index, parameter] : pairs) {
        // An object passed as IUnknown or by reference (directly or in a
        // variant); an IDispatch passed by value is converted without a leak.
        const VARIANT* value = &params.rgvarg[index];
        const bool byReference = V_VT(value) & VT_BYREF;
        if (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value)) value = V_VARIANTREF(value);
        IUnknown* object = nullptr;
        switch (V_VT(value)) {
        case VT_UNKNOWN: object = V_UNKNOWN(value); break;
        case VT_DISPATCH: object = byReference ? V_DISPATCH(value) : nullptr; break;
        case VT_BYREF | VT_UNKNOWN: object = V_UNKNOWNREF(value) ? *V_UNKNOWNREF(value) : nullptr; break;
        case VT_BYREF | VT_DISPATCH: object = V_DISPATCHREF(value) ? *V_DISPATCHREF(value) : nullptr; break;
        default: break;
        }
        if (!object || !IsInterfaceParameter(info, parameter->tdesc)) continue;
        IDispatch* dispatch = nullptr;
        if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) continue;
        if (arguments_.empty()) {
            arguments_.assign(params.rgvarg, params.rgvarg + params.cArgs);
            owned_.assign(params.cArgs, false);
            copy_ = params;
            copy_.rgvarg = arguments_.data();
        }
        V_VT(&arguments_[index]) = VT_DISPATCH;
        V_DISPATCH(&arguments_[index]) = dispatch;
        owned_[index] = true;
    }
    if (!arguments_.empty()) params_ = &copy_;
    return S_OK;
}

}  // namespace rastelle::com
