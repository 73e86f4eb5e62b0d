#include "transforms/resampling.h"

#include "com/protected_region.h"
#include "image/bitmap_lock.h"
#include "platform/interpolation_probe.h"

namespace rastelle::transforms {

Gdiplus::InterpolationMode InterpolationFor(ResizeQualityTypes quality) {
    switch (quality) {
    case rqtNearestNeighborMode: return Gdiplus::InterpolationModeNearestNeighbor;
    case rqtBilinearMode: return Gdiplus::InterpolationModeBilinear;
    case rqtHighQualityBilinearMode: return Gdiplus::InterpolationModeHighQualityBilinear;
    case rqtBicubicMode: return Gdiplus::InterpolationModeBicubic;
    case rqtHighQualityBicubicMode: return Gdiplus::InterpolationModeHighQualityBicubic;
    default: return Gdiplus::InterpolationModeDefault;
    }
}

bool UseOwnResampling() noexcept { return !platform::InterpolationModesAreDistinct(); }

Status ResampleWithOwnKernels(Bitmap& input, const kernels::SourceRect& from, Bitmap& output,
                              ResizeQualityTypes quality, Gdiplus::ARGB background) noexcept {
    PixelLockPair locks;
    const Status status = locks.Lock(input, output);
    if (status != Gdiplus::Ok) return status;
    // Values outside the five modes mean the platform's default, bilinear.
    const auto mode = static_cast<kernels::ResampleMode>(quality >= 0 && quality <= 4 ? quality : 1);
    if (!com::RunProtected([&] { kernels::ResampleOver(locks.input(), from, locks.output(), mode, background); }))
        return Gdiplus::GenericError;
    return locks.Unlock();
}

}  // namespace rastelle::transforms
