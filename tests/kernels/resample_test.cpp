#include "kernels/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "test_images.h"

namespace rastelle::kernels {
namespace {

constexpr ResampleMode kAllModes[] = {ResampleMode::NearestNeighbor, ResampleMode::Bilinear,
                                      ResampleMode::HighQualityBilinear, ResampleMode::Bicubic,
                                      ResampleMode::HighQualityBicubic};
constexpr ResampleMode kFilteringModes[] = {ResampleMode::Bilinear, ResampleMode::HighQualityBilinear,
                                            ResampleMode::Bicubic, ResampleMode::HighQualityBicubic};

using Image = PaddedImage;

// Straight pixels with alphas that are often 0 or 255 and colours that are
// random even under alpha 0, which must then never show.
Image RandomImage(int w, int h, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Image image(w, h);
    for (std::uint32_t& p : image.memory) {
        const std::uint32_t rgb = rng() & 0xFFFFFF, kind = rng() % 4;
        p = (kind == 0 ? 0 : kind == 1 ? 255 : rng() % 256) << 24 | rgb;
    }
    return image;
}

// ---- the plain reference: every output pixel straight from the definition ----

double RefTriangle(double t) {
    const double r = std::fabs(t);
    return r < 1.0 ? 1.0 - r : 0.0;
}

double RefCubic(double t) {
    const double r = std::fabs(t);
    if (r <= 1.0) return (1.5 * r - 2.5) * r * r + 1.0;
    if (r < 2.0) return ((-0.5 * r + 2.5) * r - 4.0) * r + 2.0;
    return 0.0;
}

bool RefCovered(std::int64_t X, std::int64_t x, std::int64_t w, std::int64_t outN, std::int64_t size) {
    const std::int64_t centre2 = 2 * x * outN + (2 * X + 1) * w;  // 2 * outN * u
    return centre2 >= 0 && centre2 < 2 * size * outN;
}

int RefNearest(std::int64_t X, std::int64_t x, std::int64_t w, std::int64_t outN) {
    return static_cast<int>((2 * x * outN + (2 * X + 1) * w) / (2 * outN));  // u >= 0 when covered
}

// Folded weights of output X on one axis: source index -> weight.
std::map<int, double> RefWeights(std::int64_t X, std::int64_t x, std::int64_t w, std::int64_t outN, int size,
                                 ResampleMode mode) {
    const bool cubic = mode == ResampleMode::Bicubic || mode == ResampleMode::HighQualityBicubic;
    const bool widened = mode == ResampleMode::HighQualityBilinear || mode == ResampleMode::HighQualityBicubic;
    const double s = static_cast<double>(w) / static_cast<double>(outN);
    const double sigma = widened && s > 1.0 ? s : 1.0;
    const std::int64_t n = (2 * X + 1) * w - outN, d = 2 * outN;
    const std::int64_t q = n >= 0 ? n / d : -((-n + d - 1) / d);
    const double f = static_cast<double>(n - q * d) / static_cast<double>(d);
    const std::int64_t i0 = x + q;
    const std::int64_t reach = static_cast<std::int64_t>(std::ceil((cubic ? 2.0 : 1.0) * sigma)) + 3;
    std::vector<double> raw;
    double sum = 0.0;
    for (std::int64_t i = i0 - reach; i <= i0 + reach; ++i) {
        const double t = (static_cast<double>(i - i0) - f) / sigma;
        raw.push_back(cubic ? RefCubic(t) : RefTriangle(t));
        sum += raw.back();
    }
    std::map<int, double> folded;
    for (std::int64_t i = i0 - reach; i <= i0 + reach; ++i) {
        const int at = static_cast<int>(std::clamp<std::int64_t>(i, 0, size - 1));
        folded[at] += raw[static_cast<size_t>(i - (i0 - reach))] / sum;
    }
    return folded;
}

// Acc = float gives the exact result; Acc = double the same filter with no
// float rounding of weights or sums.
template <class Acc>
std::vector<std::uint32_t> RefResample(const ConstImageView& src, SourceRect r, int outW, int outH,
                                       ResampleMode mode, std::uint32_t background) {
    std::vector<std::uint32_t> out(static_cast<size_t>(outW) * outH, background);
    if (r.width <= 0 || r.height <= 0) return out;
    const auto weights = [mode](std::int64_t x, std::int64_t w, int outN, int size) {
        std::vector<std::map<int, double>> all(static_cast<size_t>(outN));
        for (int X = 0; X < outN; ++X)
            if (mode != ResampleMode::NearestNeighbor && RefCovered(X, x, w, outN, size)) all[X] = RefWeights(X, x, w, outN, size, mode);
        return all;
    };
    const auto columns = weights(r.x, r.width, outW, src.width), rows = weights(r.y, r.height, outH, src.height);
    for (int Y = 0; Y < outH; ++Y) {
        if (!RefCovered(Y, r.y, r.height, outH, src.height)) continue;
        for (int X = 0; X < outW; ++X) {
            if (!RefCovered(X, r.x, r.width, outW, src.width)) continue;
            std::uint32_t& o = out[static_cast<size_t>(Y) * outW + X];
            if (mode == ResampleMode::NearestNeighbor) {
                const std::uint32_t p = src.row(RefNearest(Y, r.y, r.height, outH))[RefNearest(X, r.x, r.width, outW)];
                o = ComposeOver(Premultiply(p), background);
                continue;
            }
            Acc sums[4] = {0, 0, 0, 0};
            for (const auto& [sy, wy] : rows[static_cast<size_t>(Y)]) {
                Acc h[4] = {0, 0, 0, 0};
                for (const auto& [sx, wx] : columns[static_cast<size_t>(X)]) {
                    const PremultipliedPixel p = Premultiply(src.row(sy)[sx]);
                    const std::uint32_t v[4] = {p.b, p.g, p.r, p.a};
                    for (int c = 0; c < 4; ++c) h[c] += static_cast<Acc>(wx) * static_cast<Acc>(v[c]);
                }
                for (int c = 0; c < 4; ++c) sums[c] += static_cast<Acc>(wy) * h[c];
            }
            std::uint32_t c[4];
            for (int i = 3; i >= 0; --i)
                c[i] = std::min(static_cast<std::uint32_t>(std::nearbyint(std::clamp<Acc>(sums[i], 0, 65025))), i == 3 ? 65025u : c[3]);
            o = ComposeOver({c[0], c[1], c[2], c[3]}, background);
        }
    }
    return out;
}

// The kernel's output into rows with guards, top-down or bottom-up.
std::vector<std::uint32_t> Resample(const Image& src, SourceRect r, int outW, int outH, ResampleMode mode,
                                    std::uint32_t bg, bool bottomUp = false) {
    Image dst(outW, outH, 3);
    ResampleOver(src.view(), r, bottomUp ? dst.flipped() : dst.view(), mode, bg);
    EXPECT_TRUE(dst.guardsIntact()) << "wrote past a row";
    std::vector<std::uint32_t> out;
    for (int y = 0; y < outH; ++y)
        for (int x = 0; x < outW; ++x) out.push_back(dst.at(x, bottomUp ? outH - 1 - y : y));
    return out;
}

int Channel(std::uint32_t p, int c) { return static_cast<int>((p >> (8 * c)) & 0xFF); }

// ---- source over ----

TEST(ComposeOver, TransparentGivesTheBackgroundAndOpaqueTheSource) {
    for (std::uint32_t bg : {0x01000000u, 0x00000000u, 0x00123456u, 0x80336699u, 0xFFFFFFFFu})
        EXPECT_EQ(ComposeOver(Premultiply(0x00FF8040u), bg), bg);
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t p = 0xFF000000u | v << 16 | (255 - v) << 8 | (v * 7 & 0xFF);
        EXPECT_EQ(ComposeOver(Premultiply(p), 0x01000000u), p);
        EXPECT_EQ(ComposeOver(Premultiply(p), 0x80FFFFFFu), p);
    }
    // A resampled opaque colour is its rounded 255th, for every sum.
    for (std::uint32_t c = 0; c <= kFullCoverage; ++c) {
        const std::uint32_t expected = (2 * c + 255) / 510;  // c / 255 rounded; never a tie
        ASSERT_EQ(ComposeOver({c, 0, 0, kFullCoverage}, 0), 0xFF000000u | expected) << c;
    }
}

TEST(ComposeOver, WorkedExamplesAndAgreementWithRealArithmetic) {
    // Half-transparent red over opaque blue, and over the forced-alpha black.
    EXPECT_EQ(ComposeOver(Premultiply(0x80FF0000u), 0xFF0000FFu), 0xFF80007Fu);
    EXPECT_EQ(ComposeOver(Premultiply(0x80FF0000u), 0x01000000u), 0x80FE0000u);

    // Porter-Duff over in real numbers; each output is the exact value rounded.
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; ++i) {
        PremultipliedPixel p;
        p.a = rng() % 4 == 0 ? rng() % 300 : rng() % (kFullCoverage + 1);
        p.b = rng() % (p.a + 1), p.g = rng() % (p.a + 1), p.r = rng() % (p.a + 1);
        const std::uint32_t bg = rng() | (rng() % 2 ? 0x01000000u : 0u);
        const double A = p.a / 65025.0, ba = (bg >> 24) / 255.0;
        const double outA = A + ba * (1 - A);
        const std::uint32_t out = ComposeOver(p, bg);
        if (p.a == 0) {
            ASSERT_EQ(out, bg);
            continue;
        }
        ASSERT_LE(std::fabs(Channel(out, 3) - 255 * outA), 0.5 + 1e-9) << i;
        const std::uint32_t premul[3] = {p.b, p.g, p.r};
        for (int c = 0; c < 3; ++c) {
            const double exact = 255 * (premul[c] / 65025.0 + Channel(bg, c) / 255.0 * ba * (1 - A)) / outA;
            ASSERT_LE(std::fabs(Channel(out, c) - exact), 0.5 + 1e-9) << i << " channel " << c;
        }
    }
}

// ---- against the reference ----

struct Case {
    int srcW, srcH;
    SourceRect rect;
    int outW, outH;
};

const Case kCases[] = {
    {13, 9, {0, 0, 13, 9}, 5, 4},        // reduction, non-integer factors
    {7, 5, {0, 0, 7, 5}, 23, 17},        // enlargement
    {11, 8, {0, 0, 11, 8}, 3, 19},       // reduced in x, enlarged in y
    {1, 1, {0, 0, 1, 1}, 5, 3},          // one source pixel
    {9, 7, {0, 0, 9, 7}, 1, 1},          // one output pixel
    {6, 1, {0, 0, 6, 1}, 1, 6},
    {10, 8, {-3, 2, 15, 9}, 11, 7},      // rectangle past the left and bottom edges
    {10, 8, {4, -5, 3, 20}, 7, 6},       // past the top and bottom
    {17, 13, {2, 1, 13, 11}, 4, 3},      // an inner rectangle
    {61, 47, {0, 0, 61, 47}, 2, 3},      // wide filters, folded at both edges
    {5, 4, {-100, -100, 300, 300}, 6, 5},  // a rectangle far larger than the image
    {12, 10, {20, 0, 5, 5}, 4, 4},       // wholly outside
};

TEST(ResampleOver, EveryModeMatchesTheReferenceExactly) {
    std::uint32_t seed = 1;
    for (const Case& k : kCases) {
        Image src = RandomImage(k.srcW, k.srcH, seed++);
        for (ResampleMode mode : kAllModes) {
            for (std::uint32_t bg : {0x01000000u, 0xFF20A0E0u})
                ASSERT_EQ(Resample(src, k.rect, k.outW, k.outH, mode, bg, /*bottomUp=*/seed % 2 == 0),
                          RefResample<float>(src.view(), k.rect, k.outW, k.outH, mode, bg))
                    << "mode " << static_cast<int>(mode) << ", case " << seed - 1;
        }
    }
}

TEST(ResampleOver, TallFiltersOverWideOutputsGoInStrips) {
    // 3000 filtered rows per output row are more than one pass keeps at once.
    Image src = RandomImage(300, 3000, 99);
    for (ResampleMode mode : {ResampleMode::HighQualityBilinear, ResampleMode::HighQualityBicubic})
        EXPECT_EQ(Resample(src, {0, 0, 300, 3000}, 300, 1, mode, 0xFF000000u),
                  RefResample<float>(src.view(), {0, 0, 300, 3000}, 300, 1, mode, 0xFF000000u));
}

TEST(ResampleOver, FloatArithmeticStaysWithinOneLevelOfDoublePrecision) {
    // Opaque, so that colours are not divided by small alphas.
    Image src = RandomImage(83, 61, 5);
    MakeOpaque(src);
    for (ResampleMode mode : kFilteringModes)
        for (auto [w, h] : {std::pair{19, 14}, std::pair{200, 150}, std::pair{7, 130}}) {
            const auto exact = RefResample<double>(src.view(), {0, 0, 83, 61}, w, h, mode, 0xFF000000u);
            const auto got = Resample(src, {0, 0, 83, 61}, w, h, mode, 0xFF000000u);
            for (size_t i = 0; i < got.size(); ++i)
                for (int c = 0; c < 4; ++c)
                    ASSERT_LE(std::abs(Channel(got[i], c) - Channel(exact[i], c)), 1) << static_cast<int>(mode);
        }
}

// ---- what the definitions promise ----

TEST(ResampleOver, OneToOneCropsReproduceTheSourceInEveryMode) {
    Image src = RandomImage(9, 7, 11);
    for (ResampleMode mode : kAllModes)
        for (SourceRect r : {SourceRect{0, 0, 9, 7}, SourceRect{2, 1, 5, 4}, SourceRect{-2, -3, 12, 11}})
            for (std::uint32_t bg : {0x01000000u, 0xFFFFFFFFu, 0x80336699u}) {
                std::vector<std::uint32_t> expected;
                for (int sy = r.y; sy < r.y + r.height; ++sy)
                    for (int sx = r.x; sx < r.x + r.width; ++sx)
                        expected.push_back(sx >= 0 && sx < 9 && sy >= 0 && sy < 7 ? ComposeOver(Premultiply(src.at(sx, sy)), bg) : bg);
                ASSERT_EQ(Resample(src, r, r.width, r.height, mode, bg), expected) << "mode " << static_cast<int>(mode);
            }
}

TEST(ResampleOver, UniformImagesStayUniformUpToTheirEdges) {
    for (std::uint32_t colour : {0xFF336699u, 0x80C08040u, 0x01FFFFFFu, 0x00FFFFFFu}) {
        const Image src = Filled(37, 23, colour);
        const std::uint32_t bg = 0x01000000u, expected = ComposeOver(Premultiply(colour), bg);
        for (ResampleMode mode : kAllModes)
            for (auto [w, h] : {std::pair{5, 3}, std::pair{111, 70}, std::pair{1, 1}, std::pair{3, 50},
                                std::pair{36, 22}})
                ASSERT_EQ(Resample(src, {0, 0, 37, 23}, w, h, mode, bg), std::vector<std::uint32_t>(w * h, expected))
                    << std::hex << colour << " mode " << static_cast<int>(mode);
    }
}

TEST(ResampleOver, TransparentPixelsLendNoColour) {
    // Transparent red beside opaque blue, over opaque black: no red anywhere.
    Image src(16, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 16; ++x) src.at(x, y) = (x + y) % 5 < 2 ? 0x00FF0000u : 0xFF0000FFu;
    for (ResampleMode mode : kAllModes)
        for (auto [w, h] : {std::pair{5, 3}, std::pair{40, 21}})
            for (std::uint32_t p : Resample(src, {0, 0, 16, 9}, w, h, mode, 0xFF000000u))
                ASSERT_EQ(p & 0x00FFFF00u, 0u);
}

TEST(ResampleOver, NearestNeighbourTakesThePixelUnderEachCentre) {
    Image src = RandomImage(8, 6, 3);
    // Enlarged 3 times: every source pixel becomes a 3 x 3 block.
    // Halved: centres at 2X + 1 pick the odd columns and rows.
    std::vector<std::uint32_t> big, half;
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 24; ++x) big.push_back(ComposeOver(Premultiply(src.at(x / 3, y / 3)), 0xFF000000u));
    for (int y = 1; y < 6; y += 2)
        for (int x = 1; x < 8; x += 2) half.push_back(ComposeOver(Premultiply(src.at(x, y)), 0xFF000000u));
    EXPECT_EQ(Resample(src, {0, 0, 8, 6}, 24, 18, ResampleMode::NearestNeighbor, 0xFF000000u), big);
    EXPECT_EQ(Resample(src, {0, 0, 8, 6}, 4, 3, ResampleMode::NearestNeighbor, 0xFF000000u), half);
}

// Rounds the premultiplied sum s / n to nearest, ties to even.
std::uint32_t RoundedMean(std::uint32_t s, std::uint32_t n) {
    const std::uint32_t q = s / n, r = s % n;
    return 2 * r > n || (2 * r == n && q % 2 == 1) ? q + 1 : q;
}

TEST(ResampleOver, BilinearHalvingIsTheTwoByTwoBoxAverage) {
    Image src = RandomImage(14, 10, 21);
    std::vector<std::uint32_t> expected;
    for (int y = 0; y < 10; y += 2)
        for (int x = 0; x < 14; x += 2) {
            PremultipliedPixel sum{};
            for (const std::uint32_t pixel : {src.at(x, y), src.at(x + 1, y), src.at(x, y + 1), src.at(x + 1, y + 1)}) {
                const PremultipliedPixel p = Premultiply(pixel);
                sum.b += p.b, sum.g += p.g, sum.r += p.r, sum.a += p.a;
            }
            expected.push_back(ComposeOver({RoundedMean(sum.b, 4), RoundedMean(sum.g, 4), RoundedMean(sum.r, 4), RoundedMean(sum.a, 4)}, 0x01000000u));
        }
    EXPECT_EQ(Resample(src, {0, 0, 14, 10}, 7, 5, ResampleMode::Bilinear, 0x01000000u), expected);
}

TEST(ResampleOver, HighQualityBilinearAtIntegerFactorsAveragesEachPeriod) {
    // Triangles as wide as the factor, n apart, sum to 1 at every source
    // pixel; so on an image of period n each output away from the edges
    // (where taps fold) is the plain mean of one n x n period.
    std::mt19937 rng(17);
    for (int n : {2, 3, 4, 5}) {
        std::vector<std::uint32_t> tile(static_cast<size_t>(n * n));
        std::uint32_t sum = 0;
        for (auto& v : tile) sum += (v = rng() % 200);
        const auto cells = static_cast<std::uint32_t>(n * n), rest = (cells - sum % cells) % cells;
        tile.back() += rest;  // a whole mean: nothing to round
        const std::uint32_t m = (sum + rest) / cells;
        Image src(6 * n, 5 * n);
        for (int y = 0; y < 5 * n; ++y)
            for (int x = 0; x < 6 * n; ++x) {
                const std::uint32_t v = tile[static_cast<size_t>(y % n * n + x % n)];
                src.at(x, y) = 0xFF000000u | v << 16 | (255 - v) << 8;
            }
        const auto got = Resample(src, {0, 0, 6 * n, 5 * n}, 6, 5, ResampleMode::HighQualityBilinear, 0xFF000000u);
        for (int i : {7, 8, 9, 10, 13, 14, 15, 16, 19, 20, 21, 22})  // away from the edges
            EXPECT_EQ(got[static_cast<size_t>(i)], 0xFF000000u | m << 16 | (255 - m) << 8) << "factor " << n << " at " << i;
    }
}

TEST(ResampleOver, InterpolationReproducesPolynomialsItIsExactFor) {
    // Bilinear reproduces a linear ramp, the a = -0.5 cubic a quadratic one,
    // wherever no tap is clamped; both in an enlargement by a non-integer factor.
    const int W = 20, outW = 47;
    auto ramp = [](double i) { return 10.0 + 7.0 * i; };
    auto parabola = [](double i) { return 5.0 + 0.5 * i * (i + 1); };
    for (auto [mode, f, margin] : {std::tuple{ResampleMode::Bilinear, +ramp, 1.0},
                                   std::tuple{ResampleMode::Bicubic, +parabola, 2.0}}) {
        Image src(W, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < W; ++x) {
                const auto v = static_cast<std::uint32_t>(f(x));
                ASSERT_EQ(static_cast<double>(v), f(x));
                src.at(x, y) = 0xFF000000u | v << 16;
            }
        const auto got = Resample(src, {0, 0, W, 2}, outW, 1, mode, 0xFF000000u);
        for (int X = 0; X < outW; ++X) {
            const double c = (X + 0.5) * W / outW - 0.5;
            if (c < margin || c > W - 1 - margin) continue;
            EXPECT_LE(std::fabs(Channel(got[static_cast<size_t>(X)], 2) - f(c)), 0.51) << X;
        }
    }
}

}  // namespace
}  // namespace rastelle::kernels
