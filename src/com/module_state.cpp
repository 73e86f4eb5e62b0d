#include "com/module_state.h"

namespace rastelle::com {

namespace {
HINSTANCE g_instance = nullptr;
wchar_t g_path[MAX_PATH * 2] = {};
volatile LONG g_lockCount = 0;
}  // namespace

void SetModuleInstance(HINSTANCE instance) {
    g_instance = instance;
    const DWORD n = GetModuleFileNameW(instance, g_path, static_cast<DWORD>(sizeof(g_path) / sizeof(g_path[0])));
    if (n == 0 || n >= sizeof(g_path) / sizeof(g_path[0])) g_path[0] = L'\0';
}

HINSTANCE ModuleInstance() { return g_instance; }
const wchar_t* ModulePath() { return g_path; }

void LockModule() { InterlockedIncrement(&g_lockCount); }
void UnlockModule() { InterlockedDecrement(&g_lockCount); }
LONG ModuleLockCount() { return g_lockCount; }

}  // namespace rastelle::com
