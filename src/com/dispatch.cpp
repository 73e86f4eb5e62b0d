#include "com/dispatch.h"

#include "com/module_state.h"

#include <oleauto.h>

namespace rastelle::com {

namespace {

// Type information is cached per interface in a small lock-free table: a
// slot is claimed with an interlocked compare-exchange, so racing threads at
// worst load the same information twice and keep one.
struct CachedTypeInfo {
    IID iid;
    ITypeInfo* volatile info;
};

constexpr int kCacheSlots = 64;
CachedTypeInfo g_cache[kCacheSlots];
volatile LONG g_cacheUsed = 0;
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
    const LONG used = g_cacheUsed;
    for (LONG i = 0; i < used && i < kCacheSlots; ++i) {
        ITypeInfo* info = g_cache[i].info;
        if (info && IsEqualIID(g_cache[i].iid, iid)) {
            info->AddRef();
            *out = info;
            return S_OK;
        }
    }
    ITypeLib* lib = nullptr;
    HRESULT hr = TypeLib(&lib);
    if (FAILED(hr)) return hr;
    ITypeInfo* info = nullptr;
    hr = lib->GetTypeInfoOfGuid(iid, &info);
    if (FAILED(hr)) return hr;
    const LONG slot = InterlockedIncrement(&g_cacheUsed) - 1;
    if (slot < kCacheSlots) {
        g_cache[slot].iid = iid;
        info->AddRef();
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_cache[slot].info), info);
    }
    *out = info;
    return S_OK;
}

void ReleaseTypeInfoCache() noexcept {
    for (auto& entry : g_cache) {
        if (ITypeInfo* info = entry.info) info->Release();
        entry.info = nullptr;
    }
    g_cacheUsed = 0;
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

HRESULT CheckAgainst(ITypeInfo* info, const FUNCDESC& func, const DISPPARAMS& params, UINT* argError) {
    const UINT named = params.cNamedArgs;
    const UINT positional = params.cArgs - named;
    const UINT count = static_cast<UINT>(func.cParams);
    auto fail = [&](UINT index) {
        if (argError) *argError = index;
        return DISP_E_TYPEMISMATCH;
    };
    for (UINT i = 0; i < positional && i < count; ++i) {  // rgvarg holds the positional arguments last first
        if (!Converts(info, func.lprgelemdescParam[i], params.rgvarg[params.cArgs - 1 - i])) return fail(params.cArgs - 1 - i);
    }
    const bool putValue = named == 1 && params.rgdispidNamedArgs && params.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    if (putValue && count > 0 && !Converts(info, func.lprgelemdescParam[count - 1], params.rgvarg[0])) return fail(0);
    return S_OK;
}

}  // namespace

HRESULT CheckArgumentTypes(ITypeInfo* info, DISPID id, WORD flags, const DISPPARAMS* params, UINT* argError) noexcept {
    if (!params || params->cArgs < 2 || !params->rgvarg || params->cNamedArgs > params->cArgs) return S_OK;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return S_OK;
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT f = 0; f < functions; ++f) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(f, &func))) continue;
        const bool match = func->memid == id && InvokedAs(func->invkind, flags);
        const HRESULT hr = match ? CheckAgainst(info, *func, *params, argError) : S_OK;
        info->ReleaseFuncDesc(func);
        if (match) return hr;
    }
    return S_OK;
}

}  // namespace rastelle::com
