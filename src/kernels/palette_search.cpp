#include "kernels/simd.h"

#include "kernels/palette_search.h"

#include <algorithm>
#include <bit>
#include <cassert>

namespace rastelle::kernels {

namespace {

// A box of colours, inclusive bounds per channel.
struct Box {
    int low[3];
    int high[3];
};

Box ColourBox(std::uint32_t rgb, unsigned cellBits) {
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

NearestPaletteSearch::NearestPaletteSearch(const std::vector<PaletteColour>& palette, std::size_t boxTableFrom)
    : cells_(std::size_t{1} << (3 * kCellBits), kUnknown),
      boxTableFrom_(boxTableFrom),
      coarse_(std::size_t{1} << (3 * kCoarseBits)),
      coarseKnown_(std::size_t{1} << (3 * kCoarseBits), false) {
    assert(!palette.empty() && palette.size() <= 256);
    size_ = std::min<std::size_t>(palette.size(), 256);
    for (std::size_t i = 0; i < size_; ++i) {
        red_[i] = palette[i].red;
        green_[i] = palette[i].green;
        blue_[i] = palette[i].blue;
        lanes_[i] = std::uint64_t{palette[i].red} << 32 | std::uint64_t{palette[i].green} << 16 | palette[i].blue;
    }
}

// Past the small images, three passes: every pixel takes its box's entry; the pixels of boxes
// without one are collected; those are worked out four at a time, after
// each box they fall into has been looked at once.
void NearestPaletteSearch::FindRow(const std::uint32_t* in, std::uint8_t* out, int count) {
    if (boxes_.empty()) {
        asked_ += static_cast<std::size_t>(std::max(count, 0));
        if (asked_ <= boxTableFrom_) {
            for (int x = 0; x < count; ++x) out[x] = static_cast<std::uint8_t>(Find(in[x]));
            return;
        }
        boxes_.assign(std::size_t{1} << (3 * kBoxBits), kNoEntry);
        boxLearnt_.assign(std::size_t{1} << (3 * kBoxBits), false);
    }
    const std::uint8_t* boxes = boxes_.data();
    const __m128i redBits = _mm_set1_epi32(0x1FC000);
    const __m128i greenBits = _mm_set1_epi32(0x3F80);
    const __m128i blueBits = _mm_set1_epi32(0x7F);
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        const __m128i box = _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(p, 3), redBits),
                                                      _mm_and_si128(_mm_srli_epi32(p, 2), greenBits)),
                                         _mm_and_si128(_mm_srli_epi32(p, 1), blueBits));
        out[x] = boxes[_mm_cvtsi128_si32(box)];
        out[x + 1] = boxes[_mm_cvtsi128_si32(_mm_shuffle_epi32(box, 1))];
        out[x + 2] = boxes[_mm_cvtsi128_si32(_mm_shuffle_epi32(box, 2))];
        out[x + 3] = boxes[_mm_cvtsi128_si32(_mm_shuffle_epi32(box, 3))];
    }
    for (; x < count; ++x) out[x] = boxes[BoxOf(in[x])];

    if (pending_.size() < static_cast<std::size_t>(count)) pending_.resize(static_cast<std::size_t>(count));
    int* pending = pending_.data();
    std::size_t n = 0;
    const __m128i none = _mm_set1_epi8(static_cast<char>(kNoEntry));
    for (x = 0; x + 16 <= count; x += 16) {
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(out + x)), none)));
        for (; mask != 0; mask &= mask - 1) pending[n++] = x + std::countr_zero(mask);
    }
    for (; x < count; ++x)
        if (out[x] == kNoEntry) pending[n++] = x;

    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t rgb = in[pending[i]];
        if (!boxLearnt_[BoxOf(rgb)]) LearnBox(rgb);
    }
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) FindFour(in, pending + i, out);
    for (; i < n; ++i) out[pending[i]] = static_cast<std::uint8_t>(Find(in[pending[i]]));
}

// Four pixels without a branch per pixel: the three squared distances of
// each are worked out side by side, and the least of the keys
// distance << 8 | index wins. A group that meets a long list goes through
// Find.
void NearestPaletteSearch::FindFour(const std::uint32_t* in, const int* at, std::uint8_t* out) {
    const std::uint32_t p[4] = {in[at[0]] & 0xFFFFFFu, in[at[1]] & 0xFFFFFFu, in[at[2]] & 0xFFFFFFu,
                                in[at[3]] & 0xFFFFFFu};
    const std::uint32_t w[4] = {cells_[CellOf(p[0])], cells_[CellOf(p[1])], cells_[CellOf(p[2])],
                                cells_[CellOf(p[3])]};
    if ((w[0] | w[1] | w[2] | w[3]) >= kLongList) {
        for (int k = 0; k < 4; ++k) out[at[k]] = static_cast<std::uint8_t>(Find(p[k]));
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
    const __m128i low = _mm_unpacklo_epi8(pixels, zero);
    const __m128i high = _mm_unpackhi_epi8(pixels, zero);
    __m128i best = _mm_set1_epi32(0x7FFFFFFF);
    for (unsigned shift = 0; shift < 24; shift += 8) {
        const auto lanesOf = [&](int k) {
            return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&lanes_[w[k] >> shift & 0xFFu]));
        };
        const __m128i d01 = _mm_sub_epi16(_mm_unpacklo_epi64(lanesOf(0), lanesOf(1)), low);
        const __m128i d23 = _mm_sub_epi16(_mm_unpacklo_epi64(lanesOf(2), lanesOf(3)), high);
        // Per pixel blue^2 + green^2 and red^2 + 0, then their sums.
        const __m128 s01 = _mm_castsi128_ps(_mm_madd_epi16(d01, d01));
        const __m128 s23 = _mm_castsi128_ps(_mm_madd_epi16(d23, d23));
        const __m128i distance = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(s01, s23, _MM_SHUFFLE(2, 0, 2, 0))),
                                               _mm_castps_si128(_mm_shuffle_ps(s01, s23, _MM_SHUFFLE(3, 1, 3, 1))));
        const __m128i key = _mm_or_si128(_mm_slli_epi32(distance, 8),
                                         _mm_and_si128(_mm_srli_epi32(words, static_cast<int>(shift)), byteMask));
        const __m128i less = _mm_cmplt_epi32(key, best);
        best = _mm_or_si128(_mm_and_si128(less, key), _mm_andnot_si128(less, best));
    }
    alignas(16) std::uint32_t keys[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(keys), best);
    for (int k = 0; k < 4; ++k) out[at[k]] = static_cast<std::uint8_t>(keys[k]);
}

// Notes a box's entry when one entry is nearest to all its colours: the
// entry nearest to rgb, if it is chosen over every other candidate of the
// cell everywhere in the box.
void NearestPaletteSearch::LearnBox(std::uint32_t rgb) {
    boxLearnt_[BoxOf(rgb)] = true;
    const unsigned winner = Find(rgb);
    if (winner == kNoEntry) return;
    const std::uint32_t cell = cells_[CellOf(rgb)];
    const std::uint16_t triple[4] = {3, static_cast<std::uint16_t>(cell & 0xFFu),
                                     static_cast<std::uint16_t>(cell >> 8 & 0xFFu),
                                     static_cast<std::uint16_t>(cell >> 16 & 0xFFu)};
    const std::uint16_t* list = cell >= kLongList ? lists_.data() + (cell - kLongList) : triple;
    const Box box = ColourBox(rgb, kBoxBits);
    const int w[3] = {red_[winner], green_[winner], blue_[winner]};
    for (unsigned i = 1; i <= list[0]; ++i) {
        const unsigned other = list[i];
        const int o[3] = {red_[other], green_[other], blue_[other]};
        if (other != winner && !AlwaysChosenOver(w, winner, o, other, box)) return;
    }
    boxes_[BoxOf(rgb)] = static_cast<std::uint8_t>(winner);
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
    const Box box = ColourBox(rgb, kCellBits);
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
    if (scratch_.size() <= 3) {
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
    const Box box = ColourBox(rgb, kCoarseBits);
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
