// The module's entry points. Everything they call is noexcept: no C++
// exception can leave them.

#include "com/class_factory.h"
#include "com/dispatch.h"
#include "com/module_state.h"
#include "com/protected_region.h"
#include "com/string_heap.h"
#include "module/class_table.h"
#include "module/registration.h"

#include <windows.h>

#include <atomic>
#include <new>

namespace rastelle::module {
namespace {

CRITICAL_SECTION g_classObjectLock;
// One slot per class table entry, made on first request. A slot is published
// with release order once its class object is built, so a thread that reads
// it without the lock sees the object whole.
std::atomic<com::ClassFactory*> g_classObjects[kClassCount] = {};

void DestroyClassObjects() {
    for (auto& slot : g_classObjects) delete slot.exchange(nullptr, std::memory_order_acq_rel);
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    const ClassEntry* entry = FindClass(clsid);
    if (!entry || !entry->hasClassObject || !entry->create) return CLASS_E_CLASSNOTAVAILABLE;
    const size_t index = static_cast<size_t>(entry - ClassTable().data());
    com::ClassFactory* factory = g_classObjects[index].load(std::memory_order_acquire);
    if (!factory) {
        EnterCriticalSection(&g_classObjectLock);
        factory = g_classObjects[index].load(std::memory_order_relaxed);
        if (!factory) {
            factory = new (std::nothrow) com::ClassFactory(entry->create);
            g_classObjects[index].store(factory, std::memory_order_release);
        }
        LeaveCriticalSection(&g_classObjectLock);
        if (!factory) return E_OUTOFMEMORY;
    }
    return factory->QueryInterface(iid, out);
}

}  // namespace
}  // namespace rastelle::module

using namespace rastelle;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        com::SetModuleInstance(instance);
        InitializeCriticalSection(&module::g_classObjectLock);
        com::CreateStringHeap();  // without it buffers come from the process heap
        com::InstallFaultHandler();
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        com::RemoveFaultHandler();
        // At process exit other DLLs may already be gone: only tidy up when
        // the module is unloaded on its own.
        if (!reserved) {
            com::ReleaseTypeInfoCache();
            module::DestroyClassObjects();
        }
        DeleteCriticalSection(&module::g_classObjectLock);
        com::DestroyStringHeap();
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return com::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return module::GetClassObject(clsid, iid, out);
}

STDAPI DllRegisterServer() { return module::RegisterServer(); }

STDAPI DllUnregisterServer() { return module::UnregisterServer(); }
