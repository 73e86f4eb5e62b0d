// Resampling and the quarter turns with mirrors against plain references.
#include "kernels/resample.h"
#include "kernels/rotate_flip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "test_images.h"

namespace rastelle::kernels {
namespace {

constexpr ResampleMode kAllModes[] = {ResampleMode::NearestNeighbor, ResampleMode::Bilinear, ResampleMode::HighQualityBilinear,
                                      ResampleMode::Bicubic, ResampleMode::HighQualityBicubic};

// Straight pixels with alphas that are often 0 or 255 and colours that are
// random even under alpha 0, which must then never show.
PaddedImage RandomImage(int w, int h, std::uint32_t seed) {
    std::mt19937 rng(seed);
    PaddedImage image(w, h);
    for (std::uint32_t& p : image.memory) {
        const std::uint32_t rgb = rng() & 0xFFFFFF, kind = rng() % 4;
        p = (kind == 0 ? 0 : kind == 1 ? 255 : rng() % 256) << 24 | rgb;
    }
    return image;
}

// ---- the plain reference: every output pixel straight from the definition ----

double RefTriangle(double t) { return std::fabs(t) < 1.0 ? 1.0 - std::fabs(t) : 0.0; }

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

// Weights and sums in float, as the definition has them.
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
                o = ComposeOver(Premultiply(src.row(RefNearest(Y, r.y, r.height, outH))[RefNearest(X, r.x, r.width, outW)]), background);
                continue;
            }
            float sums[4] = {0, 0, 0, 0};
            for (const auto& [sy, wy] : rows[static_cast<size_t>(Y)]) {
                float h[4] = {0, 0, 0, 0};
                for (const auto& [sx, wx] : columns[static_cast<size_t>(X)]) {
                    const PremultipliedPixel p = Premultiply(src.row(sy)[sx]);
                    const std::uint32_t v[4] = {p.b, p.g, p.r, p.a};
                    for (int c = 0; c < 4; ++c) h[c] += static_cast<float>(wx) * static_cast<float>(v[c]);
                }
                for (int c = 0; c < 4; ++c) sums[c] += static_cast<float>(wy) * h[c];
            }
            std::uint32_t c[4];
            for (int i = 3; i >= 0; --i)
                c[i] = std::min(static_cast<std::uint32_t>(std::nearbyint(std::clamp<float>(sums[i], 0, 65025))), i == 3 ? 65025u : c[3]);
            o = ComposeOver({c[0], c[1], c[2], c[3]}, background);
        }
    }
    return out;
}

// The kernel's output into rows with guards, top-down or bottom-up.
std::vector<std::uint32_t> Resample(const PaddedImage& src, SourceRect r, int outW, int outH, ResampleMode mode,
                                    std::uint32_t bg, bool bottomUp = false) {
    PaddedImage dst(outW, outH, 3);
    ResampleOver(src.view(), r, bottomUp ? dst.flipped() : dst.view(), mode, bg);
    EXPECT_TRUE(dst.guardsIntact()) << "wrote past a row";
    std::vector<std::uint32_t> out;
    for (int y = 0; y < outH; ++y)
        for (int x = 0; x < outW; ++x) out.push_back(dst.at(x, bottomUp ? outH - 1 - y : y));
    return out;
}

int Channel(std::uint32_t p, int c) { return static_cast<int>((p >> (8 * c)) & 0xFF); }

TEST(ComposeOver, IsPorterDuffOverRounded) {
    // A resampled opaque colour is its rounded 255th (never a tie), for every sum.
    for (std::uint32_t c = 0; c <= kFullCoverage; ++c)
        ASSERT_EQ(ComposeOver({c, 0, 0, kFullCoverage}, 0), 0xFF000000u | (2 * c + 255) / 510) << c;
    // Over in real numbers; each output is the exact value rounded.
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
        PaddedImage src = RandomImage(k.srcW, k.srcH, seed++);
        for (ResampleMode mode : kAllModes) {
            for (std::uint32_t bg : {0x01000000u, 0xFF20A0E0u})
                ASSERT_EQ(Resample(src, k.rect, k.outW, k.outH, mode, bg, /*bottomUp=*/seed % 2 == 0),
                          RefResample(src.view(), k.rect, k.outW, k.outH, mode, bg))
                    << "mode " << static_cast<int>(mode) << ", case " << seed - 1;
        }
    }
}

TEST(ResampleOver, TallFiltersOverWideOutputsGoInStrips) {
    // 3000 filtered rows per output row are more than one pass keeps at once.
    PaddedImage src = RandomImage(300, 3000, 99);
    for (ResampleMode mode : {ResampleMode::HighQualityBilinear, ResampleMode::HighQualityBicubic})
        EXPECT_EQ(Resample(src, {0, 0, 300, 3000}, 300, 1, mode, 0xFF000000u),
                  RefResample(src.view(), {0, 0, 300, 3000}, 300, 1, mode, 0xFF000000u));
}

// Where output pixel (x, y) comes from, composed of plain quarter turns and
// mirrors: type t is (t mod 4) clockwise quarter turns, mirrored left to
// right from 4 on.
std::pair<int, int> SourceOf(int type, int x, int y, int width, int height) {
    // Undo the mirror, then the turns, one quarter at a time.
    int w = SwapsAxes(static_cast<RotateFlip>(type)) ? height : width;
    int h = SwapsAxes(static_cast<RotateFlip>(type)) ? width : height;
    if (type >= 4) x = w - 1 - x;
    for (int turn = 0; turn < type % 4; ++turn) {
        // (x, y) in a w x h image was (y, h' - 1 - x) of the h x w image before
        // the last clockwise turn, where h' = w.
        const int px = y, py = w - 1 - x;
        x = px, y = py;
        std::swap(w, h);
    }
    return {x, y};
}

TEST(RotateFlipImage, EveryTypeOnOddSizesAndBottomUpRows) {
    for (auto [width, height] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{1, 7}, std::pair{6, 1}}) {
        std::vector<std::uint32_t> source(static_cast<size_t>(width * height));
        for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint32_t>(i * 2654435761u);
        const ConstImageView from(source.data(), width, height, width * 4);
        for (int type = 0; type < 8; ++type) {
            const bool swap = SwapsAxes(static_cast<RotateFlip>(type));
            const int ow = swap ? height : width, oh = swap ? width : height;
            // A padded, bottom-up target: rows run backwards in memory.
            PaddedImage target(ow, oh, 2);
            const ImageView to = target.flipped();
            RotateFlipImage(from, to, static_cast<RotateFlip>(type));
            for (int y = 0; y < oh; ++y)
                for (int x = 0; x < ow; ++x) {
                    const auto [sx, sy] = SourceOf(type, x, y, width, height);
                    ASSERT_EQ(to.row(y)[x], from.row(sy)[sx]) << "type " << type << " at " << x << "," << y;
                }
            EXPECT_TRUE(target.guardsIntact());
        }
    }
}

}  // namespace
}  // namespace rastelle::kernels
