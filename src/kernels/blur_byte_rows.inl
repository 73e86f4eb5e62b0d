// The byte path's row loops for one instruction set. blur_byte_path.cpp
// includes this file once per set, inside a namespace that defines `Vec`: a
// vector of Vec::kPixels pixels as 16-bit lanes (blue, green, red, alpha per
// pixel) and its operations, and RASTELLE_BLUR_TARGET, the mark of every
// function here (empty, or RASTELLE_TARGET_AVX2). Nothing here allocates or
// includes headers. Sums are doubled tent sums, 16 bits a lane.

// Doubled tent sums of Vec::kPixels neighbouring pixels: tap k of the
// 2 * kHi + 1 taps reads its pixels at taps[k] + offset; weight[d] is the
// doubled weight at distance d.
template <int kHi>
RASTELLE_BLUR_TARGET RASTELLE_ALWAYS_INLINE typename Vec::V TentSums(const std::uint8_t* const* taps,
                                                                     std::size_t offset,
                                                                     const typename Vec::V* weight) {
    typename Vec::V u = Vec::Mul(Vec::Widen(taps[kHi] + offset), weight[0]);
    for (int d = 1; d <= kHi; ++d)
        u = Vec::Add(u, Vec::Mul(Vec::Add(Vec::Widen(taps[kHi - d] + offset), Vec::Widen(taps[kHi + d] + offset)),
                                 weight[d]));
    return u;
}

struct Finisher {
    typename Vec::V magic, total, opaque, transparent;
    __m128i preShift, shift;
};

RASTELLE_BLUR_TARGET RASTELLE_ALWAYS_INLINE Finisher MakeFinisher(const ByteTent& tent) {
    // Colour lanes never reach 0xFFFF, so only alpha lanes can match.
    return {Vec::Set1(tent.magic), Vec::Set1(tent.total), Vec::SetAlpha(tent.opaqueSum, 0xFFFF),
            Vec::SetAlpha(0, 0xFFFF), _mm_cvtsi32_si128(tent.preShift), _mm_cvtsi32_si128(tent.shift)};
}

// Finishes the group of pixels x .. x + kPixels - 1 from its sums u into
// out[x ..] (all kPixels written): a wholly opaque window gives the colour
// bytes of the rounded-reciprocal formula and alpha 255, a wholly
// transparent one 0; the positions of the others (below count) are appended
// to others[], whose new length is returned.
RASTELLE_BLUR_TARGET RASTELLE_ALWAYS_INLINE int FinishGroup(typename Vec::V u, int x, int count, const ByteTent& tent,
                                                            const Finisher& f, std::uint32_t* out, int* others,
                                                            int othersCount) {
    const typename Vec::V q =  // floor(u / total)
        Vec::ShiftRight(Vec::MulHigh(Vec::ShiftRight(u, f.preShift), f.magic), f.shift);
    Vec::StoreBytes(out + x, q);
    if (tent.anyLower) {
        // Exact quotients the rounded reciprocal brings one lower.
        const int exact = Vec::ColourMask(Vec::Equal(Vec::Mul(q, f.total), u));
        if (exact) {
            alignas(32) std::uint16_t lanes[4 * Vec::kPixels];
            Vec::StoreLanes(lanes, q);
            auto* bytes = reinterpret_cast<std::uint8_t*>(out + x);
            // (Lanes past the row's end may hold any sum.)
            for (int i = 0; i < 4 * Vec::kPixels; ++i)
                if ((exact >> (2 * i) & 1) && lanes[i] < 256 && tent.lower[lanes[i]])
                    bytes[i] = static_cast<std::uint8_t>(lanes[i] - 1);
        }
    }
    const int opaqueLanes = Vec::AlphaMask(Vec::Equal(u, f.opaque));
    if (opaqueLanes == Vec::kAllAlpha) return othersCount;
    const int transparentLanes = Vec::AlphaMask(Vec::Equal(u, f.transparent));
    for (int p = 0; p < Vec::kPixels && x + p < count; ++p) {
        const int bit = Vec::AlphaBit(p);
        if (opaqueLanes & bit) continue;
        if (transparentLanes & bit) out[x + p] = 0;
        else others[othersCount++] = x + p;
    }
    return othersCount;
}

// Sums and finishes `count` pixels into out[0 .. count) (writing up to
// kPixels - 1 more), the taps read directly (2 * kHi + 1 of them). others[]
// must have room for count + kPixels; its new length is returned.
template <int kHi>
RASTELLE_BLUR_TARGET int TentRow(const std::uint8_t* const* taps, int count, const ByteTent& tent,
                                 std::uint32_t* out, int* others, int othersCount) {
    typename Vec::V weight[kHi + 1];
    for (int d = 0; d <= kHi; ++d) weight[d] = Vec::Set1(tent.weight[d]);
    const Finisher f = MakeFinisher(tent);
    for (int x = 0; x < count; x += Vec::kPixels)
        othersCount = FinishGroup(TentSums<kHi>(taps, 4 * static_cast<std::size_t>(x), weight), x, count, tent, f,
                                  out, others, othersCount);
    return othersCount;
}

// TentRow for the radius at hand (at most kByteTentMaxDirectHi).
RASTELLE_BLUR_TARGET inline int TentRowFor(int hi, const std::uint8_t* const* taps, int count,
                                           const ByteTent& tent, std::uint32_t* out, int* others, int othersCount) {
    switch (hi) {
        case 0: return TentRow<0>(taps, count, tent, out, others, othersCount);
        case 1: return TentRow<1>(taps, count, tent, out, others, othersCount);
        case 2: return TentRow<2>(taps, count, tent, out, others, othersCount);
        case 3: return TentRow<3>(taps, count, tent, out, others, othersCount);
        default: return TentRow<4>(taps, count, tent, out, others, othersCount);
    }
}

// The same from sums already formed (4 lanes a pixel, with room for kPixels
// more).
RASTELLE_BLUR_TARGET inline int FinishRow(const std::uint16_t* sums, int count, const ByteTent& tent,
                                          std::uint32_t* out, int* others, int othersCount) {
    const Finisher f = MakeFinisher(tent);
    for (int x = 0; x < count; x += Vec::kPixels)
        othersCount = FinishGroup(Vec::Load(sums + 4 * static_cast<std::size_t>(x)), x, count, tent, f, out, others,
                                  othersCount);
    return othersCount;
}

// Slides the column sums t (the tent) and d (the sum below the centre minus
// the sum up to it) down one row: `leaving` is the window's top row,
// `centre` the row below the old centre, `entering` the new bottom row
// (pixel rows of `count` pixels, with room for kPixels more).
RASTELLE_BLUR_TARGET inline void SlideDown(std::uint16_t* t, std::uint16_t* d, const std::uint8_t* leaving,
                                          const std::uint8_t* centre, const std::uint8_t* entering, int count,
                                          bool edgeWeighsTwo) {
    for (int x = 0; x < count; x += Vec::kPixels) {
        const std::size_t i = 4 * static_cast<std::size_t>(x);
        const typename Vec::V va = Vec::Widen(leaving + i), vm = Vec::Widen(centre + i),
                              vb = Vec::Widen(entering + i);
        const typename Vec::V tv = Vec::Load(t + i), dv = Vec::Load(d + i);
        const typename Vec::V ends = edgeWeighsTwo ? Vec::Add(vb, vb) : Vec::Add(va, vb);
        Vec::Store(t + i, Vec::Add(Vec::Add(tv, Vec::Add(dv, dv)), ends));
        Vec::Store(d + i, Vec::Sub(Vec::Add(dv, Vec::Add(va, vb)), Vec::Add(vm, vm)));
    }
}
