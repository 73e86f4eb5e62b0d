// The table of the classes this module serves and registers, in registration
// order.
#pragma once

#include "com/class_factory.h"

#include <span>

namespace rastelle::module {

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;                    // version-dependent, e.g. "Rastelle.RasterObject.1"
    const wchar_t* versionIndependentProgId;  // e.g. "Rastelle.RasterObject"
    const wchar_t* description;
    bool programmable;          // writes the Programmable key
    bool hasClassObject;        // served by DllGetClassObject
    bool implementsCategory;    // registered as implementing the codec category
    com::CreateFunction create;  // null while the class is not built
};

inline constexpr int kClassCount = 27;

std::span<const ClassEntry> ClassTable();

// The entry for clsid, or null.
const ClassEntry* FindClass(REFCLSID clsid);

}  // namespace rastelle::module
