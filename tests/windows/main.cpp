// Runs the DLL's tests in a single-threaded apartment, as a script host does.
#include "com/module_state.h"
#include "com/protected_region.h"

#include "platform/gdiplus_session.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    rastelle::com::SetModuleInstance(GetModuleHandleW(nullptr));
    rastelle::com::InstallFaultHandler();
    // The tests make bitmaps of their own as well as through the DLL.
    int result = 0;
    {
        rastelle::platform::GdiplusSession gdiplus;
        gdiplus.Start();
        result = RUN_ALL_TESTS();
    }
    CoUninitialize();
    return result;
}
