#include "reference_kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace rastelle::kernels::reference {
namespace {

std::uint32_t Channel(std::uint32_t p, int i) { return (p >> (8 * i)) & 0xFF; }

std::uint32_t Pack(std::uint32_t b, std::uint32_t g, std::uint32_t r, std::uint32_t a) { return a << 24 | r << 16 | g << 8 | b; }

std::uint32_t Clamp255(double v) { return static_cast<std::uint32_t>(std::min(255.0, std::trunc(v))); }

// One output pixel of a pass: `pixel(i)` is the source pixel at line index i,
// `centre` the position less the offset; the window runs from floor(centre - r)
// to ceil(centre + r + 1), computed without rounding.
template <class Pixel>
void PassPixel(Pixel pixel, int n, std::int64_t centre, double r, double norm, std::uint32_t& colour,
               std::uint32_t& alpha) {
    const std::int64_t from = std::max<std::int64_t>(0, centre + static_cast<std::int64_t>(std::floor(-r)));
    const std::int64_t to = std::min<std::int64_t>(n, centre + static_cast<std::int64_t>(std::ceil(r)) + 1);
    double sa = 0, sc[3] = {0, 0, 0};
    for (std::int64_t j = from; j < to; ++j) {
        const double w = r + 1 - std::abs(static_cast<double>(j - centre));
        if (!(w > 0)) continue;
        const std::uint32_t p = pixel(static_cast<int>(j));
        const double a = Channel(p, 3);
        sa += a * w;
        for (int i = 0; i < 3; ++i) sc[i] += static_cast<double>(Channel(p, i) * Channel(p, 3)) * w;
    }
    if (sa == 0) return void(colour = alpha = 0);
    const double inv = 1 / sa;
    colour = Pack(Clamp255(sc[0] * inv), Clamp255(sc[1] * inv), Clamp255(sc[2] * inv), 0);
    alpha = Clamp255(sa / norm);
}

}  // namespace

std::uint32_t BlendOver(std::uint32_t d, std::uint32_t colour, std::uint32_t a) {
    if (a == 0) return d;
    const std::uint32_t na = std::min<std::uint32_t>(255, Channel(d, 3) + a);
    std::uint32_t c[3];
    for (int i = 0; i < 3; ++i) c[i] = (Channel(colour, i) * a + Channel(d, i) * (na - a)) / na;
    return Pack(c[0], c[1], c[2], na);
}

namespace {

// A filter with nothing to spread: each pixel blended over the destination
// by its own alpha.
void BlendEach(const ConstImageView& src, const ImageView& dst) {
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) dst.row(y)[x] = BlendOver(dst.row(y)[x], src.row(y)[x], Channel(src.row(y)[x], 3));
}
}  // namespace

std::uint32_t AlphaCurve(std::uint32_t a) {
    return a <= 128 ? a * a / 128 : 255 - (255 - a) * (255 - a) / 127;
}

void BlurKernel(const ConstImageView& src, const ImageView& dst, const BlurParams& params) {
    const int w = src.width, h = src.height;
    const double intensity = BlurIntensityUsed(params.intensity);
    const double rx = BlurRadiusUsed(params.radiusX), ry = BlurRadiusUsed(params.radiusY);
    if (!params.glowColor && rx <= 0 && ry <= 0) return BlendEach(src, dst);
    std::vector<std::uint32_t> work(static_cast<size_t>(w) * h);
    const double sx = BlurNormalisingSum(rx);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t colour, alpha;
            PassPixel([&](int j) { return src.row(y)[j]; }, w, std::int64_t{x} - params.offsetX, rx, sx, colour,
                      alpha);
            work[static_cast<size_t>(y) * w + x] = colour | alpha << 24;
        }
    const double sy = params.glowColor ? BlurNormalisingSum(ry) / intensity : BlurNormalisingSum(ry);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t colour, alpha;
            PassPixel([&](int k) { return work[static_cast<size_t>(k) * w + x]; }, h, std::int64_t{y} - params.offsetY,
                      ry, sy, colour, alpha);
            if (params.glowColor) {
                colour = *params.glowColor & 0xFFFFFF;
                alpha = Channel(*params.glowColor, 3) * AlphaCurve(alpha) / 255;
            }
            dst.row(y)[x] = BlendOver(dst.row(y)[x], colour, alpha);
        }
}

void TransparencyKernel(const ConstImageView& src, const ImageView& dst, std::uint32_t color, std::uint8_t threshold) {
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const std::uint32_t p = src.row(y)[x];
            int sum = 0;
            for (int i = 0; i < 3; ++i) sum += std::abs(static_cast<int>(Channel(p, i)) - static_cast<int>(Channel(color, i)));
            const int dist = sum / 3;
            dst.row(y)[x] = dist < threshold ? (p & 0xFFFFFF) | Clamp255(static_cast<double>(dist) / threshold * 255) << 24 : p;
        }
}

void RankFilter(const ConstImageView& src, const ImageView& dst, int radius, RankMode mode, bool rankAlpha) {
    const int w = src.width, h = src.height;
    if (radius < 1) return BlendEach(src, dst);
    std::vector<std::uint32_t> list;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            list.clear();
            const int y0 = std::max<std::int64_t>(0, std::int64_t{y} - radius), y1 = std::min<std::int64_t>(h - 1, std::int64_t{y} + radius);
            const int x0 = std::max<std::int64_t>(0, std::int64_t{x} - radius), x1 = std::min<std::int64_t>(w - 1, std::int64_t{x} + radius);
            for (int k = y0; k <= y1; ++k)
                for (int j = x0; j <= x1; ++j) list.push_back(src.row(k)[j]);
            const size_t n = list.size();
            const size_t index = mode == RankMode::Median ? n / 2 : mode == RankMode::Minimum ? 0 : n - 1;
            std::uint32_t out[4] = {0, 0, 0, Channel(src.row(y)[x], 3)};
            for (int i = 0; i < (rankAlpha ? 4 : 3); ++i) {
                // Keys alpha * byte (alpha itself for the alpha channel);
                // equal keys in the order of the byte.
                auto key = [i](std::uint32_t p) { return i == 3 ? Channel(p, 3) : Channel(p, 3) * Channel(p, i); };
                std::stable_sort(list.begin(), list.end(), [&](std::uint32_t a, std::uint32_t b) {
                    return key(a) != key(b) ? key(a) < key(b) : Channel(a, i) < Channel(b, i);
                });
                out[i] = Channel(list[index], i);
            }
            dst.row(y)[x] = Pack(out[0], out[1], out[2], out[3]);
        }
}

std::uint32_t NextRandomState(std::uint32_t state) { return state * 214013u + 2531011u; }

int RandomNumber(std::uint32_t state) { return static_cast<int>((state >> 16) & 0x7FFF); }

void CombineLayer(CombineMode mode, const ConstImageView& layer, const ImageView& background, int opacity) {
    const int o = opacity;
    const double k = std::bit_cast<float>(std::uint32_t{0x37810182});
    std::uint32_t state = 17;
    for (int y = 0; y < background.height; ++y)
        for (int x = 0; x < background.width; ++x) {
            const std::uint32_t s = layer.row(y)[x], d = background.row(y)[x];
            const int a = static_cast<int>(Channel(s, 3));
            std::uint32_t out[4];
            if (mode == CombineMode::Dissolve) {
                state = NextRandomState(state);
                if (o * 32767 <= RandomNumber(state) * 255) continue;
                for (int i = 0; i < 4; ++i) out[i] = (Channel(s, i) * a + Channel(d, i) * (255 - a)) / 255;
            } else {
                for (int i = 0; i < 4; ++i) {
                    const int sc = static_cast<int>(Channel(s, i)), dc = static_cast<int>(Channel(d, i));
                    int change;
                    if (mode == CombineMode::AlphaBlend) {
                        // The double factor o * a * (nearest double to 1/65025) times (s - d), truncated.
                        const double inverse = std::bit_cast<double>(std::uint64_t{0x3EF0203040506071});
                        change = static_cast<int>(std::trunc(static_cast<double>(o * a) * inverse * (sc - dc)));
                    } else {
                        const int r = mode == CombineMode::Xor ? sc ^ dc : mode == CombineMode::And ? sc & dc : sc | dc;
                        const double w = static_cast<double>(o * a) * k;
                        change = static_cast<int>(std::trunc((r - dc) * w));
                    }
                    out[i] = static_cast<std::uint32_t>(dc + change);
                }
            }
            background.row(y)[x] = Pack(out[0], out[1], out[2], out[3]);
        }
}

}  // namespace rastelle::kernels::reference
