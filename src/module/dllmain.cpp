// The module's entry points. Everything they call is noexcept: no C++
// exception can leave them.

#include "com/module_state.h"
#include "com/server_classes.h"
#include "module/class_table.h"
#include "module/registration.h"

#include <windows.h>

#include <atomic>

namespace rastelle::module {
namespace {

std::atomic<com::ClassFactory*> g_classObjectSlots[kClassCount] = {};
com::ClassObjectCache g_classObjects(ClassTable(), g_classObjectSlots);

}  // namespace
}  // namespace rastelle::module

using namespace rastelle;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return com::ServerMain(instance, reason, reserved, module::g_classObjects);
}

STDAPI DllCanUnloadNow() { return com::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return module::g_classObjects.Get(clsid, iid, out);
}

STDAPI DllRegisterServer() { return module::RegisterServer(); }

STDAPI DllUnregisterServer() { return module::UnregisterServer(); }
