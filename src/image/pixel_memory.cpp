#include "image/pixel_memory.h"

#include "com/module_state.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace rastelle {

namespace {

constexpr std::size_t kAlignment = 64;
constexpr std::size_t kGranularity = std::size_t{64} << 10;  // what VirtualAlloc hands out

struct CachedBlock {
    std::byte* data;
    std::size_t size;
    ULONGLONG releasedAt;  // GetTickCount64
};

// The cache. The idle timer holds a reference to this module while it is
// armed, so that the module stays loaded until its last callback returns.
struct Cache {
    SRWLOCK lock = SRWLOCK_INIT;
    CachedBlock blocks[kCachedBlocks] = {};
    std::size_t count = 0;
    std::size_t bytes = 0;
    PTP_TIMER timer = nullptr;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

class Exclusive {
public:
    explicit Exclusive(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Exclusive() { ReleaseSRWLockExclusive(&lock_); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

private:
    SRWLOCK& lock_;
};

void RemoveAt(Cache& cache, std::size_t index) {
    cache.bytes -= cache.blocks[index].size;
    cache.blocks[index] = cache.blocks[--cache.count];
}

// Blocks idle longer than the limit go back to the system. Called under the
// lock; the blocks are returned to the caller to free outside it.
std::size_t TakeIdle(Cache& cache, ULONGLONG now, CachedBlock (&idle)[kCachedBlocks]) {
    std::size_t taken = 0;
    for (std::size_t i = 0; i < cache.count;) {
        if (now - cache.blocks[i].releasedAt >= static_cast<ULONGLONG>(kIdleRelease.count())) {
            idle[taken++] = cache.blocks[i];
            RemoveAt(cache, i);
        } else {
            ++i;
        }
    }
    return taken;
}

void FreeBlocks(const CachedBlock* blocks, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) VirtualFree(blocks[i].data, 0, MEM_RELEASE);
}

void CALLBACK OnIdleTimer(PTP_CALLBACK_INSTANCE instance, void*, PTP_TIMER timer) {
    Cache& cache = TheCache();
    CachedBlock idle[kCachedBlocks];
    std::size_t taken = 0;
    bool last = false;
    {
        const Exclusive hold(cache.lock);
        taken = TakeIdle(cache, GetTickCount64(), idle);
        if (cache.count == 0) {
            cache.timer = nullptr;
            last = true;
        } else {
            ULONGLONG oldest = cache.blocks[0].releasedAt;
            for (std::size_t i = 1; i < cache.count; ++i) oldest = std::min(oldest, cache.blocks[i].releasedAt);
            const ULONGLONG elapsed = GetTickCount64() - oldest;
            const ULONGLONG wait = static_cast<ULONGLONG>(kIdleRelease.count()) - std::min<ULONGLONG>(
                                       elapsed, static_cast<ULONGLONG>(kIdleRelease.count()));
            // Relative due times are negative, in 100 ns units.
            LARGE_INTEGER due;
            due.QuadPart = -static_cast<LONGLONG>(wait + 50) * 10000;
            FILETIME dueTime{due.LowPart, static_cast<DWORD>(due.HighPart)};
            SetThreadpoolTimer(timer, &dueTime, 0, 100);
        }
    }
    FreeBlocks(idle, taken);
    if (last) {
        // The timer and the module reference it held go once this returns.
        CloseThreadpoolTimer(timer);
        HMODULE self = nullptr;
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCWSTR>(&OnIdleTimer), &self))
            FreeLibraryWhenCallbackReturns(instance, self);
    }
}

// Arms the idle timer if it is not running. Called under the lock.
void ArmIdleTimer(Cache& cache) {
    if (cache.timer) return;
    HMODULE self = nullptr;
    // A reference for the timer's life, let go by its last callback.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&OnIdleTimer), &self))
        return;
    PTP_TIMER timer = CreateThreadpoolTimer(&OnIdleTimer, nullptr, nullptr);
    if (!timer) {
        FreeLibrary(self);
        return;
    }
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(kIdleRelease.count() + 50) * 10000;
    FILETIME dueTime{due.LowPart, static_cast<DWORD>(due.HighPart)};
    SetThreadpoolTimer(timer, &dueTime, 0, 100);
    cache.timer = timer;
}

std::size_t RoundUp(std::size_t bytes, std::size_t unit) { return (bytes + unit - 1) / unit * unit; }

// Takes a large block back into this module's cache (or gives it to the
// system), wherever it is freed: an image the effect component makes is
// freed by the raster object that adopts it. A block out of the cache holds
// a lock on the module that made it, so the module stays loaded until the
// block comes home.
void ReturnToCache(std::byte* data, std::size_t size) noexcept {
    CachedBlock evicted[kCachedBlocks + 1];
    std::size_t evictedCount = 0;
    Cache& cache = TheCache();
    {
        const Exclusive hold(cache.lock);
        if (size <= kCachedBytes / 2) {
            // Room is made by letting the oldest blocks go.
            while (cache.count > 0 && (cache.count == kCachedBlocks || cache.bytes + size > kCachedBytes)) {
                std::size_t oldest = 0;
                for (std::size_t i = 1; i < cache.count; ++i)
                    if (cache.blocks[i].releasedAt < cache.blocks[oldest].releasedAt) oldest = i;
                evicted[evictedCount++] = cache.blocks[oldest];
                RemoveAt(cache, oldest);
            }
            cache.blocks[cache.count++] = {data, size, GetTickCount64()};
            cache.bytes += size;
            ArmIdleTimer(cache);
            data = nullptr;
        }
    }
    FreeBlocks(evicted, evictedCount);
    if (data) VirtualFree(data, 0, MEM_RELEASE);
    com::UnlockModule();
}


}  // namespace

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      home_(std::exchange(other.home_, nullptr)) {}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        home_ = std::exchange(other.home_, nullptr);
    }
    return *this;
}

PixelMemory::~PixelMemory() { Release(); }

PixelMemory PixelMemory::Acquire(std::size_t bytes, Contents contents) noexcept {
    if (bytes == 0) bytes = 1;
    if (bytes < kCachedBlockMinimum) {
        const std::size_t size = RoundUp(bytes, kAlignment);
        auto* data = static_cast<std::byte*>(::operator new(size, std::align_val_t(kAlignment), std::nothrow));
        if (data && contents == Contents::Zeroed) std::memset(data, 0, size);
        return data ? PixelMemory(data, size) : PixelMemory();
    }
    if (bytes > static_cast<std::size_t>(-1) - kGranularity) return {};
    const std::size_t size = RoundUp(bytes, kGranularity);
    Cache& cache = TheCache();
    {
        // The smallest cached block that fits and wastes at most half of itself.
        const Exclusive hold(cache.lock);
        std::size_t best = cache.count;
        for (std::size_t i = 0; i < cache.count; ++i) {
            const std::size_t candidate = cache.blocks[i].size;
            if (candidate >= size && candidate / 2 <= size && (best == cache.count || candidate < cache.blocks[best].size))
                best = i;
        }
        if (best < cache.count) {
            const CachedBlock block = cache.blocks[best];
            RemoveAt(cache, best);
            if (contents == Contents::Zeroed) std::memset(block.data, 0, block.size);
            com::LockModule();
            return PixelMemory(block.data, block.size, &ReturnToCache);
        }
    }
    // Fresh pages read as zeros.
    auto* data = static_cast<std::byte*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!data) return {};
    com::LockModule();
    return PixelMemory(data, size, &ReturnToCache);
}

void PixelMemory::Release() noexcept {
    if (!data_) return;
    std::byte* data = std::exchange(data_, nullptr);
    const std::size_t size = std::exchange(size_, 0);
    if (size < kCachedBlockMinimum) {
        ::operator delete(data, std::align_val_t(kAlignment));
        return;
    }
    std::exchange(home_, nullptr)(data, size);
}

PixelMemoryCacheState PixelMemoryCache() noexcept {
    Cache& cache = TheCache();
    const Exclusive hold(cache.lock);
    return {cache.count, cache.bytes};
}

}  // namespace rastelle
