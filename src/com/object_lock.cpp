#include "com/object_lock.h"

namespace rastelle::com {

namespace {

// Every lock's waiters sleep on one condition: contention is rare, and an
// object needs no kernel object of its own.
SRWLOCK waitLock = SRWLOCK_INIT;
CONDITION_VARIABLE released = CONDITION_VARIABLE_INIT;

constexpr int kSpins = 200;
// An owner may read the waiter count just before a new waiter's increment
// shows, and so not wake it: waiters look again after this many milliseconds.
constexpr DWORD kRecheckMilliseconds = 2;

}  // namespace

void ObjectLock::WaitAndTake(DWORD self) noexcept {
    const auto tryTake = [&] {
        DWORD free = 0;
        return owner_.load(std::memory_order_relaxed) == 0 &&
               owner_.compare_exchange_strong(free, self, std::memory_order_acquire);
    };
    for (int spin = 0; spin < kSpins; ++spin) {
        YieldProcessor();
        if (tryTake()) return;
    }
    waiters_.fetch_add(1);
    while (!tryTake()) {
        AcquireSRWLockExclusive(&waitLock);
        if (owner_.load(std::memory_order_relaxed) != 0)
            SleepConditionVariableSRW(&released, &waitLock, kRecheckMilliseconds, 0);
        ReleaseSRWLockExclusive(&waitLock);
    }
    waiters_.fetch_sub(1);
}

void ObjectLock::WakeWaiters() noexcept {
    AcquireSRWLockExclusive(&waitLock);
    ReleaseSRWLockExclusive(&waitLock);
    WakeAllConditionVariable(&released);
}

CallOut::CallOut(ObjectLock& lock) noexcept : lock_(lock) {
    if (!lock_.HeldByThisThread()) return;
    depth_ = lock_.depth_;
    lock_.depth_ = 1;
    lock_.Unlock();
}

CallOut::~CallOut() {
    if (depth_ == 0) return;
    lock_.Lock();
    lock_.depth_ = depth_;
}

}  // namespace rastelle::com
