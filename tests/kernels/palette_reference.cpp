#include "palette_reference.h"

namespace rastelle::kernels::reference {

namespace {

struct Node {
    bool leaf = false;
    std::uint32_t count = 0, red = 0, green = 0, blue = 0;
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

void AddColour(Tree& tree, unsigned colourBits, unsigned r, unsigned g, unsigned b) {
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
            node->red += r;
            node->green += g;
            node->blue += b;
            return;
        }
        const unsigned mask = 0x80u >> level;
        const unsigned child = ((r & mask) >> (7 - level)) * 4 + ((g & mask) >> (7 - level)) * 2 +
                               ((b & mask) >> (7 - level));
        slot = &node->children[child];
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
        node->red += child->red;
        node->green += child->green;
        node->blue += child->blue;
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
        palette.push_back({static_cast<std::uint8_t>(node->red / node->count),
                           static_cast<std::uint8_t>(node->green / node->count),
                           static_cast<std::uint8_t>(node->blue / node->count)});
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
            AddColour(tree, colourBits, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
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
