// The effect kernels served by the effect component. Each reads `in` and
// writes every pixel of `out`: same size, not overlapping. Pixels and colour
// arguments are straight (not premultiplied) 0xAARRGGBB. Every argument is
// accepted at any value (negative, huge); what each means is documented
// beside its implementation. Each may throw std::bad_alloc and nothing else.
#pragma once

#include <cstdint>

#include "kernels/image_view.h"

namespace rastelle::kernels::effects {

void AutoLevel(const ConstImageView& in, const ImageView& out);
void Antialias(const ConstImageView& in, const ImageView& out);
void Greyscale(const ConstImageView& in, const ImageView& out);
void Waddle(const ConstImageView& in, const ImageView& out);
void Lightness(const ConstImageView& in, const ImageView& out, int amount);
void AutoLightness(const ConstImageView& in, const ImageView& out);
void Contrast(const ConstImageView& in, const ImageView& out, int amount);
void AutoContrast(const ConstImageView& in, const ImageView& out);
void AddNoise(const ConstImageView& in, const ImageView& out, int amount, bool monochrome);
void Spray(const ConstImageView& in, const ImageView& out, int amount, int frameWidth, std::uint32_t background);
void Mosaic(const ConstImageView& in, const ImageView& out, int cellWidth, int cellHeight);

struct SinusizeParameters {
    int horizontalAmplitude = 0;
    int horizontalWaveLength = 0;
    int horizontalStartPhase = 0;
    int verticalAmplitude = 0;
    int verticalWaveLength = 0;
    int verticalStartPhase = 0;
    std::uint32_t background = 0;
};
void Sinusize(const ConstImageView& in, const ImageView& out, const SinusizeParameters& parameters);
void Swirl(const ConstImageView& in, const ImageView& out, int amount);
void EllipseCrop(const ConstImageView& in, const ImageView& out, int centreX, int centreY, int horizontalRadius,
                 int verticalRadius, std::uint32_t background);
void Solarize(const ConstImageView& in, const ImageView& out, std::uint32_t threshold);
void HslColorize(const ConstImageView& in, const ImageView& out, int hue, int saturation, int lightness);
void Texturize(const ConstImageView& in, const ImageView& out, int amount, float shift);
void Sharpen(const ConstImageView& in, const ImageView& out, int strength);
void Emboss(const ConstImageView& in, const ImageView& out, int type);
void EdgeDetect(const ConstImageView& in, const ImageView& out, int type);
void SwapChannels(const ConstImageView& in, const ImageView& out, int red, int green, int blue, int alpha);
void Buttonize(const ConstImageView& in, const ImageView& out, int type, int frameWidth, int frameOpacity);
void PageCurl(const ConstImageView& in, const ImageView& out, int width, int height, int curlMode,
              std::uint32_t curlColor, std::uint32_t background);

}  // namespace rastelle::kernels::effects
