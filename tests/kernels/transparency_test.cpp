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
    // Against white at 50: an exact match; distance 5 gives 25, 49 gives 249, 146
    // and 50 are left as they were; 45 replaces alpha 10; a transparent match
    // stays 0, a transparent far one is kept; threshold 0 copies. The key
    // colour's alpha byte takes no part; the remainder of /3 is dropped.
    EXPECT_EQ((std::vector<std::uint32_t>{Transparentize(0xFFFFFFFFu), Transparentize(0xFFFAFAFAu), Transparentize(0xFFCECECEu),
                                          Transparentize(0xFF6D6D6Du), Transparentize(0xFFCDCDCDu), Transparentize(0x0AD2D2D2u),
                                          Transparentize(0x00FFFFFFu), Transparentize(0x30000000u), Transparentize(0xFFFFFFFFu, 0xFFFFFFu, 0),
                                          Transparentize(0xFF102032u, 0x00102030u, 10)}),
              (std::vector<std::uint32_t>{0x00FFFFFFu, 0x19FAFAFAu, 0xF9CECECEu, 0xFF6D6D6Du, 0xFFCDCDCDu, 0xE5D2D2D2u, 0x00FFFFFFu,
                                          0x30000000u, 0xFFFFFFFFu, 0x00102032u}));
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
        TransparencyKernel(image.view(), image.view(), color, t);  // in place gives the same
        ASSERT_EQ(std::make_tuple(FirstDifference(expected, actual), FirstDifference(expected, image), actual.guardsIntact()),
                  std::make_tuple("", "", true)) << "threshold " << threshold;
    }
}

}  // namespace
}  // namespace rastelle::kernels
