#include "codecs/encoder_probes.h"

#include "codecs/encoder_choice.h"
#include "codecs/encode.h"
#include "codecs/gif_writer.h"
#include "codecs/multiframe_writer.h"
#include "com/com_ptr.h"
#include "image/bitmap_lock.h"
#include "platform/bitmap_guard.h"
#include "platform/capability_probe.h"
#include "platform/gdiplus_raii.h"

#include <cstdint>
#include <memory>
#include <string>
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

platform::CapabilityProbe g_tiffCompression("TIFF encoder honours EncoderCompression", [] {
    return EncodingsDiffer(L"image/tiff", kEncoderCompression, Gdiplus::EncoderValueCompressionNone,
                           Gdiplus::EncoderValueCompressionLZW);
});
platform::CapabilityProbe g_tiffColorDepth("TIFF encoder honours EncoderColorDepth", [] {
    return EncodingsDiffer(L"image/tiff", kEncoderColorDepth, 24, 32);
});

// A 4 x 4 indexed image of entries 1 and 2 of a palette whose entry 1 is
// transparent, encoded as GIF: the file must name index 1 as transparent.
bool GifKeepsTransparency() {
    Gdiplus::GpBitmap* native = nullptr;
    if (platform::CreateBitmap(4, 4, PixelFormat8bppIndexed, &native) != Gdiplus::Ok) return false;
    Bitmap image(native);
    {
        BitmapLock lock;
        if (lock.Lock(native, Gdiplus::GpRect(0, 0, 4, 4), Gdiplus::ImageLockModeWrite, PixelFormat8bppIndexed) !=
            Gdiplus::Ok)
            return false;
        for (int y = 0; y < 4; ++y) {
            auto* row = static_cast<std::uint8_t*>(lock.data().Scan0) + y * lock.data().Stride;
            for (int x = 0; x < 4; ++x) row[x] = static_cast<std::uint8_t>(1 + (x + y) % 2);
        }
        if (lock.Unlock() != Gdiplus::Ok) return false;
    }
    const std::uint32_t palette[] = {Gdiplus::PaletteFlagsHasAlpha, 4, 0xFF000000u, 0x00FF0000u, 0xFF00FF00u,
                                     0xFF0000FFu};
    if (gp::GdipSetImagePalette(native, reinterpret_cast<const Gdiplus::ColorPalette*>(palette)) != Gdiplus::Ok)
        return false;
    CLSID clsid{};
    if (GetEncoderClsid(L"image/gif", &clsid) < 0) return false;
    com::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return false;
    if (gp::GdipSaveImageToStream(native, stream.get(), &clsid, nullptr) != Gdiplus::Ok) return false;
    std::vector<std::uint8_t> bytes;
    if (FAILED(ReadWholeStream(stream.get(), bytes))) return false;
    for (size_t i = 0; i + 6 < bytes.size(); ++i)
        if (bytes[i] == 0x21 && bytes[i + 1] == 0xF9 && bytes[i + 2] == 4)
            return (bytes[i + 3] & 1) != 0 && bytes[i + 6] == 1;
    return false;
}

platform::CapabilityProbe g_gifTransparency("GIF encoder writes transparency", GifKeepsTransparency);

platform::CapabilityProbe g_outputChannels("image attributes take an output channel", [] {
    UniqueImageAttributes attributes;
    if (gp::GdipCreateImageAttributes(attributes.put()) != Gdiplus::Ok) return false;
    return gp::GdipSetImageAttributesOutputChannel(attributes.get(), Gdiplus::ColorAdjustTypeDefault, TRUE,
                                                   Gdiplus::ColorChannelFlagsC) == Gdiplus::Ok;
});

}  // namespace

bool PlatformHonoursTiffCompression() noexcept { return g_tiffCompression.Result(); }
bool PlatformHonoursTiffColorDepth() noexcept { return g_tiffColorDepth.Result(); }
bool PlatformWritesGifTransparency() noexcept { return g_gifTransparency.Result(); }
bool PlatformSeparatesOutputChannels() noexcept { return g_outputChannels.Result(); }

}  // namespace rastelle::codecs
