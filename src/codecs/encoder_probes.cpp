#include "codecs/encoder_probes.h"

#include "codecs/encoder_choice.h"
#include "codecs/encode.h"
#include "com/com_ptr.h"
#include "image/bitmap_lock.h"
#include "platform/capability_probe.h"
#include "platform/gdiplus_raii.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace rastelle::codecs {

namespace {

// A small image of noise, which any real quality or compression setting
// encodes differently.
std::unique_ptr<Bitmap> NoiseImage() {
    constexpr int kSide = 16;
    std::unique_ptr<Bitmap> bitmap(Bitmap::Create(kSide, kSide));
    if (!bitmap || bitmap->lastStatus() != Gdiplus::Ok) return nullptr;
    PixelLock lock;
    if (lock.Lock(*bitmap, Gdiplus::ImageLockModeWrite) != Gdiplus::Ok) return nullptr;
    const kernels::ImageView pixels = lock.view();
    std::uint32_t seed = 12345;
    for (int y = 0; y < kSide; ++y) {
        std::uint32_t* row = pixels.row(y);
        for (int x = 0; x < kSide; ++x) {
            seed = seed * 1664525u + 1013904223u;
            row[x] = 0xFF000000u | (seed >> 8);
        }
    }
    if (lock.Unlock() != Gdiplus::Ok) return nullptr;
    return bitmap;
}

// The bytes the platform's encoder for mimeType writes for image with one
// Long parameter; empty when it fails.
std::vector<std::uint8_t> EncodeWithPlatform(Bitmap& image, const wchar_t* mimeType, const GUID& parameter,
                                             ULONG value) {
    std::vector<std::uint8_t> bytes;
    CLSID clsid{};
    if (GetEncoderClsid(mimeType, &clsid) < 0) return bytes;
    com::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return bytes;
    const EncoderParameterBlock parameters = EncoderParameterBlock::Of({{parameter, value}});
    if (gp::GdipSaveImageToStream(image.image(), stream.get(), &clsid, parameters.get()) != Gdiplus::Ok)
        return bytes;
    ReadWholeStream(stream.get(), bytes);
    return bytes;
}

bool EncodingsDiffer(const wchar_t* mimeType, const GUID& parameter, ULONG first, ULONG second) {
    const auto image = NoiseImage();
    if (!image) return false;
    const auto a = EncodeWithPlatform(*image, mimeType, parameter, first);
    const auto b = EncodeWithPlatform(*image, mimeType, parameter, second);
    return !a.empty() && !b.empty() && a != b;
}

platform::CapabilityProbe g_jpegQuality("JPEG encoder honours EncoderQuality", [] {
    return EncodingsDiffer(L"image/jpeg", kEncoderQuality, 10, 90);
});
platform::CapabilityProbe g_tiffCompression("TIFF encoder honours EncoderCompression", [] {
    return EncodingsDiffer(L"image/tiff", kEncoderCompression, Gdiplus::EncoderValueCompressionNone,
                           Gdiplus::EncoderValueCompressionLZW);
});
platform::CapabilityProbe g_tiffColorDepth("TIFF encoder honours EncoderColorDepth", [] {
    return EncodingsDiffer(L"image/tiff", kEncoderColorDepth, 24, 32);
});

platform::CapabilityProbe g_outputChannels("image attributes take an output channel", [] {
    UniqueImageAttributes attributes;
    if (gp::GdipCreateImageAttributes(attributes.put()) != Gdiplus::Ok) return false;
    return gp::GdipSetImageAttributesOutputChannel(attributes.get(), Gdiplus::ColorAdjustTypeDefault, TRUE,
                                                   Gdiplus::ColorChannelFlagsC) == Gdiplus::Ok;
});

}  // namespace

bool PlatformHonoursJpegQuality() noexcept { return g_jpegQuality.Result(); }
bool PlatformHonoursTiffCompression() noexcept { return g_tiffCompression.Result(); }
bool PlatformHonoursTiffColorDepth() noexcept { return g_tiffColorDepth.Result(); }
bool PlatformSeparatesOutputChannels() noexcept { return g_outputChannels.Result(); }

}  // namespace rastelle::codecs
