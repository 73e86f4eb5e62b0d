#include "platform/interpolation_probe.h"

#include "platform/bitmap_guard.h"
#include "platform/capability_probe.h"
#include "platform/gdiplus_raii.h"

#include <vector>

namespace rastelle::platform {

namespace {

// A 16 x 16 one-pixel checkerboard reduced to 5 x 5: a prefiltering mode
// averages it to grey, plain bilinear picks up the checker pattern.
std::vector<Gdiplus::ARGB> Reduce(Gdiplus::InterpolationMode mode) {
    constexpr int kSource = 16;
    constexpr int kTarget = 5;
    std::vector<Gdiplus::ARGB> checker(kSource * kSource);
    for (int y = 0; y < kSource; ++y)
        for (int x = 0; x < kSource; ++x) checker[y * kSource + x] = ((x + y) & 1) ? 0xFFFFFFFF : 0xFF000000;

    std::vector<Gdiplus::ARGB> result;
    Gdiplus::GpBitmap* source = nullptr;
    if (gp::GdipCreateBitmapFromScan0(kSource, kSource, kSource * 4, PixelFormat32bppARGB,
                                      reinterpret_cast<BYTE*>(checker.data()), &source) != Gdiplus::Ok)
        return result;
    UniqueImage sourceOwner(source);
    Gdiplus::GpBitmap* target = nullptr;
    if (CreateBitmap(kTarget, kTarget, PixelFormat32bppARGB, &target) != Gdiplus::Ok) return result;
    UniqueImage targetOwner(target);
    UniqueGraphics graphics;
    if (gp::GdipGetImageGraphicsContext(target, graphics.put()) != Gdiplus::Ok) return result;
    gp::GdipSetInterpolationMode(graphics.get(), mode);
    if (gp::GdipDrawImageRectI(graphics.get(), source, 0, 0, kTarget, kTarget) != Gdiplus::Ok) return result;
    graphics.reset();
    for (int y = 0; y < kTarget; ++y)
        for (int x = 0; x < kTarget; ++x) {
            Gdiplus::ARGB pixel = 0;
            gp::GdipBitmapGetPixel(target, x, y, &pixel);
            result.push_back(pixel);
        }
    return result;
}

CapabilityProbe g_interpolationProbe("interpolation modes distinct", &ProbeInterpolationModes);

}  // namespace

bool ProbeInterpolationModes() noexcept {
    try {
        const auto bilinear = Reduce(Gdiplus::InterpolationModeBilinear);
        const auto bicubic = Reduce(Gdiplus::InterpolationModeHighQualityBicubic);
        return !bilinear.empty() && !bicubic.empty() && bilinear != bicubic;
    } catch (...) {
        return false;
    }
}

bool InterpolationModesAreDistinct() noexcept { return g_interpolationProbe.Result(); }

}  // namespace rastelle::platform
