// The table of the classes this module serves and registers, in registration
// order.
#pragma once

#include "com/server_classes.h"

#include <span>

namespace rastelle::module {

using com::ClassEntry;

inline constexpr int kClassCount = 28;

std::span<const ClassEntry> ClassTable();

// The entry for clsid, or null.
const ClassEntry* FindClass(REFCLSID clsid);

}  // namespace rastelle::module
