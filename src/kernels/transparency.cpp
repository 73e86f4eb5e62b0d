#include "simd.h"

#include "transparency.h"

#include <array>

namespace rastelle::kernels {

void TransparencyKernel(const ConstImageView& src, const ImageView& dst, std::uint32_t color,
                        std::uint8_t threshold) {
    assert(src.width == dst.width && src.height == dst.height);
    // The new alpha of every sum of the three distances (0..765), or -1 where
    // the pixel keeps its own: the division and the double arithmetic run
    // once per sum instead of once per pixel.
    std::array<std::int16_t, 766> alphaOf;
    for (int sum = 0; sum < 766; ++sum) {
        const int dist = sum / 3;
        if (dist < threshold) {
            const double a = static_cast<double>(dist) / threshold * 255;
            alphaOf[sum] = static_cast<std::int16_t>(a < 255 ? static_cast<int>(a) : 255);
        } else {
            alphaOf[sum] = -1;
        }
    }
    // Absolute byte differences, four pixels at a time; their alpha bytes
    // are masked off, the three colour bytes summed per pixel. Four pixels
    // all at least the threshold away (sum >= 3 * threshold: the usual case)
    // are stored as they are; otherwise each takes its alpha from the table.
    const __m128i key = _mm_set1_epi32(static_cast<int>(color));
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i nearLimit = _mm_set1_epi32(3 * static_cast<int>(threshold));
    for (int y = 0; y < dst.height; ++y) {
        const std::uint32_t* in = src.row(y);
        std::uint32_t* out = dst.row(y);
        int x = 0;
        for (; x + 4 <= dst.width; x += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
            const __m128i diff = _mm_sub_epi8(_mm_max_epu8(p, key), _mm_min_epu8(p, key));
            const __m128i sum = _mm_add_epi32(_mm_add_epi32(_mm_and_si128(diff, low),
                                                            _mm_and_si128(_mm_srli_epi32(diff, 8), low)),
                                              _mm_and_si128(_mm_srli_epi32(diff, 16), low));
            if (_mm_movemask_epi8(_mm_cmplt_epi32(sum, nearLimit)) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), p);
                continue;
            }
            alignas(16) std::uint32_t sums[4], pixels[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(sums), sum);
            _mm_store_si128(reinterpret_cast<__m128i*>(pixels), p);
            for (int i = 0; i < 4; ++i) {
                const int a = alphaOf[sums[i]];
                out[x + i] = a < 0 ? pixels[i] : (pixels[i] & 0xFFFFFFu) | static_cast<std::uint32_t>(a) << 24;
            }
        }
        for (; x < dst.width; ++x) {
            const std::uint32_t p = in[x];
            int sum = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int d = static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((color >> shift) & 0xFF);
                sum += d < 0 ? -d : d;
            }
            const int a = alphaOf[sum];
            out[x] = a < 0 ? p : (p & 0xFFFFFFu) | static_cast<std::uint32_t>(a) << 24;
        }
    }
}

}  // namespace rastelle::kernels
