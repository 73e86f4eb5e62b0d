// The alpha-weighted tent blur (BlurKernel) and the three filters built on it:
// plain blur, glow and drop shadow.
#pragma once

#include <cstdint>
#include <optional>

#include "image_view.h"

namespace rastelle::kernels {

// Radii are used as given between -1 and kMaxBlurRadius. A larger radius
// (+infinity included) acts as kMaxBlurRadius: the tent is then so flat that
// a pass's blurred alpha is at most 255 * (image side) / 65537, and the window
// bounds, the normalising sum and the exact integer sums all stay in range.
// A radius at or below -1 gives empty windows (as -1 does); NaN acts as 0.
inline constexpr double kMaxBlurRadius = 65536.0;

struct BlurParams {
    int offsetX = 0;  // the blurred layer moves right by this many pixels
    int offsetY = 0;  // and down by this many
    std::optional<std::uint32_t> glowColor;  // ARGB; absent for a plain blur
    double intensity = 1.0;  // below 1 (or NaN) acts as 1
    double radiusX = 0.0;
    double radiusY = 0.0;
};

// The radius and intensity a blur really uses (see above).
double BlurRadiusUsed(double radius);
double BlurIntensityUsed(double intensity);

// The normalising sum of a pass: the sum of (r + 1 - |i|) over the integers i
// from floor(-r) to ceil(r), added in double precision in increasing order of
// i. Takes a radius as returned by BlurRadiusUsed.
double BlurNormalisingSum(double radius);

// Blurs src horizontally, then vertically, and lays the result onto dst with
// BlendOver (as a plain blur, or as a layer of the glow colour whose alpha is
// the blurred alpha scaled by the intensity through AlphaCurve). Without a
// glow colour and with both radii <= 0 it only lays src once more onto dst.
// src and dst have the same size and must not overlap; dst usually holds a
// copy of src. Keeps the horizontal pass's rows that the vertical windows
// still need, premultiplied (8 bytes a pixel, up to 2 * ceil(ry) + 2 rows);
// may throw std::bad_alloc.
void BlurKernel(const ConstImageView& src, const ImageView& dst, const BlurParams& params);

// The filters. `out` must hold a copy of `in` on entry (the transform frame
// copies the input into its output first), have the same size and not
// overlap it. Each may throw std::bad_alloc and nothing else.
void FastBlurImage(const ConstImageView& in, const ImageView& out, double radius);
void GlowImage(const ConstImageView& in, const ImageView& out, std::uint32_t color, double intensity,
               double radius);
void ShadowImage(const ConstImageView& in, const ImageView& out, std::uint32_t color, double radius,
                 int offsetX, int offsetY);

}  // namespace rastelle::kernels
