#include "platform/gdiplus_raii.h"
#include "transforms/geometric_transforms.h"
#include "transforms/resampling.h"

namespace rastelle::transforms {

// Stretches the whole input onto a new bitmap of the new size, over the
// background colour. Both routes write every output pixel, and the result is
// handed back only on success, so its memory need not be cleared first.
HRESULT TransformResize::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    return com::Boundary(Origin(), [&] {
        const LONG width = newWidth_;
        const LONG height = newHeight_;
        std::unique_ptr<Bitmap> output(Bitmap::CreateToOverwrite(width, height));
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        // A bitmap that cannot be made leaves nothing to draw on.
        if (output->lastStatus() != Gdiplus::Ok) Fail(output->lastStatus());

        if (UseOwnResampling()) {
            const Status status = ResampleWithOwnKernels(input, {0, 0, input.width(), input.height()}, *output,
                                                         quality_, BackgroundWithMinimumAlpha(background_));
            if (status != Gdiplus::Ok) Fail(status);
            *result = output.release();
            return S_OK;
        }
        UniqueGraphics graphics;
        Status status = output->record(gp::GdipGetImageGraphicsContext(output->image(), graphics.put()));
        if (status == Gdiplus::Ok) status = gp::GdipSetInterpolationMode(graphics.get(), InterpolationFor(quality_));
        if (status != Gdiplus::Ok) Fail(status);
        gp::GdipSetCompositingMode(graphics.get(), Gdiplus::CompositingModeSourceOver);
        gp::GdipGraphicsClear(graphics.get(), BackgroundWithMinimumAlpha(background_));
        status = gp::GdipDrawImageRectI(graphics.get(), input.image(), 0, 0, width, height);
        graphics.reset();
        if (status != Gdiplus::Ok) Fail(status);
        *result = output.release();
        return S_OK;
    });
}

}  // namespace rastelle::transforms
