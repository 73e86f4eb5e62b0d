#include "kernels/fill_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "test_images.h"

namespace rastelle::kernels {
namespace {

TEST(FillAndCopyPixels, TouchEveryPixelAcrossStridesAndDirectionsAndNothingElse) {
    std::mt19937 random(7);
    for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{2, 11}}) {
        PaddedImage source(w, h, 3), filled(w, h, 2);
        for (auto& pixel : source.memory) pixel = static_cast<std::uint32_t>(random());
        FillPixels(filled.view(), 0x80FF0001u);
        EXPECT_EQ(FirstDifference(Filled(w, h, 0x80FF0001u), filled), "");
        for (int pad : {0, 1})
            for (bool flip : {false, true}) {
                PaddedImage target(w, h, pad);
                const ImageView to = flip ? target.flipped() : target.view();
                CopyPixels(source.view(), to);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) ASSERT_EQ(to.row(y)[x], source.at(x, y));
                EXPECT_TRUE(target.guardsIntact() && filled.guardsIntact());
            }
    }
    // Packed images go in one piece.
    std::vector<std::uint32_t> from(12), to(12, 0);
    for (size_t i = 0; i < from.size(); ++i) from[i] = static_cast<std::uint32_t>(i * 0x01010101u);
    CopyPixels(PackedView(from.data(), 4, 3), PackedView(to.data(), 4, 3));
    EXPECT_EQ(from, to);
}

}  // namespace
}  // namespace rastelle::kernels
