#include "transforms/kernel_transforms.h"

#include "kernels/blur.h"
#include "kernels/rank_filter.h"

namespace rastelle::transforms {

// Each kernel runs on the output, which DoTransform has made a copy of the
// input, with the property values as they stand when it starts.

void TransformFastBlur::RunKernel(kernels::ConstImageView in, kernels::ImageView out) const {
    kernels::FastBlurImage(in, out, radius_);
}

void TransformGlow::RunKernel(kernels::ConstImageView in, kernels::ImageView out) const {
    kernels::GlowImage(in, out, static_cast<std::uint32_t>(color_), intensity_, radius_);
}

void TransformShadow::RunKernel(kernels::ConstImageView in, kernels::ImageView out) const {
    kernels::ShadowImage(in, out, static_cast<std::uint32_t>(color_), radius_, offsetX_, offsetY_);
}

void TransformNoiseRemove::Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius) {
    kernels::NoiseRemoveImage(in, out, radius);
}

void TransformErosion::Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius) {
    kernels::ErosionImage(in, out, radius);
}

void TransformExpand::Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius) {
    kernels::ExpandImage(in, out, radius);
}

}  // namespace rastelle::transforms
