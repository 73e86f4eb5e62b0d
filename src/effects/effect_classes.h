// The classes of the effect component. Each serves its dual interface (Apply
// on PixelArrays and its properties by name) and the bitmap hand-over through
// which a RasterObject applies it, and runs one kernel of
// kernels/effects/effects.h on a copy of the input.
#pragma once

#include "kernels/effects/effects.h"
#include "transforms/external_effects.h"
#include "transforms/transform_frame.h"
#include "RastelleEffects_h.h"

namespace rastelle::effects {

using transforms::ExternalEffect;
using kernels::ConstImageView;
using kernels::ImageView;

inline constexpr transforms::ConversionMessages kEffectMessages{
    L"Cannot retrieve bitmap data to the effect", L"Cannot retrieve bitmap data from the effect"};

// The PixelArray in a VARIANT (VT_ARRAY | VT_I4, or a reference to one or
// to a VARIANT holding one), or null.
SAFEARRAY* PixelArrayArgument(const VARIANT& input) noexcept;
// Makes array the new value of the VARIANT that output refers to.
void StoreArrayOut(SAFEARRAY* array, VARIANT& output) noexcept;

// IDispatch of an effect's own interface, as its type information says,
// except that Apply also takes its output as a VARIANT reference: the only
// form in which a script can pass it (the type library's SAFEARRAY(long)*
// refuses it with a type mismatch).
template <class Derived, class Itf>
class ScriptDispatch : public com::Dispatch<Itf> {
public:
    static constexpr DISPID kApplyId = 1;

    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override {
        if (id == kApplyId && (flags & DISPATCH_METHOD) && params && params->cArgs == 2 &&
            params->cNamedArgs == 0 && params->rgvarg[0].vt == (VT_BYREF | VT_VARIANT)) {
            SAFEARRAY* output = nullptr;
            const HRESULT hr = static_cast<Derived*>(this)->Apply(PixelArrayArgument(params->rgvarg[1]), &output);
            if (SUCCEEDED(hr)) StoreArrayOut(output, params->rgvarg[0]);
            return hr;
        }
        return com::Dispatch<Itf>::Invoke(id, riid, locale, flags, params, result, exception, argError);
    }
};

// The frame of an effect class. Derived names kClassName, kTransformName
// (RASTELLE_EFFECT_NAMES) and
//   void RunKernel(ConstImageView in, ImageView out) const
template <class Derived, class Itf, ExternalEffect effect>
class EffectClass : public com::ComObject<Derived, ScriptDispatch<Derived, Itf>, com::SupportErrorInfo<Itf>,
                                          transforms::GdiplusTransform<Derived>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept {
        return com::CreateComObject<Derived>(outer, iid, out);
    }
    static com::ErrorOrigin Origin() noexcept {
        return {transforms::ExternalEffectClassOf(effect).clsid, __uuidof(Itf)};
    }

    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override {
        return transforms::ApplyThroughBitmaps(static_cast<Derived&>(*this), Origin(), kEffectMessages, input, output);
    }

    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
        const auto& self = static_cast<const Derived&>(*this);
        return transforms::DoTransform(Origin(), Derived::kClassName, Derived::kTransformName, input, result,
                                       [&self](ConstImageView in, ImageView out) { self.RunKernel(in, out); });
    }
};

#define RASTELLE_EFFECT_WIDEN(text) L##text
#define RASTELLE_EFFECT_NAMES(Name)                 \
    static constexpr char kClassName[] = #Name;     \
    static constexpr wchar_t kTransformName[] = RASTELLE_EFFECT_WIDEN(#Name)

// A stored property: its getter and setter.
#define RASTELLE_EFFECT_PROPERTY(Type, Name, member)                                                  \
    STDMETHODIMP get_##Name(Type* value) override { return com::ReadProperty(member, value); }        \
    STDMETHODIMP put_##Name(Type value) override { return com::WriteProperty(member, value); }

inline std::uint32_t Colour(LONG argb) noexcept { return static_cast<std::uint32_t>(argb); }

// Effects without parameters.
template <class Derived, class Itf, ExternalEffect effect, void (*kernel)(const ConstImageView&, const ImageView&)>
class PlainEffect : public EffectClass<Derived, Itf, effect> {
public:
    void RunKernel(ConstImageView in, ImageView out) const { kernel(in, out); }
};

class AutoLevelEffect final
    : public PlainEffect<AutoLevelEffect, IAutoLevel, ExternalEffect::AutoLevel, &kernels::effects::AutoLevel> {
public:
    RASTELLE_EFFECT_NAMES(AutoLevel);
};
class AntialiasingEffect final : public PlainEffect<AntialiasingEffect, IAntialiasing, ExternalEffect::Antialiasing,
                                                    &kernels::effects::Antialias> {
public:
    RASTELLE_EFFECT_NAMES(Antialiasing);
};
class GreyscaleEffect final
    : public PlainEffect<GreyscaleEffect, IGreyscale, ExternalEffect::Greyscale, &kernels::effects::Greyscale> {
public:
    RASTELLE_EFFECT_NAMES(Greyscale);
};
class WaddleEffect final
    : public PlainEffect<WaddleEffect, IWaddle, ExternalEffect::Waddle, &kernels::effects::Waddle> {
public:
    RASTELLE_EFFECT_NAMES(Waddle);
};

// Lightness and Contrast: a signed amount, or (AutoMode non-zero) automatic.
template <class Derived, class Itf, ExternalEffect effect, void (*byAmount)(const ConstImageView&, const ImageView&, int),
          void (*automatic)(const ConstImageView&, const ImageView&)>
class AdjustEffect : public EffectClass<Derived, Itf, effect> {
public:
    RASTELLE_EFFECT_PROPERTY(LONG, Amount, amount_)
    RASTELLE_EFFECT_PROPERTY(LONG, AutoMode, autoMode_)
    void RunKernel(ConstImageView in, ImageView out) const { autoMode_ ? automatic(in, out) : byAmount(in, out, amount_); }

private:
    LONG amount_ = 0;
    LONG autoMode_ = 0;
};

class LightnessEffect final : public AdjustEffect<LightnessEffect, ILightness, ExternalEffect::Lightness,
                                                  &kernels::effects::Lightness, &kernels::effects::AutoLightness> {
public:
    RASTELLE_EFFECT_NAMES(Lightness);
};
class ContrastEffect final : public AdjustEffect<ContrastEffect, IContrast, ExternalEffect::Contrast,
                                                 &kernels::effects::Contrast, &kernels::effects::AutoContrast> {
public:
    RASTELLE_EFFECT_NAMES(Contrast);
};

class AddNoiseEffect final : public EffectClass<AddNoiseEffect, IAddNoise, ExternalEffect::AddNoise> {
public:
    RASTELLE_EFFECT_NAMES(AddNoise);
    RASTELLE_EFFECT_PROPERTY(LONG, Amount, amount_)
    RASTELLE_EFFECT_PROPERTY(LONG, IsMonochrome, monochrome_)
    void RunKernel(ConstImageView in, ImageView out) const { kernels::effects::AddNoise(in, out, amount_, monochrome_ != 0); }

private:
    LONG amount_ = 20;
    LONG monochrome_ = 0;
};

class SprayEffect final : public EffectClass<SprayEffect, ISpray, ExternalEffect::Spray> {
public:
    RASTELLE_EFFECT_NAMES(Spray);
    RASTELLE_EFFECT_PROPERTY(LONG, Amount, amount_)
    RASTELLE_EFFECT_PROPERTY(LONG, BackgroundColor, background_)
    RASTELLE_EFFECT_PROPERTY(LONG, FrameWidth, frameWidth_)
    void RunKernel(ConstImageView in, ImageView out) const {
        kernels::effects::Spray(in, out, amount_, frameWidth_, Colour(background_));
    }

private:
    LONG amount_ = 5;
    LONG background_ = -1;
    LONG frameWidth_ = 0;
};

class MosaicEffect final : public EffectClass<MosaicEffect, IMosaic, ExternalEffect::Mosaic> {
public:
    RASTELLE_EFFECT_NAMES(Mosaic);
    RASTELLE_EFFECT_PROPERTY(LONG, CellHeight, cellHeight_)
    RASTELLE_EFFECT_PROPERTY(LONG, CellWidth, cellWidth_)
    void RunKernel(ConstImageView in, ImageView out) const { kernels::effects::Mosaic(in, out, cellWidth_, cellHeight_); }

private:
    LONG cellHeight_ = 8;
    LONG cellWidth_ = 8;
};

class SinusizeEffect final : public EffectClass<SinusizeEffect, ISinusize, ExternalEffect::Sinusize> {
public:
    RASTELLE_EFFECT_NAMES(Sinusize);
    RASTELLE_EFFECT_PROPERTY(LONG, HorizontalAmplitude, p_.horizontalAmplitude)
    RASTELLE_EFFECT_PROPERTY(LONG, VerticalAmplitude, p_.verticalAmplitude)
    RASTELLE_EFFECT_PROPERTY(LONG, HorizontalWaveLength, p_.horizontalWaveLength)
    RASTELLE_EFFECT_PROPERTY(LONG, VerticalWaveLength, p_.verticalWaveLength)
    RASTELLE_EFFECT_PROPERTY(LONG, HorizontalStartPhase, p_.horizontalStartPhase)
    RASTELLE_EFFECT_PROPERTY(LONG, VerticalStartPhase, p_.verticalStartPhase)
    RASTELLE_EFFECT_PROPERTY(LONG, BackgroundColor, p_.background)
    void RunKernel(ConstImageView in, ImageView out) const { kernels::effects::Sinusize(in, out, p_); }

private:
    kernels::effects::SinusizeParameters p_{10, 100, 0, 0, 100, 0, 0xFFFFFFFFu};
};

class SwirlEffect final : public EffectClass<SwirlEffect, ISwirl, ExternalEffect::Swirl> {
public:
    RASTELLE_EFFECT_NAMES(Swirl);
    RASTELLE_EFFECT_PROPERTY(LONG, Amount, amount_)
    void RunKernel(ConstImageView in, ImageView out) const { kernels::effects::Swirl(in, out, amount_); }

private:
    LONG amount_ = 90;
};

class EllipseCropEffect final : public EffectClass<EllipseCropEffect, IEllipseCrop, ExternalEffect::EllipseCrop> {
public:
    RASTELLE_EFFECT_NAMES(EllipseCrop);
    RASTELLE_EFFECT_PROPERTY(LONG, VerticalRadius, verticalRadius_)
    RASTELLE_EFFECT_PROPERTY(LONG, HorizontalRadius, horizontalRadius_)
    RASTELLE_EFFECT_PROPERTY(LONG, BackgroundColor, background_)
    RASTELLE_EFFECT_PROPERTY(LONG, X, x_)
    RASTELLE_EFFECT_PROPERTY(LONG, Y, y_)
    void RunKernel(ConstImageView in, ImageView out) const {
        kernels::effects::EllipseCrop(in, out, x_, y_, horizontalRadius_, verticalRadius_, Colour(background_));
    }

private:
    LONG verticalRadius_ = 50;
    LONG horizontalRadius_ = 50;
    LONG background_ = -1;
    LONG x_ = 50;
    LONG y_ = 50;
};

class SolarizeEffect final : public EffectClass<SolarizeEffect, ISolarize, ExternalEffect::Solarize> {
public:
    RASTELLE_EFFECT_NAMES(Solarize);
    RASTELLE_EFFECT_PROPERTY(LONG, ThresholdColor, threshold_)
    void RunKernel(ConstImageView in, ImageView out) const { kernels::effects::Solarize(in, out, Colour(threshold_)); }

private:
    LONG threshold_ = 0x808080;
};

class HslColorizeEffect final : public EffectClass<HslColorizeEffect, IHSLColorize, ExternalEffect::HSLColorize> {
public:
    RASTELLE_EFFECT_NAMES(HSLColorize);
    RASTELLE_EFFECT_PROPERTY(LONG, Hue, hue_)
    RASTELLE_EFFECT_PROPERTY(LONG, Saturation, saturation_)
    RASTELLE_EFFECT_PROPERTY(LONG, Lightness, lightness_)
    void RunKernel(ConstImageView in, ImageView out) const { kernels::effects::HslColorize(in, out, hue_, saturation_, lightness_); }

private:
    LONG hue_ = 0;
    LONG saturation_ = 50;
    LONG lightness_ = 0;
};

class TexturizeEffect final : public EffectClass<TexturizeEffect, ITexturize, ExternalEffect::Texturize> {
public:
    RASTELLE_EFFECT_NAMES(Texturize);
    RASTELLE_EFFECT_PROPERTY(LONG, Amount, amount_)
    RASTELLE_EFFECT_PROPERTY(FLOAT, Shift, shift_)
    void RunKernel(ConstImageView in, ImageView out) const { kernels::effects::Texturize(in, out, amount_, shift_); }

private:
    LONG amount_ = 50;
    FLOAT shift_ = 8.0f;
};

// Sharpen, Emboss, EdgeDetect: one integer parameter.
template <class Derived, class Itf, ExternalEffect effect, void (*kernel)(const ConstImageView&, const ImageView&, int), LONG initial>
class SingleParameterEffect : public EffectClass<Derived, Itf, effect> {
public:
    void RunKernel(ConstImageView in, ImageView out) const { kernel(in, out, value_); }

protected:
    LONG value_ = initial;
};

class SharpenEffect final
    : public SingleParameterEffect<SharpenEffect, ISharpen, ExternalEffect::Sharpen, &kernels::effects::Sharpen, 16> {
public:
    RASTELLE_EFFECT_NAMES(Sharpen);
    RASTELLE_EFFECT_PROPERTY(LONG, Strength, value_)
};
class EmbossEffect final
    : public SingleParameterEffect<EmbossEffect, IEmboss, ExternalEffect::Emboss, &kernels::effects::Emboss, 1> {
public:
    RASTELLE_EFFECT_NAMES(Emboss);
    RASTELLE_EFFECT_PROPERTY(LONG, Type, value_)
};
class EdgeDetectEffect final : public SingleParameterEffect<EdgeDetectEffect, IEdgeDetect, ExternalEffect::EdgeDetect,
                                                            &kernels::effects::EdgeDetect, 0> {
public:
    RASTELLE_EFFECT_NAMES(EdgeDetect);
    RASTELLE_EFFECT_PROPERTY(LONG, Type, value_)
};

class SwapChannelsEffect final
    : public EffectClass<SwapChannelsEffect, ISwapChannels, ExternalEffect::SwapChannels> {
public:
    RASTELLE_EFFECT_NAMES(SwapChannels);
    RASTELLE_EFFECT_PROPERTY(LONG, Red, sources_[0])
    RASTELLE_EFFECT_PROPERTY(LONG, Green, sources_[1])
    RASTELLE_EFFECT_PROPERTY(LONG, Blue, sources_[2])
    RASTELLE_EFFECT_PROPERTY(LONG, Alpha, sources_[3])
    void RunKernel(ConstImageView in, ImageView out) const {
        kernels::effects::SwapChannels(in, out, sources_[0], sources_[1], sources_[2], sources_[3]);
    }

private:
    LONG sources_[4] = {0, 1, 2, 3};  // red, green, blue, alpha: unchanged
};

class ButtonizeEffect final : public EffectClass<ButtonizeEffect, IButtonize, ExternalEffect::Buttonize> {
public:
    RASTELLE_EFFECT_NAMES(Buttonize);
    RASTELLE_EFFECT_PROPERTY(LONG, FrameOpacity, frameOpacity_)
    RASTELLE_EFFECT_PROPERTY(LONG, FrameWidth, frameWidth_)
    RASTELLE_EFFECT_PROPERTY(LONG, Type, type_)
    void RunKernel(ConstImageView in, ImageView out) const { kernels::effects::Buttonize(in, out, type_, frameWidth_, frameOpacity_); }

private:
    LONG frameOpacity_ = 70;
    LONG frameWidth_ = 10;
    LONG type_ = 0;
};

class PageCurlEffect final : public EffectClass<PageCurlEffect, IPageCurl, ExternalEffect::PageCurl> {
public:
    RASTELLE_EFFECT_NAMES(PageCurl);
    RASTELLE_EFFECT_PROPERTY(LONG, Width, width_)
    RASTELLE_EFFECT_PROPERTY(LONG, Height, height_)
    RASTELLE_EFFECT_PROPERTY(LONG, BackgroundColor, background_)
    RASTELLE_EFFECT_PROPERTY(LONG, CurlColor, curlColor_)
    RASTELLE_EFFECT_PROPERTY(LONG, CurlMode, curlMode_)
    void RunKernel(ConstImageView in, ImageView out) const {
        kernels::effects::PageCurl(in, out, width_, height_, curlMode_, Colour(curlColor_), Colour(background_));
    }

private:
    LONG width_ = 100;
    LONG height_ = 100;
    LONG background_ = -1;
    LONG curlColor_ = -52;
    LONG curlMode_ = 5;
};

#undef RASTELLE_EFFECT_PROPERTY
#undef RASTELLE_EFFECT_NAMES
#undef RASTELLE_EFFECT_WIDEN

}  // namespace rastelle::effects
