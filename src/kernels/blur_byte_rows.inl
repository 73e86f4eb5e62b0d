// The byte path's row loops for one instruction set. blur.cpp includes this
// file once per set, inside a namespace that defines `Vec`: a vector of
// Vec::kPixels pixels as 16-bit lanes (blue, green, red, alpha per pixel)
// and its operations, and RASTELLE_BLUR_TARGET, the mark of every function
// here (empty, or RASTELLE_TARGET_AVX2). Nothing here allocates or includes
// headers.

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

// Finishes `count` pixels into out[0 .. count) (writing up to kPixels - 1
// more): a wholly opaque window gives floor(U / T) in every byte (alpha
// 255), a wholly transparent one 0; the positions of all others are
// appended to others[] (others must have room for count + kPixels), whose
// new length is returned.
template <int kHi>
RASTELLE_BLUR_TARGET int TentRow(const std::uint8_t* const* taps, int count, const ByteTent& tent,
                                 std::uint32_t* out, int* others, int othersCount) {
    typename Vec::V weight[kHi + 1];
    for (int d = 0; d <= kHi; ++d) weight[d] = Vec::Set1(tent.weight[d]);
    const typename Vec::V magic = Vec::Set1(tent.magic);
    const __m128i shift = _mm_cvtsi32_si128(tent.shift);
    const typename Vec::V opaque = Vec::SetAlpha(tent.opaqueSum, 0xFFFF);  // colour lanes never reach 0xFFFF
    const typename Vec::V transparent = Vec::SetAlpha(0, 0xFFFF);
    for (int x = 0; x < count; x += Vec::kPixels) {
        const typename Vec::V u = TentSums<kHi>(taps, 4 * static_cast<std::size_t>(x), weight);
        Vec::StoreBytes(out + x, Vec::ShiftRight(Vec::MulHigh(u, magic), shift));
        const int opaqueLanes = Vec::AlphaMask(Vec::Equal(u, opaque));
        if (opaqueLanes == Vec::kAllAlpha) continue;
        const int transparentLanes = Vec::AlphaMask(Vec::Equal(u, transparent));
        for (int p = 0; p < Vec::kPixels && x + p < count; ++p) {
            const int bit = Vec::AlphaBit(p);
            if (opaqueLanes & bit) continue;
            if (transparentLanes & bit) out[x + p] = 0;
            else others[othersCount++] = x + p;
        }
    }
    return othersCount;
}

// TentRow for the radius at hand.
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
