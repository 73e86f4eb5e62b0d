// What an in-process server is made of: its class table, its type library's
// LIBID and the component category its classes may implement. The class
// objects it serves and the registry keys it writes both follow from these,
// so every server of the project shares one implementation of each.
#pragma once

#include "com/class_factory.h"
#include "com/module_state.h"

#include <windows.h>

#include <atomic>
#include <span>

namespace rastelle::com {

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;                    // version-dependent, e.g. "Rastelle.RasterObject.1"
    const wchar_t* versionIndependentProgId;  // e.g. "Rastelle.RasterObject"
    const wchar_t* description;
    bool programmable;           // writes the Programmable key
    bool hasClassObject;         // served by DllGetClassObject
    bool implementsCategory;     // registered as implementing the server's category
    CreateFunction create;       // null while the class is not built
};

struct ServerDescription {
    std::span<const ClassEntry> classes;
    const GUID* libId;
    const GUID* category;  // null when no class implements one
};

// The entry for clsid, or null.
const ClassEntry* FindClass(std::span<const ClassEntry> classes, REFCLSID clsid) noexcept;

// Class objects of a server, one slot per class table entry, each made on
// first request and kept until Destroy (module unload). A slot is published
// with release order once its class object is built, so a thread that reads
// it without the lock sees the object whole; two first requests at once get
// the same object.
class ClassObjectCache {
public:
    ClassObjectCache(std::span<const ClassEntry> classes, std::span<std::atomic<ClassFactory*>> slots) noexcept
        : classes_(classes), slots_(slots) {}
    HRESULT Get(REFCLSID clsid, REFIID iid, void** out) noexcept;
    void Destroy() noexcept;

private:
    std::span<const ClassEntry> classes_;
    std::span<std::atomic<ClassFactory*>> slots_;
    SRWLOCK lock_ = SRWLOCK_INIT;
};

// The body of a server's DllMain: module start (instance, string heap, fault
// handler) and end (class objects and type information released when the
// module is unloaded on its own). Always TRUE.
BOOL ServerMain(HINSTANCE instance, DWORD reason, LPVOID reserved, ClassObjectCache& classObjects) noexcept;

// Writes every class's ProgID and CLSID keys (InprocServer32 naming this
// module, threading model Both) and registers the module's type library.
// Returns the first failure.
HRESULT RegisterServerClasses(const ServerDescription& server) noexcept;
// Removes what RegisterServerClasses wrote; the CLSID key itself stays.
HRESULT UnregisterServerClasses(const ServerDescription& server) noexcept;

}  // namespace rastelle::com

// Defines a server's five entry points: DllMain over ServerMain, the class
// objects of classObjects (a ClassObjectCache), unloading by the module's
// lock count, and the two registration functions (HRESULT() noexcept).
#define RASTELLE_SERVER_ENTRY_POINTS(classObjects, registerServer, unregisterServer)                          \
    extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {                        \
        return ::rastelle::com::ServerMain(instance, reason, reserved, classObjects);                           \
    }                                                                                                         \
    STDAPI DllCanUnloadNow() { return ::rastelle::com::ModuleLockCount() == 0 ? S_OK : S_FALSE; }             \
    STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {                                       \
        return classObjects.Get(clsid, iid, out);                                                             \
    }                                                                                                         \
    STDAPI DllRegisterServer() { return registerServer(); }                                                   \
    STDAPI DllUnregisterServer() { return unregisterServer(); }
