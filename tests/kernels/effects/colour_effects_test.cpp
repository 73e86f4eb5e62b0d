#include <gtest/gtest.h>

#include "effects_reference.h"
#include "effects_test_support.h"
#include "kernels/effects/effects.h"

namespace rastelle::kernels::effects {
namespace {

namespace ref = reference;

// Sizes up to 40 x 40 leave the 4-pixel SIMD paths and their tails both
// exercised; the sweeps also hold the int extremes of every argument.
TEST(ColourEffects, MatchTheirReferences) {
    Sweep(300, [](std::mt19937&) { return BoundKernels{Greyscale, ref::Greyscale, "greyscale"}; });
    Sweep(300, [](std::mt19937& r) {
        const std::uint32_t t = r();
        return BoundKernels{[t](auto& i, auto& o) { Solarize(i, o, t); }, [t](auto& i, auto& o) { ref::Solarize(i, o, t); },
                            Describe({t})};
    });
    Sweep(400, [](std::mt19937& r) {
        const int a[4] = {static_cast<int>(r() % 9) - 1, static_cast<int>(r() % 9) - 1, RandomArgument(r), static_cast<int>(r() % 7)};
        return BoundKernels{[a](auto& i, auto& o) { SwapChannels(i, o, a[0], a[1], a[2], a[3]); },
                            [a](auto& i, auto& o) { ref::SwapChannels(i, o, a[0], a[1], a[2], a[3]); },
                            Describe({a[0], a[1], a[2], a[3]})};
    });
    Sweep(300, [](std::mt19937& r) {
        const int a = RandomArgument(r);
        return BoundKernels{[a](auto& i, auto& o) { Lightness(i, o, a); }, [a](auto& i, auto& o) { ref::Lightness(i, o, a); },
                            Describe({a})};
    });
    Sweep(300, [](std::mt19937& r) {
        const int a = RandomArgument(r);
        return BoundKernels{[a](auto& i, auto& o) { Contrast(i, o, a); }, [a](auto& i, auto& o) { ref::Contrast(i, o, a); },
                            Describe({a})};
    });
    Sweep(200, [](std::mt19937&) { return BoundKernels{AutoLevel, ref::AutoLevel, "auto level"}; });
    Sweep(200, [](std::mt19937&) { return BoundKernels{AutoContrast, ref::AutoContrast, "auto contrast"}; });
    Sweep(200, [](std::mt19937&) { return BoundKernels{AutoLightness, ref::AutoLightness, "auto lightness"}; });
    Sweep(300, [](std::mt19937& r) {
        const int h = RandomArgument(r), s = RandomArgument(r), l = RandomArgument(r);
        return BoundKernels{[=](auto& i, auto& o) { HslColorize(i, o, h, s, l); },
                            [=](auto& i, auto& o) { ref::HslColorize(i, o, h, s, l); }, Describe({h, s, l})};
    });
    Sweep(300, [](std::mt19937& r) {
        const int a = RandomArgument(r);
        const bool mono = r() % 2 != 0;
        return BoundKernels{[=](auto& i, auto& o) { AddNoise(i, o, a, mono); },
                            [=](auto& i, auto& o) { ref::AddNoise(i, o, a, mono); }, Describe({a, mono})};
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
        PaddedImage expected(256, 1);
        ref::Lightness(ramp.view(), expected.view(), amount);
        ASSERT_EQ(FirstDifference(expected, Apply(ramp, [=](auto& i, auto& o) { Lightness(i, o, amount); })), "") << amount;
        ref::Contrast(ramp.view(), expected.view(), amount);
        ASSERT_EQ(FirstDifference(expected, Apply(ramp, [=](auto& i, auto& o) { Contrast(i, o, amount); })), "") << amount;
    }
}

TEST(ColourEffects, GreyscaleKeepsGreysAndAlphaAndWeighsGreenMost) {
    PaddedImage image(5, 1);
    const std::uint32_t pixels[5] = {0x00000000u, 0x7F808080u, 0xFFFFFFFFu, 0x12FF0000u, 0xFF00FF00u};
    for (int x = 0; x < 5; ++x) image.at(x, 0) = pixels[x];
    const PaddedImage out = Apply(image, Greyscale);
    EXPECT_EQ(out.at(0, 0), 0x00000000u);
    EXPECT_EQ(out.at(1, 0), 0x7F808080u);
    EXPECT_EQ(out.at(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(out.at(3, 0), 0x124C4C4Cu);  // 0.299 * 255 = 76
    EXPECT_EQ(out.at(4, 0), 0xFF969696u);  // 0.587 * 255 = 150
}

TEST(ColourEffects, SolarizeInvertsExactlyTheChannelsAboveTheThreshold) {
    PaddedImage image(4, 1);
    const std::uint32_t pixels[4] = {0xFF808080u, 0xFF818181u, 0x80FF0081u, 0x017F80FFu};
    for (int x = 0; x < 4; ++x) image.at(x, 0) = pixels[x];
    const PaddedImage out = Apply(image, [](auto& i, auto& o) { Solarize(i, o, 0x00808080u); });
    EXPECT_EQ(out.at(0, 0), 0xFF808080u);  // equal is not above
    EXPECT_EQ(out.at(1, 0), 0xFF7E7E7Eu);
    EXPECT_EQ(out.at(2, 0), 0x8000007Eu);  // alpha never inverted
    EXPECT_EQ(out.at(3, 0), 0x017F8000u);
    // A per-channel threshold: only blue's is low.
    const PaddedImage blue = Apply(Filled(1, 1, 0xFF404040u), [](auto& i, auto& o) { Solarize(i, o, 0xFFFFFF10u); });
    EXPECT_EQ(blue.at(0, 0), 0xFF4040BFu);
}

TEST(ColourEffects, SwapChannelsPermutesAndFillsConstants) {
    const PaddedImage image = Filled(3, 2, 0x80C01040u);  // a 80, r C0, g 10, b 40
    const auto swap = [&](int r, int g, int b, int a) {
        return Apply(image, [=](auto& i, auto& o) { SwapChannels(i, o, r, g, b, a); }).at(2, 1);
    };
    EXPECT_EQ(swap(0, 1, 2, 3), 0x80C01040u);
    EXPECT_EQ(swap(2, 1, 0, 3), 0x804010C0u);  // red and blue exchanged
    EXPECT_EQ(swap(3, 3, 3, 0), 0xC0808080u);  // alpha as grey, red as alpha
    EXPECT_EQ(swap(4, 5, 4, 5), 0xFF00FF00u);  // constants
    EXPECT_EQ(swap(-1, 6, INT_MAX, INT_MIN), 0x80C01040u);  // out of range: each keeps its own
}

TEST(ColourEffects, LightnessAndContrastFollowTheirLevelCurves) {
    const auto level = [](std::uint32_t pixel, auto kernel) { return Apply(Filled(1, 1, pixel), kernel).at(0, 0); };
    const auto lightness = [](int a) { return [a](auto& i, auto& o) { Lightness(i, o, a); }; };
    const auto contrast = [](int a) { return [a](auto& i, auto& o) { Contrast(i, o, a); }; };
    EXPECT_EQ(level(0x40204080u, lightness(0)), 0x40204080u);
    EXPECT_EQ(level(0x40204080u, lightness(100)), 0x40FFFFFFu);
    EXPECT_EQ(level(0x40204080u, lightness(INT_MIN)), 0x40000000u);
    EXPECT_EQ(level(0xFF000080u, lightness(50)), 0xFF8080C0u);  // halfway to white, rounded up
    EXPECT_EQ(level(0xFF204080u, contrast(0)), 0xFF204080u);
    EXPECT_EQ(level(0xFF2040F0u, contrast(-100)), 0xFF808080u);  // flat grey
    EXPECT_EQ(level(0xFF7F8081u, contrast(INT_MAX)), 0xFF00FFFFu);  // a threshold at mid-grey
    // Slope tan(3pi/8) = 2.414 about 127.5: 64 -> -25 (0), 128 -> 128.7, 192 -> 283 (255).
    EXPECT_EQ(level(0xFF4080C0u, contrast(50)), 0xFF0081FFu);
}

TEST(ColourEffects, AutomaticLevelsStretchTheVisibleRange) {
    // Red spans 50..150, green 0..255 already, blue is constant; the
    // transparent pixel's colour takes no part.
    PaddedImage image(4, 1);
    const std::uint32_t pixels[4] = {0xFF3200C8u, 0xFF64FFC8u, 0xFF9680C8u, 0x00FFFF00u};
    for (int x = 0; x < 4; ++x) image.at(x, 0) = pixels[x];
    const PaddedImage level = Apply(image, AutoLevel);
    EXPECT_EQ(level.at(0, 0), 0xFF0000C8u);
    EXPECT_EQ(level.at(1, 0), 0xFF80FFC8u);
    EXPECT_EQ(level.at(2, 0), 0xFFFF80C8u);
    EXPECT_EQ(level.at(3, 0), 0x00FFFF00u);
    // One curve for all channels keeps a grey ramp grey and reaches both ends.
    PaddedImage ramp(3, 1);
    for (int x = 0; x < 3; ++x) ramp.at(x, 0) = 0xFF000000u | 0x010101u * static_cast<std::uint32_t>(100 + 20 * x);
    const PaddedImage contrast = Apply(ramp, AutoContrast);
    EXPECT_EQ(contrast.at(0, 0), 0xFF000000u);
    EXPECT_EQ(contrast.at(1, 0), 0xFF808080u);
    EXPECT_EQ(contrast.at(2, 0), 0xFFFFFFFFu);
    // A dark image brightens to a mean of mid-grey: 64 by 34 % (6400 / 191
    // rounded) gives 129; a transparent one is left.
    EXPECT_EQ(Apply(Filled(2, 2, 0xFF404040u), AutoLightness).at(1, 1), 0xFF818181u);
    EXPECT_EQ(Apply(Filled(2, 2, 0x00404040u), AutoLightness).at(1, 1), 0x00404040u);
}

TEST(ColourEffects, ColorizeKeepsLightnessAndSetsHue) {
    const auto colorize = [](std::uint32_t p, int h, int s, int l) {
        return Apply(Filled(1, 1, p), [=](auto& i, auto& o) { HslColorize(i, o, h, s, l); }).at(0, 0);
    };
    EXPECT_EQ(colorize(0x80808080u, 0, 100, 0), 0x80FF0101u);  // lightness 128/255, full red
    EXPECT_EQ(colorize(0xFF00FF00u, 240, 100, 0), 0xFF0101FFu);  // green's HSL lightness is 128/255: blue
    EXPECT_EQ(colorize(0xFF00FF00u, 600, 0, 0), 0xFF808080u);   // no saturation: grey; hues wrap
    EXPECT_EQ(colorize(0xFF123456u, 77, 50, 100), 0xFFFFFFFFu);
    EXPECT_EQ(colorize(0xFF123456u, -77, 50, -100), 0xFF000000u);
}

TEST(ColourEffects, NoiseReproducesAndStaysWithinItsAmplitude) {
    PaddedImage image(23, 17);
    std::mt19937 random(5);
    FillRandom(image, random);
    const auto noise = [](int a, bool mono) { return [=](auto& i, auto& o) { AddNoise(i, o, a, mono); }; };
    const PaddedImage first = Apply(image, noise(10, false));
    EXPECT_EQ(FirstDifference(first, Apply(image, noise(10, false))), "");
    EXPECT_EQ(FirstDifference(image, Apply(image, noise(0, false))), "");
    int changed = 0;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x) {
            const std::uint32_t a = image.at(x, y), b = first.at(x, y);
            ASSERT_EQ(a >> 24, b >> 24);
            for (int shift = 0; shift <= 16; shift += 8)
                ASSERT_LE(std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)), 26);
            changed += a != b;
        }
    EXPECT_GT(changed, 23 * 17 / 2);
    // Monochrome noise moves the three channels of a mid-grey alike.
    const PaddedImage mono = Apply(Filled(9, 9, 0xFF808080u), noise(100, true));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(mono.at(x, y) & 0xFFFFu, (mono.at(x, y) >> 8) & 0xFFFFu);
}

}  // namespace
}  // namespace rastelle::kernels::effects
