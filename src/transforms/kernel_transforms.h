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

// The three rank filters differ in their interface, property name, the rank
// they take and their messages.
class TransformNoiseRemove final
    : public com::ComObject<TransformNoiseRemove, GdiplusTransform<TransformNoiseRemove>,
                            com::Dispatch<ITransformNoiseRemove>, com::SupportErrorInfo<ITransformNoiseRemove>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    STDMETHODIMP get_Precision(LONG* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Precision(LONG value) override {
        radius_ = value;
        return S_OK;
    }
    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    LONG radius_ = 1;
};

class TransformErosion final
    : public com::ComObject<TransformErosion, GdiplusTransform<TransformErosion>, com::Dispatch<ITransformErosion>,
                            com::SupportErrorInfo<ITransformErosion>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    STDMETHODIMP get_Strength(LONG* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Strength(LONG value) override {
        radius_ = value;
        return S_OK;
    }
    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    LONG radius_ = 1;
};

class TransformExpand final
    : public com::ComObject<TransformExpand, GdiplusTransform<TransformExpand>, com::Dispatch<ITransformExpand>,
                            com::SupportErrorInfo<ITransformExpand>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;
    STDMETHODIMP get_Strength(LONG* value) override { return ReadProperty(radius_, value); }
    STDMETHODIMP put_Strength(LONG value) override {
        radius_ = value;
        return S_OK;
    }
    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    LONG radius_ = 1;
};

}  // namespace rastelle::transforms
