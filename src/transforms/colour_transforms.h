// Transforms that change colours in place: a colour matrix per channel, and
// colour-keyed transparency.
#pragma once

#include "transforms/transform_frame.h"

namespace rastelle::transforms {

class TransformEqualize final
    : public com::ComObject<TransformEqualize, com::Dispatch<ITransformEqualize>,
                            com::SupportErrorInfo<ITransformEqualize>, GdiplusTransform<TransformEqualize>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override;
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

}  // namespace rastelle::transforms
