#include "kernels/octree_palette.h"

#include <array>
#include <cstddef>

namespace rastelle::kernels {

namespace {

constexpr std::int32_t kNone = -1;

// Nodes live in one pool and refer to each other by index; merged children go
// to a free list and are reused. The sums are 32-bit and wrap as unsigned
// values do.
struct Node {
    bool leaf = false;
    std::uint32_t count = 0;
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    std::array<std::int32_t, 8> children{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    std::int32_t next = kNone;  // the next reducible node of the same level
};

class Octree {
public:
    explicit Octree(unsigned colourBits) : bits_(colourBits), reducible_(colourBits + 1, kNone) {}

    // Adds one colour; returns the leaf that took it.
    std::int32_t Add(unsigned r, unsigned g, unsigned b) {
        if (root_ == kNone) root_ = NewNode(0);
        std::int32_t node = root_;
        for (unsigned level = 0;; ++level) {
            if (nodes_[node].leaf) {
                AddTo(node, r, g, b);
                return node;
            }
            const unsigned mask = 0x80u >> level;
            const unsigned child = ((r & mask) ? 4 : 0) | ((g & mask) ? 2 : 0) | ((b & mask) ? 1 : 0);
            std::int32_t next = nodes_[node].children[child];
            if (next == kNone) {
                next = NewNode(level + 1);
                nodes_[node].children[child] = next;
            }
            node = next;
        }
    }

    void AddTo(std::int32_t leaf, unsigned r, unsigned g, unsigned b) {
        Node& n = nodes_[leaf];
        ++n.count;
        n.red += r;
        n.green += g;
        n.blue += b;
    }

    // Merges the children of the newest reducible node of the deepest level
    // into it; false when no node is left to merge.
    bool Reduce() {
        unsigned level = bits_ > 0 ? bits_ - 1 : 0;
        while (level > 0 && reducible_[level] == kNone) --level;
        const std::int32_t node = reducible_[level];
        if (node == kNone) return false;
        reducible_[level] = nodes_[node].next;
        unsigned merged = 0;
        for (std::int32_t& child : nodes_[node].children) {
            if (child == kNone) continue;
            const Node& c = nodes_[child];
            nodes_[node].count += c.count;
            nodes_[node].red += c.red;
            nodes_[node].green += c.green;
            nodes_[node].blue += c.blue;
            free_.push_back(child);
            child = kNone;
            ++merged;
        }
        nodes_[node].leaf = true;
        leaves_ -= merged - 1;
        return true;
    }

    std::size_t leaves() const { return leaves_; }

    void Collect(std::vector<PaletteColour>& palette) const {
        if (root_ != kNone) Collect(root_, palette);
    }

private:
    std::int32_t NewNode(unsigned level) {
        std::int32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
            nodes_[index] = Node{};
        } else {
            index = static_cast<std::int32_t>(nodes_.size());
            nodes_.emplace_back();
        }
        if (level == bits_) {
            nodes_[index].leaf = true;
            ++leaves_;
        } else {
            nodes_[index].next = reducible_[level];
            reducible_[level] = index;
        }
        return index;
    }

    void Collect(std::int32_t node, std::vector<PaletteColour>& palette) const {
        const Node& n = nodes_[node];
        if (n.leaf) {
            palette.push_back({static_cast<std::uint8_t>(n.red / n.count), static_cast<std::uint8_t>(n.green / n.count),
                               static_cast<std::uint8_t>(n.blue / n.count)});
            return;
        }
        for (const std::int32_t child : n.children)
            if (child != kNone) Collect(child, palette);
    }

    unsigned bits_;
    std::vector<Node> nodes_;
    std::vector<std::int32_t> free_;
    std::vector<std::int32_t> reducible_;
    std::int32_t root_ = kNone;
    std::size_t leaves_ = 0;
};

}  // namespace

bool BuildOctreePalette(ConstImageView pixels, unsigned maxColours, unsigned colourBits,
                        std::vector<PaletteColour>& palette) {
    palette.clear();
    if (colourBits > 8) return false;
    Octree tree(colourBits);
    // A run of one colour goes straight to the leaf that took its first pixel,
    // until a reduction may have merged that leaf away.
    std::uint32_t lastColour = 0;
    std::int32_t lastLeaf = kNone;
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint32_t* row = pixels.row(y);
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t colour = row[x] & 0xFFFFFFu;
            const unsigned r = colour >> 16;
            const unsigned g = (colour >> 8) & 0xFFu;
            const unsigned b = colour & 0xFFu;
            if (lastLeaf != kNone && colour == lastColour) {
                tree.AddTo(lastLeaf, r, g, b);
                continue;
            }
            lastLeaf = tree.Add(r, g, b);
            lastColour = colour;
            while (tree.leaves() > maxColours) {
                lastLeaf = kNone;
                if (!tree.Reduce()) return false;
            }
        }
    }
    if (tree.leaves() > maxColours) return false;
    tree.Collect(palette);
    return true;
}

}  // namespace rastelle::kernels
