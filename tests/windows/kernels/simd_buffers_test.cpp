// Buffers of vector registers in the kernels, as built for Windows: the 32-bit
// C runtime aligns its heap blocks to 8 bytes only, so a register-typed
// container that relied on the default allocator faults there on aligned
// moves, depending on where each block lands.
#include "test_support.h"

#include "kernels/blur.h"

namespace rastelle::test {
namespace {

using namespace rastelle::kernels;

// The running and direct blur passes keep a row of registers per column:
// widths and radii across both paths, each image blurred and glowed, with
// blocks of varying size in between, must all finish.
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
            GlowImage(src, ImageView{out.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4}, 0x80FF2010u, 2.0, radius);
        }
    }
}

}  // namespace
}  // namespace rastelle::test
