#include <gtest/gtest.h>

#include "effects_reference.h"
#include "effects_test_support.h"
#include "kernels/effects/effects.h"

namespace rastelle::kernels::effects {
namespace {

namespace ref = reference;

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
            return BoundKernels{[=](auto& i, auto& o) { Sinusize(i, o, p); }, [=](auto& i, auto& o) { ref::Sinusize(i, o, p); },
                                Describe({p.horizontalAmplitude, p.horizontalWaveLength, p.horizontalStartPhase,
                                          p.verticalAmplitude, p.verticalWaveLength, p.verticalStartPhase})};
        },
        kWarpTolerance);
    Sweep(300, [](std::mt19937&) { return BoundKernels{Waddle, ref::Waddle, "waddle"}; }, kWarpTolerance);
    Sweep(
        300,
        [](std::mt19937& r) {
            const int a = RandomArgument(r);
            return BoundKernels{[a](auto& i, auto& o) { Swirl(i, o, a); }, [a](auto& i, auto& o) { ref::Swirl(i, o, a); },
                                Describe({a})};
        },
        kWarpTolerance);
    Sweep(300, [](std::mt19937& r) {
        const int a = RandomArgument(r), f = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 5);
        const std::uint32_t b = r();
        return BoundKernels{[=](auto& i, auto& o) { Spray(i, o, a, f, b); }, [=](auto& i, auto& o) { ref::Spray(i, o, a, f, b); },
                            Describe({a, f})};
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
        EXPECT_EQ(FirstDifference(image, Apply(image, [=](auto& i, auto& o) { Sinusize(i, o, p); })), "");
    EXPECT_EQ(FirstDifference(image, Apply(image, [](auto& i, auto& o) { Swirl(i, o, 0); })), "");
    EXPECT_NE(FirstDifference(image, Apply(image, [](auto& i, auto& o) { Swirl(i, o, 1000); })), "");
    EXPECT_EQ(FirstDifference(image, Apply(image, [](auto& i, auto& o) { Spray(i, o, 0, 0, 0); })), "");
}

TEST(WarpEffects, ShiftsShowTheBackgroundAndTheFrame) {
    // Phase 90 turns the vertical wave into a constant shift of the amplitude:
    // every row moves left by 2 pixels, and the background fills the right.
    PaddedImage image(6, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) image.at(x, y) = 0xFF000000u | static_cast<std::uint32_t>(x * 40);
    SinusizeParameters shift{0, 0, 0, 2, 1, 90, 0x80FF0000u};
    const PaddedImage out = Apply(image, [=](auto& i, auto& o) { Sinusize(i, o, shift); });
    EXPECT_EQ(out.at(0, 1), 0xFF000050u);
    EXPECT_EQ(out.at(3, 0), 0xFF0000C8u);
    EXPECT_EQ(out.at(4, 0), 0x80FF0000u);
    EXPECT_EQ(out.at(5, 1), 0x80FF0000u);
    // Spray's frame, whatever the displacement.
    const PaddedImage sprayed = Apply(Filled(9, 7, 0xFF00FF00u), [](auto& i, auto& o) { Spray(i, o, 50, 2, 0xFF0000FFu); });
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool frame = x < 2 || y < 2 || x >= 7 || y >= 5;
            ASSERT_EQ(sprayed.at(x, y), frame ? 0xFF0000FFu : 0xFF00FF00u) << x << ", " << y;
        }
}

TEST(WarpEffects, SwirlTurnsTheMiddleAndKeepsTheCorners) {
    // Half a turn at the centre of a 21 x 21 image: the pixel beside the
    // centre comes from (nearly) the opposite side; the corners stay.
    PaddedImage image(21, 21);
    std::mt19937 random(11);
    FillRandom(image, random);
    const PaddedImage out = Apply(image, [](auto& i, auto& o) { Swirl(i, o, 180); });
    EXPECT_EQ(out.at(10, 10), image.at(10, 10));
    EXPECT_EQ(out.at(0, 0), image.at(0, 0));
    EXPECT_EQ(out.at(20, 20), image.at(20, 20));
    EXPECT_NE(out.at(15, 10), image.at(15, 10));
}

}  // namespace
}  // namespace rastelle::kernels::effects
