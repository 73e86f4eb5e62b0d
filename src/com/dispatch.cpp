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

}  // namespace rastelle::com
