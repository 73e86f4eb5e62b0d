#include <gtest/gtest.h>

#include "effects_reference.h"
#include "effects_test_support.h"

namespace rastelle::kernels::effects {
namespace {

namespace ref = reference;
using Pixels = std::vector<std::uint32_t>;

// The warps sample with weights in 1/256 pixel: alpha and premultiplied
// channels within one level of exact bilinear sampling on 99.9 % of pixels
// (even on random images, whose neighbours differ by up to 255), two at most.
constexpr Tolerance kWarpTolerance{1, 0.001};

TEST(WarpEffects, MatchTheirDoublePrecisionReferences) {
    Sweep(
        300,
        [](std::mt19937& r) {
            SinusizeParameters p;
            p.horizontalAmplitude = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 11) - 5;
            p.horizontalWaveLength = RandomArgument(r);
            p.horizontalStartPhase = RandomArgument(r);
            p.verticalAmplitude = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 11) - 5;
            p.verticalWaveLength = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 20);
            p.verticalStartPhase = RandomArgument(r);
            p.background = r();
            return Bind(Sinusize, ref::Sinusize, p);
        },
        kWarpTolerance);
    Sweep(300, [](std::mt19937&) { return Bind(Waddle, ref::Waddle); }, kWarpTolerance);
    Sweep(300, [](std::mt19937& r) { return Bind(Swirl, ref::Swirl, RandomArgument(r)); }, kWarpTolerance);
    Sweep(300, [](std::mt19937& r) {
        const int a = RandomArgument(r), f = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 5);
        return Bind(Spray, ref::Spray, a, f, r());
    });
}

TEST(WarpEffects, WholeWavesAndNoTurnKeepTheImage) {
    PaddedImage image(19, 11);
    std::mt19937 random(3);
    FillRandom(image, random);
    // No amplitude, a wavelength of one pixel at phase 0 (sin 2 pi k = 0 up to
    // rounding below 1/512 of a pixel), no wavelength: all the identity.
    for (const SinusizeParameters p : {SinusizeParameters{0, 10, 0, 0, 10, 0, 0x12345678u},
                                       SinusizeParameters{5, 1, 0, 7, 1, 0, 0}, SinusizeParameters{9, 0, 45, 9, -3, 45, 0}})
        EXPECT_EQ(image.memory, Apply(image, Sinusize, p).memory);
    EXPECT_EQ(image.memory, Apply(image, Swirl, 0).memory);
    EXPECT_NE(image.memory, Apply(image, Swirl, 1000).memory);
    EXPECT_EQ(image.memory, Apply(image, Spray, 0, 0, 0).memory);
}

TEST(WarpEffects, ShiftsShowTheBackgroundAndTheFrame) {
    // Phase 90 turns the vertical wave into a constant shift of the amplitude:
    // every row moves left by 2 pixels, and the background fills the right.
    PaddedImage ramp(6, 2);
    for (int i = 0; i < 12; ++i) ramp.memory[i] = 0xFF000000u | static_cast<std::uint32_t>(i % 6 * 40);
    EXPECT_EQ(Apply(ramp, Sinusize, SinusizeParameters{0, 0, 0, 2, 1, 90, 0x80FF0000u}).memory,
              (Pixels{0xFF000050u, 0xFF000078u, 0xFF0000A0u, 0xFF0000C8u, 0x80FF0000u, 0x80FF0000u, 0xFF000050u, 0xFF000078u,
                      0xFF0000A0u, 0xFF0000C8u, 0x80FF0000u, 0x80FF0000u}));
    // Spray's frame, whatever the displacement.
    PaddedImage framed = Filled(9, 7, 0xFF0000FFu);
    for (int y = 2; y < 5; ++y)
        for (int x = 2; x < 7; ++x) framed.at(x, y) = 0xFF00FF00u;
    EXPECT_EQ(FirstDifference(framed, Apply(Filled(9, 7, 0xFF00FF00u), Spray, 50, 2, 0xFF0000FFu)), "");
}

TEST(WarpEffects, SwirlTurnsTheMiddleAndKeepsTheCorners) {
    // Half a turn at the centre of a 21 x 21 image: the pixel beside the
    // centre comes from (nearly) the opposite side; the corners stay.
    PaddedImage image(21, 21);
    std::mt19937 random(11);
    FillRandom(image, random);
    const PaddedImage out = Apply(image, Swirl, 180);
    EXPECT_EQ(std::make_tuple(out.at(10, 10), out.at(0, 0), out.at(20, 20)),
              std::make_tuple(image.at(10, 10), image.at(0, 0), image.at(20, 20)));
    EXPECT_NE(out.at(15, 10), image.at(15, 10));
}

}  // namespace
}  // namespace rastelle::kernels::effects
