// RastelleEffects.dll: the effect component. Its class table, entry points
// and registration; everything else is shared with Rastelle.dll.

#include "com/server_classes.h"
#include "effects/effect_classes.h"

#include <windows.h>

#include <atomic>

namespace rastelle::effects {
namespace {

// LIBID of RastelleEffectsLib.
constexpr GUID kLibId = {0x4B1B5914, 0x1117, 0x4055, {0x8C, 0xFB, 0xC8, 0xDD, 0x42, 0x98, 0xF8, 0x21}};

#define RASTELLE_EFFECT_ENTRY(Name, Class)                                                                    \
    {&transforms::ExternalEffectClassOf(ExternalEffect::Name).clsid, L"RastelleEffects." #Name ".1",         \
     L"RastelleEffects." #Name, L## #Name L" Class", true, true, false, &Class::Create}

const com::ClassEntry kClasses[] = {
    RASTELLE_EFFECT_ENTRY(AutoLevel, AutoLevelEffect),
    RASTELLE_EFFECT_ENTRY(Antialiasing, AntialiasingEffect),
    RASTELLE_EFFECT_ENTRY(Greyscale, GreyscaleEffect),
    RASTELLE_EFFECT_ENTRY(Waddle, WaddleEffect),
    RASTELLE_EFFECT_ENTRY(Lightness, LightnessEffect),
    RASTELLE_EFFECT_ENTRY(Contrast, ContrastEffect),
    RASTELLE_EFFECT_ENTRY(AddNoise, AddNoiseEffect),
    RASTELLE_EFFECT_ENTRY(Spray, SprayEffect),
    RASTELLE_EFFECT_ENTRY(Mosaic, MosaicEffect),
    RASTELLE_EFFECT_ENTRY(Sinusize, SinusizeEffect),
    RASTELLE_EFFECT_ENTRY(Swirl, SwirlEffect),
    RASTELLE_EFFECT_ENTRY(EllipseCrop, EllipseCropEffect),
    RASTELLE_EFFECT_ENTRY(Solarize, SolarizeEffect),
    RASTELLE_EFFECT_ENTRY(HSLColorize, HslColorizeEffect),
    RASTELLE_EFFECT_ENTRY(Texturize, TexturizeEffect),
    RASTELLE_EFFECT_ENTRY(Sharpen, SharpenEffect),
    RASTELLE_EFFECT_ENTRY(Emboss, EmbossEffect),
    RASTELLE_EFFECT_ENTRY(EdgeDetect, EdgeDetectEffect),
    RASTELLE_EFFECT_ENTRY(SwapChannels, SwapChannelsEffect),
    RASTELLE_EFFECT_ENTRY(Buttonize, ButtonizeEffect),
    RASTELLE_EFFECT_ENTRY(PageCurl, PageCurlEffect),
};

#undef RASTELLE_EFFECT_ENTRY

com::ServerDescription Server() { return {kClasses, &kLibId, nullptr}; }
HRESULT RegisterServer() noexcept { return com::RegisterServerClasses(Server()); }
HRESULT UnregisterServer() noexcept { return com::UnregisterServerClasses(Server()); }

std::atomic<com::ClassFactory*> g_classObjectSlots[std::size(kClasses)] = {};
com::ClassObjectCache g_classObjects(kClasses, g_classObjectSlots);

}  // namespace
}  // namespace rastelle::effects

RASTELLE_SERVER_ENTRY_POINTS(rastelle::effects::g_classObjects, rastelle::effects::RegisterServer,
                             rastelle::effects::UnregisterServer)
