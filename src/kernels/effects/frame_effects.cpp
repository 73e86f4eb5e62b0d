// Effects drawn into the image: the elliptical crop, the bevelled button
// frame and the page curl. Each touches only part of the image and copies
// the rest; the image keeps its size.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "kernels/effects/effect_detail.h"
#include "kernels/effects/effects.h"
#include "kernels/fill_copy.h"

namespace rastelle::kernels::effects {

using detail::ClampInt;

namespace {

// |v| without overflow, capped at `cap`.
int Magnitude(int v, int cap) { return v >= 0 ? (v < cap ? v : cap) : (v > -cap ? -v : cap); }

// ---- ellipse -------------------------------------------------------------------

// Each pixel is sampled at 4 x 4 points, at offsets (2i + 1)/8 - 1/2 of a
// pixel from its centre (i = 0..3); in units of 1/8 pixel they are the odd
// numbers -3..3 and the ellipse's semi-axes are 8 * radius. The ellipse's
// centre is the centre of pixel (X, Y).
constexpr int kSubsamples = 4;
constexpr int kOffsets[kSubsamples] = {-3, -1, 1, 3};
constexpr int kRadiusCap = 1 << 24, kCentreCap = 1 << 26;

// The largest |dx| (in eighths) inside the ellipse on the sample row dy, or
// -1 when the row misses it.
std::int64_t HalfWidth(std::int64_t dy, std::int64_t rx8, std::int64_t ry8) {
    if (ry8 == 0 || rx8 == 0 || dy > ry8 || dy < -ry8) return -1;
    const double t = static_cast<double>(dy) / static_cast<double>(ry8);
    return static_cast<std::int64_t>(std::floor(static_cast<double>(rx8) * std::sqrt(1.0 - t * t)));
}

// The pixel covered by `inside` of the 16 samples, over the background:
// premultiplied mix, rounded.
std::uint32_t MixCoverage(std::uint32_t pixel, std::uint32_t background, std::uint32_t inside) {
    if (inside == kSubsamples * kSubsamples) return pixel;
    if (inside == 0) return background;
    const std::uint32_t pa = (pixel >> 24) * inside, ba = (background >> 24) * (16 - inside);
    const std::uint32_t alpha = pa + ba;
    if (alpha == 0) return 0;
    std::uint32_t r = ((alpha + 8) >> 4) << 24;
    for (int shift = 0; shift <= 16; shift += 8)
        r |= ((pa * ((pixel >> shift) & 0xFF) + ba * ((background >> shift) & 0xFF) + alpha / 2) / alpha) << shift;
    return r;
}

}  // namespace

void EllipseCrop(const ConstImageView& in, const ImageView& out, int centreX, int centreY, int horizontalRadius,
                 int verticalRadius, std::uint32_t background) {
    const std::int64_t cx = ClampInt(centreX, -kCentreCap, kCentreCap), cy = ClampInt(centreY, -kCentreCap, kCentreCap);
    const std::int64_t rx8 = 8 * static_cast<std::int64_t>(Magnitude(horizontalRadius, kRadiusCap));
    const std::int64_t ry8 = 8 * static_cast<std::int64_t>(Magnitude(verticalRadius, kRadiusCap));
    const std::int64_t w = in.width;
    for (int y = 0; y < in.height; ++y) {
        const std::uint32_t* s = in.row(y);
        std::uint32_t* d = out.row(y);
        std::int64_t halfWidth[kSubsamples], narrowest = 0, widest = -1;
        for (int j = 0; j < kSubsamples; ++j) {
            halfWidth[j] = HalfWidth(8 * (y - cy) + kOffsets[j], rx8, ry8);
            narrowest = j == 0 || halfWidth[j] < narrowest ? halfWidth[j] : narrowest;
            widest = halfWidth[j] > widest ? halfWidth[j] : widest;
        }
        if (widest < 0) {
            FillPixels({d, in.width, 1, 0}, background);
            continue;
        }
        // Pixels whose every sample is inside are copied, those with none
        // inside filled; only the ones between are counted.
        const std::int64_t inner = narrowest >= 3 ? (narrowest - 3) / 8 : -1, outer = (widest + 3) / 8;
        const auto clip = [w](std::int64_t v) { return v < 0 ? 0 : (v > w ? w : v); };
        const std::int64_t outerLeft = clip(cx - outer), outerRight = clip(cx + outer + 1);
        const std::int64_t innerLeft = inner < 0 ? outerLeft : clip(cx - inner);
        const std::int64_t innerRight = inner < 0 ? outerLeft : clip(cx + inner + 1);
        const auto edge = [&](std::int64_t from, std::int64_t to) {
            for (std::int64_t x = from; x < to; ++x) {
                std::uint32_t count = 0;
                for (int j = 0; j < kSubsamples; ++j)
                    for (int i = 0; i < kSubsamples; ++i) {
                        const std::int64_t dx = 8 * (x - cx) + kOffsets[i];
                        count += (dx < 0 ? -dx : dx) <= halfWidth[j];
                    }
                d[x] = MixCoverage(s[x], background, count);
            }
        };
        for (std::int64_t x = 0; x < outerLeft; ++x) d[x] = background;
        edge(outerLeft, innerLeft);
        if (innerRight > innerLeft)
            std::memcpy(d + innerLeft, s + innerLeft, static_cast<std::size_t>(innerRight - innerLeft) * 4);
        edge(innerRight > innerLeft ? innerRight : innerLeft, outerRight);
        for (std::int64_t x = outerRight; x < w; ++x) d[x] = background;
    }
}

// ---- button frame --------------------------------------------------------------

void Buttonize(const ConstImageView& in, const ImageView& out, int type, int frameWidth, int frameOpacity) {
    // Raised (type 0): the top and left bands lighten towards white, the
    // bottom and right ones darken towards black, by frameOpacity percent;
    // sunken (any other type) the other way round. A pixel belongs to the band
    // of its nearest edge (top, left, bottom, right on ties), so the corners
    // are mitred.
    const int w = in.width, h = in.height;
    const int frame = ClampInt(frameWidth, 0, w > h ? w : h);
    const int opacity = ClampInt(frameOpacity, 0, 100);
    std::uint8_t light[256], dark[256];
    for (int c = 0; c < 256; ++c) {
        light[c] = static_cast<std::uint8_t>((c * (100 - opacity) + 255 * opacity + 50) / 100);
        dark[c] = static_cast<std::uint8_t>((c * (100 - opacity) + 50) / 100);
    }
    const std::uint8_t* first = type == 0 ? light : dark;   // top and left
    const std::uint8_t* second = type == 0 ? dark : light;  // bottom and right
    const auto shade = [](std::uint32_t p, const std::uint8_t* t) {
        return (p & 0xFF000000u) | std::uint32_t{t[(p >> 16) & 0xFF]} << 16 | std::uint32_t{t[(p >> 8) & 0xFF]} << 8 |
               t[p & 0xFF];
    };
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* s = in.row(y);
        std::uint32_t* d = out.row(y);
        const int vertical = y < h - 1 - y ? y : h - 1 - y;
        // Columns [left, right) are in no band on this row.
        const int left = vertical < frame ? w : (frame < w ? frame : w);
        const int right = vertical < frame ? w : (w - frame > left ? w - frame : left);
        const auto framed = [&](int x) {
            const int nearest = std::min(std::min(y, x), std::min(h - 1 - y, w - 1 - x));
            d[x] = nearest >= frame ? s[x] : shade(s[x], y == nearest || x == nearest ? first : second);
        };
        for (int x = 0; x < left; ++x) framed(x);
        if (right > left) std::memcpy(d + left, s + left, static_cast<std::size_t>(right - left) * 4);
        for (int x = right; x < w; ++x) framed(x);
    }
}

// ---- page curl -----------------------------------------------------------------

namespace {

struct Premultiplied {
    double a, r, g, b;
};

Premultiplied Premultiply(std::uint32_t p, double scale = 1.0) {
    const double a = (p >> 24) / 255.0;
    return {a, a * ((p >> 16) & 0xFF) * scale, a * ((p >> 8) & 0xFF) * scale, a * (p & 0xFF) * scale};
}

std::uint32_t Straight(const Premultiplied& p) {
    if (p.a <= 0.0) return 0;
    const auto byte = [](double v) {
        const double r = std::floor(v + 0.5);
        return static_cast<std::uint32_t>(r < 0.0 ? 0.0 : (r > 255.0 ? 255.0 : r));
    };
    return byte(p.a * 255.0) << 24 | byte(p.r / p.a) << 16 | byte(p.g / p.a) << 8 | byte(p.b / p.a);
}

// top over bottom with top's coverage.
Premultiplied Over(const Premultiplied& top, double coverage, const Premultiplied& bottom) {
    const double k = 1.0 - top.a * coverage;
    return {top.a * coverage + bottom.a * k, top.r * coverage + bottom.r * k, top.g * coverage + bottom.g * k,
            top.b * coverage + bottom.b * k};
}

double Clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// The geometry of one curl, in corner coordinates: u and v are the distances
// of a pixel's centre from the corner's two edges.
struct Curl {
    double normalU, normalV;  // unit normal of the fold line, pointing away from the corner
    double depth;             // distance of the corner from the fold line
    double shadow;            // width of the soft shadow
    bool curled;
    Premultiplied colour, background;
    std::uint32_t backgroundPixel;

    std::uint32_t operator()(std::uint32_t pixel, double u, double v) const {
        // s < 0: the lifted corner; the flap is the corner reflected over the fold.
        const double s = u * normalU + v * normalV - depth;
        const double ru = u - 2.0 * s * normalU, rv = v - 2.0 * s * normalV;
        const double e = ru < rv ? ru : rv;  // inside the flap when positive
        if (s >= 0.5 && e <= -(shadow > 0.5 ? shadow : 0.5)) return pixel;
        if (s <= -0.5) return backgroundPixel;
        Premultiplied base = Over(background, Clamp01(0.5 - s), Premultiply(pixel));
        if (e < 0.0 && shadow > 0.0) {
            const double dim = 1.0 - 0.5 * Clamp01(1.0 + e / shadow);
            base = {base.a, base.r * dim, base.g * dim, base.b * dim};
        }
        const double coverage = Clamp01(0.5 + e) * Clamp01(0.5 + s);
        if (coverage <= 0.0) return Straight(base);
        const double t = Clamp01(s / depth);
        const double light = curled ? 0.7 + 0.3 * std::sin(3.14159265358979323846 * t) : 0.85 + 0.15 * Clamp01(4.0 * t);
        const Premultiplied flap = {colour.a, colour.r * light, colour.g * light, colour.b * light};
        return Straight(Over(flap, coverage, base));
    }
};

}  // namespace

void PageCurl(const ConstImageView& in, const ImageView& out, int width, int height, int curlMode,
              std::uint32_t curlColor, std::uint32_t background) {
    // curlMode's low three bits: bit 0 the right side, bit 1 the top, bit 2
    // a rounded (shaded) curl instead of a flat fold. 5 is a curl at the
    // bottom right.
    CopyPixels(in, out);
    const int w = in.width, h = in.height;
    const int cw = ClampInt(width, 0, w), ch = ClampInt(height, 0, h);
    if (cw == 0 || ch == 0) return;
    const int mode = curlMode & 7;
    const bool right = (mode & 1) != 0, top = (mode & 2) != 0;
    Curl curl{};
    const double nu = 1.0 / cw, nv = 1.0 / ch, length = std::sqrt(nu * nu + nv * nv);
    curl.normalU = nu / length, curl.normalV = nv / length;
    curl.depth = 1.0 / length;
    curl.shadow = std::fmax(2.0, std::fmin(cw, ch) / 8.0);
    curl.curled = (mode & 4) != 0;
    curl.colour = Premultiply(curlColor);
    curl.background = Premultiply(background);
    curl.backgroundPixel = background;
    // The flap reaches at most twice the curl's size from the corner.
    const int reachU = static_cast<int>(std::fmin(2.0 * cw + curl.shadow + 2.0, w));
    const int reachV = static_cast<int>(std::fmin(2.0 * ch + curl.shadow + 2.0, h));
    for (int j = 0; j < reachV; ++j) {
        const int y = top ? j : h - 1 - j;
        const std::uint32_t* s = in.row(y);
        std::uint32_t* d = out.row(y);
        for (int i = 0; i < reachU; ++i) {
            const int x = right ? w - 1 - i : i;
            d[x] = curl(s[x], i + 0.5, j + 0.5);
        }
    }
}

}  // namespace rastelle::kernels::effects
