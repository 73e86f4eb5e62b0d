#include "platform/capability_probe.h"

#include "platform/gdiplus_session.h"

#include <cwchar>

namespace rastelle::platform {

namespace {

enum class ForcedRoute { None, Platform, Own };

ForcedRoute ReadForcedRoute() noexcept {
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(kForceRouteVariable, value, 16);
    if (length == 0 || length >= 16) return ForcedRoute::None;
    if (_wcsicmp(value, L"platform") == 0) return ForcedRoute::Platform;
    if (_wcsicmp(value, L"own") == 0) return ForcedRoute::Own;
    return ForcedRoute::None;
}

// Read once per process: every probe of the process answers alike.
ForcedRoute ForcedRouteOfProcess() noexcept {
    static const ForcedRoute route = ReadForcedRoute();
    return route;
}

}  // namespace

BOOL CALLBACK CapabilityProbe::RunOnce(PINIT_ONCE, PVOID self, PVOID*) {
    auto* probe = static_cast<CapabilityProbe*>(self);
    switch (ForcedRouteOfProcess()) {
    case ForcedRoute::Platform: probe->result_ = true; return TRUE;
    case ForcedRoute::Own: probe->result_ = false; return TRUE;
    case ForcedRoute::None: break;
    }
    // The probe's calls need GDI+ whoever asked: a probe run without a
    // start-up would cache a wrong answer for the life of the process.
    GdiplusSession gdiplus;
    gdiplus.Start();
    try {
        probe->result_ = probe->probe_();
    } catch (...) {
        probe->result_ = false;
    }
    return TRUE;
}

bool CapabilityProbe::Result() noexcept {
    InitOnceExecuteOnce(&once_, &RunOnce, this, nullptr);
    return result_;
}

}  // namespace rastelle::platform
