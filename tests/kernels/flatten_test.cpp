#include "kernels/flatten.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace rastelle::kernels {
namespace {

// The flattening written plainly over a packed buffer: one run through memory
// for the background, then the blend of every pixel.
std::vector<std::uint32_t> ReferenceFlatten(std::vector<std::uint32_t> pixels, int width, int height) {
    int red = 255, green = 255, blue = 0;
    const long long count = static_cast<long long>(height - 1) * (width - 1);
    for (long long i = 0; i < count; ++i) {
        if ((pixels[static_cast<size_t>(i)] >> 24) <= 2) {
            if (i + 1 < count) {
                const std::uint32_t next = pixels[static_cast<size_t>(i + 1)];
                red = static_cast<int>((next >> 16) & 0xFF);
                green = static_cast<int>((next >> 8) & 0xFF);
                blue = static_cast<int>(next & 0xFF);
            }
            break;
        }
    }
    for (std::uint32_t& p : pixels) {
        const int a = static_cast<int>(p >> 24);
        const int r = static_cast<int>((p >> 16) & 0xFF);
        const int g = static_cast<int>((p >> 8) & 0xFF);
        const int b = static_cast<int>(p & 0xFF);
        p = (p & 0xFF000000u) | static_cast<std::uint32_t>((r * a + red * (255 - a)) / 255) << 16 |
            static_cast<std::uint32_t>((g * a + green * (255 - a)) / 255) << 8 |
            static_cast<std::uint32_t>((b * a + blue * (255 - a)) / 255);
    }
    return pixels;
}

std::vector<std::uint32_t> Flattened(std::vector<std::uint32_t> pixels, int width, int height) {
    FlattenAgainstBackground(PackedView(pixels.data(), width, height));
    return pixels;
}

TEST(FlattenAgainstBackground, HalfTransparentPixelsBlendWithTheColourAfterTheFirstTransparentOne) {
    // 3 x 3: the run is the first 4 pixels; a transparent pixel at 0 is
    // followed by white, which becomes the background.
    const std::vector<std::uint32_t> image = {
        0x00000000, 0xFFFFFFFF, 0x80FF0000,  //
        0xFF102030, 0x00ABCDEF, 0xFF000000,  //
        0xFF000000, 0xFF000000, 0xFF000000,
    };
    const auto out = Flattened(image, 3, 3);
    EXPECT_EQ(out[2], 0x80FF7F7Fu) << "red at alpha 128 over white";
    EXPECT_EQ(out[0], 0x00FFFFFFu) << "a fully transparent pixel takes the background, alpha stays 0";
    EXPECT_EQ(out[4], 0x00FFFFFFu);
    EXPECT_EQ(out[3], 0xFF102030u) << "opaque pixels are unchanged";
}

TEST(FlattenAgainstBackground, WithoutNearlyTransparentPixelsTheBackgroundIsYellow) {
    const std::vector<std::uint32_t> image = {0x80000000, 0x03FFFFFF, 0xFF00FF00, 0xFF00FF00};
    const auto out = Flattened(image, 2, 2);
    EXPECT_EQ(out[0], 0x807F7F00u) << "black at alpha 128 over yellow";
    EXPECT_EQ(out[1], 0x03FFFF03u) << "alpha 3 is not nearly transparent, and blends too";
}

TEST(FlattenAgainstBackground, OnlyTheShortenedRunIsSearched) {
    // 3 x 3 gives a run of (3 - 1) x (3 - 1) = 4 pixels: indexes 0 to 3.
    std::vector<std::uint32_t> image(9, 0xFF000000);
    image[2] = 0x02000000;  // alpha 2 counts as transparent
    image[3] = 0xFF00FFFF;  // its follower, still inside the run
    EXPECT_EQ(FlattenBackground(PackedView(image.data(), 3, 3)), 0xFF00FFFFu);

    image[2] = 0xFF000000;
    image[3] = 0x00000000;  // last pixel of the run: its follower is outside
    image[4] = 0xFF0000FF;
    EXPECT_EQ(FlattenBackground(PackedView(image.data(), 3, 3)), kDefaultFlattenBackground)
        << "the search stops at the first transparent pixel even without a usable follower";

    image[3] = 0xFF000000;
    image[5] = 0x00000000;  // beyond the run
    image[6] = 0xFF0000FF;
    EXPECT_EQ(FlattenBackground(PackedView(image.data(), 3, 3)), kDefaultFlattenBackground);

    std::vector<std::uint32_t> line = {0x00000000, 0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(FlattenBackground(PackedView(line.data(), 3, 1)), kDefaultFlattenBackground)
        << "a single row gives an empty run";
}

TEST(FlattenAgainstBackground, MatchesTheReferenceAcrossStridesAndDirections) {
    std::mt19937 random(11);
    for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{7, 5}, std::pair{13, 3}, std::pair{1, 9}}) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<std::uint32_t> packed(static_cast<size_t>(w * h));
            for (auto& p : packed) {
                p = static_cast<std::uint32_t>(random());
                // Many opaque and nearly transparent pixels, as real images have.
                const auto pick = random() % 4;
                if (pick == 0) p |= 0xFF000000u;
                if (pick == 1) p &= 0x02FFFFFFu;
            }
            const auto expected = ReferenceFlatten(packed, w, h);

            for (int pad : {0, 3}) {
                for (bool bottomUp : {false, true}) {
                    const int rowPixels = w + pad;
                    std::vector<std::uint32_t> memory(static_cast<size_t>(rowPixels * h), 0xDEADBEEF);
                    ImageView view{memory.data(), w, h, static_cast<std::ptrdiff_t>(rowPixels) * 4};
                    if (bottomUp) {
                        view.pixels = memory.data() + static_cast<size_t>((h - 1) * rowPixels);
                        view.strideBytes = -view.strideBytes;
                    }
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) view.row(y)[x] = packed[static_cast<size_t>(y * w + x)];
                    FlattenAgainstBackground(view);
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            ASSERT_EQ(view.row(y)[x], expected[static_cast<size_t>(y * w + x)])
                                << w << "x" << h << " pad " << pad << " bottom-up " << bottomUp << " at " << x
                                << "," << y;
                    for (int y = 0; y < h; ++y)
                        for (int x = w; x < rowPixels; ++x)
                            ASSERT_EQ(memory[static_cast<size_t>(y * rowPixels + x)], 0xDEADBEEFu) << "padding";
                }
            }
        }
    }
}

}  // namespace
}  // namespace rastelle::kernels
