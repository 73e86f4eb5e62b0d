// The combine modes' row loops for one register type. combine.cpp includes
// this file once per instruction set, with RASTELLE_COMBINE_PASS (the
// namespace), RASTELLE_COMBINE_VECTOR (the register traits) and
// RASTELLE_COMBINE_TARGET (the mark of every function here: empty, or
// RASTELLE_TARGET_AVX2) defined.

namespace rastelle::kernels {
namespace {
namespace RASTELLE_COMBINE_PASS {

using V = RASTELLE_COMBINE_VECTOR;
using R = V::R;
constexpr int kPixels = V::kPixels;

// The alpha of every pixel of a register of 16-bit lanes (two or four
// pixels widened from bytes) in all four lanes of that pixel.
RASTELLE_COMBINE_TARGET RASTELLE_ALWAYS_INLINE R AlphaLanes(R widened) {
    return V::ShuffleHigh16<0xFF>(V::ShuffleLow16<0xFF>(widened));
}

// floor(t * (mh * 2^16 + ml) / 2^(32 + shift)) in every 16-bit lane, exactly:
// the product's upper 32 bits are hi(t * mh) plus the carry out of
// lo(t * mh) + hi(t * ml) (the low 16 bits of t * ml cannot carry further).
RASTELLE_COMBINE_TARGET RASTELLE_ALWAYS_INLINE R Scale16(R t, R mh, R ml, __m128i shift) {
    const R bias = V::Set16(static_cast<short>(0x8000));
    const R low = V::MulLo16(t, mh);
    const R sum = V::Add16(low, V::MulHi16(t, ml));
    const R carry = V::CmpGt16(V::Xor(low, bias), V::Xor(sum, bias));  // unsigned sum < low
    return V::Srl16(V::Sub16(V::MulHi16(t, mh), carry), shift);
}

// Runs step.At over a row a register at a time; the row's last pixels go
// through a full register too, whose lanes past the row read as transparent
// pixels and are never written back.
template <class Step>
RASTELLE_COMBINE_TARGET RASTELLE_ALWAYS_INLINE void Row(const std::uint32_t* in, std::uint32_t* out, int width,
                                                        Step& step) {
    int x = 0;
    for (; x + kPixels <= width; x += kPixels) step.At(in + x, out + x);
    if (x < width) {
        alignas(32) std::uint32_t s[kPixels] = {}, d[kPixels] = {};
        const std::size_t bytes = static_cast<std::size_t>(width - x) * sizeof(std::uint32_t);
        std::memcpy(s, in + x, bytes);
        std::memcpy(d, out + x, bytes);
        step.At(s, d);
        std::memcpy(out + x, d, bytes);
    }
}

// The weighted modes: each byte moves from d towards r = Target<M>(s, d) by
// q = floor(|r - d| * a * o * weight), the weight's multiplier given as the
// 16-bit halves mh and ml and a shift. The move is added to the bytes that
// grow and taken from those that shrink; it never passes r, so no byte
// leaves 0..255.
template <CombineMode M>
RASTELLE_COMBINE_TARGET RASTELLE_ALWAYS_INLINE R Target(R s, R d) {
    if constexpr (M == CombineMode::Xor) return V::Xor(s, d);
    else if constexpr (M == CombineMode::And) return V::And(s, d);
    else if constexpr (M == CombineMode::Or) return V::Or(s, d);
    else return s;
}

template <CombineMode M>
struct WeightedStep {
    R mh, ml, fullDecrement, alphaMask;
    __m128i shift;
    bool full;

    RASTELLE_COMBINE_TARGET explicit WeightedStep(const LayerWeight& weight)
        : mh(V::Set16(static_cast<short>(weight.multiplier >> 16))),
          ml(V::Set16(static_cast<short>(weight.multiplier & 0xFFFF))),
          fullDecrement(V::Set8(static_cast<char>(weight.fullDecrement))),
          alphaMask(V::Set32(static_cast<int>(0xFF000000u))),
          shift(_mm_cvtsi32_si128(weight.shift)),
          full(weight.full) {}

    RASTELLE_COMBINE_TARGET RASTELLE_ALWAYS_INLINE void At(const std::uint32_t* in, std::uint32_t* out) const {
        const R s = V::Load(in);
        const R alpha = V::And(s, alphaMask);
        // Transparent layer pixels have no weight.
        if (V::MoveMask8(V::CmpEq32(alpha, V::Zero())) == V::kAllBytes) return;
        const R d = V::Load(out);
        const R r = Target<M>(s, d);
        const R up = V::SubsU8(r, d), down = V::SubsU8(d, r), x = V::Or(up, down);
        R q;
        if (full && V::MoveMask8(V::CmpEq32(alpha, alphaMask)) == V::kAllBytes) {
            q = V::SubsU8(x, fullDecrement);  // opacity 255 over opaque pixels: one weight for all
        } else {
            const R zero = V::Zero();
            const R tl = V::MulLo16(V::UnpackLo8(x, zero), AlphaLanes(V::UnpackLo8(s, zero)));
            const R th = V::MulLo16(V::UnpackHi8(x, zero), AlphaLanes(V::UnpackHi8(s, zero)));
            q = V::PackUs16(Scale16(tl, mh, ml, shift), Scale16(th, mh, ml, shift));
        }
        V::Store(out, V::Sub8(V::Add8(d, V::MinU8(q, up)), V::MinU8(q, down)));
    }
};

template <CombineMode M>
RASTELLE_COMBINE_TARGET void WeightedRows(const ConstImageView& layer, const ImageView& background,
                                          const LayerWeight& weight) {
    const WeightedStep<M> step(weight);
    for (int y = 0; y < background.height; ++y) Row(layer.row(y), background.row(y), background.width, step);
}

// (s * a + d * (255 - a)) / 255 per byte, rounded down. floor(n / 255) is
// (n * 0x8081) >> 23 for every n < 2^16: 0x8081 * 255 = 2^23 + 127, so the
// error n * 127 / (255 * 2^23) stays below 1/255.
RASTELLE_COMBINE_TARGET RASTELLE_ALWAYS_INLINE R DissolveMixHalf(R s, R d) {
    const R a = AlphaLanes(s);
    const R n = V::Add16(V::MulLo16(s, a), V::MulLo16(d, V::Sub16(V::Set16(255), a)));
    return V::Srl16(V::MulHi16(n, V::Set16(static_cast<short>(0x8081))), _mm_cvtsi32_si128(7));
}

// Dissolve: the generator's states for kPixels consecutive draws sit in the
// lanes of one register, and all lanes jump kPixels draws ahead at once.
// The pixels whose draw lies below the threshold take the mix.
struct DissolveStep {
    R states, stepMultiplier, stepIncrement, threshold;

    RASTELLE_COMBINE_TARGET RASTELLE_ALWAYS_INLINE void At(const std::uint32_t* in, std::uint32_t* out) {
        const R n = V::And(V::Srl32(states, 16), V::Set32(0x7FFF));
        const R change = V::CmpGt32(threshold, n);  // o * 32767 > n * 255
        states = V::Add32(V::MulLo32(states, stepMultiplier), stepIncrement);
        if (V::MoveMask8(change) == 0) return;
        const R s = V::Load(in), d = V::Load(out), zero = V::Zero();
        const R mix = V::PackUs16(DissolveMixHalf(V::UnpackLo8(s, zero), V::UnpackLo8(d, zero)),
                                  DissolveMixHalf(V::UnpackHi8(s, zero), V::UnpackHi8(d, zero)));
        V::Store(out, V::Or(V::And(change, mix), V::AndNot(change, d)));
    }
};

RASTELLE_COMBINE_TARGET void DissolveRows(const ConstImageView& layer, const ImageView& background,
                                          const DissolveDraws& draws) {
    alignas(32) std::uint32_t multipliers[kPixels], increments[kPixels];
    for (int i = 0; i < kPixels; ++i) {
        multipliers[i] = draws.ahead[i].multiplier;
        increments[i] = draws.ahead[i].increment;
    }
    const R laneMultiplier = V::Load(multipliers), laneIncrement = V::Load(increments);
    DissolveStep step;
    step.stepMultiplier = V::Set32(static_cast<int>(draws.ahead[kPixels - 1].multiplier));
    step.stepIncrement = V::Set32(static_cast<int>(draws.ahead[kPixels - 1].increment));
    step.threshold = V::Set32(draws.threshold);
    std::uint32_t state = draws.seed;
    for (int y = 0; y < background.height; ++y) {
        // Each row starts from the scalar state, which jumps a row's draws.
        step.states = V::Add32(V::MulLo32(V::Set32(static_cast<int>(state)), laneMultiplier), laneIncrement);
        Row(layer.row(y), background.row(y), background.width, step);
        state = state * draws.row.multiplier + draws.row.increment;
    }
}

}  // namespace RASTELLE_COMBINE_PASS
}  // namespace
}  // namespace rastelle::kernels
