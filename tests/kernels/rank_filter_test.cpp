#include "kernels/rank_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "reference_kernels.h"
#include "test_images.h"

namespace rastelle::kernels {
namespace {

constexpr RankMode kModes[] = {RankMode::Median, RankMode::Minimum, RankMode::Maximum};

// The kernel at every vector level against the reference.
void ExpectSameAsReference(const PaddedImage& image, int radius, RankMode mode, bool rankAlpha) {
    const PaddedImage expected = Filtered(image, reference::RankFilter, radius, mode, rankAlpha);
    AtEverySimdLevel([&] {
        PaddedImage actual = CopyOf(image, 2);
        RankFilter(image.view(), actual.view(), radius, mode, rankAlpha);
        ASSERT_EQ(FirstDifference(expected, actual), "") << image.width << "x" << image.height << " r " << radius << " mode "
            << static_cast<int>(mode) << " ranked alpha " << rankAlpha << " level " << static_cast<int>(ActiveSimdLevel());
        ASSERT_TRUE(actual.guardsIntact());
    });
}

// Every mode on random alphas, one alpha (the byte path) or all but one pixel
// (which must send the image to the general path); every row end in a
// register; radii below one, beyond 2 and beyond the image.
TEST(RankFilter, MatchesReferenceOnRandomImages) {
    std::mt19937 random(21);
    const int radii[] = {1, 1, 2, 3, 4, 5, 9, 12, 40, INT_MAX};
    const int heights[] = {1, 2, 3, 5, 9, 13};
    const std::uint32_t alphas[] = {0xFF, 0, 77};
    for (int w : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 29, 40, 131})
        for (int trial = 0; trial < 4; ++trial) {
            PaddedImage image(w, heights[(w + trial) % std::size(heights)]);
            FillRandom(image, random, trial % 2 == 0);
            if (trial >= 2)
                for (auto& p : image.memory) p = (p & 0xFFFFFFu) | alphas[(w + trial) % 3] << 24;
            if (trial == 3) image.at(static_cast<int>(random() % w), image.height - 1) ^= 0x01000000u;
            const int radius = radii[random() % std::size(radii)];
            for (RankMode mode : kModes) ExpectSameAsReference(image, radius, mode, (w + trial) % 3 != 0);
        }
    PaddedImage image(5, 2);
    FillRandom(image, random);
    for (int radius : {0, INT_MIN}) ExpectSameAsReference(image, radius, RankMode::Median, true);
}

TEST(RankFilter, MediansOfFewAndOfManyDistinctPositionsAndBands) {
    // Beyond r = 2 the medians rank the positions an image holds: up to 256
    // in bytes, up to 4096 in 12 bits; more (about 5000 here) by a sliding
    // histogram below r = 24, by sorted columns from there. Images of
    // several alphas are filtered in bands of at least 64 rows.
    std::mt19937 random(29);
    PaddedImage few(23, 19), some(37, 29), many(100, 46), tall(7, 150);
    FillOpaqueAndTransparent(few, random);
    FillRandom(some, random);
    FillRandom(tall, random, true);
    for (int y = 0; y < many.height; ++y)
        for (int x = 0; x < many.width; ++x) many.at(x, y) = random() | 0x01000000u;
    for (const PaddedImage* image : {&few, &some, &many})
        for (int radius : {3, 11, 25})
            if (image != &many || radius != 11) ExpectSameAsReference(*image, radius, RankMode::Median, radius != 11);
    for (int radius : {2, 17, 40})
        for (RankMode mode : kModes) ExpectSameAsReference(tall, radius, mode, radius != 2);
}

// The median of each channel over a window, ranked by alpha * byte, then byte.
std::uint32_t WindowMedian(const PaddedImage& image, int x0, int y0, int x1, int y1) {
    std::uint32_t rgb = 0;
    for (int channel = 0; channel < 3; ++channel) {
        std::vector<std::uint32_t> keys;
        for (int y = std::max(y0, 0); y <= std::min(y1, image.height - 1); ++y)
            for (int x = std::max(x0, 0); x <= std::min(x1, image.width - 1); ++x)
                keys.push_back((image.at(x, y) >> 24) * (image.at(x, y) >> 8 * channel & 0xFF) << 8 | (image.at(x, y) >> 8 * channel & 0xFF));
        std::nth_element(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(keys.size() / 2), keys.end());
        rgb |= (keys[keys.size() / 2] & 0xFF) << 8 * channel;
    }
    return rgb;
}

TEST(RankFilter, MediansOfWindowsBeyondSixteenBitCounts) {
    // Windows of up to 400 x 170 pixels: the byte medians count in 32 bits.
    std::mt19937 random(24);
    PaddedImage image(400, 170);
    FillRandom(image, random, true);
    MakeOpaque(image);
    const PaddedImage out = Filtered(image, NoiseRemoveImage, 200);
    for (int x : {0, 1, 199, 200, 399})
        for (int y : {0, 85, 169}) EXPECT_EQ(out.at(x, y), 0xFF000000u | WindowMedian(image, x - 200, y - 200, x + 200, y + 200)) << x << ", " << y;

    // One value more often than 16 bits can count: 66 000 black pixels and a
    // white corner of 1 600.
    PaddedImage dark(260, 260);
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 260; ++x) dark.at(x, y) = x < 40 && y < 40 ? 0xFFFFFFFFu : 0xFF000000u;
    const PaddedImage median = Filtered(dark, NoiseRemoveImage, 300);
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 260; ++x) ASSERT_EQ(median.at(x, y), 0xFF000000u) << x << ", " << y;
}

TEST(RankFilter, WindowsCoveringTheImageGiveItsMedianEverywhere) {
    // Any radius from the larger side up is the whole image, at a cost that
    // does not grow with the radius (a huge one once took minutes). Opaque
    // (the byte path), of many alphas, of few (the ranking positions).
    std::mt19937 random(28);
    PaddedImage opaque(1200, 800), mixed(300, 200), cutOut(400, 300);
    FillRandom(opaque, random);
    MakeOpaque(opaque);
    FillRandom(mixed, random, true);
    FillOpaqueAndTransparent(cutOut, random);
    for (const PaddedImage* image : {&opaque, &mixed, &cutOut}) {
        const std::uint32_t rgb = WindowMedian(*image, 0, 0, image->width, image->height);
        std::vector<std::uint32_t> expected = image->memory;
        for (auto& p : expected) p = (p & 0xFF000000u) | rgb;
        for (int radius : {std::max(image->width, image->height), INT_MAX})
            ASSERT_EQ(Filtered(*image, NoiseRemoveImage, radius).memory, expected) << image->width << " r " << radius;
    }
    // Windows that span every column but not every row slide down the image.
    PaddedImage tall(17, 70);
    FillRandom(tall, random, true);
    for (int radius : {16, 30, 69}) ExpectSameAsReference(tall, radius, RankMode::Median, false);
}

}  // namespace
}  // namespace rastelle::kernels
