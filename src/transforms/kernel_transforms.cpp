#include "transforms/kernel_transforms.h"

#include "kernels/blur.h"
#include "kernels/rank_filter.h"

namespace rastelle::transforms {

namespace {

std::wstring ExceptionMessage(const wchar_t* transform) {
    return std::wstring(L"Some exception occured in the ") + transform +
           L" transform. If you see this message, please contact ";
}

}  // namespace

#define RASTELLE_TRANSFORM_CREATE(Class) \
    HRESULT Class::Create(IUnknown* outer, REFIID iid, void** out) noexcept { \
        return com::CreateComObject<Class>(outer, iid, out); \
    }

RASTELLE_TRANSFORM_CREATE(TransformFastBlur)
RASTELLE_TRANSFORM_CREATE(TransformGlow)
RASTELLE_TRANSFORM_CREATE(TransformShadow)
#undef RASTELLE_TRANSFORM_CREATE

// Each body reads its properties once, then runs its kernel on the output,
// which DoTransform has made a copy of the input.

HRESULT TransformFastBlur::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    const double radius = radius_;
    return DoTransform({CLSID_TransformFastBlur, IID_ITransformFastBlur}, "TransformFastBlur",
                       ExceptionMessage(L"FastBlur").c_str(), input, result,
                       [&](kernels::ConstImageView in, kernels::ImageView out) {
                           kernels::FastBlurImage(in, out, radius);
                       });
}

HRESULT TransformGlow::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    const auto color = static_cast<std::uint32_t>(color_);
    const double intensity = intensity_;
    const double radius = radius_;
    return DoTransform({CLSID_TransformGlow, IID_ITransformGlow}, "TransformGlow",
                       ExceptionMessage(L"Glow").c_str(), input, result,
                       [&](kernels::ConstImageView in, kernels::ImageView out) {
                           kernels::GlowImage(in, out, color, intensity, radius);
                       });
}

HRESULT TransformShadow::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    const auto color = static_cast<std::uint32_t>(color_);
    const double radius = radius_;
    const int offsetX = offsetX_;
    const int offsetY = offsetY_;
    return DoTransform({CLSID_TransformShadow, IID_ITransformShadow}, "TransformShadow",
                       ExceptionMessage(L"Shadow").c_str(), input, result,
                       [&](kernels::ConstImageView in, kernels::ImageView out) {
                           kernels::ShadowImage(in, out, color, radius, offsetX, offsetY);
                       });
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
