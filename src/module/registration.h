// Registration of the module's classes, type library and component category.
#pragma once

#include <windows.h>

namespace rastelle::module {

extern const GUID kCodecCategory;
extern const wchar_t kCodecCategoryDescription[];

HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;

}  // namespace rastelle::module
