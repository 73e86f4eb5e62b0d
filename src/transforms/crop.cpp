#include "platform/gdiplus_raii.h"
#include "transforms/geometric_transforms.h"
#include "transforms/resampling.h"

#include <algorithm>

namespace rastelle::transforms {

// Copies the rectangle (x, y, w, h) of the input onto a new bitmap over the
// background colour: 1:1, or stretched to the input's size.
HRESULT TransformCrop::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    return com::Boundary(Origin(), [&] {
        const int w = std::max<LONG>(width_, 0);
        const int h = std::max<LONG>(height_, 0);
        const bool stretch = resize_ != 0;
        const int outWidth = stretch ? input.width() : w;
        const int outHeight = stretch ? input.height() : h;
        std::unique_ptr<Bitmap> output(Bitmap::Create(outWidth, outHeight, PixelFormat32bppARGB));
        if (!output || output->lastStatus() != Gdiplus::Ok)
            com::ThrowError(com::kErrInvalidCall,
                            L"Cannot make crop. Possible wrong Width or Height properties (less or equal 0) or not "
                            L"enough memory.");

        if (UseOwnResampling()) {
            const Status status = ResampleWithOwnKernels(input, {x_, y_, w, h}, *output, quality_,
                                                         BackgroundWithMinimumAlpha(background_));
            *result = output.release();  // handed back also on failure
            if (status != Gdiplus::Ok) Fail(status);
            return S_OK;
        }
        UniqueGraphics graphics;
        Status status = output->record(gp::GdipGetImageGraphicsContext(output->image(), graphics.put()));
        if (status != Gdiplus::Ok) Fail(status);
        status = gp::GdipSetInterpolationMode(graphics.get(), InterpolationFor(quality_));
        if (status != Gdiplus::Ok) Fail(status);
        gp::GdipSetCompositingMode(graphics.get(), Gdiplus::CompositingModeSourceOver);
        gp::GdipGraphicsClear(graphics.get(), BackgroundWithMinimumAlpha(background_));
        status = gp::GdipDrawImageRectRectI(graphics.get(), input.image(), 0, 0, outWidth, outHeight, x_, y_, w, h,
                                            Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
        graphics.reset();
        // The output is handed back even when the drawing failed.
        *result = output.release();
        if (status != Gdiplus::Ok) Fail(status);
        return S_OK;
    });
}

}  // namespace rastelle::transforms
