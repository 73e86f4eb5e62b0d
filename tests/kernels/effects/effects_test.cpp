// The effect kernels against plain references written from each effect's
// definition (per-pixel loops, doubles for the warps) on random images and
// arguments: bit for bit, the warps within a level.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <tuple>
#include <vector>

#include "../test_images.h"
#include "kernels/effects/effect_detail.h"
#include "kernels/effects/effects.h"

namespace rastelle::kernels::effects {
namespace {
namespace ref {

constexpr double kPi = 3.14159265358979323846;

int Clamp(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }
int Byte(std::uint32_t p, int channel) { return static_cast<int>((p >> (8 * channel)) & 0xFF); }  // 0 blue .. 3 alpha
std::uint32_t Put(int value, int channel) { return static_cast<std::uint32_t>(value) << (8 * channel); }
int RoundHalfUp(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// Every pixel through f(pixel, x, y).
template <class F> void PerPixel(const ConstImageView& in, const ImageView& out, F f) {
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) out.row(y)[x] = f(in.row(y)[x], x, y);
}

// The colour channels through f(value, channel), alpha kept.
template <class F> std::uint32_t MapColour(std::uint32_t p, F f) {
    std::uint32_t r = p & 0xFF000000u;
    for (int c = 0; c < 3; ++c) r |= Put(f(Byte(p, c), c), c);
    return r;
}

template <class F> void PerChannel(const ConstImageView& in, const ImageView& out, F f) {
    PerPixel(in, out, [&f](std::uint32_t p, int, int) { return MapColour(p, f); });
}

int Luma(std::uint32_t p) { return (9798 * Byte(p, 2) + 19235 * Byte(p, 1) + 3735 * Byte(p, 0) + 16384) >> 15; }

std::uint32_t At(const ConstImageView& in, int x, int y) { return in.row(Clamp(y, 0, in.height - 1))[Clamp(x, 0, in.width - 1)]; }

int LightnessOf(int c, int amount) {
    amount = Clamp(amount, -100, 100);
    // Towards white by amount% (ImageMagick's +level amount%,100%), or towards black.
    return amount >= 0 ? (c * (100 - amount) + 255 * amount + 50) / 100 : (c * (100 + amount) + 50) / 100;
}

// The value below which at most 0.5 % lie, and the one above which.
std::pair<int, int> Tails(std::vector<int> values) {
    if (values.empty()) return {0, 0};
    std::sort(values.begin(), values.end());
    const std::size_t tail = values.size() * 5 / 1000;
    return {values[tail], values[values.size() - 1 - tail]};
}

// The pixels that are not wholly transparent, in row order.
std::vector<std::uint32_t> Visible(const ConstImageView& in) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            if (in.row(y)[x] >> 24) pixels.push_back(in.row(y)[x]);
    return pixels;
}

// A premultiplied mix: weights times alpha summed, and the colours under them.
struct Mix {
    double alpha = 0, sums[3] = {};
    void Add(std::uint32_t q, double weight) {
        const double w = weight * Byte(q, 3);
        alpha += w;
        for (int c = 0; c < 3; ++c) sums[c] += w * Byte(q, c);
    }
    int Colour(int c) const { return Clamp(RoundHalfUp(sums[c] / alpha), 0, 255); }
    // Alpha as the summed alpha over `divisor`; `empty` when nothing shows.
    std::uint32_t Mean(double divisor, std::uint32_t empty) const {
        if (alpha == 0) return empty;
        std::uint32_t r = Put(RoundHalfUp(alpha / divisor), 3);
        for (int c = 0; c < 3; ++c) r |= Put(Colour(c), c);
        return r;
    }
};

int Stretch(int c, int low, int high) {
    return high <= low ? c : Clamp(RoundHalfUp(static_cast<double>(c - low) * 255.0 / (high - low)), 0, 255);
}

void Greyscale(const ConstImageView& in, const ImageView& out) {
    PerPixel(in, out, [](std::uint32_t p, int, int) { return MapColour(p, [p](int, int) { return Luma(p); }); });
}

void Solarize(const ConstImageView& in, const ImageView& out, std::uint32_t threshold) {
    PerChannel(in, out, [threshold](int v, int c) { return v > Byte(threshold, c) ? 255 - v : v; });
}

void SwapChannels(const ConstImageView& in, const ImageView& out, int red, int green, int blue, int alpha) {
    const int channelOf[4] = {2, 1, 0, 3};  // argument number -> channel index (blue 0 .. alpha 3)
    const int arguments[4] = {blue, green, red, alpha};
    PerPixel(in, out, [&](std::uint32_t p, int, int) {
        std::uint32_t r = 0;
        for (int c = 0; c < 4; ++c) {
            const int a = arguments[c];
            const int value = a == 4 ? 0 : a == 5 ? 255 : (a >= 0 && a < 4) ? Byte(p, channelOf[a]) : Byte(p, c);
            r |= Put(value, c);
        }
        return r;
    });
}

void Lightness(const ConstImageView& in, const ImageView& out, int amount) {
    PerChannel(in, out, [amount](int v, int) { return LightnessOf(v, amount); });
}

void Contrast(const ConstImageView& in, const ImageView& out, int amount) {
    const double slope = std::tan(kPi * (Clamp(amount, -100, 100) / 100.0 + 1.0) / 4.0);
    PerChannel(in, out, [slope](int v, int) {
        const double level = std::floor(255.0 * (0.5 + slope * (v / 255.0 - 0.5)) + 0.5);
        return static_cast<int>(std::min(255.0, std::max(0.0, level)));
    });
}

void AutoLevel(const ConstImageView& in, const ImageView& out) {
    int low[3], high[3];
    for (int c = 0; c < 3; ++c) {
        std::vector<int> values;
        for (const std::uint32_t p : Visible(in)) values.push_back(Byte(p, c));
        std::tie(low[c], high[c]) = Tails(values);
    }
    PerChannel(in, out, [&](int v, int c) { return Stretch(v, low[c], high[c]); });
}

void AutoContrast(const ConstImageView& in, const ImageView& out) {
    std::vector<int> values;
    for (const std::uint32_t p : Visible(in)) values.push_back(Luma(p));
    const auto [low, high] = Tails(values);
    PerChannel(in, out, [&](int v, int) { return Stretch(v, low, high); });
}

void AutoLightness(const ConstImageView& in, const ImageView& out) {
    double sum = 0;
    const std::vector<std::uint32_t> visible = Visible(in);
    for (const std::uint32_t p : visible) sum += Luma(p);
    // The lightness that takes the mean to 128.
    const int mean = visible.empty() ? 128 : RoundHalfUp(sum / static_cast<double>(visible.size()));
    Lightness(in, out, mean < 128 ? RoundHalfUp((128 - mean) * 100.0 / (255 - mean)) : RoundHalfUp(12800.0 / mean) - 100);
}

void HslColorize(const ConstImageView& in, const ImageView& out, int hue, int saturation, int lightness) {
    const double h = ((hue % 360) + 360) % 360;
    const double s = Clamp(saturation, 0, 100) / 100.0;
    PerPixel(in, out, [&](std::uint32_t p, int, int) {
        const int hi = std::max({Byte(p, 0), Byte(p, 1), Byte(p, 2)}), lo = std::min({Byte(p, 0), Byte(p, 1), Byte(p, 2)});
        const double l = LightnessOf((hi + lo + 1) / 2, lightness) / 255.0;
        // HSL to RGB (hue in sixths of the circle).
        const double chroma = (1.0 - std::fabs(2.0 * l - 1.0)) * s;
        const double sector = h / 60.0;
        const double x = chroma * (1.0 - std::fabs(std::fmod(sector, 2.0) - 1.0));
        const double rgb[6][3] = {{chroma, x, 0}, {x, chroma, 0}, {0, chroma, x}, {0, x, chroma}, {x, 0, chroma}, {chroma, 0, x}};
        const double* c = rgb[static_cast<int>(sector)];
        const double m = l - chroma / 2.0;
        const auto level = [m](double v) { return Clamp(RoundHalfUp((v + m) * 255.0), 0, 255); };
        return (p & 0xFF000000u) | Put(level(c[0]), 2) | Put(level(c[1]), 1) | Put(level(c[2]), 0);
    });
}

void AddNoise(const ConstImageView& in, const ImageView& out, int amount, bool monochrome) {
    const int a = (Clamp(amount, 0, 100) * 255 + 50) / 100;
    const std::uint32_t seed = detail::ImageSeed(in);
    PerPixel(in, out, [&](std::uint32_t p, int x, int y) {
        const std::uint32_t r = detail::PixelRandom(seed, x, detail::RowKey(y));
        // Ten random bits per channel (red's for all three when monochrome), spread over -a..a.
        const int bits[3] = {static_cast<int>((r >> (monochrome ? 0 : 20)) & 1023),
                             static_cast<int>((r >> (monochrome ? 0 : 10)) & 1023), static_cast<int>(r & 1023)};
        return MapColour(p, [&](int v, int c) { return Clamp(v + bits[c] * (2 * a + 1) / 1024 - a, 0, 255); });
    });
}

void Sharpen(const ConstImageView& in, const ImageView& out, int strength) {
    const int s = Clamp(strength, 0, 1024);
    const int b[5] = {1, 4, 6, 4, 1};
    PerPixel(in, out, [&](std::uint32_t p, int x, int y) {
        Mix blur;
        for (int j = -2; j <= 2; ++j)
            for (int i = -2; i <= 2; ++i) blur.Add(At(in, x + i, y + j), b[i + 2] * b[j + 2]);
        if (blur.alpha == 0) return p;
        return MapColour(p, [&](int v, int c) { return Clamp(v + static_cast<int>(std::floor((v - blur.Colour(c)) * s / 16.0 + 0.5)), 0, 255); });
    });
}

struct Kernel { int k[9]; };

// sum(first) + bias, or |sum(first)| (+ |sum(second)|) when taking magnitudes.
void Convolve3x3(const ConstImageView& in, const ImageView& out, const Kernel* first, const Kernel* second, int bias,
                 bool magnitude) {
    PerPixel(in, out, [&](std::uint32_t p, int x, int y) {
        return MapColour(p, [&](int, int c) {
            int total = 0;
            for (const Kernel* kernel : {first, second}) {
                int sum = 0;
                for (int j = 0; j < 3 && kernel; ++j)
                    for (int i = 0; i < 3; ++i) sum += kernel->k[3 * j + i] * Byte(At(in, x + i - 1, y + j - 1), c);
                total += magnitude ? std::abs(sum) : sum;
            }
            return Clamp(total + bias, 0, 255);
        });
    });
}

void Emboss(const ConstImageView& in, const ImageView& out, int type) {
    // Grey relief, colour, lit from the top, lit from the left.
    static const Kernel kernels[4] = {{{-1, -1, 0, -1, 0, 1, 0, 1, 1}}, {{-2, -1, 0, -1, 1, 1, 0, 1, 2}},
                                      {{-1, -2, -1, 0, 0, 0, 1, 2, 1}}, {{-1, 0, 1, -2, 0, 2, -1, 0, 1}}};
    const int t = Clamp(type, 0, 3);
    Convolve3x3(in, out, &kernels[t], nullptr, t == 1 ? 0 : 128, false);
}

void EdgeDetect(const ConstImageView& in, const ImageView& out, int type) {
    // Sobel and Prewitt in x and y, the 4- and 8-neighbour Laplacians.
    static const Kernel kernels[4][2] = {
        {{{-1, 0, 1, -2, 0, 2, -1, 0, 1}}, {{-1, -2, -1, 0, 0, 0, 1, 2, 1}}},
        {{{-1, 0, 1, -1, 0, 1, -1, 0, 1}}, {{-1, -1, -1, 0, 0, 0, 1, 1, 1}}},
        {{{0, -1, 0, -1, 4, -1, 0, -1, 0}}, {}},
        {{{-1, -1, -1, -1, 8, -1, -1, -1, -1}}, {}}};
    const int t = Clamp(type, 0, 3);
    Convolve3x3(in, out, &kernels[t][0], t < 2 ? &kernels[t][1] : nullptr, 0, true);
}

void Antialias(const ConstImageView& in, const ImageView& out) {
    PerPixel(in, out, [&](std::uint32_t p, int x, int y) {
        bool edge = false;
        for (const std::uint32_t q : {At(in, x - 1, y), At(in, x + 1, y), At(in, x, y - 1), At(in, x, y + 1)})
            for (int c = 0; c < 4; ++c) edge = edge || std::abs(Byte(p, c) - Byte(q, c)) >= 32;
        if (!edge) return p;
        // Premultiplied [1 2 1] x [1 2 1] average.
        Mix mix;
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i) mix.Add(At(in, x + i, y + j), (2 - std::abs(i)) * (2 - std::abs(j)));
        return mix.Mean(16.0, p);
    });
}

void Mosaic(const ConstImageView& in, const ImageView& out, int cellWidth, int cellHeight) {
    const int cw = Clamp(cellWidth, 1, std::max(in.width, 1)), ch = Clamp(cellHeight, 1, std::max(in.height, 1));
    PerPixel(in, out, [&](std::uint32_t, int x, int y) {
        const int left = x / cw * cw, top = y / ch * ch;
        const int right = std::min(left + cw, in.width), bottom = std::min(top + ch, in.height);
        Mix mix;
        for (int v = top; v < bottom; ++v)
            for (int u = left; u < right; ++u) mix.Add(in.row(v)[u], 1);
        return mix.Mean((right - left) * (bottom - top), 0u);
    });
}

void Texturize(const ConstImageView& in, const ImageView& out, int amount, float shift) {
    const int cell = std::isnan(shift) ? 8 : static_cast<int>(std::min(64.0, std::max(2.0, std::floor(std::fabs(shift) + 0.5))));
    const auto lattice = [](int i, int j) {
        return static_cast<int>(detail::Hash32(std::uint32_t(i) * 0x9E3779B9u ^ detail::Hash32(std::uint32_t(j) + 0x632BE5ABu)) & 0xFF);
    };
    // The height at (x, y) times cell^2: bilinear between the lattice points around it.
    const auto height = [&](int x, int y) {
        x = Clamp(x, 0, in.width - 1), y = Clamp(y, 0, in.height - 1);
        const int i = x / cell, j = y / cell, fx = x % cell, fy = y % cell;
        return static_cast<std::int64_t>(lattice(i, j) * (cell - fx) * (cell - fy) + lattice(i + 1, j) * fx * (cell - fy) +
                                         lattice(i, j + 1) * (cell - fx) * fy + lattice(i + 1, j + 1) * fx * fy);
    };
    const std::int64_t depth = (static_cast<std::int64_t>(Clamp(amount, 0, 100)) << 22) / (100 * cell);
    PerPixel(in, out, [&](std::uint32_t p, int x, int y) {
        const int offset = static_cast<int>(((height(x + 1, y + 1) - height(x - 1, y - 1)) * depth) >> 24);
        return MapColour(p, [offset](int v, int) { return Clamp(v + offset, 0, 255); });
    });
}

// Exact bilinear, premultiplied, at (sx, sy); outside: background, or the edge.
std::uint32_t Bilinear(const ConstImageView& in, double sx, double sy, std::uint32_t background, bool clampEdges) {
    if (clampEdges) sx = std::min(std::max(sx, 0.0), in.width - 1.0), sy = std::min(std::max(sy, 0.0), in.height - 1.0);
    const double x0 = std::floor(sx), y0 = std::floor(sy), fx = sx - x0, fy = sy - y0;
    Mix mix;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const double w = (i ? fx : 1 - fx) * (j ? fy : 1 - fy), x = x0 + i, y = y0 + j;
            if (w == 0) continue;
            const bool inside = x >= 0 && y >= 0 && x < in.width && y < in.height;
            mix.Add(inside || clampEdges ? At(in, static_cast<int>(x), static_cast<int>(y)) : background, w);
        }
    return mix.Mean(1, 0);
}

double Wave(double amplitude, int wavelength, int phase, int t) {
    return wavelength <= 0 ? 0.0 : amplitude * std::sin(2.0 * kPi * t / wavelength + phase * kPi / 180.0);
}

void Sinusize(const ConstImageView& in, const ImageView& out, const SinusizeParameters& p) {
    PerPixel(in, out, [&](std::uint32_t, int x, int y) {
        const double sx = x + Wave(p.verticalAmplitude, p.verticalWaveLength, p.verticalStartPhase, y);
        const double sy = y + Wave(p.horizontalAmplitude, p.horizontalWaveLength, p.horizontalStartPhase, x);
        if (!(sx > -1 && sy > -1 && sx < in.width && sy < in.height)) return p.background;
        return Bilinear(in, sx, sy, p.background, false);
    });
}

void Waddle(const ConstImageView& in, const ImageView& out) {
    const int side = std::min(in.width, in.height);
    const double amplitude = std::max(1.0, side / 50.0);
    const int wavelength = std::max(8, side / 5);
    PerPixel(in, out, [&](std::uint32_t, int x, int y) {
        return Bilinear(in, x + Wave(amplitude, wavelength, 90, y), y + Wave(amplitude, wavelength, 0, x), 0, true);
    });
}

void Swirl(const ConstImageView& in, const ImageView& out, int amount) {
    const double cx = (in.width - 1) / 2.0, cy = (in.height - 1) / 2.0, radius = std::max(cx, cy);
    const double scaleX = std::max(1.0, static_cast<double>(in.height) / in.width);
    const double scaleY = std::max(1.0, static_cast<double>(in.width) / in.height);
    PerPixel(in, out, [&](std::uint32_t p, int x, int y) {
        const double dx = scaleX * (x - cx), dy = scaleY * (y - cy), r = std::hypot(dx, dy);
        if (r >= radius) return p;
        const double angle = amount * kPi / 180.0 * (1 - r / radius) * (1 - r / radius);
        return Bilinear(in, (std::cos(angle) * dx - std::sin(angle) * dy) / scaleX + cx,
                        (std::sin(angle) * dx + std::cos(angle) * dy) / scaleY + cy, 0, true);
    });
}

void Spray(const ConstImageView& in, const ImageView& out, int amount, int frameWidth, std::uint32_t background) {
    const int radius = Clamp(amount, 0, 1000);
    const std::uint32_t seed = detail::ImageSeed(in);
    PerPixel(in, out, [&](std::uint32_t, int x, int y) {
        if (std::min({x, y, in.width - 1 - x, in.height - 1 - y}) < frameWidth) return background;
        const std::uint32_t r = detail::PixelRandom(seed, x, detail::RowKey(y));
        const int dx = static_cast<int>((r & 0xFFFF) * (2 * radius + 1) / 65536) - radius;
        const int dy = static_cast<int>((r >> 16) * (2 * radius + 1) / 65536) - radius;
        return At(in, x + dx, y + dy);
    });
}

void EllipseCrop(const ConstImageView& in, const ImageView& out, int centreX, int centreY, int horizontalRadius,
                 int verticalRadius, std::uint32_t background) {
    const auto cap = [](int v, int limit) { return v == INT_MIN ? limit : std::min(std::abs(v), limit); };
    const double rx = 8.0 * cap(horizontalRadius, 1 << 24), ry = 8.0 * cap(verticalRadius, 1 << 24);
    const double cx = Clamp(centreX, -(1 << 26), 1 << 26), cy = Clamp(centreY, -(1 << 26), 1 << 26);
    PerPixel(in, out, [&](std::uint32_t p, int x, int y) {
        // 4 x 4 samples at odd eighths of a pixel from its centre.
        int inside = 0;
        for (int j = -3; j <= 3; j += 2)
            for (int i = -3; i <= 3; i += 2) {
                const double dx = 8 * (x - cx) + i, dy = 8 * (y - cy) + j;
                if (rx == 0 || ry == 0 || std::fabs(dy) > ry) continue;
                inside += std::fabs(dx) <= std::floor(rx * std::sqrt(1 - (dy / ry) * (dy / ry)));
            }
        if (inside == 16) return p;
        if (inside == 0) return background;
        Mix mix;
        mix.Add(p, inside), mix.Add(background, 16 - inside);
        return mix.Mean(16, 0u);
    });
}

void Buttonize(const ConstImageView& in, const ImageView& out, int type, int frameWidth, int frameOpacity) {
    const int opacity = Clamp(frameOpacity, 0, 100);
    PerPixel(in, out, [&](std::uint32_t p, int x, int y) {
        const int top = y, left = x, bottom = in.height - 1 - y, right = in.width - 1 - x;
        const int nearest = std::min({top, left, bottom, right});
        if (nearest >= frameWidth) return p;
        const bool lit = (nearest == top || nearest == left) == (type == 0);
        return MapColour(p, [&](int v, int) { return LightnessOf(v, lit ? opacity : -opacity); });
    });
}

}  // namespace ref

// An int argument: the edges of every documented range, the int extremes, or
// anything in between.
int RandomArgument(std::mt19937& random) {
    static const int kNotable[] = {INT_MIN, INT_MIN + 1, -100000, -361, -101, -100, -99, -16, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7,
                                   8, 15, 16, 17, 50, 99, 100, 101, 359, 360, 1000, 1001, 100000, INT_MAX - 1, INT_MAX};
    switch (random() % 3) {
        case 0: return kNotable[random() % std::size(kNotable)];
        case 1: return static_cast<int>(random() % 241) - 120;
        default: return static_cast<int>(random());
    }
}

// Random pixels, or a smooth opaque gradient (where levels vary and the
// warps' tolerance means something).
void FillForEffects(PaddedImage& image, std::mt19937& random) {
    switch (random() % 4) {
        case 0: return FillRandom(image, random);
        case 1: return FillRandom(image, random, true);
        case 2: return FillOpaqueAndTransparent(image, random);
    }
    const std::uint32_t r0 = random() % 256, g0 = random() % 256;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.at(x, y) = 0xFF000000u | ((r0 + 3 * x) & 255) << 16 | ((g0 + 5 * y) & 255) << 8 | ((x * y) & 255);
}

using Kernel = std::function<void(const ConstImageView&, const ImageView&)>;
template <class... P>
using EffectKernel = void (*)(const ConstImageView&, const ImageView&, P...);

// The fast and the reference kernel bound to the same arguments.
template <class... P>
std::pair<Kernel, Kernel> Bind(EffectKernel<P...> fast, EffectKernel<P...> reference, std::type_identity_t<P>... args) {
    return {[=](auto& i, auto& o) { fast(i, o, args...); }, [=](auto& i, auto& o) { reference(i, o, args...); }};
}

// Largest difference of alpha and premultiplied colour channels.
int PremultipliedDistance(std::uint32_t a, std::uint32_t b) {
    const int aa = static_cast<int>(a >> 24), ba = static_cast<int>(b >> 24);
    int worst = std::abs(aa - ba);
    for (int shift = 0; shift <= 16; shift += 8)
        worst = std::max(worst, std::abs((static_cast<int>(a >> shift & 0xFF) * aa + 127) / 255 -
                                         (static_cast<int>(b >> shift & 0xFF) * ba + 127) / 255));
    return worst;
}

// `rounds` random images (sides 1 to 40: vector paths and tails), each into a
// padded and a bottom-up output; pixels may differ by `level`, a `share` by one more.
template <class Make>
void Sweep(int rounds, Make makeKernels, int level = 0, double share = 0) {
    static const int kSides[] = {1, 1, 2, 3, 4, 5, 7, 8, 9, 13, 16, 17, 31, 33, 40};
    std::mt19937 random(20261206);
    long long pixels = 0, beyond = 0;
    for (int round = 0; round < rounds; ++round) {
        const int w = kSides[random() % std::size(kSides)], h = kSides[random() % std::size(kSides)];
        PaddedImage image(w, h);
        FillForEffects(image, random);
        const auto [fast, reference] = makeKernels(random);
        const PaddedImage in = CopyOf(image, static_cast<int>(random() % 3));
        PaddedImage expected(w, h), actual(w, h, 2), flipped(w, h, 1);
        reference(in.view(), expected.view());
        fast(in.view(), actual.view());
        fast(in.view(), flipped.flipped());
        ASSERT_TRUE(actual.guardsIntact() && flipped.guardsIntact() && in.guardsIntact()) << "round " << round;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(flipped.at(x, h - 1 - y), actual.at(x, y)) << "bottom-up, round " << round;
                const int d = level ? PremultipliedDistance(expected.at(x, y), actual.at(x, y)) : 0;
                if (!level) {
                    ASSERT_EQ(actual.at(x, y), expected.at(x, y)) << x << ", " << y << " round " << round;
                }
                ASSERT_LE(d, level + 1) << x << ", " << y << " round " << round;
                beyond += d > level;
            }
        pixels += w * h;
    }
    EXPECT_LE(static_cast<double>(beyond), share * static_cast<double>(pixels)) << "pixels beyond the tolerance";
}

TEST(ColourAndFilterEffects, MatchTheirReferences) {
    for (auto [fast, reference] : {std::pair<EffectKernel<>, EffectKernel<>>{Greyscale, ref::Greyscale}, {AutoLevel, ref::AutoLevel},
                                   {AutoContrast, ref::AutoContrast}, {AutoLightness, ref::AutoLightness}, {Antialias, ref::Antialias}})
        Sweep(250, [&](std::mt19937&) { return Bind(fast, reference); });
    for (auto [fast, reference] : {std::pair<EffectKernel<int>, EffectKernel<int>>{Lightness, ref::Lightness}, {Contrast, ref::Contrast},
                                   {Sharpen, ref::Sharpen}, {Emboss, ref::Emboss}, {EdgeDetect, ref::EdgeDetect}})
        Sweep(300, [&](std::mt19937& r) { return Bind(fast, reference, RandomArgument(r)); });
    Sweep(300, [](std::mt19937& r) { return Bind(Solarize, ref::Solarize, r()); });
    Sweep(400, [](std::mt19937& r) {
        const int red = static_cast<int>(r() % 9) - 1, green = static_cast<int>(r() % 9) - 1, blue = RandomArgument(r);
        return Bind(SwapChannels, ref::SwapChannels, red, green, blue, static_cast<int>(r() % 7));
    });
    Sweep(300, [](std::mt19937& r) {
        const int h = RandomArgument(r), s = RandomArgument(r);
        return Bind(HslColorize, ref::HslColorize, h, s, RandomArgument(r));
    });
    Sweep(300, [](std::mt19937& r) {
        const int a = RandomArgument(r);
        return Bind(AddNoise, ref::AddNoise, a, r() % 2 != 0);
    });
    Sweep(300, [](std::mt19937& r) {
        const int cw = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 6);
        return Bind(Mosaic, ref::Mosaic, cw, RandomArgument(r));
    });
    Sweep(300, [](std::mt19937& r) {
        static const float kShifts[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                        -std::numeric_limits<float>::infinity(), -3.5f, 0.0f, 1.49f, 2.5f, 7.7f, 63.6f, 1e30f};
        const int a = RandomArgument(r);
        return Bind(Texturize, ref::Texturize, a, kShifts[r() % 10]);
    });
}

TEST(FrameEffects, MatchTheirReferences) {
    Sweep(400, [](std::mt19937& r) {
        const auto near = [&r] { return r() % 3 ? static_cast<int>(r() % 50) - 5 : RandomArgument(r); };
        const int cx = near(), cy = near(), rx = near(), ry = near();
        return Bind(EllipseCrop, ref::EllipseCrop, cx, cy, rx, ry, r());
    });
    Sweep(300, [](std::mt19937& r) {
        const int t = r() % 2 ? static_cast<int>(r() % 3) : RandomArgument(r);
        const int f = r() % 2 ? static_cast<int>(r() % 12) : RandomArgument(r);
        return Bind(Buttonize, ref::Buttonize, t, f, RandomArgument(r));
    });
    // The page curl has no reference: the sweep keeps it inside its image
    // and the same bottom-up.
    Sweep(300, [](std::mt19937& r) {
        const int w = r() % 2 ? static_cast<int>(r() % 50) : RandomArgument(r), h = RandomArgument(r), m = RandomArgument(r);
        const std::uint32_t c = r();
        return Bind(PageCurl, PageCurl, w, h, m, c, r());
    });
}

TEST(FrameEffects, PageCurlLiftsTheCornerAndCoversItWithTheFlap) {
    const std::uint32_t page = 0xFF204060u, background = 0xFFFFFFFFu;
    const PaddedImage image = Filled(60, 40, page);
    PaddedImage out(60, 40);
    // Each mode lifts its own corner and leaves the opposite one; mode 5,
    // the last here, curls the bottom right: inside the fold the flap, the
    // curl colour shaded (opaque, yellowish), beside it a shadow on the page.
    for (int mode : {0, 1, 2, 3, 4, 6, 7, 5}) {
        PageCurl(image.view(), out.view(), 20, 16, mode, 0xFFFFFFCCu, background);
        const int x = (mode & 1) ? 59 : 0, y = (mode & 2) ? 0 : 39;
        EXPECT_EQ(std::make_pair(out.at(x, y), out.at(59 - x, 39 - y)), std::make_pair(background, page)) << mode;
    }
    const std::uint32_t flap = out.at(44, 31), shadow = out.at(40, 30);
    EXPECT_EQ(std::make_tuple(flap >> 24, (flap & 0xFF) > 0x60u, (flap >> 16 & 0xFF) >= (flap & 0xFF), shadow >> 24,
                              (shadow & 0xFF) < (page & 0xFF)),
              std::make_tuple(0xFFu, true, true, 0xFFu, true)) << std::hex << flap << " " << shadow;
}

// The warps sample with weights in 1/256 pixel: within one level of exact
// bilinear sampling on 99.9 % of pixels, two at most.
TEST(WarpEffects, MatchTheirDoublePrecisionReferences) {
    Sweep(300, [](std::mt19937& r) {
        const auto small = [&r](int n, int shift) { return r() % 2 ? RandomArgument(r) : static_cast<int>(r() % n) - shift; };
        // Braced initialisers run in order: amplitude, wave length, phase across, then down.
        const SinusizeParameters p{small(11, 5), RandomArgument(r), RandomArgument(r), small(11, 5),
                                   small(20, 0), RandomArgument(r), static_cast<std::uint32_t>(r())};
        return Bind(Sinusize, ref::Sinusize, p);
    }, 1, 0.001);
    Sweep(300, [](std::mt19937&) { return Bind(Waddle, ref::Waddle); }, 1, 0.001);
    Sweep(300, [](std::mt19937& r) { return Bind(Swirl, ref::Swirl, RandomArgument(r)); }, 1, 0.001);
    Sweep(300, [](std::mt19937& r) {
        const int a = RandomArgument(r), f = r() % 2 ? RandomArgument(r) : static_cast<int>(r() % 5);
        return Bind(Spray, ref::Spray, a, f, r());
    });
}

}  // namespace
}  // namespace rastelle::kernels::effects
