// The nearest palette entry of a colour, as GDI's GetNearestPaletteIndex
// chooses it: the least squared distance over red, green and blue, the lowest
// index among equally near entries. Sorting the entries by red bounds the
// search, and a cache of full colours makes repeated colours cost one probe.
#pragma once

#include "kernels/octree_palette.h"

#include <cstdint>
#include <vector>

namespace rastelle::kernels {

class NearestPaletteSearch {
public:
    // palette must not be empty.
    explicit NearestPaletteSearch(const std::vector<PaletteColour>& palette);

    // The index of the entry nearest to rgb (0x..RRGGBB; the top byte is
    // ignored).
    unsigned Find(std::uint32_t rgb);

private:
    struct Sorted {
        int red;
        int green;
        int blue;
        unsigned index;
    };
    struct Slot {
        std::uint32_t key;  // colour + 1; 0 for an empty slot
        std::uint32_t index;
    };

    unsigned Search(std::uint32_t rgb) const;
    void Grow();

    std::vector<Sorted> entries_;  // by red, then by index
    std::vector<Slot> cache_;
    std::size_t used_ = 0;
    unsigned shift_ = 0;
};

}  // namespace rastelle::kernels
