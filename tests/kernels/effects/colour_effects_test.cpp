#include <gtest/gtest.h>

#include "effects_reference.h"
#include "effects_test_support.h"

namespace rastelle::kernels::effects {
namespace {

namespace ref = reference;
using Pixels = std::vector<std::uint32_t>;

// Sizes up to 40 x 40 leave the 4-pixel SIMD paths and their tails both
// exercised; the sweeps also hold the int extremes of every argument.
TEST(ColourEffects, MatchTheirReferences) {
    Sweep(300, [](std::mt19937&) { return Bind(Greyscale, ref::Greyscale); });
    Sweep(300, [](std::mt19937& r) { return Bind(Solarize, ref::Solarize, r()); });
    Sweep(400, [](std::mt19937& r) {
        const int red = static_cast<int>(r() % 9) - 1, green = static_cast<int>(r() % 9) - 1, blue = RandomArgument(r);
        return Bind(SwapChannels, ref::SwapChannels, red, green, blue, static_cast<int>(r() % 7));
    });
    Sweep(300, [](std::mt19937& r) { return Bind(Lightness, ref::Lightness, RandomArgument(r)); });
    Sweep(300, [](std::mt19937& r) { return Bind(Contrast, ref::Contrast, RandomArgument(r)); });
    Sweep(200, [](std::mt19937&) { return Bind(AutoLevel, ref::AutoLevel); });
    Sweep(200, [](std::mt19937&) { return Bind(AutoContrast, ref::AutoContrast); });
    Sweep(200, [](std::mt19937&) { return Bind(AutoLightness, ref::AutoLightness); });
    Sweep(300, [](std::mt19937& r) {
        const int h = RandomArgument(r), s = RandomArgument(r);
        return Bind(HslColorize, ref::HslColorize, h, s, RandomArgument(r));
    });
    Sweep(300, [](std::mt19937& r) {
        const int a = RandomArgument(r);
        return Bind(AddNoise, ref::AddNoise, a, r() % 2 != 0);
    });
}

TEST(ColourEffects, LevelMapsReachEveryLevelOfEveryAmount) {
    // All 256 values in one row (alpha too), through every amount: the
    // vector paths (lightness's division by 100, the straight lines fitted to
    // the contrast tables) against the plain arithmetic, beyond what random
    // images hit.
    PaddedImage ramp(256, 1);
    for (std::uint32_t c = 0; c < 256; ++c) ramp.at(static_cast<int>(c), 0) = c * 0x01010101u;
    for (int amount = -100; amount <= 100; ++amount) {
        ASSERT_EQ(Apply(ramp, Lightness, amount).memory, Apply(ramp, ref::Lightness, amount).memory) << amount;
        ASSERT_EQ(Apply(ramp, Contrast, amount).memory, Apply(ramp, ref::Contrast, amount).memory) << amount;
    }
}

TEST(ColourEffects, WorkedExamples) {
    // Greyscale keeps greys and alpha and weighs green most: 0.299 * 255 = 76, 0.587 * 255 = 150.
    EXPECT_EQ(Apply(Row({0, 0x7F808080u, 0xFFFFFFFFu, 0x12FF0000u, 0xFF00FF00u}), Greyscale).memory,
              (Pixels{0, 0x7F808080u, 0xFFFFFFFFu, 0x124C4C4Cu, 0xFF969696u}));
    // Solarize inverts the channels above the threshold (equal is not above), never alpha; per channel.
    EXPECT_EQ(Apply(Row({0xFF808080u, 0xFF818181u, 0x80FF0081u, 0x017F80FFu}), Solarize, 0x00808080u).memory,
              (Pixels{0xFF808080u, 0xFF7E7E7Eu, 0x8000007Eu, 0x017F8000u}));
    EXPECT_EQ(Apply(Row({0xFF404040u}), Solarize, 0xFFFFFF10u).memory, Pixels{0xFF4040BFu});

    // Swapped channels of a 80, r C0, g 10, b 40: identity, red and blue
    // exchanged, alpha as grey and red as alpha, constants, out of range.
    const std::tuple<int, int, int, int, std::uint32_t> swaps[] = {
        {0, 1, 2, 3, 0x80C01040u}, {2, 1, 0, 3, 0x804010C0u}, {3, 3, 3, 0, 0xC0808080u},
        {4, 5, 4, 5, 0xFF00FF00u}, {-1, 6, INT_MAX, INT_MIN, 0x80C01040u}};
    for (auto [r, g, b, a, expected] : swaps)
        EXPECT_EQ(Apply(Filled(3, 2, 0x80C01040u), SwapChannels, r, g, b, a).at(2, 1), expected) << r << g << b << a;

    // Lightness towards white or black, rounded; contrast flat at -100, a
    // threshold at the top; slope tan(3pi/8) = 2.414 about 127.5 at 50:
    // 64 -> -25 (0), 128 -> 128.7, 192 -> 283 (255).
    const std::tuple<std::uint32_t, EffectKernel<int>, int, std::uint32_t> levels[] = {
        {0x40204080u, Lightness, 0, 0x40204080u},      {0x40204080u, Lightness, 100, 0x40FFFFFFu},
        {0x40204080u, Lightness, INT_MIN, 0x40000000u}, {0xFF000080u, Lightness, 50, 0xFF8080C0u},
        {0xFF204080u, Contrast, 0, 0xFF204080u},       {0xFF2040F0u, Contrast, -100, 0xFF808080u},
        {0xFF7F8081u, Contrast, INT_MAX, 0xFF00FFFFu}, {0xFF4080C0u, Contrast, 50, 0xFF0081FFu}};
    for (auto [pixel, kernel, amount, expected] : levels)
        EXPECT_EQ(Apply(Row({pixel}), kernel, amount).memory, Pixels{expected}) << std::hex << pixel << std::dec << " " << amount;

    // Colorize keeps the HSL lightness and sets hue and saturation; hues wrap.
    const std::tuple<std::uint32_t, int, int, int, std::uint32_t> colorize[] = {
        {0x80808080u, 0, 100, 0, 0x80FF0101u}, {0xFF00FF00u, 240, 100, 0, 0xFF0101FFu},
        {0xFF00FF00u, 600, 0, 0, 0xFF808080u}, {0xFF123456u, 77, 50, 100, 0xFFFFFFFFu},
        {0xFF123456u, -77, 50, -100, 0xFF000000u}};
    for (auto [pixel, h, s, l, expected] : colorize)
        EXPECT_EQ(Apply(Row({pixel}), HslColorize, h, s, l).memory, Pixels{expected}) << h << " " << s << " " << l;
}

TEST(ColourEffects, AutomaticLevelsStretchTheVisibleRange) {
    // Red spans 50..150, green 0..255 already, blue is constant; the
    // transparent pixel's colour takes no part.
    EXPECT_EQ(Apply(Row({0xFF3200C8u, 0xFF64FFC8u, 0xFF9680C8u, 0x00FFFF00u}), AutoLevel).memory,
              (Pixels{0xFF0000C8u, 0xFF80FFC8u, 0xFFFF80C8u, 0x00FFFF00u}));
    // One curve for all channels keeps a grey ramp grey and reaches both ends.
    EXPECT_EQ(Apply(Row({0xFF646464u, 0xFF787878u, 0xFF8C8C8Cu}), AutoContrast).memory,
              (Pixels{0xFF000000u, 0xFF808080u, 0xFFFFFFFFu}));
    // A dark image brightens to a mean of mid-grey: 64 by 34 % (6400 / 191
    // rounded) gives 129; a transparent one is left.
    EXPECT_EQ(Apply(Filled(2, 2, 0xFF404040u), AutoLightness).at(1, 1), 0xFF818181u);
    EXPECT_EQ(Apply(Filled(2, 2, 0x00404040u), AutoLightness).at(1, 1), 0x00404040u);
}

TEST(ColourEffects, NoiseReproducesAndStaysWithinItsAmplitude) {
    PaddedImage image(23, 17);
    std::mt19937 random(5);
    FillRandom(image, random);
    const PaddedImage first = Apply(image, AddNoise, 10, false);
    EXPECT_EQ(first.memory, Apply(image, AddNoise, 10, false).memory);
    EXPECT_EQ(image.memory, Apply(image, AddNoise, 0, false).memory);
    int changed = 0;
    for (size_t i = 0; i < image.memory.size(); ++i) {
        const std::uint32_t a = image.memory[i], b = first.memory[i];
        ASSERT_EQ(a >> 24, b >> 24);
        for (int shift = 0; shift <= 16; shift += 8)
            ASSERT_LE(std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)), 26);
        changed += a != b;
    }
    EXPECT_GT(changed, 23 * 17 / 2);
    // Monochrome noise moves the three channels of a mid-grey alike.
    for (std::uint32_t p : Apply(Filled(9, 9, 0xFF808080u), AddNoise, 100, true).memory) ASSERT_EQ(p & 0xFFFFu, (p >> 8) & 0xFFFFu);
}

}  // namespace
}  // namespace rastelle::kernels::effects
