#include "kernels/blur.h"

#include <gtest/gtest.h>

#include <limits>
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
    for (std::uint32_t a = 0; a < 256; ++a) {
        ASSERT_EQ(AlphaCurve(a), reference::AlphaCurve(a));
        for (std::uint32_t da = 0; da < 256; ++da)
            for (int i = 0; i < 8; ++i) {
                const std::uint32_t d = (random() & 0xFFFFFF) | da << 24, c = random();
                ASSERT_EQ(BlendOver(d, c, a), reference::BlendOver(d, c, a)) << a << " onto alpha " << da;
            }
    }
    for (std::uint32_t d = 1; d < 256; ++d)
        for (std::uint32_t n = 0; n <= 255 * d; ++n) ASSERT_EQ(detail::DivideBy(n, d), n / d) << n << " / " << d;
}

TEST(BlurParameters, SumsOfTheTentAndOutOfRangeValuesTamed) {
    // The kernel and its reference share these: -0.5 is the centre alone, at
    // weight 1/2.
    for (auto [radius, sum] : {std::pair{2.0, 9.0}, {1.5, 6.5}, {0.0, 1.0}, {-0.5, 0.5}, {-1.0, 0.0}, {10.0, 121.0}})
        EXPECT_EQ(BlurNormalisingSum(radius), sum) << radius;
    for (auto [radius, used] : {std::pair{kNaN, 0.0}, {kInf, double{kMaxBlurRadius}}, {-kInf, -1.0}, {2.25, 2.25}})
        EXPECT_EQ(BlurRadiusUsed(radius), used) << radius;
    for (auto [intensity, used] : {std::pair{0.5, 1.0}, {kNaN, 1.0}, {kInf, kInf}}) EXPECT_EQ(BlurIntensityUsed(intensity), used);
    // The byte sums' constant division must agree with the reciprocal for
    // each half-integer radius up to 10 (or the blur silently goes slower).
    for (int twice = 0; twice <= 20; ++twice) EXPECT_TRUE(blur_detail::BytePathTakesRadius(twice / 2.0)) << twice / 2.0;
    for (double radius : {10.5, 2.3, -1.0}) EXPECT_FALSE(blur_detail::BytePathTakesRadius(radius));
}

// Runs the kernel and the reference on copies of `image` (the destination
// starting as a copy, as the transform frame leaves it) and compares.
void ExpectSameAsReference(const PaddedImage& image, const BlurParams& params) {
    const PaddedImage expected = Filtered(image, reference::BlurKernel, params);
    AtEverySimdLevel([&] {
        PaddedImage actual = CopyOf(image, 3);
        BlurKernel(image.view(), actual.view(), params);
        ASSERT_EQ(FirstDifference(expected, actual), "")
            << image.width << "x" << image.height << " r " << params.radiusX << "," << params.radiusY << " offsets " << params.offsetX
            << "," << params.offsetY << " glow " << params.glowColor.value_or(0) << " x " << params.intensity << " level "
            << static_cast<int>(ActiveSimdLevel());
        ASSERT_TRUE(actual.guardsIntact());
    });
}

template <class T, size_t N>
T Pick(std::mt19937& random, const T (&values)[N]) { return values[random() % N]; }

TEST(BlurKernel, MatchesReferenceOnRandomImages) {
    std::mt19937 random(2);
    const double radii[] = {0, 0.5, 1, 1.5, 2, 2.5, 3, 10, 0.3, 1.7, 4.2, -0.5, -0.7, -1, -3, 45, 1e9, kInf, kNaN};
    const int offsets[] = {0, 1, -1, 4, -7, 1000, -100000, 2147483647, -2147483647 - 1};
    const double intensities[] = {1, 0.5, 3, 10, 1e300, kInf, kNaN};
    for (auto [w, h] : {std::pair{1, 1}, {1, 9}, {9, 1}, {13, 9}, {31, 17}, {6, 40}, {64, 3}})
        for (int trial = 0; trial < 40; ++trial) {
            PaddedImage image(w, h);
            FillRandom(image, random, trial % 2 == 0);
            BlurParams params;
            params.radiusX = params.radiusY = Pick(random, radii);
            if (trial % 3) params.radiusY = Pick(random, radii);
            if (trial % 2) params.glowColor = random(), params.intensity = Pick(random, intensities);
            if (trial % 4 >= 2) params.offsetX = Pick(random, offsets), params.offsetY = Pick(random, offsets);
            ExpectSameAsReference(image, params);
        }
}

// Radii up to 10 whose 2r is whole sum wholly opaque windows as bytes (taps
// added directly up to 4, running sums beyond) and do the rest one window at
// a time; vector widths, row tails, offsets and glow.
TEST(BlurKernel, MatchesReferenceOnOpaqueAreas) {
    blur_detail::SetBytePathChoice(blur_detail::BytePathChoice::WheneverPossible);
    std::mt19937 random(8);
    const double radii[] = {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 6, 7.5, 10, 10.5, 1.7};
    const int offsets[] = {0, 1, -2, 5, -9, 40, -2147483647 - 1};
    for (int w : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 33, 61, 100})
        for (int trial = 0; trial < 12; ++trial) {
            PaddedImage image(w, 1 + static_cast<int>(random() % 23));
            FillOpaqueAndTransparent(image, random);
            BlurParams params;
            params.radiusX = params.radiusY = Pick(random, radii);
            if (trial % 3 == 0) params.radiusY = Pick(random, radii);
            if (trial % 4 == 1)
                params.glowColor = random() | (trial % 8 == 1 ? 0 : 0xFF000000u), params.intensity = trial % 3 ? 1.0 + random() % 20 : 1.0;
            if (trial % 4 >= 2) params.offsetX = Pick(random, offsets), params.offsetY = Pick(random, offsets);
            ExpectSameAsReference(image, params);
        }
    // Areas wide and tall enough for whole windows of every radius, with
    // every colour byte, a transparent corner and a soft edge.
    PaddedImage image(64, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>(x * 4 + y % 4);
            const std::uint32_t alpha = x > 44 && y > 26 ? 0 : x == 44 && y > 26 ? 128 : 255;
            image.at(x, y) = alpha << 24 | v << 16 | (255 - v) << 8 | (v * 7 & 255);
        }
    for (double radius : {0.5, 1.0, 2.5, 4.0, 5.0, 6.5, 10.0}) {
        ExpectSameAsReference(image, BlurParams{0, 0, std::nullopt, 1, radius, radius});
        ExpectSameAsReference(image, BlurParams{-3, 5, 0xFF00FF00u, 1, radius, radius});
    }
    blur_detail::SetBytePathChoice(blur_detail::BytePathChoice::WhenItPays);
}

TEST(BlurKernel, ReadsAndWritesBottomUpRows) {
    // Locked bitmaps may run bottom-up: the same pixels through negative strides.
    std::mt19937 random(7);
    PaddedImage image(17, 11), source(17, 11, 1), out(17, 11, 2), seen(17, 11);
    FillRandom(image, random);
    const BlurParams params{0, 0, std::nullopt, 1, 2.5, 2.5};
    const ImageView from = source.flipped(), to = out.flipped();
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 17; ++x) from.row(y)[x] = to.row(y)[x] = image.at(x, y);
    BlurKernel(from, to, params);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 17; ++x) seen.at(x, y) = to.row(y)[x];
    EXPECT_EQ(FirstDifference(Filtered(image, reference::BlurKernel, params), seen), "");
    EXPECT_TRUE(out.guardsIntact());
}

}  // namespace
}  // namespace rastelle::kernels
