// Warps: every output pixel is sampled from a source position computed in
// double precision (inverse mapping). The sampling is bilinear and
// premultiplied, at the position rounded to 1/256 pixel: within about one
// level (premultiplied) of exact bilinear sampling at the exact position.
// Spray, the random displacement, picks whole pixels.
#include "kernels/simd.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "kernels/effects/effect_detail.h"
#include "kernels/effects/effects.h"

namespace rastelle::kernels::effects {

using detail::ClampInt;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Bilinear sampling of `in` at a position in pixel-centre coordinates (pixel
// (i, j) is the point (i, j)). Outside the image lies either the background
// colour or, with clampEdges, the nearest edge pixel.
class Sampler {
public:
    Sampler(const ConstImageView& in, std::uint32_t background, bool clampEdges)
        : in_(in), background_(background), clamp_(clampEdges) {}

    std::uint32_t operator()(double sx, double sy) const { return atFixed(ToFixed(sx), ToFixed(sy)); }

    // A position in 1/256 pixel, rounded.
    static std::int64_t ToFixed(double v) { return static_cast<std::int64_t>(std::floor(v * 256.0 + 0.5)); }

    // Sampling at (sx, sy) / 256.
    RASTELLE_ALWAYS_INLINE std::uint32_t atFixed(std::int64_t sx, std::int64_t sy) const {
        const std::int64_t maxX = std::int64_t{in_.width - 1} * 256, maxY = std::int64_t{in_.height - 1} * 256;
        if (clamp_) {
            sx = sx < 0 ? 0 : (sx > maxX ? maxX : sx);
            sy = sy < 0 ? 0 : (sy > maxY ? maxY : sy);
        } else if (sx <= -256 || sy <= -256 || sx >= maxX + 256 || sy >= maxY + 256) {
            return background_;
        }
        const int x0 = static_cast<int>(sx >> 8), y0 = static_cast<int>(sy >> 8);
        const std::uint32_t fx = static_cast<std::uint32_t>(sx & 255), fy = static_cast<std::uint32_t>(sy & 255);
        if (fx == 0 && fy == 0) return pixel(x0, y0);
        if (x0 >= 0 && y0 >= 0 && x0 + 1 < in_.width && y0 + 1 < in_.height) {
            const std::uint32_t* top = in_.row(y0) + x0;
            const std::uint32_t* bottom = in_.row(y0 + 1) + x0;
            if ((top[0] & top[1] & bottom[0] & bottom[1]) >> 24 == 0xFF) return opaqueInterior(top, bottom, fx, fy);
        }
        const std::uint32_t p[4] = {pixel(x0, y0), pixel(x0 + 1, y0), pixel(x0, y0 + 1), pixel(x0 + 1, y0 + 1)};
        const std::uint32_t w[4] = {(256 - fx) * (256 - fy), fx * (256 - fy), (256 - fx) * fy, fx * fy};
        std::uint32_t alpha = 0;
        for (int i = 0; i < 4; ++i) alpha += w[i] * (p[i] >> 24);
        if (alpha == 0) return 0;
        std::uint32_t result = ((alpha + 32768) >> 16) << 24;
        const bool opaque = (p[0] & p[1] & p[2] & p[3]) >> 24 == 0xFF;
        for (int shift = 0; shift <= 16; shift += 8) {
            if (opaque) {
                std::uint32_t sum = 0;
                for (int i = 0; i < 4; ++i) sum += w[i] * ((p[i] >> shift) & 0xFF);
                result |= ((sum + 32768) >> 16) << shift;
            } else {
                std::uint64_t sum = 0;
                for (int i = 0; i < 4; ++i) sum += std::uint64_t{w[i]} * (p[i] >> 24) * ((p[i] >> shift) & 0xFF);
                result |= static_cast<std::uint32_t>((sum + alpha / 2) / alpha) << shift;
            }
        }
        return result;
    }

private:
    // The opaque case in SSE2 with the same sums: each row's pair in 16 bits
    // (at most 255 * 256), then the rows' 32-bit products.
    static std::uint32_t opaqueInterior(const std::uint32_t* top, const std::uint32_t* bottom, std::uint32_t fx,
                                        std::uint32_t fy) {
        const __m128i zero = _mm_setzero_si128();
        const short left = static_cast<short>(256 - fx), right = static_cast<short>(fx);
        const __m128i wx = _mm_setr_epi16(left, left, left, left, right, right, right, right);
        const auto across = [&](const std::uint32_t* p) {
            const __m128i h = _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero), wx);
            return _mm_add_epi16(h, _mm_srli_si128(h, 8));
        };
        const auto times = [](__m128i h, std::uint32_t w) {
            const __m128i weight = _mm_set1_epi16(static_cast<short>(w));
            return _mm_unpacklo_epi16(_mm_mullo_epi16(h, weight), _mm_mulhi_epu16(h, weight));
        };
        const __m128i sum = _mm_add_epi32(_mm_add_epi32(times(across(top), 256 - fy), times(across(bottom), fy)),
                                          _mm_set1_epi32(32768));
        const __m128i v = _mm_packs_epi32(_mm_srli_epi32(sum, 16), zero);
        return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, zero)));
    }

    std::uint32_t pixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= in_.width || y >= in_.height) {
            if (!clamp_) return background_;
            x = ClampInt(x, 0, in_.width - 1);
            y = ClampInt(y, 0, in_.height - 1);
        }
        return in_.row(y)[x];
    }

    ConstImageView in_;
    std::uint32_t background_;
    bool clamp_;
};

// a * sin(2 pi * t / wavelength + phase degrees), or 0 without a wavelength.
double Wave(double amplitude, int wavelength, int phase, int t) {
    if (wavelength <= 0) return 0.0;
    return amplitude * std::sin(2.0 * kPi * t / wavelength + phase * kPi / 180.0);
}

// The source of (x, y) is (x + shiftX[y], y + shiftY[x]): positions in
// fixed point, from one rounding per row and one per column.
void ShiftWarp(const ConstImageView& in, const ImageView& out, const Sampler& sample, const std::vector<double>& shiftX,
               const std::vector<double>& shiftY) {
    std::vector<std::int64_t> columnShift(shiftY.size());
    for (std::size_t x = 0; x < shiftY.size(); ++x) columnShift[x] = Sampler::ToFixed(shiftY[x]);
    for (int y = 0; y < in.height; ++y) {
        std::uint32_t* d = out.row(y);
        const std::int64_t rowShift = Sampler::ToFixed(shiftX[static_cast<std::size_t>(y)]);
        const std::int64_t sy = std::int64_t{y} * 256;
        for (int x = 0; x < in.width; ++x)
            d[x] = sample.atFixed(std::int64_t{x} * 256 + rowShift, sy + columnShift[static_cast<std::size_t>(x)]);
    }
}

}  // namespace

void Sinusize(const ConstImageView& in, const ImageView& out, const SinusizeParameters& p) {
    // The horizontal wave runs along x and moves pixels up and down (as
    // ImageMagick's -wave); the vertical one runs along y and moves them sideways.
    std::vector<double> shiftX(static_cast<std::size_t>(in.height)), shiftY(static_cast<std::size_t>(in.width));
    for (int x = 0; x < in.width; ++x)
        shiftY[static_cast<std::size_t>(x)] = Wave(p.horizontalAmplitude, p.horizontalWaveLength, p.horizontalStartPhase, x);
    for (int y = 0; y < in.height; ++y)
        shiftX[static_cast<std::size_t>(y)] = Wave(p.verticalAmplitude, p.verticalWaveLength, p.verticalStartPhase, y);
    ShiftWarp(in, out, Sampler(in, p.background, false), shiftX, shiftY);
}

void Waddle(const ConstImageView& in, const ImageView& out) {
    // Both waves, scaled to the image: amplitude 1/50 and wavelength 1/5 of
    // the shorter side (at least 1 and 8 pixels); edges repeat.
    const int side = in.width < in.height ? in.width : in.height;
    const double amplitude = side >= 50 ? side / 50.0 : 1.0;
    const int wavelength = side / 5 > 8 ? side / 5 : 8;
    std::vector<double> shiftX(static_cast<std::size_t>(in.height)), shiftY(static_cast<std::size_t>(in.width));
    for (int x = 0; x < in.width; ++x) shiftY[static_cast<std::size_t>(x)] = Wave(amplitude, wavelength, 0, x);
    for (int y = 0; y < in.height; ++y) shiftX[static_cast<std::size_t>(y)] = Wave(amplitude, wavelength, 90, y);
    ShiftWarp(in, out, Sampler(in, 0, true), shiftX, shiftY);
}

void Swirl(const ConstImageView& in, const ImageView& out, int amount) {
    // As ImageMagick's -swirl: inside the ellipse inscribed in the image,
    // each pixel turns about the centre by amount degrees times (1 - r/R)^2,
    // r its distance from the centre (the shorter axis stretched to the
    // longer) and R the longer half-side. Outside it, nothing moves.
    const double cx = (in.width - 1) / 2.0, cy = (in.height - 1) / 2.0;
    const double radius = cx > cy ? cx : cy;
    const double scaleX = in.height > in.width ? static_cast<double>(in.height) / in.width : 1.0;
    const double scaleY = in.width > in.height ? static_cast<double>(in.width) / in.height : 1.0;
    const double degrees = amount * kPi / 180.0;
    const Sampler sample(in, 0, true);
    // The pixels mirrored about the centre lines, (x, y), (w-1-x, y),
    // (x, h-1-y) and (w-1-x, h-1-y), lie at the same distance and turn by the
    // same angle: one sine and cosine serve all four.
    for (int y = 0; y <= in.height - 1 - y; ++y) {
        const int rows[2] = {y, in.height - 1 - y};
        const double dy = scaleY * (y - cy);
        for (int x = 0; x <= in.width - 1 - x; ++x) {
            const int columns[2] = {x, in.width - 1 - x};
            const double dx = scaleX * (x - cx);
            const double distance = std::sqrt(dx * dx + dy * dy);
            const bool still = distance >= radius;
            double sine = 0.0, cosine = 1.0;
            if (!still) {
                const double factor = 1.0 - distance / radius;
                const double angle = degrees * factor * factor;
                sine = std::sin(angle), cosine = std::cos(angle);
            }
            for (int j = 0; j < (rows[0] == rows[1] ? 1 : 2); ++j)
                for (int i = 0; i < (columns[0] == columns[1] ? 1 : 2); ++i) {
                    const int px = columns[i], py = rows[j];
                    if (still) {
                        out.row(py)[px] = in.row(py)[px];
                        continue;
                    }
                    const double mx = i ? -dx : dx, my = j ? -dy : dy;
                    out.row(py)[px] = sample((cosine * mx - sine * my) / scaleX + cx, (sine * mx + cosine * my) / scaleY + cy);
                }
        }
    }
}

void Spray(const ConstImageView& in, const ImageView& out, int amount, int frameWidth, std::uint32_t background) {
    // Each pixel takes the pixel at a random offset of at most `amount`
    // (0..1000) pixels in x and in y, the source clamped to the image; then a
    // frame of frameWidth pixels in the background colour.
    const int w = in.width, h = in.height;
    const std::uint32_t radius = static_cast<std::uint32_t>(ClampInt(amount, 0, 1000));
    const int frame = ClampInt(frameWidth, 0, w > h ? w : h);
    const std::uint32_t seed = detail::ImageSeed(in);
    for (int y = 0; y < h; ++y) {
        std::uint32_t* d = out.row(y);
        if (y < frame || y >= h - frame) {
            for (int x = 0; x < w; ++x) d[x] = background;
            continue;
        }
        const std::uint32_t rowKey = detail::RowKey(y);
        const int left = frame < w ? frame : w, right = w - left > left ? w - left : left;
        for (int x = 0; x < left; ++x) d[x] = background;
        for (int x = left; x < right; ++x) {
            const std::uint32_t r = detail::PixelRandom(seed, x, rowKey);
            const int dx = static_cast<int>(((r & 0xFFFFu) * (2 * radius + 1)) >> 16) - static_cast<int>(radius);
            const int dy = static_cast<int>(((r >> 16) * (2 * radius + 1)) >> 16) - static_cast<int>(radius);
            d[x] = in.row(ClampInt(y + dy, 0, h - 1))[ClampInt(x + dx, 0, w - 1)];
        }
        for (int x = right; x < w; ++x) d[x] = background;
    }
}

}  // namespace rastelle::kernels::effects
