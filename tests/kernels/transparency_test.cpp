#include "kernels/transparency.h"

#include <gtest/gtest.h>

#include <random>

#include "reference_kernels.h"
#include "test_images.h"

namespace rastelle::kernels {
namespace {

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
