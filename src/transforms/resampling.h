// What resize and crop share: the interpolation a quality choice stands for,
// and the background they clear their output with.
#pragma once

#include "kernels/resample.h"
#include "platform/gdiplus.h"
#include "image/bitmap.h"
#include "rastelle_h.h"

namespace rastelle::transforms {

Gdiplus::InterpolationMode InterpolationFor(ResizeQualityTypes quality);

// The alpha's lowest bit is forced on: a fully transparent background colour
// becomes alpha 1, an opaque one stays opaque.
inline Gdiplus::ARGB BackgroundWithMinimumAlpha(LONG color) {
    return static_cast<Gdiplus::ARGB>(color) | 0x01000000u;
}

// True when the system's own resampling kernels stand in for GDI+'s: on a
// platform whose interpolation modes all render alike.
bool UseOwnResampling() noexcept;

// Resamples the rectangle `from` of input onto the whole of output in the
// mode a quality choice stands for, laid over background: the same geometry
// as GDI+'s drawing of that rectangle, with exact filter definitions. Returns
// a GDI+ status (GenericError when the kernel cannot finish).
Status ResampleWithOwnKernels(Bitmap& input, const kernels::SourceRect& from, Bitmap& output,
                              ResizeQualityTypes quality, Gdiplus::ARGB background) noexcept;

}  // namespace rastelle::transforms
