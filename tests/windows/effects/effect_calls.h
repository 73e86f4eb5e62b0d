// The 23 effect methods of RasterObject, each called with distinct
// arguments 101, 102, ... (Texturize's Shift 2.5), for the tests of the
// methods and of the effect component.
#pragma once

#include "rastelle_h.h"

#include <functional>
#include <vector>

namespace rastelle::test {

struct EffectCall {
    const char* name;
    std::function<HRESULT(IRasterObject*)> call;
};

inline const std::vector<EffectCall>& EffectCalls() {
    static const std::vector<EffectCall> calls = {
        {"AutoLevel", [](IRasterObject* r) { return r->AutoLevel(); }},
        {"Antialiasing", [](IRasterObject* r) { return r->Antialiasing(); }},
        {"Greyscale", [](IRasterObject* r) { return r->Greyscale(); }},
        {"Waddle", [](IRasterObject* r) { return r->Waddle(); }},
        {"Lightness", [](IRasterObject* r) { return r->Lightness(101); }},
        {"AutoLightness", [](IRasterObject* r) { return r->AutoLightness(); }},
        {"Contrast", [](IRasterObject* r) { return r->Contrast(101); }},
        {"AutoContrast", [](IRasterObject* r) { return r->AutoContrast(); }},
        {"AddNoise", [](IRasterObject* r) { return r->AddNoise(101, 102); }},
        {"Spray", [](IRasterObject* r) { return r->Spray(101, 102, 103); }},
        {"Mosaic", [](IRasterObject* r) { return r->Mosaic(101, 102); }},
        {"Sinusize", [](IRasterObject* r) { return r->Sinusize(101, 102, 103, 104, 105, 106, 107); }},
        {"Swirl", [](IRasterObject* r) { return r->Swirl(101); }},
        {"EllipseCrop", [](IRasterObject* r) { return r->EllipseCrop(101, 102, 103, 104, 105); }},
        {"Solarize", [](IRasterObject* r) { return r->Solarize(101); }},
        {"HSLColorize", [](IRasterObject* r) { return r->HSLColorize(101, 102, 103); }},
        {"Texturize", [](IRasterObject* r) { return r->Texturize(101, 2.5f); }},
        {"Sharpen", [](IRasterObject* r) { return r->Sharpen(101); }},
        {"Emboss", [](IRasterObject* r) { return r->Emboss(101); }},
        {"EdgeDetect", [](IRasterObject* r) { return r->EdgeDetect(101); }},
        {"SwapChannels", [](IRasterObject* r) { return r->SwapChannels(101, 102, 103, 104); }},
        {"Buttonize", [](IRasterObject* r) { return r->Buttonize(101, 102, 103); }},
        {"PageCurl", [](IRasterObject* r) { return r->PageCurl(101, 102, 103, 104, 105); }},
    };
    return calls;
}

}  // namespace rastelle::test
