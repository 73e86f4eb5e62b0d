#include "kernels/palette_search.h"

#include <algorithm>
#include <cassert>

namespace rastelle::kernels {

namespace {

// A box of colours, inclusive bounds per channel.
struct Box {
    int low[3];
    int high[3];
};

Box BoxOf(std::uint32_t rgb, unsigned cellBits) {
    const unsigned shift = 8 - cellBits;
    const int channel[3] = {static_cast<int>(rgb >> 16 & 0xFFu), static_cast<int>(rgb >> 8 & 0xFFu),
                            static_cast<int>(rgb & 0xFFu)};
    Box box{};
    for (int c = 0; c < 3; ++c) {
        box.low[c] = channel[c] >> shift << shift;
        box.high[c] = box.low[c] + (1 << shift) - 1;
    }
    return box;
}

// The least and greatest squared distance from an entry to any colour of a box.
void DistanceRange(const int entry[3], const Box& box, int& least, int& greatest) {
    least = 0;
    greatest = 0;
    for (int c = 0; c < 3; ++c) {
        const int below = box.low[c] - entry[c];
        const int above = entry[c] - box.high[c];
        const int outside = std::max({below, above, 0});
        const int far = std::max(entry[c] - box.low[c], box.high[c] - entry[c]);
        least += outside * outside;
        greatest += far * far;
    }
}

// Whether entry a is chosen over entry b for every colour of the box: the
// difference of their squared distances is linear in the colour, so its
// greatest value over the box is at the corner each channel's sign picks.
bool AlwaysChosenOver(const int a[3], unsigned indexA, const int b[3], unsigned indexB, const Box& box) {
    long long greatest = 0;
    for (int c = 0; c < 3; ++c) {
        // |a - p|^2 - |b - p|^2 = a^2 - b^2 - 2 p (a - b)
        const long long slope = -2LL * (a[c] - b[c]);
        const long long p = slope > 0 ? box.high[c] : box.low[c];
        greatest += static_cast<long long>(a[c]) * a[c] - static_cast<long long>(b[c]) * b[c] + slope * p;
    }
    return greatest < 0 || (greatest == 0 && indexA < indexB);
}

}  // namespace

NearestPaletteSearch::NearestPaletteSearch(const std::vector<PaletteColour>& palette)
    : cells_(std::size_t{1} << (3 * kCellBits), kUnknown),
      coarse_(std::size_t{1} << (3 * kCoarseBits)),
      coarseKnown_(std::size_t{1} << (3 * kCoarseBits), false) {
    assert(!palette.empty() && palette.size() <= 256);
    size_ = std::min<std::size_t>(palette.size(), 256);
    for (std::size_t i = 0; i < size_; ++i) {
        red_[i] = palette[i].red;
        green_[i] = palette[i].green;
        blue_[i] = palette[i].blue;
    }
}

unsigned NearestPaletteSearch::FindInList(std::uint32_t offset, std::uint32_t rgb) const {
    const int r = static_cast<int>(rgb >> 16 & 0xFFu);
    const int g = static_cast<int>(rgb >> 8 & 0xFFu);
    const int b = static_cast<int>(rgb & 0xFFu);
    const std::uint16_t* list = lists_.data() + offset;
    int best = 0x7FFFFFFF;
    unsigned bestIndex = 0;
    // The list is in index order, so the first of equally near entries wins.
    for (unsigned i = 1; i <= list[0]; ++i) {
        const int distance = Distance(list[i], r, g, b);
        if (distance < best) {
            best = distance;
            bestIndex = list[i];
        }
    }
    return bestIndex;
}

// A new cell's candidates, in index order: the coarse cell's candidates that
// some colour of the cell can reach within the bound (the least greatest
// distance of any of them: the nearest entry of every colour lies within it),
// less those that the candidate nearest the cell's middle beats everywhere in
// the cell.
unsigned NearestPaletteSearch::FindInNewCell(std::uint32_t rgb) {
    const std::vector<std::uint16_t>& coarse = CoarseCandidates(rgb);
    const Box box = BoxOf(rgb, kCellBits);
    auto colourOf = [this](std::uint16_t i, int out[3]) {
        out[0] = red_[i];
        out[1] = green_[i];
        out[2] = blue_[i];
    };
    // The bound: the least greatest distance over the coarse candidates; the
    // nearest entry of any colour in the box lies within it.
    int bound = 0x7FFFFFFF;
    const int middle[3] = {(box.low[0] + box.high[0]) / 2, (box.low[1] + box.high[1]) / 2, (box.low[2] + box.high[2]) / 2};
    std::uint16_t centre = coarse.front();
    int centreDistance = 0x7FFFFFFF;
    for (const std::uint16_t i : coarse) {
        int e[3], least, greatest;
        colourOf(i, e);
        DistanceRange(e, box, least, greatest);
        bound = std::min(bound, greatest);
        const int d = (e[0] - middle[0]) * (e[0] - middle[0]) + (e[1] - middle[1]) * (e[1] - middle[1]) +
                      (e[2] - middle[2]) * (e[2] - middle[2]);
        if (d < centreDistance) {
            centreDistance = d;
            centre = i;
        }
    }
    int c[3];
    colourOf(centre, c);
    scratch_.clear();
    for (const std::uint16_t i : coarse) {
        int e[3], least, greatest;
        colourOf(i, e);
        DistanceRange(e, box, least, greatest);
        if (least > bound) continue;
        if (i != centre && AlwaysChosenOver(c, centre, e, i, box)) continue;
        scratch_.push_back(i);
    }
    std::uint32_t& cell = cells_[CellOf(rgb)];
    if (scratch_.size() == 1) {
        cell = scratch_.front();
    } else if (scratch_.size() <= 3) {
        const std::uint32_t last = scratch_.back();
        cell = scratch_[0] | (scratch_.size() > 1 ? scratch_[1] : last) << 8 | last << 16;
    } else {
        cell = kLongList + static_cast<std::uint32_t>(lists_.size());
        lists_.push_back(static_cast<std::uint16_t>(scratch_.size()));
        lists_.insert(lists_.end(), scratch_.begin(), scratch_.end());
    }
    return Find(rgb);
}

const std::vector<std::uint16_t>& NearestPaletteSearch::CoarseCandidates(std::uint32_t rgb) {
    const std::size_t index = (rgb >> (24 - kCoarseBits) & 7u) << 6 | (rgb >> (16 - kCoarseBits) & 7u) << 3 |
                              (rgb >> (8 - kCoarseBits) & 7u);
    std::vector<std::uint16_t>& list = coarse_[index];
    if (coarseKnown_[index]) return list;
    const Box box = BoxOf(rgb, kCoarseBits);
    int bound = 0x7FFFFFFF;
    for (std::size_t i = 0; i < size_; ++i) {
        const int c[3] = {red_[i], green_[i], blue_[i]};
        int least, greatest;
        DistanceRange(c, box, least, greatest);
        bound = std::min(bound, greatest);
    }
    for (std::size_t i = 0; i < size_; ++i) {
        const int c[3] = {red_[i], green_[i], blue_[i]};
        int least, greatest;
        DistanceRange(c, box, least, greatest);
        if (least <= bound) list.push_back(static_cast<std::uint16_t>(i));
    }
    coarseKnown_[index] = true;
    return list;
}

}  // namespace rastelle::kernels
