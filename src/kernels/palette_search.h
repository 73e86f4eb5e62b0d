// The nearest palette entry of a colour, as GDI's GetNearestPaletteIndex
// chooses it: the least squared distance over red, green and blue, the lowest
// index among equally near entries.
//
// Colour space is cut into cells of 4 x 4 x 4 colours. The first colour that
// falls into a cell works out which entries can be nearest to any colour of
// that cell; most cells have one to three, which the cell's word holds, so most
// pixels cost one table read and three distances without a branch.
#pragma once

#include "kernels/octree_palette.h"

#include <cstdint>
#include <vector>

namespace rastelle::kernels {

class NearestPaletteSearch {
public:
    // palette must hold 1 to 256 entries.
    explicit NearestPaletteSearch(const std::vector<PaletteColour>& palette);

    // The index of the entry nearest to rgb (0x..RRGGBB; the top byte is
    // ignored).
    unsigned Find(std::uint32_t rgb) {
        const std::uint32_t cell = cells_[CellOf(rgb)];
        if (cell < 0x100u) return cell;
        if (cell >= kLongList) return cell == kUnknown ? FindInNewCell(rgb) : FindInList(cell - kLongList, rgb);
        // Up to three candidates in index order, the last repeated to fill
        // the three places; the first of equally near ones wins.
        const int r = static_cast<int>(rgb >> 16 & 0xFFu);
        const int g = static_cast<int>(rgb >> 8 & 0xFFu);
        const int b = static_cast<int>(rgb & 0xFFu);
        const unsigned first = cell & 0xFFu;
        const unsigned second = cell >> 8 & 0xFFu;
        const unsigned third = cell >> 16 & 0xFFu;
        unsigned best = first;
        int least = Distance(first, r, g, b);
        const int d2 = Distance(second, r, g, b);
        best = d2 < least ? second : best;
        least = d2 < least ? d2 : least;
        const int d3 = Distance(third, r, g, b);
        return d3 < least ? third : best;
    }

private:
    // A cell's word: the index of its only candidate, or three candidate
    // indices in its low bytes, or kLongList +
    // the offset of a longer candidate list in lists_ (its length first), or
    // kUnknown for a cell no colour has fallen into yet.
    static constexpr std::uint32_t kLongList = 0x01000000u;
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    static constexpr unsigned kCellBits = 6;
    static constexpr unsigned kCoarseBits = 3;

    static std::uint32_t CellOf(std::uint32_t rgb) {
        return (rgb >> 6 & 0x3F000u) | (rgb >> 4 & 0xFC0u) | (rgb >> 2 & 0x3Fu);
    }
    int Distance(unsigned i, int r, int g, int b) const {
        const int dr = red_[i] - r;
        const int dg = green_[i] - g;
        const int db = blue_[i] - b;
        return dr * dr + dg * dg + db * db;
    }

    unsigned FindInNewCell(std::uint32_t rgb);
    unsigned FindInList(std::uint32_t offset, std::uint32_t rgb) const;
    const std::vector<std::uint16_t>& CoarseCandidates(std::uint32_t rgb);

    int red_[256] = {};
    int green_[256] = {};
    int blue_[256] = {};
    std::size_t size_ = 0;
    std::vector<std::uint32_t> cells_;
    std::vector<std::uint16_t> lists_;
    // Candidates of the larger cells (32 x 32 x 32 colours), worked out from
    // every entry and used to work out the small cells inside them.
    std::vector<std::vector<std::uint16_t>> coarse_;
    std::vector<bool> coarseKnown_;
    std::vector<std::uint16_t> scratch_;
};

}  // namespace rastelle::kernels
