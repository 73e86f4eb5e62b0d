// Runs the DLL's tests in a single-threaded apartment, as a script host does.
#include "com/module_state.h"
#include "com/protected_region.h"

#include <gtest/gtest.h>
#include <objbase.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    rastelle::com::SetModuleInstance(GetModuleHandleW(nullptr));
    rastelle::com::InstallFaultHandler();
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
