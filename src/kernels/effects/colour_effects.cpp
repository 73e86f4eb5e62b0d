// Per-pixel colour effects: each output pixel depends on its input pixel
// alone (and, for the automatic ones, on the image's histogram). Maps of one
// channel value to another run through 256-entry tables; the three simplest
// maps run four pixels at a time in SSE2. Alpha is never changed.
#include "kernels/simd.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "kernels/effects/effect_detail.h"
#include "kernels/effects/effects.h"

namespace rastelle::kernels::effects {

using detail::ClampInt;

namespace {

using Table = std::array<std::uint8_t, 256>;

// Rec. 601 luma in 15-bit weights (summing to 32768, so a grey stays itself).
constexpr int kLumaRed = 9798, kLumaGreen = 19235, kLumaBlue = 3735;

inline std::uint32_t Luma(std::uint32_t p) {
    return (kLumaRed * ((p >> 16) & 0xFF) + kLumaGreen * ((p >> 8) & 0xFF) + kLumaBlue * (p & 0xFF) + 16384) >> 15;
}

// Every row in four-pixel vectors and a scalar tail.
template <class Vector, class Scalar>
void ForEachPixel(const ConstImageView& in, const ImageView& out, Vector vector, Scalar scalar) {
    for (int y = 0; y < in.height; ++y) {
        const std::uint32_t* s = in.row(y);
        std::uint32_t* d = out.row(y);
        int x = 0;
        for (; x + 4 <= in.width; x += 4)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x),
                             vector(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x))));
        for (; x < in.width; ++x) d[x] = scalar(s[x]);
    }
}

// The pixel's three colour channels through their tables.
inline std::uint32_t MapPixel(std::uint32_t p, const Table& red, const Table& green, const Table& blue) {
    return (p & 0xFF000000u) | std::uint32_t{red[(p >> 16) & 0xFF]} << 16 | std::uint32_t{green[(p >> 8) & 0xFF]} << 8 |
           blue[p & 0xFF];
}

// A table as a clamped straight line: t[c] = clamp((c * scale + offset) >> shift).
struct Line {
    int scale = 0;
    std::int64_t offset = 0;
};

// The offset that makes (c * scale + offset) >> shift, clamped to 0..255,
// reproduce every entry of t, if there is one.
bool FitOffset(const Table& t, int scale, int shift, std::int64_t& offset) {
    std::int64_t lowest = -(std::int64_t{1} << 40), highest = std::int64_t{1} << 40;
    const std::int64_t unit = std::int64_t{1} << shift;
    for (int c = 0; c < 256; ++c) {
        const std::int64_t product = std::int64_t{c} * scale;
        if (t[c] > 0) lowest = std::max(lowest, t[c] * unit - product);
        if (t[c] < 255) highest = std::min(highest, (t[c] + 1) * unit - 1 - product);
    }
    // Any offset in [lowest, highest] does; the one nearest zero keeps the
    // 32-bit lanes far from overflow (c * scale is below 2^23).
    offset = std::max(lowest, std::min(highest, std::int64_t{0}));
    return lowest <= highest && offset > -(std::int64_t{1} << 29) && offset < (std::int64_t{1} << 29);
}

// The lines of three tables with one shift as large as 16-bit scales allow
// (at most 14, so that alpha's identity scale 2^shift fits too); false when
// some table is not such a line.
bool FitLines(const Table* const tables[3], Line lines[3], int& shift) {
    double slopes[3];
    for (int i = 0; i < 3; ++i) {
        // The slope through the unclamped entries; steep when there are few.
        int first = -1, last = -1;
        for (int c = 0; c < 256; ++c)
            if ((*tables[i])[c] > 0 && (*tables[i])[c] < 255) (first < 0 ? first : last) = c;
        slopes[i] = first >= 0 && last > first ? static_cast<double>((*tables[i])[last] - (*tables[i])[first]) / (last - first) : 255.0;
    }
    for (shift = 14; shift >= 0; --shift) {
        bool all = true;
        for (int i = 0; i < 3 && all; ++i) {
            const int guess = static_cast<int>(std::floor(slopes[i] * (1 << shift) + 0.5));
            bool found = false;
            for (int d = 0; d <= 6 && !found; ++d) {
                const int scale = guess + (d % 2 ? (d + 1) / 2 : -d / 2);
                if (scale < 0 || scale > 32767) continue;
                found = FitOffset(*tables[i], scale, shift, lines[i].offset);
                lines[i].scale = scale;
            }
            all = found;
        }
        if (all) return true;
    }
    return false;
}

void MapChannels(const ConstImageView& in, const ImageView& out, const Table& red, const Table& green,
                 const Table& blue) {
    const Table* const tables[3] = {&blue, &green, &red};
    Line lines[3];
    int shift = 0;
    if (!FitLines(tables, lines, shift)) {
        for (int y = 0; y < in.height; ++y) {
            const std::uint32_t* s = in.row(y);
            std::uint32_t* d = out.row(y);
            for (int x = 0; x < in.width; ++x) d[x] = MapPixel(s[x], red, green, blue);
        }
        return;
    }
    // Each channel widened to 32 bits, times its scale (madd with a zero
    // partner), plus its offset, shifted; packing clamps to bytes.
    const __m128i scales = _mm_setr_epi16(static_cast<short>(lines[0].scale), 0, static_cast<short>(lines[1].scale), 0,
                                          static_cast<short>(lines[2].scale), 0, static_cast<short>(1 << shift), 0);
    const __m128i offsets = _mm_setr_epi32(static_cast<int>(lines[0].offset), static_cast<int>(lines[1].offset),
                                           static_cast<int>(lines[2].offset), 0);
    const __m128i zero = _mm_setzero_si128(), count = _mm_cvtsi32_si128(shift);
    const auto line = [&](__m128i c) { return _mm_sra_epi32(_mm_add_epi32(_mm_madd_epi16(c, scales), offsets), count); };
    ForEachPixel(
        in, out,
        [&](__m128i p) {
            const __m128i lo = _mm_unpacklo_epi8(p, zero), hi = _mm_unpackhi_epi8(p, zero);
            return _mm_packus_epi16(
                _mm_packs_epi32(line(_mm_unpacklo_epi16(lo, zero)), line(_mm_unpackhi_epi16(lo, zero))),
                _mm_packs_epi32(line(_mm_unpacklo_epi16(hi, zero)), line(_mm_unpackhi_epi16(hi, zero))));
        },
        [&](std::uint32_t p) { return MapPixel(p, red, green, blue); });
}

// The straight line through (0, offset/100) and (255, (offset + 255 * scale)/100),
// rounded: c -> (c * scale + offset + 50) / 100.
Table LinearTable(int scale, int offset) {
    Table t{};
    for (int c = 0; c < 256; ++c) t[c] = static_cast<std::uint8_t>((c * scale + offset + 50) / 100);
    return t;
}

// Lightness by `amount` percent (clamped to -100..100): towards white above
// zero, towards black below.
Table LightnessTable(int amount) {
    amount = ClampInt(amount, -100, 100);
    return amount >= 0 ? LinearTable(100 - amount, 255 * amount) : LinearTable(100 + amount, 0);
}

// A levels stretch of [low, high] onto [0, 255], rounded half up.
Table StretchTable(int low, int high) {
    Table t{};
    for (int c = 0; c < 256; ++c) {
        if (high <= low) {
            t[c] = static_cast<std::uint8_t>(c);
        } else if (c <= low) {
            t[c] = 0;
        } else if (c >= high) {
            t[c] = 255;
        } else {
            t[c] = static_cast<std::uint8_t>(((c - low) * 510 + (high - low)) / (2 * (high - low)));
        }
    }
    return t;
}

using Histogram = std::array<std::uint64_t, 256>;

// The levels below and above which lies at most 0.5 % of the counted pixels.
void TailLevels(const Histogram& h, int& low, int& high) {
    std::uint64_t n = 0;
    for (const auto c : h) n += c;
    const std::uint64_t tail = n * 5 / 1000;
    low = 0;
    for (std::uint64_t seen = h[0]; low < 255 && seen <= tail; seen += h[++low]) {}
    high = 255;
    for (std::uint64_t seen = h[255]; high > 0 && seen <= tail; seen += h[--high]) {}
    if (n == 0) low = 0, high = 0;
}

// Histograms of red, green, blue and luma over the pixels that are not wholly
// transparent (a transparent pixel's colour is not seen).
struct Histograms {
    Histogram red{}, green{}, blue{}, luma{};
    std::uint64_t count = 0;
    std::uint64_t lumaSum = 0;
};

Histograms Measure(const ConstImageView& in) {
    Histograms h;
    for (int y = 0; y < in.height; ++y) {
        const std::uint32_t* s = in.row(y);
        for (int x = 0; x < in.width; ++x) {
            const std::uint32_t p = s[x];
            if ((p >> 24) == 0) continue;
            ++h.red[(p >> 16) & 0xFF];
            ++h.green[(p >> 8) & 0xFF];
            ++h.blue[p & 0xFF];
            const std::uint32_t l = Luma(p);
            ++h.luma[l];
            h.lumaSum += l;
            ++h.count;
        }
    }
    return h;
}

// The lightness that brings the mean luma of the visible pixels to 128.
int AutoLightnessAmount(const ConstImageView& in) {
    const Histograms h = Measure(in);
    if (h.count == 0) return 0;
    const int mean = static_cast<int>(detail::DivideRounded(h.lumaSum, h.count));
    if (mean < 128) return ((128 - mean) * 200 + (255 - mean)) / (2 * (255 - mean));
    return (12800 * 2 + mean) / (2 * mean) - 100;
}

}  // namespace

void Greyscale(const ConstImageView& in, const ImageView& out) {
    const __m128i weights = _mm_setr_epi16(kLumaBlue, kLumaGreen, kLumaRed, 0, kLumaBlue, kLumaGreen, kLumaRed, 0);
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(16384);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    ForEachPixel(
        in, out,
        [&](__m128i p) {
            // Per pixel: blue * wb + green * wg and red * wr, then their sum.
            const __m128 lo = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpacklo_epi8(p, zero), weights));
            const __m128 hi = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpackhi_epi8(p, zero), weights));
            const __m128i even = _mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)));
            const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1)));
            const __m128i l = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(even, odd), half), 15);
            const __m128i grey = _mm_or_si128(l, _mm_or_si128(_mm_slli_epi32(l, 8), _mm_slli_epi32(l, 16)));
            return _mm_or_si128(grey, _mm_and_si128(p, alpha));
        },
        [](std::uint32_t p) {
            const std::uint32_t l = Luma(p);
            return (p & 0xFF000000u) | l << 16 | l << 8 | l;
        });
}

void Solarize(const ConstImageView& in, const ImageView& out, std::uint32_t threshold) {
    // Alpha's threshold byte is 255: no alpha is above it.
    const std::uint32_t t = threshold | 0xFF000000u;
    const __m128i limit = _mm_set1_epi32(static_cast<int>(t));
    const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi32(-1);
    ForEachPixel(
        in, out,
        [&](__m128i p) {
            // Bytes above their threshold saturate to a non-zero difference.
            const __m128i above = _mm_xor_si128(_mm_cmpeq_epi8(_mm_subs_epu8(p, limit), zero), ones);
            return _mm_xor_si128(p, above);
        },
        [t](std::uint32_t p) {
            std::uint32_t r = p;
            for (int shift = 0; shift <= 16; shift += 8)
                if (((p >> shift) & 0xFF) > ((t >> shift) & 0xFF)) r ^= 0xFFu << shift;
            return r;
        });
}

void SwapChannels(const ConstImageView& in, const ImageView& out, int red, int green, int blue, int alpha) {
    // Output channel i (blue, green, red, alpha by shift) takes the source
    // channel its argument names: 0 red, 1 green, 2 blue, 3 alpha, 4 zero,
    // 5 full; any other value keeps the channel's own value.
    constexpr int kShiftOf[4] = {detail::kRedShift, detail::kGreenShift, detail::kBlueShift, detail::kAlphaShift};
    const int sources[4] = {blue, green, red, alpha};
    const int ownSource[4] = {2, 1, 0, 3};
    // Four terms (p >> from & mask) << to; a constant channel has mask 0.
    int fromShift[4], toShift[4];
    std::uint32_t mask[4], constant = 0;
    for (int i = 0; i < 4; ++i) {
        int s = sources[i];
        if (s < 0 || s > 5) s = ownSource[i];
        fromShift[i] = s < 4 ? kShiftOf[s] : 0;
        toShift[i] = 8 * i;
        mask[i] = s < 4 ? 0xFFu : 0u;
        if (s == 5) constant |= 0xFFu << (8 * i);
    }
    __m128i from[4], to[4], masks[4];
    for (int i = 0; i < 4; ++i) {
        from[i] = _mm_cvtsi32_si128(fromShift[i]);
        to[i] = _mm_cvtsi32_si128(toShift[i]);
        masks[i] = _mm_set1_epi32(static_cast<int>(mask[i]));
    }
    const __m128i fixed = _mm_set1_epi32(static_cast<int>(constant));
    ForEachPixel(
        in, out,
        [&](__m128i p) {
            __m128i r = fixed;
            for (int k = 0; k < 4; ++k)
                r = _mm_or_si128(r, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, from[k]), masks[k]), to[k]));
            return r;
        },
        [&](std::uint32_t p) {
            std::uint32_t r = constant;
            for (int k = 0; k < 4; ++k) r |= ((p >> fromShift[k]) & mask[k]) << toShift[k];
            return r;
        });
}

void Lightness(const ConstImageView& in, const ImageView& out, int amount) {
    // (c * scale + offset + 50) / 100 in 16-bit lanes (at most 51050); alpha
    // goes through as (a * 100 + 50) / 100. n / 100 is ((n >> 2) * 5243) >> 17:
    // floor(n / 4) / 25 with a reciprocal whose error stays below 1/25 for
    // quotients under 43690.
    const int a = ClampInt(amount, -100, 100);
    const short scale = static_cast<short>(100 - (a < 0 ? -a : a));
    const short offset = static_cast<short>((a > 0 ? 255 * a : 0) + 50);
    const __m128i mul = _mm_setr_epi16(scale, scale, scale, 100, scale, scale, scale, 100);
    const __m128i add = _mm_setr_epi16(offset, offset, offset, 50, offset, offset, offset, 50);
    const __m128i zero = _mm_setzero_si128(), reciprocal = _mm_set1_epi16(5243);
    const auto half = [&](__m128i c) {
        const __m128i n = _mm_add_epi16(_mm_mullo_epi16(c, mul), add);
        return _mm_srli_epi16(_mm_mulhi_epu16(_mm_srli_epi16(n, 2), reciprocal), 1);
    };
    const Table t = LightnessTable(amount);
    ForEachPixel(
        in, out, [&](__m128i p) { return _mm_packus_epi16(half(_mm_unpacklo_epi8(p, zero)), half(_mm_unpackhi_epi8(p, zero))); },
        [&t](std::uint32_t p) { return MapPixel(p, t, t, t); });
}

void Contrast(const ConstImageView& in, const ImageView& out, int amount) {
    // The slope tan(pi/4 * (amount/100 + 1)) about mid-grey, as ImageMagick's
    // -brightness-contrast 0xAmount: 0 keeps, -100 gives flat grey, 100 a
    // threshold at mid-grey.
    const double a = ClampInt(amount, -100, 100);
    const double slope = std::tan(3.14159265358979323846 * (a / 100.0 + 1.0) / 4.0);
    Table t{};
    for (int c = 0; c < 256; ++c) {
        const double v = std::floor(255.0 * (0.5 + slope * (c / 255.0 - 0.5)) + 0.5);
        t[c] = static_cast<std::uint8_t>(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v));
    }
    MapChannels(in, out, t, t, t);
}

void AutoLevel(const ConstImageView& in, const ImageView& out) {
    const Histograms h = Measure(in);
    int low, high;
    TailLevels(h.red, low, high);
    const Table red = StretchTable(low, high);
    TailLevels(h.green, low, high);
    const Table green = StretchTable(low, high);
    TailLevels(h.blue, low, high);
    const Table blue = StretchTable(low, high);
    MapChannels(in, out, red, green, blue);
}

void AutoContrast(const ConstImageView& in, const ImageView& out) {
    const Histograms h = Measure(in);
    int low, high;
    TailLevels(h.luma, low, high);
    const Table t = StretchTable(low, high);
    MapChannels(in, out, t, t, t);
}

void AutoLightness(const ConstImageView& in, const ImageView& out) { Lightness(in, out, AutoLightnessAmount(in)); }

void HslColorize(const ConstImageView& in, const ImageView& out, int hue, int saturation, int lightness) {
    // The output colour depends on the pixel's HSL lightness alone, so one
    // table of 256 colours serves the image.
    const Table shift = LightnessTable(lightness);
    const double h = ((hue % 360) + 360) % 360 / 60.0;
    const double s = ClampInt(saturation, 0, 100) / 100.0;
    std::array<std::uint32_t, 256> colour{};
    for (int l = 0; l < 256; ++l) {
        const double lf = shift[l] / 255.0;
        const double chroma = (1.0 - std::fabs(2.0 * lf - 1.0)) * s;
        const double x = chroma * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
        const double m = lf - chroma / 2.0;
        double r = 0, g = 0, b = 0;
        switch (static_cast<int>(h)) {
            case 0: r = chroma, g = x; break;
            case 1: r = x, g = chroma; break;
            case 2: g = chroma, b = x; break;
            case 3: g = x, b = chroma; break;
            case 4: r = x, b = chroma; break;
            default: r = chroma, b = x; break;
        }
        const auto byte = [m](double v) {
            return static_cast<std::uint32_t>(detail::ClampByte(static_cast<int>(std::floor((v + m) * 255.0 + 0.5))));
        };
        colour[l] = byte(r) << 16 | byte(g) << 8 | byte(b);
    }
    for (int y = 0; y < in.height; ++y) {
        const std::uint32_t* src = in.row(y);
        std::uint32_t* d = out.row(y);
        for (int x = 0; x < in.width; ++x) {
            const std::uint32_t p = src[x];
            const std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            const std::uint32_t hi = std::max(r, std::max(g, b)), lo = std::min(r, std::min(g, b));
            d[x] = (p & 0xFF000000u) | colour[(hi + lo + 1) >> 1];
        }
    }
}

void AddNoise(const ConstImageView& in, const ImageView& out, int amount, bool monochrome) {
    // Uniform noise of +-(amount% of 255) per channel, from ten bits of the
    // pixel's random number per channel (the same ten bits for all three when
    // monochrome).
    const int a = (ClampInt(amount, 0, 100) * 255 + 50) / 100;
    std::array<std::int16_t, 1024> noise{};
    for (int i = 0; i < 1024; ++i) noise[i] = static_cast<std::int16_t>(((i * (2 * a + 1)) >> 10) - a);
    const std::uint32_t seed = detail::ImageSeed(in);
    const int greenBits = monochrome ? 0 : 10, blueBits = monochrome ? 0 : 20;
    for (int y = 0; y < in.height; ++y) {
        const std::uint32_t* s = in.row(y);
        std::uint32_t* d = out.row(y);
        const std::uint32_t rowKey = detail::RowKey(y);
        for (int x = 0; x < in.width; ++x) {
            const std::uint32_t r = detail::PixelRandom(seed, x, rowKey);
            const std::uint32_t p = s[x];
            const int red = detail::ClampByte(static_cast<int>((p >> 16) & 0xFF) + noise[r & 1023]);
            const int green = detail::ClampByte(static_cast<int>((p >> 8) & 0xFF) + noise[(r >> greenBits) & 1023]);
            const int blue = detail::ClampByte(static_cast<int>(p & 0xFF) + noise[(r >> blueBits) & 1023]);
            d[x] = (p & 0xFF000000u) | static_cast<std::uint32_t>(red) << 16 | static_cast<std::uint32_t>(green) << 8 |
                   static_cast<std::uint32_t>(blue);
        }
    }
}

}  // namespace rastelle::kernels::effects
