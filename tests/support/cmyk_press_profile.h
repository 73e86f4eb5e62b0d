// A CMYK output profile built with Little CMS, so that the tests and the
// benchmarks need no profile file from elsewhere. Its inks are simple (the
// complement of sRGB with the grey component as black, colour inks limited to
// 80 %), but it is a real Lab-based ICC profile that any colour engine can use.
#pragma once

#include <lcms2.h>

#include <algorithm>
#include <memory>

namespace rastelle::test {
namespace press_profile {

using UniqueProfile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;
using UniqueTransform = std::unique_ptr<void, decltype(&cmsDeleteTransform)>;

// Lab <-> sRGB transforms in doubles for the samplers.
struct LabRgb {
    UniqueTransform toRgb{nullptr, &cmsDeleteTransform}, toLab{nullptr, &cmsDeleteTransform};
};

// CMYK -> Lab: the ink's complement as sRGB.
inline cmsInt32Number CmykToLab(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const auto& t = *static_cast<LabRgb*>(cargo);
    const double k = in[3] / 65535.0;
    const double rgb[3] = {(1 - in[0] / 65535.0) * (1 - k), (1 - in[1] / 65535.0) * (1 - k), (1 - in[2] / 65535.0) * (1 - k)};
    cmsCIELab lab;
    cmsDoTransform(t.toLab.get(), rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

// Lab -> CMYK: sRGB, then the grey component replaced by black; colour inks
// at most 80 %.
inline cmsInt32Number LabToCmyk(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const auto& t = *static_cast<LabRgb*>(cargo);
    cmsCIELab lab;
    cmsLabEncoded2Float(&lab, in);
    double rgb[3];
    cmsDoTransform(t.toRgb.get(), &lab, rgb, 1);
    const double m = std::clamp(std::max({rgb[0], rgb[1], rgb[2]}), 0.0, 1.0);
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<cmsUInt16Number>((m <= 0 ? 0.0 : std::clamp((m - rgb[i]) / m, 0.0, 1.0) * 0.8) * 65535.0 + 0.5);
    out[3] = static_cast<cmsUInt16Number>((1 - m) * 65535.0 + 0.5);
    return TRUE;
}

}  // namespace press_profile

// Writes an output-class CMYK profile with Lab as connection space to the
// file named; false when Little CMS cannot.
inline bool WriteCmykPressProfile(const char* fileName) {
    using namespace press_profile;
    LabRgb cargo;
    UniqueProfile lab(cmsCreateLab4Profile(nullptr), &cmsCloseProfile);
    UniqueProfile srgb(cmsCreate_sRGBProfile(), &cmsCloseProfile);
    cargo.toRgb.reset(cmsCreateTransform(lab.get(), TYPE_Lab_DBL, srgb.get(), TYPE_RGB_DBL, INTENT_PERCEPTUAL, 0));
    cargo.toLab.reset(cmsCreateTransform(srgb.get(), TYPE_RGB_DBL, lab.get(), TYPE_Lab_DBL, INTENT_PERCEPTUAL, 0));
    if (!cargo.toRgb || !cargo.toLab) return false;

    UniqueProfile profile(cmsCreateProfilePlaceholder(nullptr), &cmsCloseProfile);
    cmsSetProfileVersion(profile.get(), 4.3);
    cmsSetDeviceClass(profile.get(), cmsSigOutputClass);
    cmsSetColorSpace(profile.get(), cmsSigCmykData);
    cmsSetPCS(profile.get(), cmsSigLabData);
    cmsWriteTag(profile.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
    for (const bool forward : {true, false}) {
        cmsPipeline* pipeline = forward ? cmsPipelineAlloc(nullptr, 4, 3) : cmsPipelineAlloc(nullptr, 3, 4);
        cmsStage* clut = forward ? cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr)
                                 : cmsStageAllocCLut16bit(nullptr, 17, 3, 4, nullptr);
        cmsStageSampleCLut16bit(clut, forward ? &CmykToLab : &LabToCmyk, &cargo, 0);
        // A v4 lookup table is curves, table, curves: identity curves here.
        cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, forward ? 4 : 3, nullptr));
        cmsPipelineInsertStage(pipeline, cmsAT_END, clut);
        cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, forward ? 3 : 4, nullptr));
        cmsWriteTag(profile.get(), forward ? cmsSigAToB0Tag : cmsSigBToA0Tag, pipeline);
        cmsPipelineFree(pipeline);
    }
    return cmsSaveProfileToFile(profile.get(), fileName) != 0;
}

}  // namespace rastelle::test
