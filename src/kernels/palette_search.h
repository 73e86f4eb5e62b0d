// The nearest palette entry of a colour, as GDI's GetNearestPaletteIndex
// chooses it: the least squared distance over red, green and blue, the lowest
// index among equally near entries.
//
// Colour space is cut into cells of 4 x 4 x 4 colours. The first colour that
// falls into a cell works out which entries can be nearest to any colour of
// that cell; most cells have one to three, which the cell's word holds. A
// finer table of boxes of 2 x 2 x 2 colours names the entry of every box
// known to have one nearest entry, so most pixels of a row cost one table
// read, and the rest three distances worked out four pixels at a time.
#pragma once

#include "kernels/octree_palette.h"

#include <cstdint>
#include <vector>

namespace rastelle::kernels {

class NearestPaletteSearch {
public:
    // The box table pays for itself on large images only: FindRow makes it
    // once it has been asked for this many pixels in all.
    static constexpr std::size_t kBoxTableFrom = std::size_t{1} << 19;

    // palette must hold 1 to 256 entries.
    explicit NearestPaletteSearch(const std::vector<PaletteColour>& palette, std::size_t boxTableFrom = kBoxTableFrom);

    // The index of the entry nearest to rgb (0x..RRGGBB; the top byte is
    // ignored).
    unsigned Find(std::uint32_t rgb) {
        const std::uint32_t cell = cells_[CellOf(rgb)];
        if (cell >= kLongList) return cell == kUnknown ? FindInNewCell(rgb) : FindInList(cell - kLongList, rgb);
        // Three candidates (fewer repeat the last), keyed by distance, then
        // index: the least key is the nearest entry with the lowest index.
        const int r = static_cast<int>(rgb >> 16 & 0xFFu);
        const int g = static_cast<int>(rgb >> 8 & 0xFFu);
        const int b = static_cast<int>(rgb & 0xFFu);
        std::uint32_t best = 0xFFFFFFFFu;
        for (unsigned shift = 0; shift < 24; shift += 8) {
            const unsigned i = cell >> shift & 0xFFu;
            const std::uint32_t key = static_cast<std::uint32_t>(Distance(i, r, g, b)) << 8 | i;
            best = key < best ? key : best;
        }
        return best & 0xFFu;
    }

    // The indices of count pixels (0x..RRGGBB) into out.
    void FindRow(const std::uint32_t* in, std::uint8_t* out, int count);

private:
    // A cell's word: three candidate indices in its low bytes, in index
    // order, the last repeated where there are fewer; or kLongList + the
    // offset of a longer candidate list in lists_ (its length first); or
    // kUnknown for a cell no colour has fallen into yet.
    static constexpr std::uint32_t kLongList = 0x01000000u;
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    static constexpr unsigned kCellBits = 6;
    static constexpr unsigned kBoxBits = 7;
    static constexpr unsigned kCoarseBits = 3;
    // A box with no single known entry (or whose entry is 255).
    static constexpr std::uint8_t kNoEntry = 0xFF;

    static std::uint32_t CellOf(std::uint32_t rgb) {
        return (rgb >> 6 & 0x3F000u) | (rgb >> 4 & 0xFC0u) | (rgb >> 2 & 0x3Fu);
    }
    static std::uint32_t BoxOf(std::uint32_t rgb) {
        return (rgb >> 3 & 0x1FC000u) | (rgb >> 2 & 0x3F80u) | (rgb >> 1 & 0x7Fu);
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
    void LearnBox(std::uint32_t rgb);
    void FindFour(const std::uint32_t* in, const int* at, std::uint8_t* out);

    int red_[256] = {};
    int green_[256] = {};
    int blue_[256] = {};
    // Each entry as 16-bit lanes blue, green, red, 0.
    std::uint64_t lanes_[256] = {};
    std::size_t size_ = 0;
    std::vector<std::uint32_t> cells_;
    std::vector<std::uint16_t> lists_;
    std::vector<std::uint8_t> boxes_;  // empty until made
    std::vector<bool> boxLearnt_;
    std::size_t boxTableFrom_ = 0;
    std::size_t asked_ = 0;  // pixels FindRow was asked for before the box table
    // Candidates of the larger cells (32 x 32 x 32 colours), worked out from
    // every entry and used to work out the small cells inside them.
    std::vector<std::vector<std::uint16_t>> coarse_;
    std::vector<bool> coarseKnown_;
    std::vector<std::uint16_t> scratch_;
    std::vector<int> pending_;
};

}  // namespace rastelle::kernels
