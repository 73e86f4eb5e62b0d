// Pixel memory for images. Large blocks come from, and go back to, a small
// cache of the module that made them (the DLL's, or the effect component's
// for the images its effects make), so that a new image takes the pages of
// one just freed instead of faulting in fresh ones (a fresh 48 MB block costs
// several times its first write). Each cache is bounded in bytes and in
// blocks, is shared by all threads, and gives its blocks back to the system
// once they have been idle for a few seconds.
#pragma once

#include <chrono>
#include <cstddef>

namespace rastelle {

class PixelMemory {
public:
    enum class Contents { Zeroed, Undefined };

    PixelMemory() noexcept = default;
    PixelMemory(PixelMemory&& other) noexcept;
    PixelMemory& operator=(PixelMemory&& other) noexcept;
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;
    ~PixelMemory();

    // A 64-byte aligned block of at least bytes; empty when no memory can be
    // had.
    static PixelMemory Acquire(std::size_t bytes, Contents contents = Contents::Zeroed) noexcept;

    std::byte* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }

private:
    // Where a large block goes when it is freed: the cache of the module that
    // made it.
    using ReturnHome = void (*)(std::byte* data, std::size_t size) noexcept;

    PixelMemory(std::byte* data, std::size_t size, ReturnHome home = nullptr) noexcept
        : data_(data), size_(size), home_(home) {}
    void Release() noexcept;

    std::byte* data_ = nullptr;
    std::size_t size_ = 0;  // the block's whole size
    ReturnHome home_ = nullptr;
};

// What the cache holds now.
struct PixelMemoryCacheState {
    std::size_t blocks = 0;
    std::size_t bytes = 0;
};
PixelMemoryCacheState PixelMemoryCache() noexcept;

// The cache's bounds: blocks from kCachedBlockMinimum bytes up are cached,
// at most kCachedBlocks of them and kCachedBytes in all; a block idle for
// kIdleRelease goes back to the system.
inline constexpr std::size_t kCachedBlockMinimum = std::size_t{1} << 20;
inline constexpr std::size_t kCachedBlocks = 8;
inline constexpr std::size_t kCachedBytes = (sizeof(void*) == 8 ? std::size_t{512} : std::size_t{128}) << 20;
inline constexpr std::chrono::milliseconds kIdleRelease{3000};

}  // namespace rastelle
