// The blur family and the rank filters: transforms whose bodies are pixel
// kernels run by the common DoTransform frame. Their IDispatch is the bitmap
// hand-over interface; their properties are reached through their own
// interfaces (early binding).
#pragma once

#include "transforms/transform_frame.h"

namespace rastelle::transforms {

class TransformFastBlur final
    : public com::ComObject<TransformFastBlur, GdiplusTransform<TransformFastBlur>, com::Dispatch<ITransformFastBlur>,
                            com::SupportErrorInfo<ITransformFastBlur>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    STDMETHODIMP get_Radius(DOUBLE* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Radius(DOUBLE value) override {
        radius_ = value;
        return S_OK;
    }
    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    DOUBLE radius_ = 2.0;
};

class TransformGlow final
    : public com::ComObject<TransformGlow, GdiplusTransform<TransformGlow>, com::Dispatch<ITransformGlow>,
                            com::SupportErrorInfo<ITransformGlow>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    STDMETHODIMP get_Color(LONG* value) override { return ReadProperty(color_, value); }
    STDMETHODIMP put_Color(LONG value) override {
        color_ = value;
        return S_OK;
    }
    STDMETHODIMP get_Intensity(DOUBLE* value) override { return ReadProperty(intensity_, value); }
    STDMETHODIMP put_Intensity(DOUBLE value) override {
        intensity_ = value;
        return S_OK;
    }
    STDMETHODIMP get_Radius(DOUBLE* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Radius(DOUBLE value) override {
        radius_ = value;
        return S_OK;
    }
    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    LONG color_ = -256;  // opaque yellow
    DOUBLE intensity_ = 10.0;
    DOUBLE radius_ = 2.0;
};

class TransformShadow final
    : public com::ComObject<TransformShadow, GdiplusTransform<TransformShadow>, com::Dispatch<ITransformShadow>,
                            com::SupportErrorInfo<ITransformShadow>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    STDMETHODIMP get_Color(LONG* value) override { return ReadProperty(color_, value); }
    STDMETHODIMP put_Color(LONG value) override {
        color_ = value;
        return S_OK;
    }
    STDMETHODIMP get_Radius(DOUBLE* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Radius(DOUBLE value) override {
        radius_ = value;
        return S_OK;
    }
    STDMETHODIMP get_OffsetX(LONG* value) override { return ReadProperty(offsetX_, value); }
    STDMETHODIMP put_OffsetX(LONG value) override {
        offsetX_ = value;
        return S_OK;
    }
    STDMETHODIMP get_OffsetY(LONG* value) override { return ReadProperty(offsetY_, value); }
    STDMETHODIMP put_OffsetY(LONG value) override {
        offsetY_ = value;
        return S_OK;
    }
    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    LONG color_ = -8355712;  // opaque grey
    DOUBLE radius_ = 2.0;
    LONG offsetX_ = 10;
    LONG offsetY_ = 10;
};

// The three rank filters share everything but their interface, the name of
// their radius property, the rank they take and their messages: Derived
// supplies the accessors and these statics:
//   kClassName, kTransformName   for the failure and exception messages
//   Kernel(in, out, radius)      the filter
//   Origin()                     its CLSID and interface IID
template <class Derived, class Itf>
class RankTransform
    : public com::ComObject<Derived, GdiplusTransform<Derived>, com::Dispatch<Itf>, com::SupportErrorInfo<Itf>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept {
        return com::CreateComObject<Derived>(outer, iid, out);
    }
    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
        const int radius = radius_;
        const std::wstring message = std::wstring(L"Some exception occured in the ") + Derived::kTransformName +
                                     L" transform. If you see this message, please contact ";
        return DoTransform(Derived::Origin(), Derived::kClassName, message.c_str(), input, result,
                           [&](kernels::ConstImageView in, kernels::ImageView out) { Derived::Kernel(in, out, radius); });
    }

protected:
    HRESULT Read(LONG* value) const noexcept { return ReadProperty(radius_, value); }
    HRESULT Write(LONG value) noexcept {
        radius_ = value;
        return S_OK;
    }

private:
    LONG radius_ = 1;
};

class TransformNoiseRemove final : public RankTransform<TransformNoiseRemove, ITransformNoiseRemove> {
public:
    STDMETHODIMP get_Precision(LONG* value) override { return Read(value); }
    STDMETHODIMP put_Precision(LONG value) override { return Write(value); }

    static constexpr char kClassName[] = "TransformNoiseRemove";
    static constexpr wchar_t kTransformName[] = L"NoiseRemove";
    static void Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius);
    static com::ErrorOrigin Origin() { return {CLSID_TransformNoiseRemove, IID_ITransformNoiseRemove}; }
};

class TransformErosion final : public RankTransform<TransformErosion, ITransformErosion> {
public:
    STDMETHODIMP get_Strength(LONG* value) override { return Read(value); }
    STDMETHODIMP put_Strength(LONG value) override { return Write(value); }

    static constexpr char kClassName[] = "TransformErosion";
    static constexpr wchar_t kTransformName[] = L"Erosion";
    static void Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius);
    static com::ErrorOrigin Origin() { return {CLSID_TransformErosion, IID_ITransformErosion}; }
};

class TransformExpand final : public RankTransform<TransformExpand, ITransformExpand> {
public:
    STDMETHODIMP get_Strength(LONG* value) override { return Read(value); }
    STDMETHODIMP put_Strength(LONG value) override { return Write(value); }

    static constexpr char kClassName[] = "TransformExpand";
    static constexpr wchar_t kTransformName[] = L"Expand";
    static void Kernel(kernels::ConstImageView in, kernels::ImageView out, int radius);
    static com::ErrorOrigin Origin() { return {CLSID_TransformExpand, IID_ITransformExpand}; }
};

}  // namespace rastelle::transforms
