#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effects_reference.h"
#include "effects_test_support.h"

namespace rastelle::kernels::effects {
namespace {

namespace ref = reference;
using Pixels = std::vector<std::uint32_t>;

TEST(FilterEffects, MatchTheirReferences) {
    Sweep(300, [](std::mt19937& r) { return Bind(Sharpen, ref::Sharpen, RandomArgument(r)); });
    Sweep(300, [](std::mt19937& r) { return Bind(Emboss, ref::Emboss, RandomArgument(r)); });
    Sweep(300, [](std::mt19937& r) { return Bind(EdgeDetect, ref::EdgeDetect, RandomArgument(r)); });
    Sweep(300, [](std::mt19937&) { return Bind(Antialias, ref::Antialias); });
    Sweep(300, [](std::mt19937& r) {
        const int cw = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 6);
        return Bind(Mosaic, ref::Mosaic, cw, RandomArgument(r));
    });
    Sweep(300, [](std::mt19937& r) {
        static const float kShifts[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                        -std::numeric_limits<float>::infinity(), -3.5f, 0.0f, 1.49f, 2.5f, 7.7f, 63.6f, 1e30f};
        const int a = RandomArgument(r);
        return Bind(Texturize, ref::Texturize, a, kShifts[r() % 10]);
    });
}

TEST(FilterEffects, ConstantImagesAsDocumented) {
    // Unsharp mask, colour emboss, smoothing and mosaic leave a flat image;
    // the relief embosses give mid-grey and the edge kernels black, alpha kept.
    const PaddedImage flat = Filled(7, 5, 0x9C3A7F21u);
    for (const int strength : {0, 16, 1024}) EXPECT_EQ(flat.memory, Apply(flat, Sharpen, strength).memory);
    EXPECT_EQ(flat.memory, Apply(flat, Emboss, 1).memory);
    EXPECT_EQ(flat.memory, Apply(flat, Antialias).memory);
    EXPECT_EQ(flat.memory, Apply(flat, Mosaic, 3, 2).memory);
    for (const int type : {0, 2, 3}) EXPECT_EQ(Apply(flat, Emboss, type).at(3, 2), 0x9C808080u);
    for (const int type : {0, 1, 2, 3}) EXPECT_EQ(Apply(flat, EdgeDetect, type).at(6, 4), 0x9C000000u);
}

TEST(FilterEffects, WorkedExamples) {
    // A 200 dot in a 100 field: the 5 x 5 binomial blur is 114 at the dot
    // (weight 36/256) and 109 beside it (24/256); strength 8 adds half the
    // difference: 200 + 43 and 100 - 4.
    PaddedImage dot = Filled(5, 5, 0xFF646464u);
    dot.at(2, 2) = 0xFFC8C8C8u;
    const PaddedImage sharpened = Apply(dot, Sharpen, 8);
    EXPECT_EQ(std::make_tuple(sharpened.at(2, 2), sharpened.at(3, 2), Apply(dot, Sharpen, 16).at(2, 2)),
              std::make_tuple(0xFFF3F3F3u, 0xFF606060u, 0xFFFFFFFFu));
    // Transparent neighbours take no part: a lone opaque pixel stays itself.
    PaddedImage lone = Filled(3, 3, 0x00FFFFFFu);
    lone.at(1, 1) = 0xFF000000u;
    EXPECT_EQ(Apply(lone, Sharpen, 100).at(1, 1), 0xFF000000u);

    // Black left of a white step at x = 2 | 3: Sobel edges; relief lit from
    // the left (128 + 4 * 255 at the step); smoothing, where the black pixel
    // at the step sees white at weight 4/16.
    const PaddedImage step = Row({0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu});
    const Pixels sobel = Apply(step, EdgeDetect, 0).memory, relief = Apply(step, Emboss, 3).memory;
    EXPECT_EQ(Pixels({sobel[0], sobel[2], sobel[5]}), Pixels({0xFF000000u, 0xFFFFFFFFu, 0xFF000000u}));
    EXPECT_EQ(Pixels({relief[0], relief[2]}), Pixels({0xFF808080u, 0xFFFFFFFFu}));
    EXPECT_EQ(Apply(step, Antialias).memory,
              (Pixels{0xFF000000u, 0xFF000000u, 0xFF404040u, 0xFFBFBFBFu, 0xFFFFFFFFu, 0xFFFFFFFFu}));

    // Mosaic averages premultiplied (invisible white has no weight); the
    // last cell is cut short by the edge; then one cell of the whole image.
    const PaddedImage cells = Row({0xFF000000u, 0x00FFFFFFu, 0xFF102030u});
    EXPECT_EQ(Apply(cells, Mosaic, 2, INT_MAX).memory, (Pixels{0x80000000u, 0x80000000u, 0xFF102030u}));
    EXPECT_EQ(Apply(cells, Mosaic, 3, 1).at(1, 0), 0xAA081018u);
}

TEST(FilterEffects, TextureIsAReliefOfFixedDepth) {
    const PaddedImage grey = Filled(64, 48, 0x7F808080u);
    EXPECT_EQ(grey.memory, Apply(grey, Texturize, 0, 8.0f).memory);
    const PaddedImage deep = Apply(grey, Texturize, 100, 8.0f), shallow = Apply(grey, Texturize, 20, 8.0f);
    int deepest = 0, shallowest = 0;
    for (size_t i = 0; i < deep.memory.size(); ++i) {
        const std::uint32_t d = deep.memory[i];
        ASSERT_EQ(d, 0x7F000000u | (d & 0xFF) * 0x010101u);  // a grey relief, alpha kept
        deepest = std::max(deepest, std::abs(static_cast<int>(d & 0xFF) - 128));
        shallowest = std::max(shallowest, std::abs(static_cast<int>(shallow.memory[i] & 0xFF) - 128));
    }
    EXPECT_GT(deepest, 20);
    EXPECT_LT(shallowest, deepest);
}

}  // namespace
}  // namespace rastelle::kernels::effects
