// Runs the DLL's tests in a single-threaded apartment, as a script host does.
#include "com/module_state.h"
#include "com/protected_region.h"

#include "platform/gdiplus.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    rastelle::com::SetModuleInstance(GetModuleHandleW(nullptr));
    rastelle::com::InstallFaultHandler();
    // The tests make bitmaps of their own as well as through the DLL.
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);
    const int result = RUN_ALL_TESTS();
    Gdiplus::GdiplusShutdown(gdiplus);
    CoUninitialize();
    return result;
}
