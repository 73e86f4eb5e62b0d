// Plain versions of the effect kernels, written from each effect's
// definition with readable per-pixel loops: no tables, no sliding rows, no
// SIMD, doubles for the warps. The fast kernels must match them bit for bit
// (the warps within a level). Slow on purpose.
#pragma once

#include <cstdint>

#include "kernels/effects/effects.h"
#include "kernels/image_view.h"

namespace rastelle::kernels::effects::reference {

void Greyscale(const ConstImageView& in, const ImageView& out);
void Solarize(const ConstImageView& in, const ImageView& out, std::uint32_t threshold);
void SwapChannels(const ConstImageView& in, const ImageView& out, int red, int green, int blue, int alpha);
void Lightness(const ConstImageView& in, const ImageView& out, int amount);
void Contrast(const ConstImageView& in, const ImageView& out, int amount);
void AutoLevel(const ConstImageView& in, const ImageView& out);
void AutoContrast(const ConstImageView& in, const ImageView& out);
void AutoLightness(const ConstImageView& in, const ImageView& out);
void HslColorize(const ConstImageView& in, const ImageView& out, int hue, int saturation, int lightness);
void AddNoise(const ConstImageView& in, const ImageView& out, int amount, bool monochrome);

void Sharpen(const ConstImageView& in, const ImageView& out, int strength);
void Emboss(const ConstImageView& in, const ImageView& out, int type);
void EdgeDetect(const ConstImageView& in, const ImageView& out, int type);
void Antialias(const ConstImageView& in, const ImageView& out);
void Mosaic(const ConstImageView& in, const ImageView& out, int cellWidth, int cellHeight);
void Texturize(const ConstImageView& in, const ImageView& out, int amount, float shift);

void Sinusize(const ConstImageView& in, const ImageView& out, const SinusizeParameters& parameters);
void Waddle(const ConstImageView& in, const ImageView& out);
void Swirl(const ConstImageView& in, const ImageView& out, int amount);
void Spray(const ConstImageView& in, const ImageView& out, int amount, int frameWidth, std::uint32_t background);

void EllipseCrop(const ConstImageView& in, const ImageView& out, int centreX, int centreY, int horizontalRadius,
                 int verticalRadius, std::uint32_t background);
void Buttonize(const ConstImageView& in, const ImageView& out, int type, int frameWidth, int frameOpacity);

}  // namespace rastelle::kernels::effects::reference
