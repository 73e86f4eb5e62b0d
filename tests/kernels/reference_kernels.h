// Plain versions of the kernels, straight from their arithmetic: the measure
// of the fast ones.
#pragma once

#include <cstdint>

#include "kernels/blur.h"
#include "kernels/combine.h"
#include "kernels/image_view.h"
#include "kernels/rank_filter.h"

namespace rastelle::kernels::reference {

std::uint32_t BlendOver(std::uint32_t d, std::uint32_t colour, std::uint32_t a);
std::uint32_t AlphaCurve(std::uint32_t a);
void BlurKernel(const ConstImageView& src, const ImageView& dst, const BlurParams& params);
void TransparencyKernel(const ConstImageView& src, const ImageView& dst, std::uint32_t color, std::uint8_t threshold);
void RankFilter(const ConstImageView& src, const ImageView& dst, int radius, RankMode mode, bool rankAlpha);
// The C runtime's rand() after srand(seed): its next state and its number.
std::uint32_t NextRandomState(std::uint32_t state);
int RandomNumber(std::uint32_t state);
void CombineLayer(CombineMode mode, const ConstImageView& layer, const ImageView& background, int opacity);

}  // namespace rastelle::kernels::reference
