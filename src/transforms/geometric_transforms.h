// Transforms that change an image's geometry: resize, crop, rotation by any
// angle, and quarter turns with mirrors.
#pragma once

#include "transforms/transform_frame.h"

namespace rastelle::transforms {

class TransformResize final
    : public com::ComObject<TransformResize, com::Dispatch<ITransformResize>, com::SupportErrorInfo<ITransformResize>,
                            GdiplusTransform<TransformResize>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP get_NewHeight(LONG* value) override { return ReadProperty(newHeight_, value); }
    STDMETHODIMP put_NewHeight(LONG value) override {
        newHeight_ = value;
        return S_OK;
    }
    STDMETHODIMP get_NewWidth(LONG* value) override { return ReadProperty(newWidth_, value); }
    STDMETHODIMP put_NewWidth(LONG value) override {
        newWidth_ = value;
        return S_OK;
    }
    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override;
    STDMETHODIMP get_Quality(ResizeQualityTypes* value) override { return ReadProperty(quality_, value); }
    STDMETHODIMP put_Quality(ResizeQualityTypes value) override {
        quality_ = value;
        return S_OK;
    }
    STDMETHODIMP get_BackgroundColor(LONG* value) override { return ReadProperty(background_, value, E_INVALIDARG); }
    STDMETHODIMP put_BackgroundColor(LONG value) override {
        background_ = value;
        return S_OK;
    }

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    LONG newHeight_ = 100;
    LONG newWidth_ = 100;
    ResizeQualityTypes quality_ = rqtHighQualityBilinearMode;
    LONG background_ = -1;
};

class TransformCrop final
    : public com::ComObject<TransformCrop, com::Dispatch<ITransformCrop>, com::SupportErrorInfo<ITransformCrop>,
                            GdiplusTransform<TransformCrop>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override;
    STDMETHODIMP get_LeftUpperCornerX(LONG* value) override { return ReadProperty(x_, value); }
    STDMETHODIMP put_LeftUpperCornerX(LONG value) override {
        x_ = value;
        return S_OK;
    }
    STDMETHODIMP get_LeftUpperCornerY(LONG* value) override { return ReadProperty(y_, value); }
    STDMETHODIMP put_LeftUpperCornerY(LONG value) override {
        y_ = value;
        return S_OK;
    }
    STDMETHODIMP get_Width(LONG* value) override { return ReadProperty(width_, value); }
    STDMETHODIMP put_Width(LONG value) override {
        width_ = value;
        return S_OK;
    }
    STDMETHODIMP get_Height(LONG* value) override { return ReadProperty(height_, value); }
    STDMETHODIMP put_Height(LONG value) override {
        height_ = value;
        return S_OK;
    }
    STDMETHODIMP get_ResizeToTheOriginal(VARIANT_BOOL* value) override { return ReadProperty(resize_, value); }
    STDMETHODIMP put_ResizeToTheOriginal(VARIANT_BOOL value) override {
        resize_ = value;
        return S_OK;
    }
    STDMETHODIMP get_ResizeQuality(ResizeQualityTypes* value) override { return ReadProperty(quality_, value); }
    STDMETHODIMP put_ResizeQuality(ResizeQualityTypes value) override {
        quality_ = value;
        return S_OK;
    }
    STDMETHODIMP get_BackgroundColor(LONG* value) override { return ReadProperty(background_, value, E_INVALIDARG); }
    STDMETHODIMP put_BackgroundColor(LONG value) override {
        background_ = value;
        return S_OK;
    }

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    LONG x_ = 0;
    LONG y_ = 0;
    LONG width_ = 1;
    LONG height_ = 1;
    VARIANT_BOOL resize_ = 0;
    ResizeQualityTypes quality_ = rqtHighQualityBilinearMode;
    LONG background_ = -1;
};

class TransformRotate final
    : public com::ComObject<TransformRotate, com::Dispatch<ITransformRotate>, com::SupportErrorInfo<ITransformRotate>,
                            GdiplusTransform<TransformRotate>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override;
    STDMETHODIMP get_Angle(FLOAT* value) override { return ReadProperty(angle_, value, E_INVALIDARG); }
    STDMETHODIMP put_Angle(FLOAT value) override {
        angle_ = value;
        return S_OK;
    }
    STDMETHODIMP get_BackgroundColor(LONG* value) override { return ReadProperty(background_, value, E_INVALIDARG); }
    STDMETHODIMP put_BackgroundColor(LONG value) override {
        background_ = value;
        return S_OK;
    }

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    FLOAT angle_ = 0.0f;
    LONG background_ = 0x00FFFFFF;  // transparent white
};

class TransformFlipAndRotate final
    : public com::ComObject<TransformFlipAndRotate, com::Dispatch<ITransformFlipAndRotate>,
                            com::SupportErrorInfo<ITransformFlipAndRotate>, GdiplusTransform<TransformFlipAndRotate>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override;
    STDMETHODIMP get_FlipType(FlipAndRotateTypes* value) override { return ReadProperty(type_, value, E_INVALIDARG); }
    STDMETHODIMP put_FlipType(FlipAndRotateTypes value) override;

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    FlipAndRotateTypes type_ = fartNoRotateNoFlip;
};

// The canvas of a turn by `angle` degrees of a width x height image, and the
// shift that moves the turned image into it.
struct RotationCanvas {
    int width;
    int height;
    int dx;
    int dy;
};
RotationCanvas ComputeRotationCanvas(float angle, int width, int height);

}  // namespace rastelle::transforms
