#include "cmyk_separation.h"

#include <algorithm>
#include <array>

namespace rastelle::kernels {

namespace {

// round(d * 255 / m) for every m in 1..255 and d in 0..m, so the row loop
// does a lookup instead of three divisions a pixel. Row 0 (black) is all 0.
using InkTable = std::array<std::uint8_t, 256 * 256>;

const InkTable& Inks() {
    static const InkTable table = [] {
        InkTable t{};
        for (int m = 1; m < 256; ++m)
            for (int d = 0; d <= m; ++d)
                t[static_cast<size_t>(m * 256 + d)] = static_cast<std::uint8_t>((d * 510 + m) / (2 * m));
        return t;
    }();
    return table;
}

inline std::uint32_t Separate(std::uint32_t argb, const std::uint8_t* inks) {
    const std::uint32_t b = argb & 0xFFu, g = (argb >> 8) & 0xFFu, r = (argb >> 16) & 0xFFu;
    const std::uint32_t m = std::max(r, std::max(g, b));
    const std::uint8_t* row = inks + m * 256;
    const std::uint32_t c = row[m - r], magenta = row[m - g], y = row[m - b], k = 255u - m;
    // Memory order C, M, Y, K is the little-endian value K:Y:M:C.
    return c | (magenta << 8) | (y << 16) | (k << 24);
}

}  // namespace

std::uint32_t SeparateCmykPixel(std::uint32_t argb) { return Separate(argb, Inks().data()); }

void SeparateCmykDefault(const ConstImageView& src, const ImageView& dst) {
    const std::uint8_t* inks = Inks().data();
    for (int y = 0; y < src.height; ++y) {
        const std::uint32_t* in = src.row(y);
        std::uint32_t* out = dst.row(y);
        for (int x = 0; x < src.width; ++x) out[x] = Separate(in[x], inks);
    }
}

}  // namespace rastelle::kernels
