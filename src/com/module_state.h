// Process-wide state of the module: its instance handle and the lock count
// that DllCanUnloadNow reports.
#pragma once

#include <windows.h>

namespace rastelle::com {

void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();
// Full path of this DLL.
const wchar_t* ModulePath();

void LockModule();
void UnlockModule();
LONG ModuleLockCount();

}  // namespace rastelle::com
