#include "kernels/simd.h"

#include "kernels/octree_palette.h"

#include "kernels/aligned_buffer.h"

#include <array>
#include <cstddef>

namespace rastelle::kernels {

namespace {

constexpr std::int32_t kNone = -1;

// The jump table covers the top kJumpBits bits of each channel: one entry per
// node position at that depth.
constexpr unsigned kJumpBits = 5;
constexpr std::size_t kJumpEntries = std::size_t{1} << (3 * kJumpBits);

// Nodes live in one pool and refer to each other by index; merged children go
// to a free list and are reused. The sums are 32-bit and wrap as unsigned
// values do.
struct Node {
    bool leaf = false;
    std::uint8_t level = 0;
    std::uint32_t colour = 0;  // the colour of the pixel that made the node
    std::array<std::int32_t, 8> children{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    std::int32_t next = kNone;  // the next reducible node of the same level
};

struct Sums {
    std::uint32_t count = 0;
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
};

constexpr std::size_t JumpIndex(std::uint32_t colour) {
    return ((colour >> (24 - kJumpBits) & ((1u << kJumpBits) - 1)) << (2 * kJumpBits)) |
           ((colour >> (16 - kJumpBits) & ((1u << kJumpBits) - 1)) << kJumpBits) |
           (colour >> (8 - kJumpBits) & ((1u << kJumpBits) - 1));
}

// The octree, with a table that short-cuts the descent: for every position at
// depth kJumpBits it names the leaf that ends the path above or at that depth,
// or the internal node at that depth, or nothing. Leaves only ever merge
// upwards, so the table changes only when a node at or above that depth is
// made or becomes a leaf.
class Octree {
public:
    explicit Octree(unsigned colourBits)
        : bits_(colourBits), reducible_(colourBits + 1, kNone), jump_(kJumpEntries, 0) {}

    // The leaf that a colour's descent ends at without changing the tree, or
    // kNone when the descent would have to add nodes.
    std::int32_t KnownLeaf(std::uint32_t colour) const {
        const std::uint32_t entry = jump_[JumpIndex(colour)];
        if (entry & 1u) return static_cast<std::int32_t>(entry >> 1) - 1;
        if (entry == 0) return kNone;
        std::int32_t node = static_cast<std::int32_t>(entry >> 1) - 1;
        for (unsigned level = kJumpBits;; ++level) {
            const unsigned mask = 0x80u >> level;
            const std::int32_t next = nodes_[node].children[ChildOf(colour, mask)];
            if (next == kNone) return kNone;
            if (nodes_[next].leaf) return next;
            node = next;
        }
    }

    // Adds the nodes a colour's descent is missing; returns the leaf it ends at.
    std::int32_t Insert(std::uint32_t colour) {
        if (root_ == kNone) root_ = NewNode(0, colour);
        std::int32_t node = root_;
        for (unsigned level = 0;; ++level) {
            if (nodes_[node].leaf) return node;
            const unsigned child = ChildOf(colour, 0x80u >> level);
            std::int32_t next = nodes_[node].children[child];
            if (next == kNone) {
                next = NewNode(level + 1, colour);
                nodes_[node].children[child] = next;
            }
            node = next;
        }
    }

    void AddTo(std::int32_t leaf, const Sums& s) {
        Sums& n = sums_[leaf];
        n.count += s.count;
        n.red += s.red;
        n.green += s.green;
        n.blue += s.blue;
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
            AddTo(node, sums_[child]);
            free_.push_back(child);
            child = kNone;
            ++merged;
        }
        MakeLeaf(node);
        leaves_ -= merged - 1;
        return true;
    }

    // The table entry of a position: a leaf (LeafOf) when bit 0 is set.
    std::uint32_t JumpEntry(std::size_t position) const { return jump_[position]; }
    static std::int32_t LeafOf(std::uint32_t entry) { return static_cast<std::int32_t>(entry >> 1) - 1; }

    std::size_t leaves() const { return leaves_; }
    std::size_t nodeCount() const { return nodes_.size(); }

    void Collect(std::vector<PaletteColour>& palette) const {
        if (root_ != kNone) Collect(root_, palette);
    }

private:
    static unsigned ChildOf(std::uint32_t colour, unsigned mask) {
        return ((colour >> 16 & mask) ? 4 : 0) | ((colour >> 8 & mask) ? 2 : 0) | ((colour & mask) ? 1 : 0);
    }

    std::int32_t NewNode(unsigned level, std::uint32_t colour) {
        std::int32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
            nodes_[index] = Node{};
            sums_[index] = Sums{};
        } else {
            index = static_cast<std::int32_t>(nodes_.size());
            nodes_.emplace_back();
            sums_.emplace_back();
        }
        Node& n = nodes_[index];
        n.level = static_cast<std::uint8_t>(level);
        n.colour = colour;
        if (level == bits_) {
            ++leaves_;
            MakeLeaf(index);
        } else {
            n.next = reducible_[level];
            reducible_[level] = index;
            if (level == kJumpBits) jump_[JumpIndex(colour)] = Encode(index, false);
        }
        return index;
    }

    static std::uint32_t Encode(std::int32_t index, bool leaf) {
        return (static_cast<std::uint32_t>(index + 1) << 1) | (leaf ? 1u : 0u);
    }

    // A node at or above the table's depth that becomes a leaf takes over
    // every table entry below it.
    void MakeLeaf(std::int32_t index) {
        Node& n = nodes_[index];
        n.leaf = true;
        if (n.level > kJumpBits) return;
        const unsigned span = kJumpBits - n.level;
        const std::uint32_t keep = ~((1u << (8 - n.level)) - 1) & 0xFFu;
        const std::uint32_t base = ((n.colour >> 16 & keep) << 16) | ((n.colour >> 8 & keep) << 8) | (n.colour & keep);
        const std::size_t first = JumpIndex(base);
        const std::uint32_t entry = Encode(index, true);
        const std::size_t side = std::size_t{1} << span;
        for (std::size_t r = 0; r < side; ++r)
            for (std::size_t g = 0; g < side; ++g) {
                std::uint32_t* row = &jump_[first + (r << (2 * kJumpBits)) + (g << kJumpBits)];
                for (std::size_t b = 0; b < side; ++b) row[b] = entry;
            }
    }

    void Collect(std::int32_t node, std::vector<PaletteColour>& palette) const {
        const Node& n = nodes_[node];
        if (n.leaf) {
            const Sums& s = sums_[node];
            palette.push_back({static_cast<std::uint8_t>(s.red / s.count), static_cast<std::uint8_t>(s.green / s.count),
                               static_cast<std::uint8_t>(s.blue / s.count)});
            return;
        }
        for (const std::int32_t child : n.children)
            if (child != kNone) Collect(child, palette);
    }

    unsigned bits_;
    std::vector<Node> nodes_;
    std::vector<Sums> sums_;
    std::vector<std::int32_t> free_;
    std::vector<std::int32_t> reducible_;
    std::vector<std::uint32_t> jump_;
    std::int32_t root_ = kNone;
    std::size_t leaves_ = 0;
};

// One pixel as the lanes of its sums: blue, green, red, count.
inline __m128i PixelLanes(std::uint32_t colour) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(colour | 0x01000000u));
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
}

// Sums of pixels not yet added to their leaves, in a few banks that pixels
// take in turn: a run of pixels on one leaf then adds to different memory,
// so the adds do not wait for each other.
class PendingSums {
public:
    static constexpr unsigned kBanks = 4;

    // Lanes: blue, green, red, count.
    void Add(unsigned bank, std::int32_t leaf, std::uint32_t colour) {
        __m128i& s = banks_[bank][static_cast<std::size_t>(leaf)].v;
        s = _mm_add_epi32(s, PixelLanes(colour));
        dirty_ = true;
    }

    // Makes room for nodes up to count; the pending sums stay.
    void Reserve(std::size_t count) {
        if (banks_[0].size() >= count) return;
        for (auto& bank : banks_) bank.resize(count, Slot<__m128i>{_mm_setzero_si128()});
    }

    // Adds every pending sum to its leaf; before the tree changes.
    void FlushInto(Octree& tree) {
        if (!dirty_) return;
        dirty_ = false;
        for (auto& bank : banks_)
            for (std::size_t i = 0; i < bank.size(); ++i) {
                alignas(16) std::uint32_t lanes[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(lanes), bank[i].v);
                if (lanes[3] == 0) continue;
                tree.AddTo(static_cast<std::int32_t>(i), {lanes[3], lanes[2], lanes[1], lanes[0]});
                bank[i].v = _mm_setzero_si128();
            }
    }

private:
    std::array<AlignedVector<Slot<__m128i>>, kBanks> banks_;
    bool dirty_ = false;
};

}  // namespace

// Only a colour whose descent is missing nodes changes the tree; every other
// pixel just adds to the leaf its descent ends at. Which nodes merge never
// depends on the sums, and a leaf only ever merges upwards, so a pixel whose
// table position already ends at a leaf adds to that position's sums
// instead: at the end, the leaf then covering the position takes them.
bool BuildOctreePalette(ConstImageView pixels, unsigned maxColours, unsigned colourBits,
                        std::vector<PaletteColour>& palette) {
    palette.clear();
    if (colourBits > 8) return false;
    Octree tree(colourBits);
    PendingSums pending;
    AlignedVector<Slot<__m128i>> positionSums(kJumpEntries, Slot<__m128i>{_mm_setzero_si128()});
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint32_t* row = pixels.row(y);
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t colour = row[x] & 0xFFFFFFu;
            const std::size_t position = JumpIndex(colour);
            if (tree.JumpEntry(position) & 1u) [[likely]] {
                positionSums[position].v = _mm_add_epi32(positionSums[position].v, PixelLanes(colour));
                continue;
            }
            const std::int32_t leaf = tree.KnownLeaf(colour);
            if (leaf != kNone) {
                pending.Add(static_cast<unsigned>(x) & (PendingSums::kBanks - 1), leaf, colour);
                continue;
            }
            pending.FlushInto(tree);
            tree.AddTo(tree.Insert(colour), {1, colour >> 16, (colour >> 8) & 0xFFu, colour & 0xFFu});
            while (tree.leaves() > maxColours)
                if (!tree.Reduce()) return false;
            pending.Reserve(tree.nodeCount());
        }
    }
    pending.FlushInto(tree);
    for (std::size_t position = 0; position < kJumpEntries; ++position) {
        alignas(16) std::uint32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), positionSums[position].v);
        if (lanes[3] != 0)
            tree.AddTo(Octree::LeafOf(tree.JumpEntry(position)), {lanes[3], lanes[2], lanes[1], lanes[0]});
    }
    if (tree.leaves() > maxColours) return false;
    tree.Collect(palette);
    return true;
}

}  // namespace rastelle::kernels
