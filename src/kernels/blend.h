// The additive-alpha blend that the blur and rank kernels lay their results
// with, and the S-shaped alpha curve of the glow.
#pragma once

#include "simd.h"

#include <array>
#include <cstdint>

#include "image_view.h"

namespace rastelle::kernels {

namespace detail {
// ceil(2^24 / d): for every n <= 255 * 255 and 1 <= d <= 255,
// (n * kReciprocal24[d]) >> 24 == n / d (the error term n * (m*d - 2^24) stays
// below 2^24), so a blend needs no hardware division.
inline constexpr std::array<std::uint32_t, 256> kReciprocal24 = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t d = 1; d < 256; ++d) table[d] = ((1u << 24) + d - 1) / d;
    return table;
}();

inline std::uint32_t DivideBy(std::uint32_t n, std::uint32_t d) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(n) * kReciprocal24[d]) >> 24);
}
}  // namespace detail

// Lays the colour (its blue, green and red bytes; its alpha byte is ignored)
// with alpha a onto the pixel d: alphas add up, capped at 255, and each colour
// byte becomes (c * a + d * (A' - a)) / A' with A' the new alpha. a = 0 leaves
// d as it is.
inline std::uint32_t BlendOver(std::uint32_t d, std::uint32_t colour, std::uint32_t a) {
    if (a == 0) return d;
    const std::uint32_t da = d >> 24;
    const std::uint32_t na = da + a > 255 ? 255 : da + a;
    if (na == a) return (na << 24) | (colour & 0xFFFFFFu);  // d's colour has no weight
    const std::uint32_t keep = na - a;
    std::uint32_t result = na << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t c = (colour >> shift) & 0xFF, old = (d >> shift) & 0xFF;
        result |= detail::DivideBy(c * a + old * keep, na) << shift;
    }
    return result;
}

// Lays every pixel of src, with its own alpha, onto the same pixel of dst:
// what the blur and the rank filters do for radii below their range. On a
// copy of src this keeps every colour and raises each alpha A to min(255, 2A).
// Runs of four opaque or four transparent source pixels (most of a photo or a
// cut-out shape) are copied or skipped without blending.
inline void BlendImageOver(const ConstImageView& src, const ImageView& dst) {
    assert(src.width == dst.width && src.height == dst.height);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (int y = 0; y < dst.height; ++y) {
        const std::uint32_t* in = src.row(y);
        std::uint32_t* out = dst.row(y);
        int x = 0;
        for (; x + 4 <= dst.width; x += 4) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
            const __m128i a = _mm_and_si128(s, alpha);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, alpha)) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), s);
            } else if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) != 0xFFFF) {
                for (int i = x; i < x + 4; ++i) out[i] = BlendOver(out[i], in[i], in[i] >> 24);
            }
        }
        for (; x < dst.width; ++x) out[x] = BlendOver(out[x], in[x], in[x] >> 24);
    }
}

// 0..255 onto 0..255: a*a/128 up to 128, 255 - (255-a)^2/127 above.
constexpr std::uint32_t AlphaCurve(std::uint32_t a) {
    return a <= 128 ? a * a / 128 : 255 - (255 - a) * (255 - a) / 127;
}

}  // namespace rastelle::kernels
