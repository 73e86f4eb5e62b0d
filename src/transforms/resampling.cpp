#include "transforms/resampling.h"

#include "com/protected_region.h"
#include "platform/gdiplus_raii.h"
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
    const auto view = [](const Gdiplus::BitmapData& data) {
        return kernels::ImageView{static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width),
                                  static_cast<int>(data.Height), static_cast<std::ptrdiff_t>(data.Stride)};
    };
    BitmapLock in;
    BitmapLock out;
    Status status = input.record(in.Lock(input.native(), Gdiplus::GpRect(0, 0, input.width(), input.height()),
                                         Gdiplus::ImageLockModeRead, PixelFormat32bppARGB));
    if (status != Gdiplus::Ok) return status;
    status = output.record(out.Lock(output.native(), Gdiplus::GpRect(0, 0, output.width(), output.height()),
                                    Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB));
    if (status != Gdiplus::Ok) return status;
    // Values outside the five modes mean the platform's default, bilinear.
    const auto mode = static_cast<kernels::ResampleMode>(quality >= 0 && quality <= 4 ? quality : 1);
    const kernels::ConstImageView source = view(in.data());
    const kernels::ImageView target = view(out.data());
    if (!com::RunProtected([&] { kernels::ResampleOver(source, from, target, mode, background); }))
        return Gdiplus::GenericError;
    input.record(in.Unlock());
    return output.record(out.Unlock());
}

}  // namespace rastelle::transforms
