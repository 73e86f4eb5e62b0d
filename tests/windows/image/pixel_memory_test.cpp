// The pixel memory of images and its block cache: reuse, zeroing, bounds,
// many threads at once, and the return of idle blocks to the system.
#include "test_support.h"

#include "image/pixel_memory.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

namespace rastelle::test {
namespace {

TEST(PixelMemory, ALargeBlockIsReusedZeroedAndSmallOnesAreAligned) {
    const std::size_t bytes = 5u << 20;
    std::byte* first = nullptr;
    {
        PixelMemory block = PixelMemory::Acquire(bytes);
        ASSERT_NE(block.data(), nullptr);
        first = block.data();
        std::memset(block.data(), 0xAB, bytes);
    }
    PixelMemory again = PixelMemory::Acquire(bytes - 1000);
    EXPECT_EQ(again.data(), first) << "the block just freed is taken again";
    for (std::size_t i = 0; i < again.size(); i += 4093) ASSERT_EQ(again.data()[i], std::byte{0}) << i;
    // A much smaller request does not take a block twice its size.
    PixelMemory other = PixelMemory::Acquire(bytes);
    again = {};
    PixelMemory small = PixelMemory::Acquire(bytes / 3);
    EXPECT_NE(small.data(), first);
    PixelMemory tiny = PixelMemory::Acquire(100);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(tiny.data()) % 64, 0u);
    EXPECT_EQ(tiny.data()[99], std::byte{0});
}

TEST(PixelMemory, ManyThreadsNeverShareABlockAndTheCacheStaysInItsBounds) {
    std::atomic<int> overlaps{0};
    std::atomic<std::size_t> largestCache{0}, mostBlocks{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            for (int i = 0; i < 150; ++i) {
                const std::size_t bytes = (std::size_t{1} << 20) + random() % (std::size_t{24} << 20);
                PixelMemory block = PixelMemory::Acquire(bytes, PixelMemory::Contents::Undefined);
                if (!block.data()) continue;
                // Each thread's mark at both ends: another thread writing the
                // same block would change it.
                const auto mark = static_cast<std::byte>(t + 1);
                block.data()[0] = mark, block.data()[bytes - 1] = mark;
                std::this_thread::yield();
                if (block.data()[0] != mark || block.data()[bytes - 1] != mark) ++overlaps;
                const PixelMemoryCacheState state = PixelMemoryCache();
                largestCache = std::max(largestCache.load(), state.bytes);
                mostBlocks = std::max(mostBlocks.load(), state.blocks);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_LE(largestCache.load(), kCachedBytes);
    EXPECT_LE(mostBlocks.load(), kCachedBlocks);
}

TEST(PixelMemory, IdleBlocksGoBackToTheSystem) {
    { PixelMemory block = PixelMemory::Acquire(3u << 20); }
    EXPECT_GT(PixelMemoryCache().blocks, 0u);
    const auto deadline = std::chrono::steady_clock::now() + kIdleRelease * 3;
    while (PixelMemoryCache().blocks > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(PixelMemoryCache().blocks, 0u);
    EXPECT_EQ(PixelMemoryCache().bytes, 0u);
}

}  // namespace
}  // namespace rastelle::test
