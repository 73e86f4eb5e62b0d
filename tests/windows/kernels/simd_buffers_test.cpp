// Buffers of vector registers in the kernels, as built for Windows: the 32-bit
// C runtime aligns its heap blocks to 8 bytes only, so a register-typed
// container that relied on the default allocator faults there on aligned
// moves, depending on where each block lands.
#include "test_support.h"

#include "kernels/aligned_buffer.h"
#include "kernels/blur.h"
#include "kernels/simd.h"

#include <cstdint>
#include <vector>

namespace rastelle::test {
namespace {

using namespace rastelle::kernels;

TEST(SimdBuffers, AlignedVectorsAreAlignedForEverySize) {
    // Allocate and keep a spread of sizes so that blocks land at many heap
    // positions.
    std::vector<AlignedVector<Slot<__m128i>>> kept;
    for (std::size_t n = 1; n <= 257; n += 3) {
        kept.emplace_back(n);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(kept.back().data()) % kVectorAlignment, 0u) << n;
        std::vector<char> interleaved(n * 8 + 4);  // moves the heap's next block along
        (void)interleaved;
    }
}

// The running and direct blur passes keep a row of registers per column:
// widths and radii across both paths, each image blurred twice (a glow with an
// offset as well), must all finish; before the buffers were aligned, the
// 32-bit build faulted on some of them.
TEST(SimdBuffers, BlurPassesRunAtEveryWidth) {
    std::vector<char> padding;
    for (int w = 1; w <= 48; ++w) {
        padding.resize(static_cast<std::size_t>(w) * 12 + 4);  // varies where the next blocks land
        const int h = 5 + w % 7;
        std::vector<std::uint32_t> in(static_cast<std::size_t>(w) * h), out;
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<std::uint32_t>(i * 2654435761u) | (i % 3 == 0 ? 0xFF000000u : 0u);
        const ConstImageView src{in.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4};
        for (double radius : {1.0, 2.5, 3.0, 7.25}) {
            out = in;
            FastBlurImage(src, ImageView{out.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4}, radius);
            out = in;
            GlowImage(src, ImageView{out.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4}, 0x80FF2010u, 2.0,
                      radius);
        }
    }
    SUCCEED();
}

}  // namespace
}  // namespace rastelle::test
