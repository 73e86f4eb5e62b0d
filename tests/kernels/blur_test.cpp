#include "kernels/blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "kernels/blend.h"
#include "kernels/blur_detail.h"
#include "reference_kernels.h"
#include "test_images.h"

namespace rastelle::kernels {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(BlendOver, MatchesTheFormulaForEveryAlphaPair) {
    std::mt19937 random(1);
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::uint32_t da = 0; da < 256; ++da)
            for (int i = 0; i < 8; ++i) {
                const std::uint32_t d = (random() & 0xFFFFFF) | da << 24, c = random();
                ASSERT_EQ(BlendOver(d, c, a), reference::BlendOver(d, c, a)) << a << " onto alpha " << da;
            }
}

TEST(BlendOver, ReciprocalDivisionIsExact) {
    for (std::uint32_t d = 1; d < 256; ++d)
        for (std::uint32_t n = 0; n <= 255 * d; ++n) ASSERT_EQ(detail::DivideBy(n, d), n / d) << n << " / " << d;
}

TEST(BlendOver, CopiesOntoTransparentAndBlendsOntoOpaque) {
    // Weight 51/255 onto opaque; alphas add up, capped.
    EXPECT_EQ((std::vector<std::uint32_t>{BlendOver(0x00123456u, 0xFF102030u, 77), BlendOver(0xFF000000u, 0x00FFFFFFu, 51),
                                          BlendOver(0xC0ABCDEFu, 0x11111111u, 0), BlendOver(0xC8000000u, 0x00FFFFFFu, 100) >> 24}),
              (std::vector<std::uint32_t>{0x4D102030u, 0xFF333333u, 0xC0ABCDEFu, 255u}));
}

TEST(AlphaCurve, FollowsTheSCurve) {
    for (auto [in, out] : {std::pair{0u, 0u}, {64u, 32u}, {128u, 128u}, {129u, 130u}, {192u, 224u}, {254u, 255u}, {255u, 255u}})
        EXPECT_EQ(AlphaCurve(in), out) << in;
    for (std::uint32_t a = 0; a < 256; ++a) EXPECT_EQ(AlphaCurve(a), reference::AlphaCurve(a));
}

TEST(BlurParameters, SumsOfTheTentAndOutOfRangeValuesTamed) {
    // -0.5 is the centre alone, weight 1/2.
    for (auto [radius, sum] : {std::pair{2.0, 9.0}, {1.5, 6.5}, {0.0, 1.0}, {-0.5, 0.5}, {-1.0, 0.0}, {10.0, 121.0}})
        EXPECT_EQ(BlurNormalisingSum(radius), sum) << radius;
    for (auto [radius, used] : {std::pair{kNaN, 0.0}, {kInf, double{kMaxBlurRadius}}, {1e300, double{kMaxBlurRadius}},
                                {-kInf, -1.0}, {2.25, 2.25}})
        EXPECT_EQ(BlurRadiusUsed(radius), used) << radius;
    for (auto [intensity, used] : {std::pair{0.5, 1.0}, {kNaN, 1.0}, {kInf, kInf}})
        EXPECT_EQ(BlurIntensityUsed(intensity), used) << intensity;
}

// Runs the kernel and the reference on copies of `image` (the destination
// starting as a copy, as the transform frame leaves it) and compares.
void ExpectSameAsReference(const PaddedImage& image, const BlurParams& params) {
    PaddedImage actual = CopyOf(image, 3);
    BlurKernel(image.view(), actual.view(), params);
    ASSERT_EQ(FirstDifference(Filtered(image, reference::BlurKernel, params), actual), "")
        << image.width << "x" << image.height << " r " << params.radiusX << "," << params.radiusY << " offsets " << params.offsetX
        << "," << params.offsetY << " glow " << params.glowColor.value_or(0) << " x " << params.intensity;
    ASSERT_TRUE(actual.guardsIntact());
}

// Radii (the same in y when `square`), offsets when `offset`, a glow colour
// (with `opaque` bits set) and intensity when `glow`; drawn in this order.
template <size_t R, size_t O, class Intensity>
BlurParams RandomParams(std::mt19937& random, const double (&radii)[R], bool square, const int (&offsets)[O], bool offset,
                        bool glow, Intensity intensity, std::uint32_t opaque = 0) {
    BlurParams params;
    params.radiusX = radii[random() % R];
    params.radiusY = square ? params.radiusX : radii[random() % R];
    if (glow) {
        params.glowColor = random() | opaque;
        params.intensity = intensity();
    }
    if (offset) {
        params.offsetX = offsets[random() % O];
        params.offsetY = offsets[random() % O];
    }
    return params;
}

TEST(BlurKernel, MatchesReferenceOnRandomImages) {
    std::mt19937 random(2);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 9}, {9, 1}, {13, 9}, {31, 17}, {6, 40}, {64, 3}};
    const double radii[] = {0, 0.5, 1, 1.5, 2, 2.5, 3, 10, 0.3, 1.7, 4.2, -0.5, -0.7, -1, -3, 45, 1e9, kInf, kNaN};
    const int offsets[] = {0, 1, -1, 4, -7, 1000, -100000, 2147483647, -2147483647 - 1};
    const double intensities[] = {1, 0.5, 3, 10, 1e300, kInf, kNaN};
    for (auto [w, h] : sizes)
        for (int trial = 0; trial < 40; ++trial) {
            PaddedImage image(w, h);
            FillRandom(image, random, trial % 2 == 0);
            ExpectSameAsReference(image, RandomParams(random, radii, trial % 3 == 0, offsets, trial % 4 >= 2, trial % 2 != 0,
                                                      [&] { return intensities[random() % std::size(intensities)]; }));
        }
}

// Radii up to 10 whose 2r is whole sum wholly opaque windows as bytes (taps
// added directly up to 4, running sums beyond) and do the rest one window at
// a time; vector widths, row tails, offsets and glow.
class BlurOnOpaqueAreas : public EverySimdLevel {
protected:
    void SetUp() override {
        EverySimdLevel::SetUp();
        blur_detail::SetBytePathChoice(blur_detail::BytePathChoice::WheneverPossible);
    }
    void TearDown() override {
        blur_detail::SetBytePathChoice(blur_detail::BytePathChoice::WhenItPays);
        EverySimdLevel::TearDown();
    }
};
RASTELLE_FOR_EVERY_SIMD_LEVEL(BlurOnOpaqueAreas);

TEST_P(BlurOnOpaqueAreas, MatchesReference) {
    std::mt19937 random(8);
    const double radii[] = {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 6, 7.5, 10, 10.5, 1.7};
    const int offsets[] = {0, 1, -2, 5, -9, 40, -2147483647 - 1};
    std::vector<int> widths(37);
    std::iota(widths.begin(), widths.end(), 1);
    widths.insert(widths.end(), {61, 64, 100});
    for (int w : widths)
        for (int trial = 0; trial < 12; ++trial) {
            PaddedImage image(w, 1 + static_cast<int>(random() % 23));
            FillOpaqueAndTransparent(image, random);
            ExpectSameAsReference(image, RandomParams(random, radii, trial % 3 != 0, offsets, trial % 4 >= 2, trial % 4 == 1,
                                                      [&] { return trial % 3 == 0 ? 1.0 : 1.0 + random() % 20; },
                                                      trial % 8 == 1 ? 0 : 0xFF000000u));
        }
}

TEST(BlurKernel, ByteSumsServeEveryHalfIntegerRadiusUpToTen) {
    // Their constant division must agree with the reciprocal formula for each
    // of these (otherwise the blur silently takes the slower paths).
    for (int twice = 0; twice <= 20; ++twice) EXPECT_TRUE(blur_detail::BytePathTakesRadius(twice / 2.0)) << twice / 2.0;
    for (double radius : {10.5, 11.0, 2.3, 0.25, -1.0}) EXPECT_FALSE(blur_detail::BytePathTakesRadius(radius));
}

TEST_P(BlurOnOpaqueAreas, LargeAreasRoundAsTheReciprocalSays) {
    // Opaque areas wide and tall enough for whole windows of every radius,
    // with every colour byte in them, a transparent corner, a soft edge.
    PaddedImage image(64, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>(x * 4 + y % 4);
            const std::uint32_t alpha = x > 44 && y > 26 ? 0 : x == 44 && y > 26 ? 128 : 255;
            image.at(x, y) = alpha << 24 | v << 16 | (255 - v) << 8 | (v * 7 & 255);
        }
    for (double radius : {0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0, 5.0, 6.5, 8.0, 9.5, 10.0}) {
        ExpectSameAsReference(image, BlurParams{0, 0, std::nullopt, 1, radius, radius});
        ExpectSameAsReference(image, BlurParams{-3, 5, 0xFF00FF00u, 1, radius, radius});
    }
}

TEST(BlurKernel, WideRadiiTakeTheSixtyFourBitPath) {
    // Doubled sums above 31 bits: a radius whose normalising sum times
    // 2 * 255 * 255 passes 2^31.
    std::mt19937 random(3);
    PaddedImage image(200, 5);
    FillRandom(image, random);
    ExpectSameAsReference(image, BlurParams{0, 0, std::nullopt, 1, 150, 130.5});
    ExpectSameAsReference(image, BlurParams{0, 0, 0x80FF0000u, 700, 150, 130.5});
}

TEST(BlurKernel, SinglePixelSpreadsAsTheTentProduct) {
    PaddedImage image = Filled(21, 21, 0);
    image.at(10, 10) = 0xFF000000u;
    PaddedImage expected = Filled(21, 21, 0);
    const int w[] = {1, 2, 3, 2, 1};  // e.g. 18 beside the centre, 3 diagonally; the centre stays opaque
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) expected.at(10 + dx, 10 + dy) = static_cast<std::uint32_t>(255 * w[dx + 2] / 9 * w[dy + 2] / 9) << 24;
    expected.at(10, 10) = 0xFF000000u;
    EXPECT_EQ(FirstDifference(expected, Filtered(image, FastBlurImage, 2)), "");
}

TEST(BlurKernel, AlphaFallsOffAtTheBorders) {
    // Onto a transparent destination the blurred alpha shows as it is: the
    // first two columns of an opaque image come out at 170 and 226.
    const PaddedImage image = Filled(12, 12, 0xFF404040u);
    PaddedImage out = Filled(12, 12, 0);
    BlurKernel(image.view(), out.view(), BlurParams{0, 0, std::nullopt, 1, 2, 2});
    EXPECT_EQ((std::vector<std::uint32_t>{out.at(0, 6) >> 24, out.at(1, 6) >> 24, out.at(2, 6) >> 24,
                                          out.at(6, 0) >> 24, out.at(0, 0) >> 24}),
              (std::vector<std::uint32_t>{170, 226, 255, 170, 170 * 6 / 9}));
}

TEST(BlurKernel, UniformColourLosesAUnitOnlyWhereRoundingSaysSo) {
    const PaddedImage out = Filtered(Filled(30, 20, 0xFFFEFEFEu), FastBlurImage, 2);
    EXPECT_EQ(std::make_pair(out.at(0, 0), out.at(15, 10)), std::make_pair(0xFFFDFDFDu, 0xFFFEFEFEu));
    EXPECT_EQ(Filtered(Filled(30, 20, 0xFF000001u), FastBlurImage, 10).at(15, 10), 0xFF000000u);  // blue 1
}

TEST(BlurKernel, NonPositiveRadiusOnlyRaisesPartialAlpha) {
    const PaddedImage image = Row({0xFF102030u, 0x00102030u, 0x40102030u, 0xA0102030u});
    for (double radius : {0.0, -0.5, -2.0, kNaN})
        EXPECT_EQ(Filtered(image, FastBlurImage, radius).memory,
                  (std::vector<std::uint32_t>{0xFF102030u, 0x00102030u, 0x80102030u, 0xFF102030u})) << radius;
}

TEST(GlowImage, LowIntensityActsAsOneAndTransparentColourLaysNothing) {
    std::mt19937 random(4);
    PaddedImage image(25, 19);
    FillRandom(image, random, true);
    EXPECT_EQ(Filtered(image, GlowImage, 0xFFFFFF00u, 0.5, 2).memory, Filtered(image, GlowImage, 0xFFFFFF00u, 1.0, 2).memory);

    // No partly transparent pixel, glow alpha 0: the image comes back as it was.
    for (auto& p : image.memory) p = (p >> 24) >= 128 ? p | 0xFF000000u : p & 0xFFFFFFu;
    EXPECT_EQ(FirstDifference(image, Filtered(image, GlowImage, 0x00FFFF00u, 10, 3)), "");
}

TEST(GlowImage, SurroundsOpaquePartsAndKeepsThem) {
    PaddedImage image = Filled(15, 15, 0);
    for (int y = 5; y < 10; ++y)
        for (int x = 5; x < 10; ++x) image.at(x, y) = 0xFF0000FFu;
    const PaddedImage out = Filtered(image, GlowImage, 0xFFFFFF00u, 10, 2);
    // Opaque input unchanged, the glow colour beside it saturated by intensity 10, nothing out of reach.
    EXPECT_EQ(std::make_tuple(out.at(7, 7), out.at(4, 7), out.at(0, 0)), std::make_tuple(0xFF0000FFu, 0xFFFFFF00u, 0u));
}

TEST(ShadowImage, DefaultsLeaveAnOpaqueImageAlone) {
    std::mt19937 random(5);
    PaddedImage image(100, 100);
    FillRandom(image, random);
    MakeOpaque(image);
    EXPECT_EQ(FirstDifference(image, Filtered(image, ShadowImage, 0xFF808080u, 2, 10, 10)), "");
}

TEST(ShadowImage, ShiftsASoftGreySquare) {
    PaddedImage image = Filled(60, 60, 0);
    for (int y = 20; y < 40; ++y)
        for (int x = 20; x < 40; ++x) image.at(x, y) = 0xFF000000u;
    const PaddedImage out = Filtered(image, ShadowImage, 0xFF808080u, 2, 10, 10);
    // The square itself, the shadow's solid inside, beyond its tent, nothing up and left; a soft edge.
    EXPECT_EQ(std::make_tuple(out.at(30, 30), out.at(45, 45), out.at(53, 53) >> 24, out.at(15, 15), (out.at(48, 45) >> 24) % 255 != 0),
              std::make_tuple(0xFF000000u, 0xFF808080u, 0u, 0u, true));
    PaddedImage expected = CopyOf(image, 0);
    reference::BlurKernel(image.view(), expected.view(), BlurParams{10, 10, 0xFF808080u, 1, 2, 2});
    reference::BlurKernel(image.view(), expected.view(), BlurParams{});
    EXPECT_EQ(FirstDifference(expected, out), "");
}

TEST(BlurKernel, NegativeRadiusWithColourLaysNoLayer) {
    std::mt19937 random(6);
    PaddedImage image(9, 7);
    FillRandom(image, random);
    for (double radius : {-1.0, -3.0, -kInf})
        EXPECT_EQ(FirstDifference(image, Filtered(image, BlurKernel, BlurParams{0, 0, 0xFFFFFFFFu, 1, radius, radius})), "")
            << radius;
}

TEST(BlurKernel, ReadsAndWritesBottomUpRows) {
    // Locked bitmaps may run bottom-up: the same pixels seen through negative
    // strides give the same result.
    std::mt19937 random(7);
    PaddedImage image(17, 11);
    FillRandom(image, random);
    const BlurParams params{0, 0, std::nullopt, 1, 2, 2};
    const PaddedImage expected = Filtered(image, BlurKernel, params);
    PaddedImage source(17, 11, 1), out(17, 11, 2), seen(17, 11);
    const ImageView from = source.flipped(), to = out.flipped();
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 17; ++x) from.row(y)[x] = to.row(y)[x] = image.at(x, y);
    BlurKernel(from, to, params);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 17; ++x) seen.at(x, y) = to.row(y)[x];
    EXPECT_EQ(FirstDifference(expected, seen), "");
    EXPECT_TRUE(out.guardsIntact());
    BlurKernel(ConstImageView{}, ImageView{}, params);  // an empty image is no error
}

}  // namespace
}  // namespace rastelle::kernels
