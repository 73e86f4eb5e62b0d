#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effects_reference.h"
#include "effects_test_support.h"
#include "kernels/effects/effects.h"

namespace rastelle::kernels::effects {
namespace {

namespace ref = reference;

TEST(FilterEffects, MatchTheirReferences) {
    Sweep(300, [](std::mt19937& r) {
        const int s = RandomArgument(r);
        return BoundKernels{[s](auto& i, auto& o) { Sharpen(i, o, s); }, [s](auto& i, auto& o) { ref::Sharpen(i, o, s); },
                            Describe({s})};
    });
    Sweep(300, [](std::mt19937& r) {
        const int t = RandomArgument(r);
        return BoundKernels{[t](auto& i, auto& o) { Emboss(i, o, t); }, [t](auto& i, auto& o) { ref::Emboss(i, o, t); },
                            Describe({t})};
    });
    Sweep(300, [](std::mt19937& r) {
        const int t = RandomArgument(r);
        return BoundKernels{[t](auto& i, auto& o) { EdgeDetect(i, o, t); },
                            [t](auto& i, auto& o) { ref::EdgeDetect(i, o, t); }, Describe({t})};
    });
    Sweep(300, [](std::mt19937&) { return BoundKernels{Antialias, ref::Antialias, "antialias"}; });
    Sweep(300, [](std::mt19937& r) {
        const int cw = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 6), ch = RandomArgument(r);
        return BoundKernels{[=](auto& i, auto& o) { Mosaic(i, o, cw, ch); }, [=](auto& i, auto& o) { ref::Mosaic(i, o, cw, ch); },
                            Describe({cw, ch})};
    });
    Sweep(300, [](std::mt19937& r) {
        static const float kShifts[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                        -std::numeric_limits<float>::infinity(), -3.5f, 0.0f, 1.49f, 2.5f, 7.7f, 63.6f, 1e30f};
        const int a = RandomArgument(r);
        const float s = kShifts[r() % 10];
        return BoundKernels{[=](auto& i, auto& o) { Texturize(i, o, a, s); },
                            [=](auto& i, auto& o) { ref::Texturize(i, o, a, s); }, Describe({a, static_cast<long long>(s * 10)})};
    });
}

TEST(FilterEffects, ConstantImagesAsDocumented) {
    // Unsharp mask, colour emboss, smoothing and mosaic leave a flat image;
    // the relief embosses give mid-grey and the edge kernels black, alpha kept.
    const PaddedImage flat = Filled(7, 5, 0x9C3A7F21u);
    for (const int strength : {0, 16, 1024})
        EXPECT_EQ(FirstDifference(flat, Apply(flat, [=](auto& i, auto& o) { Sharpen(i, o, strength); })), "");
    EXPECT_EQ(FirstDifference(flat, Apply(flat, [](auto& i, auto& o) { Emboss(i, o, 1); })), "");
    EXPECT_EQ(FirstDifference(flat, Apply(flat, Antialias)), "");
    EXPECT_EQ(FirstDifference(flat, Apply(flat, [](auto& i, auto& o) { Mosaic(i, o, 3, 2); })), "");
    for (const int type : {0, 2, 3}) EXPECT_EQ(Apply(flat, [=](auto& i, auto& o) { Emboss(i, o, type); }).at(3, 2), 0x9C808080u);
    for (const int type : {0, 1, 2, 3})
        EXPECT_EQ(Apply(flat, [=](auto& i, auto& o) { EdgeDetect(i, o, type); }).at(6, 4), 0x9C000000u);
}

TEST(FilterEffects, SharpenOvershootsAroundADot) {
    // A 200 dot in a 100 field: the 5 x 5 binomial blur is 114 at the dot
    // (weight 36/256) and 109 beside it (24/256); strength 8 adds half the
    // difference.
    PaddedImage image = Filled(5, 5, 0xFF646464u);
    image.at(2, 2) = 0xFFC8C8C8u;
    const PaddedImage out = Apply(image, [](auto& i, auto& o) { Sharpen(i, o, 8); });
    EXPECT_EQ(out.at(2, 2), 0xFFF3F3F3u);  // 200 + 43
    EXPECT_EQ(out.at(3, 2), 0xFF606060u);  // 100 - 4
    EXPECT_EQ(Apply(image, [](auto& i, auto& o) { Sharpen(i, o, 16); }).at(2, 2), 0xFFFFFFFFu);
    // Transparent neighbours take no part: a lone opaque pixel stays itself.
    PaddedImage lone = Filled(3, 3, 0x00FFFFFFu);
    lone.at(1, 1) = 0xFF000000u;
    EXPECT_EQ(Apply(lone, [](auto& i, auto& o) { Sharpen(i, o, 100); }).at(1, 1), 0xFF000000u);
}

TEST(FilterEffects, EdgesOfAStep) {
    // Black on the left, white on the right of x = 2 | 3.
    PaddedImage step(6, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) step.at(x, y) = x < 3 ? 0xFF000000u : 0xFFFFFFFFu;
    const PaddedImage sobel = Apply(step, [](auto& i, auto& o) { EdgeDetect(i, o, 0); });
    EXPECT_EQ(sobel.at(0, 1), 0xFF000000u);
    EXPECT_EQ(sobel.at(2, 1), 0xFFFFFFFFu);
    EXPECT_EQ(sobel.at(5, 1), 0xFF000000u);
    // Relief lit from the left: flat parts mid-grey, the step bright.
    const PaddedImage relief = Apply(step, [](auto& i, auto& o) { Emboss(i, o, 3); });
    EXPECT_EQ(relief.at(0, 1), 0xFF808080u);
    EXPECT_EQ(relief.at(2, 1), 0xFFFFFFFFu);  // 128 + 4 * 255
    // Smoothing: the black pixel at the step sees white at weight 4/16.
    const PaddedImage smooth = Apply(step, Antialias);
    EXPECT_EQ(smooth.at(2, 1), 0xFF404040u);
    EXPECT_EQ(smooth.at(3, 1), 0xFFBFBFBFu);
    EXPECT_EQ(smooth.at(0, 1), 0xFF000000u);
}

TEST(FilterEffects, MosaicAveragesPremultiplied) {
    PaddedImage image(3, 1);
    image.at(0, 0) = 0xFF000000u;
    image.at(1, 0) = 0x00FFFFFFu;  // invisible white: no weight
    image.at(2, 0) = 0xFF102030u;
    const PaddedImage out = Apply(image, [](auto& i, auto& o) { Mosaic(i, o, 2, INT_MAX); });
    EXPECT_EQ(out.at(0, 0), 0x80000000u);
    EXPECT_EQ(out.at(1, 0), 0x80000000u);
    EXPECT_EQ(out.at(2, 0), 0xFF102030u);  // the last cell is cut short by the edge
    // One cell of the whole image.
    EXPECT_EQ(Apply(image, [](auto& i, auto& o) { Mosaic(i, o, 3, 1); }).at(1, 0), 0xAA081018u);
}

TEST(FilterEffects, TextureIsAReliefOfFixedDepth) {
    const PaddedImage grey = Filled(64, 48, 0x7F808080u);
    EXPECT_EQ(FirstDifference(grey, Apply(grey, [](auto& i, auto& o) { Texturize(i, o, 0, 8.0f); })), "");
    const PaddedImage deep = Apply(grey, [](auto& i, auto& o) { Texturize(i, o, 100, 8.0f); });
    const PaddedImage shallow = Apply(grey, [](auto& i, auto& o) { Texturize(i, o, 20, 8.0f); });
    int deepest = 0, shallowest = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(deep.at(x, y) >> 24, 0x7Fu);
            const int d = static_cast<int>(deep.at(x, y) & 0xFF) - 128, s = static_cast<int>(shallow.at(x, y) & 0xFF) - 128;
            ASSERT_EQ(deep.at(x, y) & 0xFFFFFFu, (deep.at(x, y) & 0xFF) * 0x010101u);  // a grey relief
            deepest = std::max(deepest, std::abs(d));
            shallowest = std::max(shallowest, std::abs(s));
        }
    EXPECT_GT(deepest, 20);
    EXPECT_LT(shallowest, deepest);
}

}  // namespace
}  // namespace rastelle::kernels::effects
