#include "palette_reference.h"

namespace rastelle::kernels::reference {

namespace {

struct Node {
    bool leaf = false;
    std::uint32_t count = 0, sum[3] = {};  // red, green, blue
    Node* children[8] = {};
    Node* next = nullptr;
};

struct Tree {
    Node* root = nullptr;
    unsigned leaves = 0;
    Node* reducible[9] = {};
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
            if (level == colourBits) {
                (*slot)->leaf = true;
                ++tree.leaves;
            } else {
                (*slot)->next = tree.reducible[level];
                tree.reducible[level] = *slot;
            }
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
        Free(child);
        child = nullptr;
        ++children;
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

}  // namespace

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

}  // namespace rastelle::kernels::reference
