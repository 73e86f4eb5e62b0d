// The blur family and the rank filters: transforms whose bodies are pixel
// kernels run by the common DoTransform frame. Their IDispatch is the bitmap
// hand-over interface; their properties are reached through their own
// interfaces (early binding).
#pragma once

#include "transforms/transform_frame.h"

namespace rastelle::transforms {

class TransformFastBlur final
    : public KernelTransformClass<TransformFastBlur, ITransformFastBlur, CLSID_TransformFastBlur> {
public:
    static constexpr char kClassName[] = "TransformFastBlur";
    static constexpr wchar_t kTransformName[] = L"FastBlur";

    STDMETHODIMP get_Radius(DOUBLE* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Radius(DOUBLE value) override { return WriteProperty(radius_, value); }
    void RunKernel(kernels::ConstImageView in, kernels::ImageView out) const;

private:
    DOUBLE radius_ = 2.0;
};

class TransformGlow final : public KernelTransformClass<TransformGlow, ITransformGlow, CLSID_TransformGlow> {
public:
    static constexpr char kClassName[] = "TransformGlow";
    static constexpr wchar_t kTransformName[] = L"Glow";

    STDMETHODIMP get_Color(LONG* value) override { return ReadProperty(color_, value); }
    STDMETHODIMP put_Color(LONG value) override { return WriteProperty(color_, value); }
    STDMETHODIMP get_Intensity(DOUBLE* value) override { return ReadProperty(intensity_, value); }
    STDMETHODIMP put_Intensity(DOUBLE value) override { return WriteProperty(intensity_, value); }
    STDMETHODIMP get_Radius(DOUBLE* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Radius(DOUBLE value) override { return WriteProperty(radius_, value); }
    void RunKernel(kernels::ConstImageView in, kernels::ImageView out) const;

private:
    LONG color_ = -256;  // opaque yellow
    DOUBLE intensity_ = 10.0;
    DOUBLE radius_ = 2.0;
};

class TransformShadow final : public KernelTransformClass<TransformShadow, ITransformShadow, CLSID_TransformShadow> {
public:
    static constexpr char kClassName[] = "TransformShadow";
    static constexpr wchar_t kTransformName[] = L"Shadow";

    STDMETHODIMP get_Color(LONG* value) override { return ReadProperty(color_, value); }
    STDMETHODIMP put_Color(LONG value) override { return WriteProperty(color_, value); }
    STDMETHODIMP get_Radius(DOUBLE* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Radius(DOUBLE value) override { return WriteProperty(radius_, value); }
    STDMETHODIMP get_OffsetX(LONG* value) override { return ReadProperty(offsetX_, value); }
    STDMETHODIMP put_OffsetX(LONG value) override { return WriteProperty(offsetX_, value); }
    STDMETHODIMP get_OffsetY(LONG* value) override { return ReadProperty(offsetY_, value); }
    STDMETHODIMP put_OffsetY(LONG value) override { return WriteProperty(offsetY_, value); }
    void RunKernel(kernels::ConstImageView in, kernels::ImageView out) const;

private:
    LONG color_ = -8355712;  // opaque grey
    DOUBLE radius_ = 2.0;
    LONG offsetX_ = 10;
    LONG offsetY_ = 10;
};

// The three rank filters share everything but their interface, the name of
// their radius property, the rank they take and their names: Derived
// supplies the accessors, kClassName, kTransformName and
//   static void Kernel(in, out, radius)
template <class Derived, class Itf, const CLSID& clsid>
class RankTransform : public KernelTransformClass<Derived, Itf, clsid> {
public:
    void RunKernel(kernels::ConstImageView in, kernels::ImageView out) const { Derived::Kernel(in, out, radius_); }

protected:
    HRESULT Read(LONG* value) const noexcept { return ReadProperty(radius_, value); }
    HRESULT Write(LONG value) noexcept { return WriteProperty(radius_, value); }

private:
    LONG radius_ = 1;
};

class TransformNoiseRemove final
    : public RankTransform<TransformNoiseRemove, ITransformNoiseRemove, CLSID_TransformNoiseRemove> {
public:
    static constexpr char kClassName[] = "TransformNoiseRemove";
    static constexpr wchar_t kTransformName[] = L"NoiseRemove";

    STDMETHODIMP get_Precision(LONG* value) override { return Read(value); }
    STDMETHODIMP put_Precision(LONG value) override { return Write(value); }
    static void Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius);
};

class TransformErosion final : public RankTransform<TransformErosion, ITransformErosion, CLSID_TransformErosion> {
public:
    static constexpr char kClassName[] = "TransformErosion";
    static constexpr wchar_t kTransformName[] = L"Erosion";

    STDMETHODIMP get_Strength(LONG* value) override { return Read(value); }
    STDMETHODIMP put_Strength(LONG value) override { return Write(value); }
    static void Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius);
};

class TransformExpand final : public RankTransform<TransformExpand, ITransformExpand, CLSID_TransformExpand> {
public:
    static constexpr char kClassName[] = "TransformExpand";
    static constexpr wchar_t kTransformName[] = L"Expand";

    STDMETHODIMP get_Strength(LONG* value) override { return Read(value); }
    STDMETHODIMP put_Strength(LONG value) override { return Write(value); }
    static void Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius);
};

}  // namespace rastelle::transforms
