#include "kernels/png_rows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "test_images.h"

namespace rastelle::kernels {
namespace {

// The PNG filters as the format defines them, one byte at a time.
std::vector<std::uint8_t> ReferenceResidues(const std::vector<std::uint8_t>& row, const std::vector<std::uint8_t>* above,
                                            int bpp, int filter) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
        const int b = above ? (*above)[i] : 0;
        const int c = above && i >= static_cast<std::size_t>(bpp) ? (*above)[i - bpp] : 0;
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        const int predictor[5] = {0, a, b, (a + b) / 2, paeth};
        out.push_back(static_cast<std::uint8_t>(row[i] - predictor[filter]));
    }
    return out;
}

// The filter with the smallest sum of signed magnitudes, led by its type.
std::vector<std::uint8_t> ReferenceFilter(const std::vector<std::uint8_t>& row, const std::vector<std::uint8_t>* above,
                                          int bpp) {
    std::vector<std::uint8_t> best;
    long bestSum = -1;
    for (int filter = 0; filter < 5; ++filter) {
        std::vector<std::uint8_t> out = ReferenceResidues(row, above, bpp, filter);
        long sum = 0;
        for (const std::uint8_t v : out) sum += std::abs(static_cast<int>(static_cast<std::int8_t>(v)));
        out.insert(out.begin(), static_cast<std::uint8_t>(filter));
        if (bestSum < 0 || sum < bestSum) {
            bestSum = sum;
            best = out;
        }
    }
    return best;
}

// Samples of random pixels; opaque ones when the file has no alpha.
std::vector<std::uint8_t> Samples(const std::vector<std::uint32_t>& pixels, int bpp) {
    std::vector<std::uint8_t> samples(pixels.size() * static_cast<std::size_t>(bpp));
    PackPngRow(pixels.data(), static_cast<int>(pixels.size()), bpp == 4, samples.data());
    return samples;
}

TEST(PngRows, FilterMatchesTheFormatsDefinitionOnRandomAndSmoothRows) {
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        const int bpp = round % 2 ? 4 : 3;
        const std::size_t n = static_cast<std::size_t>(bpp) * (1 + random() % 70);
        std::vector<std::uint8_t> above(n), row(n);
        const bool smooth = round % 3 == 0;  // gradients, where the predictors differ most
        for (std::size_t i = 0; i < n; ++i) {
            above[i] = static_cast<std::uint8_t>(smooth ? i * 3 + round : random());
            row[i] = static_cast<std::uint8_t>(smooth ? above[i] + random() % 5 : random());
        }
        for (const bool first : {true, false}) {
            const auto* previous = first ? nullptr : &above;
            std::vector<std::uint8_t> out(n + 1), scratch(4 * n);
            FilterPngRow(row.data(), previous ? previous->data() : nullptr, n, bpp, out.data(), scratch.data());
            ASSERT_EQ(out, ReferenceFilter(row, previous, bpp)) << "round " << round << " first " << first;
        }
    }
}

TEST(PngRows, PackingAndOpacity) {
    std::mt19937 random(9);
    PaddedImage image(37, 3, 2);
    FillRandom(image, random);
    MakeOpaque(image);
    EXPECT_TRUE(IsOpaque(image.view()));
    std::vector<std::uint8_t> rgb(37 * 3), rgba(37 * 4);
    PackPngRow(image.view().row(1), 37, false, rgb.data());
    PackPngRow(image.view().row(1), 37, true, rgba.data());
    for (int x = 0; x < 37; ++x) {
        const std::uint32_t p = image.at(x, 1);
        const std::uint8_t expected[4] = {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                          static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 24)};
        for (int c = 0; c < 4; ++c) ASSERT_EQ(rgba[4 * x + c], expected[c]) << x;
        for (int c = 0; c < 3; ++c) ASSERT_EQ(rgb[3 * x + c], expected[c]) << x;
    }
    // One translucent pixel anywhere, in the vector part or the tail of a row.
    for (const int x : {0, 35, 36}) {
        PaddedImage translucent = CopyOf(image, 1);
        translucent.at(x, 2) &= 0xFEFFFFFFu;
        EXPECT_FALSE(IsOpaque(translucent.view())) << x;
    }
}

TEST(PngRows, UnfilterGivesThePixelsBackForEveryFilterAlsoInPlace) {
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        const int bpp = round % 2 ? 4 : 3;
        const int width = 1 + static_cast<int>(random() % 40);
        std::vector<std::uint32_t> above(width), row(width);
        for (int x = 0; x < width; ++x) {
            above[x] = random() | (bpp == 3 ? 0xFF000000u : 0u);
            row[x] = (round % 3 ? random() : above[x] + random() % 7) | (bpp == 3 ? 0xFF000000u : 0u);
        }
        const auto aboveSamples = Samples(above, bpp), rowSamples = Samples(row, bpp);
        for (int filter = 0; filter < 5; ++filter) {
            for (const bool first : {true, false}) {
                const auto residues = ReferenceResidues(first ? aboveSamples : rowSamples, first ? nullptr : &aboveSamples,
                                                        bpp, filter);
                std::vector<std::uint32_t> out(width);
                ASSERT_TRUE(UnfilterPngRow(filter, residues.data(), width, bpp, first ? nullptr : above.data(), out.data()));
                ASSERT_EQ(out, first ? above : row) << "filter " << filter << " bpp " << bpp;
            }
        }
        // Without alpha the residues may sit at the end of the row's own
        // memory, as the decoder inflates them.
        if (bpp == 3) {
            const auto residues = ReferenceResidues(rowSamples, &aboveSamples, 3, 4);
            std::vector<std::uint32_t> out(width);
            auto* tail = reinterpret_cast<std::uint8_t*>(out.data()) + width;
            std::copy(residues.begin(), residues.end(), tail);
            ASSERT_TRUE(UnfilterPngRow(4, tail, width, 3, above.data(), out.data()));
            ASSERT_EQ(out, row);
        }
    }
    std::uint32_t pixel = 0;
    const std::uint8_t residue[3] = {};
    EXPECT_FALSE(UnfilterPngRow(5, residue, 1, 3, nullptr, &pixel));
}

}  // namespace
}  // namespace rastelle::kernels
