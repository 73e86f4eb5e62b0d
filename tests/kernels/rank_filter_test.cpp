#include "kernels/rank_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <numeric>
#include <random>
#include <tuple>
#include <vector>

#include "reference_kernels.h"
#include "test_images.h"

namespace rastelle::kernels {
namespace {

const char* Name(RankMode mode) {
    return mode == RankMode::Median ? "median" : mode == RankMode::Minimum ? "minimum" : "maximum";
}

constexpr RankMode kModes[] = {RankMode::Median, RankMode::Minimum, RankMode::Maximum};

void ExpectSameAsReference(const PaddedImage& image, int radius, RankMode mode, bool rankAlpha) {
    PaddedImage actual = CopyOf(image, 2);
    RankFilter(image.view(), actual.view(), radius, mode, rankAlpha);
    ASSERT_EQ(FirstDifference(Filtered(image, reference::RankFilter, radius, mode, rankAlpha), actual), "")
        << image.width << "x" << image.height << " r " << radius << " " << Name(mode) << " ranked alpha " << rankAlpha;
    ASSERT_TRUE(actual.guardsIntact());
}

TEST(RankOrder, RanksByKeyThenByByte) {
    // p is alpha << 8 | byte; its key alpha * byte, then the byte.
    const auto order = [](std::uint32_t p) { return RankOrderOf(static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)); };
    const auto key = [](std::uint32_t p) { return std::pair{(p >> 8) * (p & 0xFF), p & 0xFF}; };
    std::vector<std::uint32_t> pairs(65536);
    std::iota(pairs.begin(), pairs.end(), 0u);
    std::sort(pairs.begin(), pairs.end(), [&](std::uint32_t a, std::uint32_t b) { return order(a) < order(b); });
    for (size_t i = 1; i < pairs.size(); ++i) {
        const std::uint32_t a = pairs[i - 1], b = pairs[i];
        ASSERT_LE(key(a), key(b));
        ASSERT_EQ(order(a) == order(b), key(a) == key(b));
    }
    for (std::uint32_t p = 0; p < 65536; ++p) ASSERT_EQ(ByteOfRankOrder(order(p)), p & 0xFF);
    EXPECT_EQ(RankOrderOf(255, 255), 65280);
}

TEST(RankFilter, EqualKeysAreOrderedByTheirByte) {
    // Blue keys: 2 * 100 = 100 * 2 = 200 and 0 * 50 = 0; the ties are broken by
    // the blue byte, ascending.
    const PaddedImage image = Row({0x02000064u, 0x64000002u, 0x00000032u});
    for (auto [mode, blue] : {std::pair{RankMode::Minimum, 0x32u}, {RankMode::Median, 0x02u}, {RankMode::Maximum, 0x64u}})
        EXPECT_EQ(Filtered(image, RankFilter, 1, mode, true).at(1, 0) & 0xFF, blue) << Name(mode);
    // Transparent pixels: all key 0, ranked by their bytes.
    EXPECT_EQ(Filtered(Row({0x00000090u, 0x00000010u, 0x00000050u}), RankFilter, 1, RankMode::Median, false).at(1, 0), 0x00000050u);
}

using RankFilterAtLevel = EverySimdLevel;
RASTELLE_FOR_EVERY_SIMD_LEVEL(RankFilterAtLevel);

TEST_P(RankFilterAtLevel, MatchesReferenceOnRandomImages) {
    std::mt19937 random(21);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 8}, {7, 1}, {2, 2}, {3, 3}, {13, 9}, {29, 17}, {9, 30}, {40, 4}};
    const int radii[] = {1, 1, 2, 3, 5, 9, 12, 40, INT_MAX};
    for (auto [w, h] : sizes)
        for (int trial = 0; trial < 12; ++trial) {
            PaddedImage image(w, h);
            FillRandom(image, random, trial % 2 == 0);
            const int radius = radii[random() % std::size(radii)];
            for (RankMode mode : kModes) ExpectSameAsReference(image, radius, mode, trial % 3 != 0);
        }
}

TEST_P(RankFilterAtLevel, MatchesReferenceWhenEveryAlphaIsTheSame) {
    // The byte-order path: opaque, fully transparent and one partial alpha.
    std::mt19937 random(22);
    const std::pair<int, int> sizes[] = {{1, 1}, {5, 1}, {1, 6}, {3, 3}, {17, 11}, {33, 7}, {8, 29}};
    for (std::uint32_t alpha : {255u, 0u, 77u})
        for (auto [w, h] : sizes)
            for (int radius : {1, 2, 4, 9, 11, 100}) {
                PaddedImage image(w, h);
                FillRandom(image, random, radius % 2 == 0);
                for (auto& p : image.memory) p = (p & 0xFFFFFFu) | alpha << 24;
                for (RankMode mode : kModes) ExpectSameAsReference(image, radius, mode, radius % 3 != 0);
            }
}

TEST_P(RankFilterAtLevel, MediansOfFewAndOfManyDistinctPositions) {
    // Beyond r = 2 the 16-bit medians rank the positions an image holds: up
    // to 256 of them in bytes, up to 4096 in 12 bits; more (about 5000 here)
    // by a sliding histogram along the rows below r = 24, by sorted columns
    // from there.
    std::mt19937 random(29);
    PaddedImage few(23, 19), some(37, 29), many(100, 46);
    FillOpaqueAndTransparent(few, random);
    FillRandom(some, random);
    for (int y = 0; y < many.height; ++y)
        for (int x = 0; x < many.width; ++x) many.at(x, y) = random() | 0x01000000u;
    for (const PaddedImage* image : {&few, &some, &many})
        for (int radius : {3, 11, 25})
            if (image != &many || radius != 11) ExpectSameAsReference(*image, radius, RankMode::Median, radius != 11);
}

TEST_P(RankFilterAtLevel, BandsOfRowsJoinSeamlessly) {
    // Images with alphas that differ are filtered in bands of at least 64 rows.
    std::mt19937 random(25);
    PaddedImage image(7, 150);
    FillRandom(image, random, true);
    for (int radius : {1, 2, 3, 17, 40})
        for (RankMode mode : kModes) ExpectSameAsReference(image, radius, mode, radius != 2);
}

TEST_P(RankFilterAtLevel, MatchesReferenceAtEveryWidth) {
    // Registers hold 4 or 8 pixels (8 or 16 positions): widths 1..70 end
    // rows at every offset into them, and narrow images cut windows on both
    // sides; the heights cut the windows' rows. Minimum and maximum also with
    // radii beyond 2, whose columns go by blocks and rows by doubled spans.
    std::mt19937 random(26);
    std::vector<int> widths(70);
    std::iota(widths.begin(), widths.end(), 1);
    widths.insert(widths.end(), {97, 131, 203});
    const int heights[] = {1, 2, 3, 4, 5, 6, 9, 13};
    for (int w : widths) {
        const int h = heights[w % std::size(heights)];
        for (bool oneAlpha : {true, false}) {
            PaddedImage image(w, h);
            FillRandom(image, random, w % 3 == 0);
            if (oneAlpha)
                for (auto& p : image.memory) p = (p & 0xFFFFFFu) | (w % 2 ? 0xFF000000u : 0x80000000u);
            for (int radius : {1, 2, 3 + w % 4})
                for (RankMode mode : kModes)
                    if (radius <= 2 || mode != RankMode::Median) ExpectSameAsReference(image, radius, mode, mode != RankMode::Median || w % 2 == 0);
        }
    }
}

TEST_P(RankFilterAtLevel, OnePixelOfAnotherAlphaIsNoticedWhereverItIs) {
    // The bytes are filtered while the rows are found to share the first
    // pixel's alpha; one pixel with another, in the last row, a middle one or
    // the first, in a register or in the tail of a row, sends the whole image
    // to the general path.
    std::mt19937 random(27);
    PaddedImage image(37, 11);
    FillRandom(image, random);
    MakeOpaque(image);
    for (auto [x, y] : {std::pair{36, 10}, std::pair{3, 5}, std::pair{33, 0}}) {
        PaddedImage odd = CopyOf(image, 0);
        odd.at(x, y) &= 0x7FFFFFFFu;  // alpha 127: one bit less
        for (int radius : {1, 2, 4})
            for (RankMode mode : kModes) ExpectSameAsReference(odd, radius, mode, true);
    }
}

// Medians of an image of one alpha, by another route than the filter's:
// per row, the histograms of each column's rows summed across the window
// through prefix sums. The alpha is copied.
PaddedImage MediansByPrefixSums(const PaddedImage& image, int r) {
    const int w = image.width, h = image.height;
    PaddedImage out = CopyOf(image, 0);
    std::vector<std::uint32_t> prefix(static_cast<size_t>(w + 1) * 256);
    for (int channel = 0; channel < 3; ++channel)
        for (int y = 0; y < h; ++y) {
            const int y0 = std::max(0, y - r), y1 = std::min(h - 1, y + r);
            std::fill(prefix.begin(), prefix.end(), 0u);
            for (int x = 0; x < w; ++x) {
                std::copy_n(&prefix[static_cast<size_t>(x) * 256], 256, &prefix[static_cast<size_t>(x + 1) * 256]);
                for (int k = y0; k <= y1; ++k) ++prefix[static_cast<size_t>(x + 1) * 256 + (image.at(x, k) >> 8 * channel & 0xFF)];
            }
            for (int x = 0; x < w; ++x) {
                const int x0 = std::max(0, x - r), x1 = std::min(w - 1, x + r);
                const std::uint32_t k = static_cast<std::uint32_t>((y1 - y0 + 1) * (x1 - x0 + 1) / 2);
                std::uint32_t below = 0;
                unsigned v = 0;
                for (;; ++v) {
                    const std::uint32_t n = prefix[static_cast<size_t>(x1 + 1) * 256 + v] - prefix[static_cast<size_t>(x0) * 256 + v];
                    if (below + n > k) break;
                    below += n;
                }
                out.at(x, y) = (out.at(x, y) & ~(0xFFu << 8 * channel)) | v << 8 * channel;
            }
        }
    return out;
}

TEST(RankFilter, MediansOfWindowsBeyondSixteenBitCounts) {
    // Windows of up to 401 x 170 pixels: the byte medians count in 32 bits.
    std::mt19937 random(24);
    PaddedImage image(400, 170);
    FillRandom(image, random, true);
    MakeOpaque(image);
    EXPECT_EQ(FirstDifference(MediansByPrefixSums(image, 200), Filtered(image, NoiseRemoveImage, 200)), "");
}

// The median of every pixel's ranking position in a channel, as a byte.
std::uint32_t ChannelMedian(const PaddedImage& image, int channel) {
    std::vector<std::uint16_t> orders;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            orders.push_back(RankOrderOf(static_cast<std::uint8_t>(image.at(x, y) >> 24),
                                         static_cast<std::uint8_t>(image.at(x, y) >> 8 * channel)));
    std::nth_element(orders.begin(), orders.begin() + static_cast<std::ptrdiff_t>(orders.size() / 2), orders.end());
    return ByteOfRankOrder(orders[orders.size() / 2]);
}

TEST(RankFilter, WindowsCoveringTheImageGiveItsMedianEverywhere) {
    // Any radius from the larger side up is the whole image: every pixel takes
    // the image's median of each channel, at a cost that does not grow with
    // the radius (a huge one once took minutes). Opaque (the byte path) and
    // of many alphas (the ranking positions).
    std::mt19937 random(28);
    PaddedImage opaque(1200, 800), mixed(300, 200), cutOut(400, 300);
    FillRandom(opaque, random);
    MakeOpaque(opaque);
    FillRandom(mixed, random, true);
    FillOpaqueAndTransparent(cutOut, random);  // few distinct alphas: ranked positions
    for (const PaddedImage* image : {&opaque, &mixed, &cutOut}) {
        std::uint32_t rgb = 0;
        for (int channel = 0; channel < 3; ++channel) rgb |= ChannelMedian(*image, channel) << 8 * channel;
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

TEST(RankFilter, RadiusBelowOneRaisesPartialAlpha) {
    const PaddedImage image = Row({0xFF123456u, 0x40123456u, 0x00123456u});
    for (int radius : {0, -1, INT_MIN})
        EXPECT_EQ(Filtered(image, ExpandImage, radius).memory,
                  (std::vector<std::uint32_t>{0xFF123456u, 0x80123456u, 0x00123456u})) << radius;
}

TEST(NoiseRemoveImage, RemovesSpecksAndKeepsEachAlpha) {
    PaddedImage black = Filled(7, 7, 0xFF000000u), white = Filled(7, 7, 0xFFFFFFFFu);
    black.at(3, 3) = 0xFFFFFFFFu;
    white.at(3, 3) = 0xFF000000u;
    for (PaddedImage* image : {&black, &white}) EXPECT_EQ(Filtered(*image, NoiseRemoveImage, 1).at(3, 3), image->at(0, 0));
    // Corner window of four: the element at index 2 of the sorted four.
    PaddedImage corner = Filled(5, 5, 0xFF101010u);
    corner.at(0, 0) = 0xFF404040u, corner.at(1, 0) = 0xFF303030u, corner.at(0, 1) = 0xFF202020u;
    EXPECT_EQ(Filtered(corner, NoiseRemoveImage, 1).at(0, 0), 0xFF303030u);

    std::mt19937 random(23);
    PaddedImage mixed(11, 8);
    FillRandom(mixed, random);
    PaddedImage out = Filtered(mixed, NoiseRemoveImage, 2);
    for (size_t i = 0; i < out.memory.size(); ++i) out.memory[i] = (out.memory[i] & 0xFF000000u) | (mixed.memory[i] & 0xFFFFFFu);
    EXPECT_EQ(out.memory, mixed.memory);  // alpha kept
}

TEST(ExpandAndErosion, GrowAndShrinkDarkShapes) {
    const PaddedImage white = Filled(9, 9, 0xFFFFFFFFu);
    PaddedImage dot = white, square = white;
    dot.at(4, 4) = 0xFF000000u;
    for (int y = 3; y <= 5; ++y)
        for (int x = 3; x <= 5; ++x) square.at(x, y) = 0xFF000000u;
    EXPECT_EQ(Filtered(dot, ExpandImage, 1).memory, square.memory);
    EXPECT_EQ(Filtered(square, ErosionImage, 1).memory, dot.memory);
    EXPECT_EQ(Filtered(dot, ErosionImage, 1).memory, white.memory);
}

TEST(ExpandAndErosion, OpaqueAreasGrowOrShrinkIntoTransparency) {
    PaddedImage image(12, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 12; ++x) image.at(x, y) = x < 6 ? 0xFF336699u : 0x00336699u;
    for (int r : {1, 2, 4}) {
        const PaddedImage eroded = Filtered(image, ErosionImage, r), expanded = Filtered(image, ExpandImage, r);
        std::vector<std::uint32_t> got, want;
        for (int x = 0; x < 12; ++x)
            got.insert(got.end(), {eroded.at(x, 2) >> 24, expanded.at(x, 2) >> 24}), want.insert(want.end(), {x < 6 + r ? 255u : 0u, x < 6 - r ? 255u : 0u});
        EXPECT_EQ(got, want) << r;
    }
}

}  // namespace
}  // namespace rastelle::kernels
