// The GIF palette kernels against plain references: an octree of heap nodes
// with a list of reducible nodes per level, and a scan of every entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "kernels/octree_palette.h"
#include "kernels/palette_search.h"
#include "test_images.h"

namespace rastelle::kernels {
namespace {
namespace reference {

struct Node {
    bool leaf = false;
    std::uint32_t count = 0, sum[3] = {};  // red, green, blue
    Node *children[8] = {}, *next = nullptr;
};

struct Tree {
    Node *root = nullptr, *reducible[9] = {};
    unsigned leaves = 0;
};

void Free(Node* node) {
    if (!node) return;
    for (Node* child : node->children) Free(child);
    delete node;
}

void AddColour(Tree& tree, unsigned colourBits, const unsigned (&rgb)[3]) {
    Node** slot = &tree.root;
    for (unsigned level = 0;; ++level) {
        if (!*slot) {
            *slot = new Node;
            if (level == colourBits) (*slot)->leaf = true, ++tree.leaves;
            else (*slot)->next = tree.reducible[level], tree.reducible[level] = *slot;
        }
        Node* node = *slot;
        if (node->leaf) {
            ++node->count;
            for (int c = 0; c < 3; ++c) node->sum[c] += rgb[c];
            return;
        }
        const unsigned bit = 7 - level;
        slot = &node->children[(rgb[0] >> bit & 1) * 4 + (rgb[1] >> bit & 1) * 2 + (rgb[2] >> bit & 1)];
    }
}

bool Reduce(Tree& tree, unsigned colourBits) {
    int level = static_cast<int>(colourBits) - 1;
    while (level > 0 && !tree.reducible[level]) --level;
    if (level < 0) level = 0;
    Node* node = tree.reducible[level];
    if (!node) return false;
    tree.reducible[level] = node->next;
    unsigned children = 0;
    for (Node*& child : node->children) {
        if (!child) continue;
        node->count += child->count;
        for (int c = 0; c < 3; ++c) node->sum[c] += child->sum[c];
        Free(child), child = nullptr, ++children;
    }
    node->leaf = true;
    tree.leaves -= children - 1;
    return true;
}

void Visit(const Node* node, std::vector<PaletteColour>& palette) {
    if (node->leaf) {
        const auto mean = [node](int c) { return static_cast<std::uint8_t>(node->sum[c] / node->count); };
        palette.push_back({mean(0), mean(1), mean(2)});
        return;
    }
    for (const Node* child : node->children)
        if (child) Visit(child, palette);
}

bool OctreePalette(const ConstImageView& pixels, unsigned maxColours, unsigned colourBits,
                   std::vector<PaletteColour>& palette) {
    palette.clear();
    if (colourBits > 8) return false;
    Tree tree;
    bool ok = true;
    for (int y = 0; y < pixels.height && ok; ++y)
        for (int x = 0; x < pixels.width && ok; ++x) {
            const std::uint32_t p = pixels.row(y)[x];
            AddColour(tree, colourBits, {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF});
            while (ok && tree.leaves > maxColours) ok = Reduce(tree, colourBits);
        }
    ok = ok && tree.leaves <= maxColours;
    if (ok && tree.root) Visit(tree.root, palette);
    Free(tree.root);
    return ok;
}

unsigned NearestEntry(const std::vector<PaletteColour>& palette, std::uint32_t rgb) {
    const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    unsigned best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (unsigned i = 0; i < palette.size(); ++i) {
        const int dr = palette[i].red - r, dg = palette[i].green - g, db = palette[i].blue - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

}  // namespace reference

using Palette = std::vector<PaletteColour>;

// Whether the palette was built, and the palette, against the reference's.
void ExpectSameAsReference(const PaddedImage& image, unsigned maxColours, unsigned bits = 8) {
    Palette fast, plain;
    const bool built = BuildOctreePalette(image.view(), maxColours, bits, fast);
    ASSERT_EQ(std::make_pair(built, fast), std::make_pair(reference::OctreePalette(image.view(), maxColours, bits, plain), plain))
        << image.width << "x" << image.height << " to " << maxColours << " in " << bits << " bits";
    ASSERT_LE(fast.size(), maxColours);
}

TEST(OctreePalette, MatchesReferenceOnRandomImages) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        PaddedImage image(1 + static_cast<int>(random() % 97), 1 + static_cast<int>(random() % 61),
                          static_cast<int>(random() % 3));
        FillRandom(image, random, round % 2 == 0);
        // Narrow colour ranges make deep trees with few leaves; wide ones
        // force reductions at every depth.
        if (round % 3 == 0)
            for (std::uint32_t& p : image.memory)
                if (p != PaddedImage::kGuard) p &= 0xFF0F1F3Fu;
        const unsigned maxColours = round % 4 == 0 ? 2 + random() % 20 : 236;
        const unsigned bits = round % 5 == 0 ? 1 + random() % 8 : 8;
        ExpectSameAsReference(image, maxColours, bits);
    }
}

// A photo-like image: long runs in one leaf and gradients that reach new
// branches late, so leaves near the root are made and merged.
TEST(OctreePalette, MatchesReferenceOnGradientsWithNoise) {
    PaddedImage image(320, 200, 3);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t n = ((73u * x + 151u * y) ^ static_cast<std::uint32_t>(x * y)) & 15;
            image.at(x, y) = 0xFF000000u | ((x + y) / 4 + n) % 256 << 16 | (y / 2 + n) % 256 << 8 | (x / 2 + n) % 256;
        }
    for (const unsigned maxColours : {236u, 16u, 3u})
        ExpectSameAsReference(image, maxColours);
    // Depths above eight and empty palettes are refused.
    for (auto [limit, bits] : {std::pair{236u, 9u}, {0u, 8u}}) ExpectSameAsReference(image, limit, bits);
}

// Rows of odd lengths (the four- and sixteen-pixel steps and their tails),
// mapped twice so that boxes learnt in the first pass answer the second,
// the box table made from the start or part way; single lookups in between.
TEST(NearestPaletteSearch, MatchesBruteForceIncludingTiesAndCellEdges) {
    std::mt19937 random(11);
    for (int round = 0; round < 60; ++round) {
        // Small colour ranges make duplicate entries and equal distances
        // common, so the lowest-index rule is exercised.
        const int range = round % 3 == 0 ? 4 : round % 3 == 1 ? 40 : 256;
        Palette palette(1 + random() % 256);
        for (auto& c : palette) {
            const auto r = std::uint8_t(random() % range), g = std::uint8_t(random() % range), b = std::uint8_t(random() % range);
            c = {r, g, b};
        }
        NearestPaletteSearch search(palette, round % 2 == 0 ? 0 : 1500);
        // Every fourth round the channels lie on the first or last value of a
        // cell of 4, where the candidate lists are decided.
        const auto channel = [&]() -> std::uint32_t {
            if (round % 4 == 3) return random() % 64 * 4 + (random() % 2 ? 3 : 0);
            return round % 3 == 2 ? random() % 256 : random() % (range + 2);
        };
        std::vector<std::uint32_t> row(3001);
        for (std::uint32_t& rgb : row) rgb = channel() << 16 | channel() << 8 | channel();
        std::vector<std::uint8_t> indices(row.size());
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t at = 0; at < row.size();) {
                const std::size_t length = std::min<std::size_t>(row.size() - at, 1 + random() % 97);
                search.FindRow(row.data() + at, indices.data() + at, static_cast<int>(length));
                at += length;
            }
            for (std::size_t i = 0; i < row.size(); ++i) {
                const unsigned expected = reference::NearestEntry(palette, row[i]);
                ASSERT_EQ(indices[i], expected) << "round " << round << " colour " << std::hex << row[i];
                if (static_cast<int>(i % 7) == pass) {
                    ASSERT_EQ(search.Find(row[i]), expected);
                }
            }
        }
    }
}

}  // namespace
}  // namespace rastelle::kernels
