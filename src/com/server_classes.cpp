#include "com/server_classes.h"

#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "com/errors.h"
#include "com/module_state.h"
#include "com/protected_region.h"

#include <oleauto.h>

#include <new>
#include <string>

namespace rastelle::com {

const ClassEntry* FindClass(std::span<const ClassEntry> classes, REFCLSID clsid) noexcept {
    for (const ClassEntry& entry : classes) {
        if (IsEqualCLSID(*entry.clsid, clsid)) return &entry;
    }
    return nullptr;
}

HRESULT ClassObjectCache::Get(REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    const ClassEntry* entry = FindClass(classes_, clsid);
    if (!entry || !entry->hasClassObject || !entry->create) return CLASS_E_CLASSNOTAVAILABLE;
    std::atomic<ClassFactory*>& slot = slots_[static_cast<size_t>(entry - classes_.data())];
    ClassFactory* factory = slot.load(std::memory_order_acquire);
    if (!factory) {
        AcquireSRWLockExclusive(&lock_);
        factory = slot.load(std::memory_order_relaxed);
        if (!factory) {
            factory = new (std::nothrow) ClassFactory(entry->create);
            slot.store(factory, std::memory_order_release);
        }
        ReleaseSRWLockExclusive(&lock_);
        if (!factory) return E_OUTOFMEMORY;
    }
    return factory->QueryInterface(iid, out);
}

void ClassObjectCache::Destroy() noexcept {
    for (auto& slot : slots_) delete slot.exchange(nullptr, std::memory_order_acq_rel);
}

BOOL ServerMain(HINSTANCE instance, DWORD reason, LPVOID reserved, ClassObjectCache& classObjects) noexcept {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        SetModuleInstance(instance);
        InstallFaultHandler();
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        RemoveFaultHandler();
        // At process exit other DLLs may already be gone: only tidy up when
        // the module is unloaded on its own.
        if (!reserved) {
            ReleaseTypeInfoCache();
            classObjects.Destroy();
        }
        break;
    default:
        break;
    }
    return TRUE;
}

namespace {

constexpr LCID kLibLocale = 1033;

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// Creates (or opens) HKEY_CLASSES_ROOT\path and sets its default value (when
// given) or the named value.
HRESULT WriteKey(const std::wstring& path, const wchar_t* value, const wchar_t* name = nullptr) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                              nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    if (value) {
        const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
        rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
    }
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(rc);
}

HRESULT DeleteTree(const std::wstring& path) {
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(rc);
}

// Keys of one class: its two ProgIDs and CLSID\{clsid}, which is rewritten
// whole.
HRESULT RegisterClass(const ServerDescription& server, const ClassEntry& entry) {
    const std::wstring clsid = GuidText(*entry.clsid);
    const std::wstring clsidKey = L"CLSID\\" + clsid;
    const std::wstring progId = entry.progId;
    const std::wstring viProgId = entry.versionIndependentProgId;
    const std::wstring libId = GuidText(*server.libId);

    HRESULT hr = DeleteTree(clsidKey);
    const auto step = [&hr](HRESULT result) {
        if (SUCCEEDED(hr)) hr = result;
    };
    step(WriteKey(progId, entry.description));
    step(WriteKey(progId + L"\\CLSID", clsid.c_str()));
    step(WriteKey(viProgId, entry.description));
    step(WriteKey(viProgId + L"\\CLSID", clsid.c_str()));
    step(WriteKey(viProgId + L"\\CurVer", progId.c_str()));
    step(WriteKey(clsidKey, entry.description));
    step(WriteKey(clsidKey + L"\\ProgID", progId.c_str()));
    step(WriteKey(clsidKey + L"\\VersionIndependentProgID", viProgId.c_str()));
    if (entry.programmable) step(WriteKey(clsidKey + L"\\Programmable", nullptr));
    step(WriteKey(clsidKey + L"\\InprocServer32", ModulePath()));
    step(WriteKey(clsidKey + L"\\InprocServer32", L"Both", L"ThreadingModel"));
    step(WriteKey(clsidKey + L"\\TypeLib", libId.c_str()));
    if (entry.implementsCategory && server.category)
        step(WriteKey(clsidKey + L"\\Implemented Categories\\" + GuidText(*server.category), nullptr));
    return hr;
}

HRESULT UnregisterClass(const ClassEntry& entry) {
    HRESULT hr = DeleteTree(entry.progId);
    const HRESULT viHr = DeleteTree(entry.versionIndependentProgId);
    const HRESULT clsidHr = DeleteTree(L"CLSID\\" + GuidText(*entry.clsid));
    if (SUCCEEDED(hr)) hr = FAILED(viHr) ? viHr : clsidHr;
    return hr;
}

// Registration builds key paths as strings; running out of memory there, or
// anything else thrown, becomes an HRESULT: these run under extern "C" exports.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    return NoThrow(std::forward<Body>(body));
}

}  // namespace

HRESULT RegisterServerClasses(const ServerDescription& server) noexcept {
    return Guarded([&]() -> HRESULT {
        for (const ClassEntry& entry : server.classes) {
            const HRESULT hr = RegisterClass(server, entry);
            if (FAILED(hr)) return hr;
        }
        ComPtr<ITypeLib> typeLib;
        HRESULT hr = LoadTypeLibEx(ModulePath(), REGKIND_NONE, typeLib.put());
        if (FAILED(hr)) return hr;
        return RegisterTypeLib(typeLib.get(), const_cast<LPOLESTR>(ModulePath()), nullptr);
    });
}

HRESULT UnregisterServerClasses(const ServerDescription& server) noexcept {
    return Guarded([&]() -> HRESULT {
        HRESULT result = S_OK;
        for (const ClassEntry& entry : server.classes) {
            const HRESULT hr = UnregisterClass(entry);
            if (SUCCEEDED(result)) result = hr;
        }
#if defined(_WIN64)
        const SYSKIND sys = SYS_WIN64;
#else
        const SYSKIND sys = SYS_WIN32;
#endif
        const HRESULT hr = UnRegisterTypeLib(*server.libId, 1, 0, kLibLocale, sys);
        if (SUCCEEDED(result) && FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_CANTLOADLIBRARY) result = hr;
        return result;
    });
}

}  // namespace rastelle::com
