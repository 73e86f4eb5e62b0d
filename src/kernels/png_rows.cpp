#include "kernels/simd.h"

#include "kernels/png_rows.h"

#include <cstring>

namespace rastelle::kernels {

namespace {

// The residues' magnitudes as signed bytes: |int8(v)| summed by SAD against
// zero after folding the negative half (256 - v for v >= 128).
std::uint64_t SumMagnitudes(const std::uint8_t* bytes, std::size_t length) {
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero;
    std::size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i negated = _mm_sub_epi8(zero, v);
        sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_min_epu8(v, negated), zero));
    }
    std::uint64_t sum = static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) +
                        static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    for (; i < length; ++i) {
        const int v = static_cast<std::int8_t>(bytes[i]);
        sum += static_cast<std::uint64_t>(v < 0 ? -v : v);
    }
    return sum;
}

// Paeth's predictor over 16 lanes: of a (left), b (up) and c (up-left) the one
// nearest to a + b - c, ties to a, then b. The distances are at most 510, so
// they are formed in 16-bit lanes.
__m128i PaethLanes(__m128i a, __m128i b, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    auto half = [&](__m128i (*unpack)(__m128i, __m128i)) {
        const __m128i a16 = unpack(a, zero);
        const __m128i b16 = unpack(b, zero);
        const __m128i c16 = unpack(c, zero);
        const __m128i pa0 = _mm_sub_epi16(b16, c16);  // p - a
        const __m128i pb0 = _mm_sub_epi16(a16, c16);  // p - b
        const __m128i pc0 = _mm_add_epi16(pa0, pb0);  // p - c
        auto abs16 = [&](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
        const __m128i pa = abs16(pa0);
        const __m128i pb = abs16(pb0);
        const __m128i pc = abs16(pc0);
        // a where pa <= pb and pa <= pc; else b where pb <= pc; else c.
        const __m128i useA = _mm_and_si128(_mm_cmpgt_epi16(_mm_add_epi16(pb, _mm_set1_epi16(1)), pa),
                                           _mm_cmpgt_epi16(_mm_add_epi16(pc, _mm_set1_epi16(1)), pa));
        const __m128i useB = _mm_cmpgt_epi16(_mm_add_epi16(pc, _mm_set1_epi16(1)), pb);
        const __m128i bOrC = _mm_or_si128(_mm_and_si128(useB, b16), _mm_andnot_si128(useB, c16));
        return _mm_or_si128(_mm_and_si128(useA, a16), _mm_andnot_si128(useA, bOrC));
    };
    return _mm_packus_epi16(half(_mm_unpacklo_epi8), half(_mm_unpackhi_epi8));
}

int PaethScalar(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// A pixel's residues in the order of the pixel memory (blue, green, red,
// alpha); zero alpha residue for files without alpha.
template <int BytesPerPixel>
std::uint32_t ResiduesAt(const std::uint8_t* residues) {
    const std::uint32_t alpha = BytesPerPixel == 4 ? static_cast<std::uint32_t>(residues[3]) << 24 : 0u;
    return residues[2] | static_cast<std::uint32_t>(residues[1]) << 8 | static_cast<std::uint32_t>(residues[0]) << 16 |
           alpha;
}

// Runs predict(left, up, upLeft) for every pixel, left to right; only the
// four low bytes of each register count.
template <int BytesPerPixel, class Predict>
void Unfilter(const std::uint8_t* residues, int width, const std::uint32_t* above, std::uint32_t* out,
              Predict predict) {
    const std::uint32_t opaque = BytesPerPixel == 4 ? 0u : 0xFF000000u;
    __m128i left = _mm_setzero_si128();
    __m128i upLeft = _mm_setzero_si128();
    for (int x = 0; x < width; ++x, residues += BytesPerPixel) {
        const __m128i up = above ? _mm_cvtsi32_si128(static_cast<int>(above[x])) : _mm_setzero_si128();
        const __m128i residue = _mm_cvtsi32_si128(static_cast<int>(ResiduesAt<BytesPerPixel>(residues)));
        left = _mm_add_epi8(residue, predict(left, up, upLeft));
        // Without alpha in the file the alpha lane holds its prediction,
        // which no other lane reads; the pixel is made opaque.
        out[x] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(left)) | opaque;
        upLeft = up;
    }
}

template <int BytesPerPixel>
bool UnfilterAs(int filter, const std::uint8_t* residues, int width, const std::uint32_t* above, std::uint32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    switch (filter) {
    case 0: Unfilter<BytesPerPixel>(residues, width, above, out, [&](__m128i, __m128i, __m128i) { return zero; }); return true;
    case 1: Unfilter<BytesPerPixel>(residues, width, above, out, [](__m128i a, __m128i, __m128i) { return a; }); return true;
    case 2: Unfilter<BytesPerPixel>(residues, width, above, out, [](__m128i, __m128i b, __m128i) { return b; }); return true;
    case 3:
        Unfilter<BytesPerPixel>(residues, width, above, out, [](__m128i a, __m128i b, __m128i) {
            return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
        });
        return true;
    case 4: Unfilter<BytesPerPixel>(residues, width, above, out, PaethLanes); return true;
    default: return false;
    }
}

}  // namespace

bool UnfilterPngRow(int filter, const std::uint8_t* residues, int width, int bytesPerPixel, const std::uint32_t* above,
                    std::uint32_t* out) {
    return bytesPerPixel == 4 ? UnfilterAs<4>(filter, residues, width, above, out)
                              : UnfilterAs<3>(filter, residues, width, above, out);
}

bool IsOpaque(const ConstImageView& image) {
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* row = image.row(y);
        int x = 0;
        __m128i all = alphaMask;
        for (; x + 4 <= image.width; x += 4)
            all = _mm_and_si128(all, _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(all, alphaMask), alphaMask)) != 0xFFFF) return false;
        for (; x < image.width; ++x)
            if ((row[x] >> 24) != 0xFF) return false;
    }
    return true;
}

void PackPngRow(const std::uint32_t* pixels, int width, bool withAlpha, std::uint8_t* out) {
    if (withAlpha) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[x];
            // BGRA in memory to RGBA: swap red and blue, keep green and alpha.
            const std::uint32_t rgba = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
            std::memcpy(out + 4 * static_cast<std::size_t>(x), &rgba, 4);
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = pixels[x];
        out[0] = static_cast<std::uint8_t>(p >> 16);
        out[1] = static_cast<std::uint8_t>(p >> 8);
        out[2] = static_cast<std::uint8_t>(p);
        out += 3;
    }
}

void FilterPngRow(const std::uint8_t* samples, const std::uint8_t* previous, std::size_t length, int bytesPerPixel,
                  std::uint8_t* out, std::uint8_t* scratch) {
    const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel);
    std::uint8_t* sub = scratch;
    std::uint8_t* up = scratch + length;
    std::uint8_t* average = scratch + 2 * length;
    std::uint8_t* paeth = scratch + 3 * length;
    const std::size_t head = bpp < length ? bpp : length;

    // The first pixel has no left neighbour (a = c = 0).
    for (std::size_t i = 0; i < head; ++i) {
        const int b = previous ? previous[i] : 0;
        sub[i] = samples[i];
        up[i] = static_cast<std::uint8_t>(samples[i] - b);
        average[i] = static_cast<std::uint8_t>(samples[i] - (b >> 1));
        paeth[i] = static_cast<std::uint8_t>(samples[i] - b);  // Paeth(0, b, 0) = b
    }
    std::size_t i = head;
    if (previous) {
        for (; i + 16 <= length; i += 16) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i - bpp));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i - bpp));
            // floor((a + b) / 2) = avg_epu8 (which rounds up) minus the odd bit.
            const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b),
                                              _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sub + i), _mm_sub_epi8(s, a));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(up + i), _mm_sub_epi8(s, b));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(average + i), _mm_sub_epi8(s, mean));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(paeth + i), _mm_sub_epi8(s, PaethLanes(a, b, c)));
        }
        for (; i < length; ++i) {
            const int a = samples[i - bpp];
            const int b = previous[i];
            const int c = previous[i - bpp];
            sub[i] = static_cast<std::uint8_t>(samples[i] - a);
            up[i] = static_cast<std::uint8_t>(samples[i] - b);
            average[i] = static_cast<std::uint8_t>(samples[i] - ((a + b) >> 1));
            paeth[i] = static_cast<std::uint8_t>(samples[i] - PaethScalar(a, b, c));
        }
    } else {
        // No row above: Up is None, Average halves the left, Paeth is Sub.
        for (; i < length; ++i) {
            const int a = samples[i - bpp];
            sub[i] = static_cast<std::uint8_t>(samples[i] - a);
            up[i] = samples[i];
            average[i] = static_cast<std::uint8_t>(samples[i] - (a >> 1));
            paeth[i] = sub[i];
        }
    }

    const std::uint8_t* candidates[5] = {samples, sub, up, average, paeth};
    int best = 0;
    std::uint64_t bestSum = SumMagnitudes(samples, length);
    for (int filter = 1; filter < 5 && bestSum > 0; ++filter) {
        const std::uint64_t sum = SumMagnitudes(candidates[filter], length);
        if (sum < bestSum) {
            bestSum = sum;
            best = filter;
        }
    }
    out[0] = static_cast<std::uint8_t>(best);
    std::memcpy(out + 1, candidates[best], length);
}

}  // namespace rastelle::kernels
