// Capability probes: a question about the running platform ("does its JPEG
// encoder honour the quality parameter?") answered once per process, lazily
// and thread-safely, and cached. The same DLL then uses the platform's call
// where it is faithful and the system's own fallback where it is not.
//
// For developers: the environment variable RASTELLE_PROBE_ROUTE, read once per
// process, forces every probe's answer: "platform" takes the platform's call
// everywhere, "own" the system's own layer everywhere.
#pragma once

#include <windows.h>

namespace rastelle::platform {

inline constexpr wchar_t kForceRouteVariable[] = L"RASTELLE_PROBE_ROUTE";

class CapabilityProbe {
public:
    using Probe = bool (*)();
    // name is for diagnostics; probe runs at most once, on first Result().
    constexpr CapabilityProbe(const char* name, Probe probe) noexcept : name_(name), probe_(probe) {}

    bool Result() noexcept;
    const char* Name() const noexcept { return name_; }

private:
    static BOOL CALLBACK RunOnce(PINIT_ONCE, PVOID self, PVOID*);

    const char* name_;
    Probe probe_;
    INIT_ONCE once_ = INIT_ONCE_STATIC_INIT;
    bool result_ = false;
};

}  // namespace rastelle::platform
