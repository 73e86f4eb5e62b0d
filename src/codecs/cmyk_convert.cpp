#include "codecs/cmyk_profile.h"
#include "codecs/cmyk_tiff.h"
#include "image/bitmap_lock.h"
#include "kernels/cmyk_separation.h"
#include "platform/capability_probe.h"
#include "platform/file_name.h"
#include "platform/gdiplus_raii.h"

namespace rastelle::codecs {

namespace {

platform::CapabilityProbe g_outputChannels("image attributes take an output channel", [] {
    UniqueImageAttributes attributes;
    if (gp::GdipCreateImageAttributes(attributes.put()) != Gdiplus::Ok) return false;
    return gp::GdipSetImageAttributesOutputChannel(attributes.get(), Gdiplus::ColorAdjustTypeDefault, TRUE,
                                                   Gdiplus::ColorChannelFlagsC) == Gdiplus::Ok;
});

// The channels in the order of the ink bytes of a CMYK pixel.
constexpr Gdiplus::ColorChannelFlags kChannels[] = {Gdiplus::ColorChannelFlagsC, Gdiplus::ColorChannelFlagsM,
                                                    Gdiplus::ColorChannelFlagsY, Gdiplus::ColorChannelFlagsK};

// The platform renders each channel as a grey level (full ink black); the
// ink amount of channel k is 255 minus the rendering's blue byte.
LONG SeparateWithOutputChannels(Bitmap& source, Bitmap& cmyk, const std::wstring& profile) {
    const int width = source.width();
    const int height = source.height();
    UniqueImageAttributes attributes;
    if (gp::GdipCreateImageAttributes(attributes.put()) != Gdiplus::Ok) return E_FAIL;
    UniqueImage rendering;
    {
        Gdiplus::GpBitmap* native = nullptr;
        if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &native) != Gdiplus::Ok)
            return E_FAIL;
        rendering.reset(native);
    }
    auto* renderingBitmap = static_cast<Gdiplus::GpBitmap*>(rendering.get());
    UniqueGraphics graphics;
    if (gp::GdipGetImageGraphicsContext(rendering.get(), graphics.put()) != Gdiplus::Ok) return E_FAIL;
    if (!profile.empty() &&
        gp::GdipSetImageAttributesOutputChannelColorProfile(attributes.get(), Gdiplus::ColorAdjustTypeDefault, TRUE,
                                                            profile.c_str()) != Gdiplus::Ok)
        return kCmykProfileFailed;

    PixelLock target;
    for (int k = 0; k < 4; ++k) {
        gp::GdipSetImageAttributesOutputChannel(attributes.get(), Gdiplus::ColorAdjustTypeDefault, TRUE, kChannels[k]);
        if (gp::GdipDrawImageRectRectI(graphics.get(), source.image(), 0, 0, width, height, 0, 0, width, height,
                                       Gdiplus::UnitPixel, attributes.get(), nullptr, nullptr) != Gdiplus::Ok)
            return E_FAIL;
        if (k == 0 && target.Lock(cmyk, Gdiplus::ImageLockModeWrite) != Gdiplus::Ok) return kCmykLockTargetFailed;
        PixelLock rendered;
        if (rendered.Lock(renderingBitmap, width, height, Gdiplus::ImageLockModeRead) != Gdiplus::Ok)
            return kCmykLockRenderingFailed;
        const kernels::ConstImageView in = rendered.view();
        const kernels::ImageView out = target.view();
        for (int y = 0; y < height; ++y) {
            const auto* from = reinterpret_cast<const std::uint8_t*>(in.row(y));
            auto* to = reinterpret_cast<std::uint8_t*>(out.row(y));
            for (int x = 0; x < width; ++x) to[4 * x + k] = static_cast<std::uint8_t>(255 - from[4 * x]);
        }
    }
    return target.Unlock() == Gdiplus::Ok ? 0 : kCmykLockTargetFailed;
}

// Far above any real output profile (a press profile is a few megabytes).
constexpr std::uint64_t kMaxProfileBytes = 64u << 20;

LONG SeparateOwn(Bitmap& source, Bitmap& cmyk, const std::wstring& profile) {
    std::unique_ptr<CmykProfileTransform> transform;
    if (!profile.empty()) {
        // Read by its wide name and parsed from memory: Little CMS opens
        // files by 8-bit names only.
        std::vector<std::uint8_t> bytes;
        if (platform::ReadWholeFile(platform::FileName(profile), kMaxProfileBytes, bytes) != ERROR_SUCCESS)
            return kCmykProfileFailed;
        transform = CmykProfileTransform::Open(bytes);
        if (!transform) return kCmykProfileFailed;
    }
    PixelLock target;
    if (target.Lock(cmyk, Gdiplus::ImageLockModeWrite) != Gdiplus::Ok) return kCmykLockTargetFailed;
    PixelLock input;
    if (input.Lock(source, Gdiplus::ImageLockModeRead) != Gdiplus::Ok) return kCmykLockRenderingFailed;
    if (transform)
        transform->Separate(input.view(), target.view());
    else
        kernels::SeparateCmykDefault(input.view(), target.view());
    input.Unlock();
    return target.Unlock() == Gdiplus::Ok ? 0 : kCmykLockTargetFailed;
}

}  // namespace

bool PlatformSeparatesOutputChannels() noexcept { return g_outputChannels.Result(); }

LONG ConvertToCmyk(Bitmap& source, Bitmap* cmyk, const std::wstring& profileFileName) {
    if (!cmyk || !cmyk->native()) return E_POINTER;
    return PlatformSeparatesOutputChannels() ? SeparateWithOutputChannels(source, *cmyk, profileFileName)
                                             : SeparateOwn(source, *cmyk, profileFileName);
}

}  // namespace rastelle::codecs
