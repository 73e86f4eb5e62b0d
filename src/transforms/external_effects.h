// The effect methods of RasterObject: each creates a class of the separate
// effect component by CLSID, passes its arguments to setters named by their
// vtable slots (the component's interfaces are known by layout only) and
// applies the object as a transform.
#pragma once

#include <oaidl.h>

#include <initializer_list>

namespace rastelle::transforms {

enum class ExternalEffect {
    AutoLevel,
    Antialiasing,
    Greyscale,
    Waddle,
    Lightness,
    AutoLightness,
    Contrast,
    AutoContrast,
    AddNoise,
    Spray,
    Mosaic,
    Sinusize,
    Swirl,
    EllipseCrop,
    Solarize,
    HSLColorize,
    Texturize,
    Sharpen,
    Emboss,
    EdgeDetect,
    SwapChannels,
    Buttonize,
    PageCurl,
    Count
};

// One setter call: the slot, and what it receives: an argument of the
// method by index, or a constant (kOff 0, kOn 1).
struct EffectSetter {
    static constexpr signed char kOff = -1;
    static constexpr signed char kOn = -2;
    unsigned char slot;  // 0 ends the list
    signed char source;
};

struct ExternalEffectClass {
    CLSID clsid;
    IID iid;  // the class's default interface, which the setters belong to
    EffectSetter setters[8];
};

const ExternalEffectClass& ExternalEffectClassOf(ExternalEffect effect) noexcept;

// An argument of an effect method: 32 bits, passed as an integer or (for
// Texturize's Shift) as a float.
struct EffectArgument {
    constexpr EffectArgument(LONG value) noexcept : integer(value) {}
    constexpr EffectArgument(float value) noexcept : isFloat(true), real(value) {}
    bool isFloat = false;
    LONG integer = 0;
    float real = 0.0f;
};

using ApplyEffectFunction = HRESULT (*)(void* context, IDispatch* effect) noexcept;

// Creates the effect's class (CLSCTX_ALL); on failure returns that HRESULT
// with nothing else done. Otherwise calls the setters in the table's order
// (their results and faults are ignored), hands the object to apply, releases it and
// returns what apply returned.
HRESULT RunExternalEffect(ExternalEffect effect, std::initializer_list<EffectArgument> arguments,
                          ApplyEffectFunction apply, void* context) noexcept;

template <class Apply>
HRESULT RunExternalEffect(ExternalEffect effect, std::initializer_list<EffectArgument> arguments,
                          Apply& apply) noexcept {
    auto call = [](void* context, IDispatch* object) noexcept { return (*static_cast<Apply*>(context))(object); };
    return RunExternalEffect(effect, arguments, call, &apply);
}

}  // namespace rastelle::transforms
