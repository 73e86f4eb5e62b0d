#include "kernels/palette_search.h"

#include <algorithm>
#include <cassert>

namespace rastelle::kernels {

namespace {

constexpr unsigned kFirstCacheBits = 12;
// Beyond this size the cache starts afresh rather than grow: 8 MB at most.
constexpr unsigned kLastCacheBits = 20;

}  // namespace

NearestPaletteSearch::NearestPaletteSearch(const std::vector<PaletteColour>& palette) {
    assert(!palette.empty());
    entries_.reserve(palette.size());
    for (unsigned i = 0; i < palette.size(); ++i)
        entries_.push_back({palette[i].red, palette[i].green, palette[i].blue, i});
    std::sort(entries_.begin(), entries_.end(), [](const Sorted& a, const Sorted& b) {
        return a.red != b.red ? a.red < b.red : a.index < b.index;
    });
    cache_.assign(std::size_t{1} << kFirstCacheBits, Slot{0, 0});
    shift_ = 32 - kFirstCacheBits;
}

unsigned NearestPaletteSearch::Search(std::uint32_t rgb) const {
    const int r = static_cast<int>((rgb >> 16) & 0xFFu);
    const int g = static_cast<int>((rgb >> 8) & 0xFFu);
    const int b = static_cast<int>(rgb & 0xFFu);
    int best = 0x7FFFFFFF;
    unsigned bestIndex = 0;
    auto consider = [&](const Sorted& e) {
        const int dr = e.red - r;
        const int dg = e.green - g;
        const int db = e.blue - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best || (distance == best && e.index < bestIndex)) {
            best = distance;
            bestIndex = e.index;
        }
    };
    // Walk outwards from the first entry of red >= r; a side ends once its
    // red difference alone exceeds the best distance (an equal one may still
    // tie with a lower index).
    const auto start = std::lower_bound(entries_.begin(), entries_.end(), r,
                                        [](const Sorted& e, int red) { return e.red < red; });
    auto up = start;
    auto down = start;
    bool upOpen = up != entries_.end();
    bool downOpen = down != entries_.begin();
    while (upOpen || downOpen) {
        if (upOpen) {
            const int dr = up->red - r;
            if (dr * dr > best) {
                upOpen = false;
            } else {
                consider(*up);
                upOpen = ++up != entries_.end();
            }
        }
        if (downOpen) {
            const Sorted& e = *(down - 1);
            const int dr = e.red - r;
            if (dr * dr > best) {
                downOpen = false;
            } else {
                consider(e);
                downOpen = --down != entries_.begin();
            }
        }
    }
    return bestIndex;
}

unsigned NearestPaletteSearch::Find(std::uint32_t rgb) {
    const std::uint32_t key = (rgb & 0xFFFFFFu) + 1;
    const std::size_t mask = cache_.size() - 1;
    std::size_t slot = (key * 0x9E3779B1u) >> shift_;
    while (cache_[slot].key != 0) {
        if (cache_[slot].key == key) return cache_[slot].index;
        slot = (slot + 1) & mask;
    }
    const unsigned index = Search(rgb);
    cache_[slot] = {key, index};
    if (++used_ * 2 > cache_.size()) Grow();
    return index;
}

// Doubles the cache while it is small, else empties it; it stays at most half
// full, so a probe always ends at an empty slot.
void NearestPaletteSearch::Grow() {
    const unsigned bits = 32 - shift_;
    if (bits >= kLastCacheBits) {
        std::fill(cache_.begin(), cache_.end(), Slot{0, 0});
        used_ = 0;
        return;
    }
    std::vector<Slot> old(std::size_t{1} << (bits + 1), Slot{0, 0});
    old.swap(cache_);
    shift_ = 32 - (bits + 1);
    const std::size_t mask = cache_.size() - 1;
    for (const Slot& s : old) {
        if (s.key == 0) continue;
        std::size_t slot = (s.key * 0x9E3779B1u) >> shift_;
        while (cache_[slot].key != 0) slot = (slot + 1) & mask;
        cache_[slot] = s;
    }
}

}  // namespace rastelle::kernels
