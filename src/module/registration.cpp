#include "module/registration.h"

#include "com/com_ptr.h"
#include "com/server_classes.h"
#include "module/class_table.h"
#include "rastelle_h.h"

#include <comcat.h>

namespace rastelle::module {

// {FDCDC031-CDD1-4C61-BE20-866C367B1A0D}
const GUID kCodecCategory = {0xFDCDC031, 0xCDD1, 0x4C61, {0xBE, 0x20, 0x86, 0x6C, 0x36, 0x7B, 0x1A, 0x0D}};
const wchar_t kCodecCategoryDescription[] = L"Image Codecs for Quillmark Rastelle";

namespace {

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

com::ServerDescription Server() {
    return {ClassTable(), &LIBID_RASTELLELib, &kCodecCategory};
}

}  // namespace

HRESULT RegisterServer() noexcept {
    RegisterCodecCategory();
    return com::RegisterServerClasses(Server());
}

HRESULT UnregisterServer() noexcept { return com::UnregisterServerClasses(Server()); }

}  // namespace rastelle::module
