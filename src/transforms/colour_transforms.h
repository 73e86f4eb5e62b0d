// Transforms that change colours in place: a colour matrix per channel, and
// colour-keyed transparency.
#pragma once

#include "transforms/transform_frame.h"

namespace rastelle::transforms {

class TransformEqualize final
    : public ArrayTransformClass<TransformEqualize, ITransformEqualize, CLSID_TransformEqualize> {
public:
    static constexpr char kClassName[] = "TransformEqualize";
    static constexpr ConversionMessages kMessages{L"Cannot retrieve bitmap data to the color equalize Transform",
                                                 L"Cannot retrieve bitmap data from the color equalize Transform"};

    STDMETHODIMP get_RedMultiplier(FLOAT* value) override { return ReadProperty(multipliers_[0], value); }
    STDMETHODIMP put_RedMultiplier(FLOAT value) override { return SetMultiplier(0, value); }
    STDMETHODIMP get_RedAddend(FLOAT* value) override { return ReadProperty(addends_[0], value); }
    STDMETHODIMP put_RedAddend(FLOAT value) override { return SetAddend(0, value); }
    STDMETHODIMP get_GreenMultiplier(FLOAT* value) override { return ReadProperty(multipliers_[1], value); }
    STDMETHODIMP put_GreenMultiplier(FLOAT value) override { return SetMultiplier(1, value); }
    STDMETHODIMP get_GreenAddend(FLOAT* value) override { return ReadProperty(addends_[1], value); }
    STDMETHODIMP put_GreenAddend(FLOAT value) override { return SetAddend(1, value); }
    STDMETHODIMP get_BlueMultiplier(FLOAT* value) override { return ReadProperty(multipliers_[2], value); }
    STDMETHODIMP put_BlueMultiplier(FLOAT value) override { return SetMultiplier(2, value); }
    STDMETHODIMP get_BlueAddend(FLOAT* value) override { return ReadProperty(addends_[2], value); }
    STDMETHODIMP put_BlueAddend(FLOAT value) override { return SetAddend(2, value); }
    STDMETHODIMP get_AlphaMultiplier(FLOAT* value) override { return ReadProperty(multipliers_[3], value); }
    STDMETHODIMP put_AlphaMultiplier(FLOAT value) override { return SetMultiplier(3, value); }
    STDMETHODIMP get_AlphaAddend(FLOAT* value) override { return ReadProperty(addends_[3], value); }
    STDMETHODIMP put_AlphaAddend(FLOAT value) override { return SetAddend(3, value); }

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    HRESULT SetMultiplier(int channel, FLOAT value) noexcept;
    // Addends are fractions of full scale, kept in [-1, 1].
    HRESULT SetAddend(int channel, FLOAT value) noexcept;

    // Red, green, blue, alpha.
    FLOAT multipliers_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    FLOAT addends_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

class TransformTransparentize final
    : public TransformClass<TransformTransparentize, ITransformTransparentize, CLSID_TransformTransparentize> {
public:
    static constexpr char kClassName[] = "TransformTransparentize";
    static constexpr FailureStyle kFailureStyle{"ApplyMe", true, E_FAIL};

    // Works on the arrays directly, without bitmaps.
    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override;
    // The colour is kept as its blue, green and red bytes and reads back opaque.
    STDMETHODIMP get_TransparentColor(LONG* value) override;
    STDMETHODIMP put_TransparentColor(LONG value) override;
    STDMETHODIMP get_Threshold(BYTE* value) override { return ReadProperty(threshold_, value, E_INVALIDARG); }
    STDMETHODIMP put_Threshold(BYTE value) override { return WriteProperty(threshold_, value); }

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept;

private:
    std::uint32_t color_ = 0xFFFFFF;  // red << 16 | green << 8 | blue
    BYTE threshold_ = 50;
};

}  // namespace rastelle::transforms
