#include "module/registration.h"

#include "com/com_ptr.h"
#include "com/module_state.h"
#include "module/class_table.h"
#include "rastelle_h.h"

#include <comcat.h>
#include <oleauto.h>

#include <new>
#include <string>

namespace rastelle::module {

// {FDCDC031-CDD1-4C61-BE20-866C367B1A0D}
const GUID kCodecCategory = {0xFDCDC031, 0xCDD1, 0x4C61, {0xBE, 0x20, 0x86, 0x6C, 0x36, 0x7B, 0x1A, 0x0D}};
const wchar_t kCodecCategoryDescription[] = L"Image Codecs for Quillmark Rastelle";

namespace {

constexpr LCID kLibLocale = 1033;

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// Creates (or opens) root\path and sets its default value (when given).
HRESULT WriteKey(HKEY root, const std::wstring& path, const wchar_t* value, const wchar_t* name = nullptr) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                              nullptr);
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
HRESULT RegisterClass(const ClassEntry& entry) {
    const std::wstring clsid = GuidText(*entry.clsid);
    const std::wstring clsidKey = L"CLSID\\" + clsid;
    const std::wstring progId = entry.progId;
    const std::wstring viProgId = entry.versionIndependentProgId;
    const std::wstring libId = GuidText(LIBID_RASTELLELib);

    HRESULT hr = DeleteTree(clsidKey);
    const auto step = [&hr](HRESULT result) {
        if (SUCCEEDED(hr)) hr = result;
    };
    step(WriteKey(HKEY_CLASSES_ROOT, progId, entry.description));
    step(WriteKey(HKEY_CLASSES_ROOT, progId + L"\\CLSID", clsid.c_str()));
    step(WriteKey(HKEY_CLASSES_ROOT, viProgId, entry.description));
    step(WriteKey(HKEY_CLASSES_ROOT, viProgId + L"\\CLSID", clsid.c_str()));
    step(WriteKey(HKEY_CLASSES_ROOT, viProgId + L"\\CurVer", progId.c_str()));
    step(WriteKey(HKEY_CLASSES_ROOT, clsidKey, entry.description));
    step(WriteKey(HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID", progId.c_str()));
    step(WriteKey(HKEY_CLASSES_ROOT, clsidKey + L"\\VersionIndependentProgID", viProgId.c_str()));
    if (entry.programmable) step(WriteKey(HKEY_CLASSES_ROOT, clsidKey + L"\\Programmable", nullptr));
    step(WriteKey(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", com::ModulePath()));
    step(WriteKey(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"Both", L"ThreadingModel"));
    step(WriteKey(HKEY_CLASSES_ROOT, clsidKey + L"\\TypeLib", libId.c_str()));
    if (entry.implementsCategory) {
        step(WriteKey(HKEY_CLASSES_ROOT, clsidKey + L"\\Implemented Categories\\" + GuidText(kCodecCategory),
                      nullptr));
    }
    return hr;
}

HRESULT UnregisterClass(const ClassEntry& entry) {
    HRESULT hr = DeleteTree(entry.progId);
    const HRESULT viHr = DeleteTree(entry.versionIndependentProgId);
    const HRESULT clsidHr = DeleteTree(L"CLSID\\" + GuidText(*entry.clsid));
    if (SUCCEEDED(hr)) hr = FAILED(viHr) ? viHr : clsidHr;
    return hr;
}

void RegisterCodecCategory() {
    // Any apartment will do for the category manager. Only an initialisation
    // that succeeded here is undone: a thread already in the multithreaded
    // apartment answers RPC_E_CHANGED_MODE, and uninitialising then would
    // take COM away from the caller (a plain CoInitialize/CoUninitialize pair
    // regardless of the result would).
    const HRESULT initialised = CoInitialize(nullptr);
    com::ComPtr<ICatRegister> categories;
    if (SUCCEEDED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatRegister,
                                   categories.put_void()))) {
        CATEGORYINFO info{};
        info.catid = kCodecCategory;
        info.lcid = GetSystemDefaultLCID();
        wcsncpy(info.szDescription, kCodecCategoryDescription, 127);
        categories->RegisterCategories(1, &info);
    }
    categories.reset();
    if (SUCCEEDED(initialised)) CoUninitialize();
}

// Registration builds key paths as strings; running out of memory there, or
// anything else thrown, becomes an HRESULT: these run under extern "C" exports.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace

HRESULT RegisterServer() noexcept {
    return Guarded([]() -> HRESULT {
        RegisterCodecCategory();
        for (const ClassEntry& entry : ClassTable()) {
            const HRESULT hr = RegisterClass(entry);
            if (FAILED(hr)) return hr;
        }
        com::ComPtr<ITypeLib> typeLib;
        HRESULT hr = LoadTypeLibEx(com::ModulePath(), REGKIND_NONE, typeLib.put());
        if (FAILED(hr)) return hr;
        return RegisterTypeLib(typeLib.get(), const_cast<LPOLESTR>(com::ModulePath()), nullptr);
    });
}

HRESULT UnregisterServer() noexcept {
    return Guarded([]() -> HRESULT {
        HRESULT result = S_OK;
        for (const ClassEntry& entry : ClassTable()) {
            const HRESULT hr = UnregisterClass(entry);
            if (SUCCEEDED(result)) result = hr;
        }
#if defined(_WIN64)
        const SYSKIND sys = SYS_WIN64;
#else
        const SYSKIND sys = SYS_WIN32;
#endif
        const HRESULT hr = UnRegisterTypeLib(LIBID_RASTELLELib, 1, 0, kLibLocale, sys);
        if (SUCCEEDED(result) && FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_CANTLOADLIBRARY) result = hr;
        return result;
    });
}

}  // namespace rastelle::module
