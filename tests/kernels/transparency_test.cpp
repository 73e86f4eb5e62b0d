#include "kernels/transparency.h"

#include <gtest/gtest.h>

#include <random>

#include "reference_kernels.h"
#include "test_images.h"

namespace rastelle::kernels {
namespace {

std::uint32_t Transparentize(std::uint32_t pixel, std::uint32_t color = 0xFFFFFFu, std::uint8_t threshold = 50) {
    return Filtered(Filled(1, 1, pixel), TransparencyKernel, color, threshold).at(0, 0);
}

TEST(TransparencyKernel, AlphaGrowsWithTheDistance) {
    EXPECT_EQ(Transparentize(0xFFFFFFFFu), 0x00FFFFFFu);           // exact match
    EXPECT_EQ(Transparentize(0xFFFAFAFAu), 0x19FAFAFAu);           // dist 5: 25
    EXPECT_EQ(Transparentize(0xFFCECECEu) >> 24, 249u);           // dist 49
    EXPECT_EQ(Transparentize(0xFF6D6D6Du), 0xFF6D6D6Du);           // dist 146: far
    EXPECT_EQ(Transparentize(0xFFCDCDCDu), 0xFFCDCDCDu);           // dist 50: left as it was
    EXPECT_EQ(Transparentize(0x0AD2D2D2u) >> 24, 229u);            // dist 45 replaces alpha 10
    EXPECT_EQ(Transparentize(0x00FFFFFFu), 0x00FFFFFFu);           // transparent match stays 0
    EXPECT_EQ(Transparentize(0x30000000u), 0x30000000u);           // transparent, far: kept
    EXPECT_EQ(Transparentize(0xFFFFFFFFu, 0xFFFFFFu, 0), 0xFFFFFFFFu);  // threshold 0: copy
    // The key colour's alpha byte takes no part; the remainder of /3 is dropped.
    EXPECT_EQ(Transparentize(0xFF102032u, 0x00102030u, 10), 0x00102032u);
}

TEST(TransparencyKernel, MatchesReferenceForEveryThreshold) {
    std::mt19937 random(11);
    for (int threshold = 0; threshold < 256; ++threshold) {
        const int w = 1 + static_cast<int>(random() % 13), h = 1 + static_cast<int>(random() % 4);
        PaddedImage image(w, h, 1);
        FillRandom(image, random);
        const std::uint32_t color = random();
        // Pixels near the colour, so that every threshold is crossed.
        for (auto& p : image.memory)
            if (random() % 2) p = (color & 0xFFFFFF) ^ (random() & 0x1F1F1Fu) ^ (p & 0xFF000000u);
        const auto t = static_cast<std::uint8_t>(threshold);
        const PaddedImage expected = Filtered(image, reference::TransparencyKernel, color, t);
        PaddedImage actual(w, h, 2);
        TransparencyKernel(image.view(), actual.view(), color, t);
        ASSERT_EQ(FirstDifference(expected, actual), "") << "threshold " << threshold;
        ASSERT_TRUE(actual.guardsIntact());
        // In place gives the same.
        TransparencyKernel(image.view(), image.view(), color, t);
        ASSERT_EQ(FirstDifference(expected, image), "");
    }
}

}  // namespace
}  // namespace rastelle::kernels
