// The lock of one object. Every class is free-threaded, so a host may call one
// object (kept in ASP's Application scope, say) from many threads at once;
// each object serialises its own calls with this lock. The thread that holds
// it may take it again: a transform or a drawing call made while the lock is
// held may call back into the same object. Locks are taken in one order:
// collection, then item, then raster object.
//
// Taking and releasing it uncontended is one interlocked compare-exchange and
// one store; a thread that finds it taken spins briefly, then waits.
#pragma once

#include <windows.h>
#ifdef _MSC_VER
#include <intrin.h>
#endif

#include <atomic>

namespace rastelle::com {

class ObjectLock {
public:
    ObjectLock() noexcept = default;
    ObjectLock(const ObjectLock&) = delete;
    ObjectLock& operator=(const ObjectLock&) = delete;

    void Lock() noexcept {
        const DWORD self = CurrentThreadId();
        if (owner_.load(std::memory_order_relaxed) == self) {
            ++depth_;
            return;
        }
        DWORD free = 0;
        if (!owner_.compare_exchange_strong(free, self, std::memory_order_acquire)) WaitAndTake(self);
        depth_ = 1;
    }

    void Unlock() noexcept {
        if (--depth_ != 0) return;
        owner_.store(0, std::memory_order_release);
        if (waiters_.load(std::memory_order_relaxed) != 0) WakeWaiters();
    }

    bool HeldByThisThread() const noexcept { return owner_.load(std::memory_order_relaxed) == CurrentThreadId(); }

    // Holds the lock for a scope.
    class Hold {
    public:
        explicit Hold(ObjectLock& lock) noexcept : lock_(lock) { lock_.Lock(); }
        ~Hold() { lock_.Unlock(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        ObjectLock& lock_;
    };

private:
    friend class CallOut;

    // GetCurrentThreadId without the call: the id is read from the thread's
    // environment block, where the function reads it.
    static DWORD CurrentThreadId() noexcept {
#if defined(_MSC_VER) && defined(_M_X64)
        return static_cast<DWORD>(__readgsqword(0x48));
#elif defined(_MSC_VER) && defined(_M_IX86)
        return __readfsdword(0x24);
#elif defined(__GNUC__) && defined(__x86_64__)
        DWORD id;
        __asm__("movl %%gs:0x48, %0" : "=r"(id));
        return id;
#elif defined(__GNUC__) && defined(__i386__)
        DWORD id;
        __asm__("movl %%fs:0x24, %0" : "=r"(id));
        return id;
#else
        return GetCurrentThreadId();
#endif
    }

    void WaitAndTake(DWORD self) noexcept;
    void WakeWaiters() noexcept;

    std::atomic<DWORD> owner_{0};  // the thread holding the lock, 0 for none
    std::atomic<LONG> waiters_{0};
    unsigned depth_ = 0;  // written only by the owner
};

// While the system calls an object of the client's (a script's transform), it
// gives up its object's lock, and takes it back afterwards to the same depth:
// a client object answering on another thread may then call back into the
// object without a deadlock. The system holds no other lock at such a call.
class CallOut {
public:
    explicit CallOut(ObjectLock& lock) noexcept;
    ~CallOut();
    CallOut(const CallOut&) = delete;
    CallOut& operator=(const CallOut&) = delete;

private:
    ObjectLock& lock_;
    unsigned depth_ = 0;  // 0 when the lock was not held here
};

}  // namespace rastelle::com
