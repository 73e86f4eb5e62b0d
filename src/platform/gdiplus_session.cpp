#include "platform/gdiplus_session.h"

#include <atomic>

namespace rastelle::platform {

namespace {

std::atomic<long> liveSessions{0};

}  // namespace

bool GdiplusStarted() noexcept { return liveSessions.load(std::memory_order_relaxed) > 0; }

Status GdiplusSession::Start() noexcept {
    if (started_) return Gdiplus::Ok;
    const Gdiplus::GdiplusStartupInput input;
    const Status status = Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    if (status != Gdiplus::Ok) return status;
    started_ = true;
    liveSessions.fetch_add(1);
    return Gdiplus::Ok;
}

GdiplusSession::~GdiplusSession() {
    if (!started_) return;
    liveSessions.fetch_sub(1);
    Gdiplus::GdiplusShutdown(token_);
}

}  // namespace rastelle::platform
