#include "kernels/combine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "reference_kernels.h"
#include "test_images.h"

namespace rastelle::kernels {
namespace {

constexpr CombineMode kModes[] = {CombineMode::AlphaBlend, CombineMode::Xor, CombineMode::And, CombineMode::Or,
                                  CombineMode::Dissolve};

TEST(CombineClipLayer, OverlapIsTheIntersectionOfTheRectangles) {
    for (int sw = 0; sw <= 6; ++sw)
        for (int dw = 0; dw <= 6; ++dw)
            for (int ox = -9; ox <= 9; ++ox) {
                const LayerOverlap o = ClipLayer(sw, 1, dw, 1, ox, 0);
                const int from = std::max(ox, 0), to = std::min(ox + sw, dw);
                ASSERT_EQ(o.width, std::max(0, to - from)) << sw << " at " << ox << " on " << dw;
                ASSERT_TRUE(o.width == 0 || (o.backgroundX == from && o.sourceX == from - ox)) << sw << " at " << ox;
                const LayerOverlap t = ClipLayer(1, sw, 1, dw, 0, ox);  // the same along y
                ASSERT_TRUE(t.height == o.width && t.sourceY == o.sourceX && t.backgroundY == o.backgroundX);
            }
}

TEST(CombineArithmetic, GeneratorFollowsTheRuntimeSequence) {
    // 17 * 214013 + 2531011 = 6169232 = 94 * 65536 + 8848.
    const int expected[] = {94, 26602, 30017, 18297, 20363};
    std::uint32_t state = 17;
    for (int n : expected) EXPECT_EQ(reference::RandomNumber(state = reference::NextRandomState(state)), n);
}

TEST(CombineLayer, OpacityIsClampedAndAnUnknownModeChangesNothing) {
    for (auto [mode, opacity, expected] : {std::tuple{CombineMode::Or, 300, 0xFFFEFEFEu}, {CombineMode::Or, -4, 0xFF000000u},
                                           {static_cast<CombineMode>(7), 255, 0xFF000000u}}) {
        PaddedImage background = Filled(1, 1, 0xFF000000u);
        CombineLayer(mode, Filled(1, 1, 0xFFFFFFFFu).view(), background.view(), opacity);
        EXPECT_EQ(background.at(0, 0), expected) << "mode " << static_cast<int>(mode) << " opacity " << opacity;
    }
}

// Every weight o * a with every difference |s - d|, both ways: the blue byte
// rises from 0 by x, the green falls from 255 by x, the alpha rises by a.
TEST(CombineLayer, EveryWeightAndDifferenceMatchesReference) {
    PaddedImage layer(256, 256), background(256, 256);
    for (int a = 0; a < 256; ++a)
        for (int x = 0; x < 256; ++x) {
            layer.at(x, a) = static_cast<std::uint32_t>(a << 24 | x << 16 | (255 - x) << 8 | x);
            background.at(x, a) = 0x0000FF00u;
        }
    for (CombineMode mode : {CombineMode::AlphaBlend, CombineMode::Xor})
        for (int o = 0; o < 256; ++o) {
            PaddedImage expected = CopyOf(background, 0);
            reference::CombineLayer(mode, layer.view(), expected.view(), o);
            AtEverySimdLevel([&] {
                PaddedImage actual = CopyOf(background, 0);
                CombineLayer(mode, layer.view(), actual.view(), o);
                ASSERT_EQ(FirstDifference(expected, actual), "") << "mode " << static_cast<int>(mode) << " opacity " << o;
            });
            ASSERT_FALSE(HasFailure());
        }
}

TEST(CombineLayer, RandomImagesMatchReference) {
    std::mt19937 random(7);
    std::vector<std::array<int, 3>> sizes;  // width, height, padding
    for (int w = 1; w <= 17; ++w) sizes.push_back({w, 1 + w % 5, w % 3});
    sizes.insert(sizes.end(), {{33, 4, 1}, {70, 2, 2}, {1021, 13, 5}});
    for (auto [w, h, pad] : sizes)
        for (CombineMode mode : kModes)
            for (int o : {0, 1, 128, 254, 255, static_cast<int>(random() % 256)}) {
                PaddedImage layer(w, h, pad), background(w, h);
                // Half the cases mostly opaque and transparent blocks, where the
                // kernels take their shortcuts.
                if (random() % 2) FillRandom(layer, random);
                else FillOpaqueAndTransparent(layer, random);
                FillRandom(background, random);
                PaddedImage expected = CopyOf(background, 0), expectedFlipped = CopyOf(background, 0);
                reference::CombineLayer(mode, layer.view(), expected.view(), o);
                reference::CombineLayer(mode, layer.view(), expectedFlipped.flipped(), o);
                AtEverySimdLevel([&] {
                    PaddedImage actual = CopyOf(background, 3), flipped = CopyOf(background, 1);
                    CombineLayer(mode, layer.view(), actual.view(), o);
                    CombineLayer(mode, layer.view(), flipped.flipped(), o);  // bottom-up rows
                    ASSERT_EQ(std::make_tuple(FirstDifference(expected, actual), FirstDifference(expectedFlipped, flipped), actual.guardsIntact()),
                              std::make_tuple("", "", true)) << w << "x" << h << " mode " << static_cast<int>(mode) << " opacity " << o;
                });
            }
}

}  // namespace
}  // namespace rastelle::kernels
