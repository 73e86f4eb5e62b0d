#include "kernels/flatten.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "test_images.h"

namespace rastelle::kernels {
namespace {

// The flattening written plainly over a packed buffer: one run through memory
// for the background, then the blend of every pixel.
std::vector<std::uint32_t> ReferenceFlatten(std::vector<std::uint32_t> pixels, int width, int height) {
    int background[3] = {0, 255, 255};  // blue, green, red: yellow
    const long long count = static_cast<long long>(height - 1) * (width - 1);
    long long i = 0;
    while (i < count && (pixels[static_cast<size_t>(i)] >> 24) > 2) ++i;
    for (int c = 0; i + 1 < count && c < 3; ++c) background[c] = static_cast<int>(pixels[static_cast<size_t>(i + 1)] >> (8 * c) & 0xFF);
    for (std::uint32_t& p : pixels) {
        const int a = static_cast<int>(p >> 24);
        std::uint32_t out = p & 0xFF000000u;
        for (int c = 0; c < 3; ++c)
            out |= static_cast<std::uint32_t>((static_cast<int>(p >> (8 * c) & 0xFF) * a + background[c] * (255 - a)) / 255)
                   << (8 * c);
        p = out;
    }
    return pixels;
}

TEST(FlattenAgainstBackground, MatchesTheReferenceAcrossSizesStridesAndDirections) {
    std::mt19937 random(11);
    for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{7, 5}, std::pair{13, 3}, std::pair{1, 9}}) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<std::uint32_t> packed(static_cast<size_t>(w * h));
            for (auto& p : packed) {
                const auto pick = random() % 4;  // many opaque and nearly transparent pixels
                p = static_cast<std::uint32_t>(random()) | (pick == 0 ? 0xFF000000u : 0u);
                if (pick == 1) p &= 0x02FFFFFFu;
            }
            const auto expected = ReferenceFlatten(packed, w, h);
            for (bool bottomUp : {false, true}) {
                PaddedImage image(w, h, 3);  // padded rows, whose padding must stay
                const ImageView view = bottomUp ? image.flipped() : image.view();
                for (int i = 0; i < w * h; ++i) view.row(i / w)[i % w] = packed[static_cast<size_t>(i)];
                FlattenAgainstBackground(view);
                for (int i = 0; i < w * h; ++i) ASSERT_EQ(view.row(i / w)[i % w], expected[static_cast<size_t>(i)]);
                ASSERT_TRUE(image.guardsIntact());
            }
        }
    }
}

}  // namespace
}  // namespace rastelle::kernels
