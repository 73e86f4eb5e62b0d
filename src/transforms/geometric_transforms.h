// Transforms that change an image's geometry: resize, crop, rotation by any
// angle, and quarter turns with mirrors.
#pragma once

#include "transforms/transform_frame.h"

namespace rastelle::transforms {

class TransformResize final
    : public ArrayTransformClass<TransformResize, ITransformResize, CLSID_TransformResize> {
public:
    static constexpr char kClassName[] = "TransformResize";
    static constexpr ConversionMessages kMessages{L"Cannot retrieve bitmap data to the resize Transform",
                                                 L"Cannot retrieve bitmap data from the resize Transform", true};

    STDMETHODIMP get_NewHeight(LONG* value) override { return ReadProperty(newHeight_, value); }
    STDMETHODIMP put_NewHeight(LONG value) override { return WriteProperty(newHeight_, value); }
    STDMETHODIMP get_NewWidth(LONG* value) override { return ReadProperty(newWidth_, value); }
    STDMETHODIMP put_NewWidth(LONG value) override { return WriteProperty(newWidth_, value); }
    STDMETHODIMP get_Quality(ResizeQualityTypes* value) override { return ReadProperty(quality_, value); }
    STDMETHODIMP put_Quality(ResizeQualityTypes value) override { return WriteProperty(quality_, value); }
    STDMETHODIMP get_BackgroundColor(LONG* value) override { return ReadProperty(background_, value, E_INVALIDARG); }
    STDMETHODIMP put_BackgroundColor(LONG value) override { return WriteProperty(background_, value); }

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    LONG newHeight_ = 100;
    LONG newWidth_ = 100;
    ResizeQualityTypes quality_ = rqtHighQualityBilinearMode;
    LONG background_ = -1;
};

class TransformCrop final
    : public ArrayTransformClass<TransformCrop, ITransformCrop, CLSID_TransformCrop> {
public:
    static constexpr char kClassName[] = "TransformCrop";
    static constexpr ConversionMessages kMessages{L"Cannot retrieve bitmap data to the crop Transform",
                                                 L"Cannot retrieve bitmap data from the crop Transform"};

    STDMETHODIMP get_LeftUpperCornerX(LONG* value) override { return ReadProperty(x_, value); }
    STDMETHODIMP put_LeftUpperCornerX(LONG value) override { return WriteProperty(x_, value); }
    STDMETHODIMP get_LeftUpperCornerY(LONG* value) override { return ReadProperty(y_, value); }
    STDMETHODIMP put_LeftUpperCornerY(LONG value) override { return WriteProperty(y_, value); }
    STDMETHODIMP get_Width(LONG* value) override { return ReadProperty(width_, value); }
    STDMETHODIMP put_Width(LONG value) override { return WriteProperty(width_, value); }
    STDMETHODIMP get_Height(LONG* value) override { return ReadProperty(height_, value); }
    STDMETHODIMP put_Height(LONG value) override { return WriteProperty(height_, value); }
    STDMETHODIMP get_ResizeToTheOriginal(VARIANT_BOOL* value) override { return ReadProperty(resize_, value); }
    STDMETHODIMP put_ResizeToTheOriginal(VARIANT_BOOL value) override { return WriteProperty(resize_, value); }
    STDMETHODIMP get_ResizeQuality(ResizeQualityTypes* value) override { return ReadProperty(quality_, value); }
    STDMETHODIMP put_ResizeQuality(ResizeQualityTypes value) override { return WriteProperty(quality_, value); }
    STDMETHODIMP get_BackgroundColor(LONG* value) override { return ReadProperty(background_, value, E_INVALIDARG); }
    STDMETHODIMP put_BackgroundColor(LONG value) override { return WriteProperty(background_, value); }

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
    : public ArrayTransformClass<TransformRotate, ITransformRotate, CLSID_TransformRotate> {
public:
    static constexpr char kClassName[] = "TransformRotate";
    static constexpr ConversionMessages kMessages{L"Cannot retrieve bitmap data to the rotate transform",
                                                 L"Cannot retrieve bitmap data from the rotate transform"};

    STDMETHODIMP get_Angle(FLOAT* value) override { return ReadProperty(angle_, value, E_INVALIDARG); }
    STDMETHODIMP put_Angle(FLOAT value) override { return WriteProperty(angle_, value); }
    STDMETHODIMP get_BackgroundColor(LONG* value) override { return ReadProperty(background_, value, E_INVALIDARG); }
    STDMETHODIMP put_BackgroundColor(LONG value) override { return WriteProperty(background_, value); }

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    FLOAT angle_ = 0.0f;
    LONG background_ = 0x00FFFFFF;  // transparent white
};

class TransformFlipAndRotate final
    : public ArrayTransformClass<TransformFlipAndRotate, ITransformFlipAndRotate, CLSID_TransformFlipAndRotate> {
public:
    static constexpr char kClassName[] = "TransformFlipAndRotate";
    static constexpr ConversionMessages kMessages{L"Cannot retrieve bitmap data to the flip Transform",
                                                 L"Cannot retrieve bitmap data from the flip Transform"};
    static constexpr FailureStyle kFailureStyle{"DoFlipAndRotate", true, E_FAIL};

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
