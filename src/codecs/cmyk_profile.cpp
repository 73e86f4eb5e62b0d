#include "codecs/cmyk_profile.h"

#include <lcms2.h>

#include <new>

namespace rastelle::codecs {

namespace {

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using UniqueProfile = std::unique_ptr<void, ProfileCloser>;

}  // namespace

CmykProfileTransform::~CmykProfileTransform() { cmsDeleteTransform(transform_); }

std::unique_ptr<CmykProfileTransform> CmykProfileTransform::Open(const std::vector<std::uint8_t>& profile) noexcept {
    if (profile.empty() || profile.size() > 0xFFFFFFFFu) return nullptr;
    UniqueProfile output(cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())));
    if (!output || cmsGetColorSpace(output.get()) != cmsSigCmykData) return nullptr;
    UniqueProfile srgb(cmsCreate_sRGBProfile());
    if (!srgb) return nullptr;
    // Pixels are stored as blue, green, red, alpha bytes; the alpha byte is
    // an extra channel the transform skips. The perceptual intent, as for
    // photographs printed on a press: out-of-gamut colours are compressed
    // rather than clipped. The transform's one-pixel cache stays on: a
    // transform serves one save on one thread, and flat areas repeat pixels.
    cmsHTRANSFORM transform =
        cmsCreateTransform(srgb.get(), TYPE_BGRA_8, output.get(), TYPE_CMYK_8, INTENT_PERCEPTUAL, 0);
    if (!transform) return nullptr;
    std::unique_ptr<CmykProfileTransform> result(new (std::nothrow) CmykProfileTransform(transform));
    if (!result) cmsDeleteTransform(transform);
    return result;
}

void CmykProfileTransform::Separate(const kernels::ConstImageView& src, const kernels::ImageView& dst) const noexcept {
    // TYPE_CMYK_8 holds ink amounts with 0 = no ink, in C, M, Y, K order.
    for (int y = 0; y < src.height; ++y)
        cmsDoTransform(transform_, src.row(y), dst.row(y), static_cast<cmsUInt32Number>(src.width));
}

}  // namespace rastelle::codecs
