#include "platform/capability_probe.h"

namespace rastelle::platform {

BOOL CALLBACK CapabilityProbe::RunOnce(PINIT_ONCE, PVOID self, PVOID*) {
    auto* probe = static_cast<CapabilityProbe*>(self);
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
