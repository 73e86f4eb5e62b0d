// The module's entry points. Everything they call is noexcept: no C++
// exception can leave them.

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

RASTELLE_SERVER_ENTRY_POINTS(rastelle::module::g_classObjects, rastelle::module::RegisterServer,
                             rastelle::module::UnregisterServer)
