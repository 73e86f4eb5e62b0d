#include "platform/gdiplus_raii.h"
#include "transforms/colour_transforms.h"

namespace rastelle::transforms {

HRESULT TransformEqualize::SetMultiplier(int channel, FLOAT value) noexcept {
    multipliers_[channel] = value;
    return S_OK;
}

HRESULT TransformEqualize::SetAddend(int channel, FLOAT value) noexcept {
    addends_[channel] = value > 1.0f ? 1.0f : value < -1.0f ? -1.0f : value;
    return S_OK;
}

// Draws the input through a diagonal colour matrix: each channel becomes
// clamp(channel * multiplier + addend * 255), computed by GDI+.
HRESULT TransformEqualize::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    return com::Boundary(Origin(), [&] {
        const int width = input.width();
        const int height = input.height();
        std::unique_ptr<Bitmap> output(Bitmap::Create(width, height, PixelFormat32bppARGB));
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        if (output->lastStatus() != Gdiplus::Ok) Fail(output->lastStatus());

        Gdiplus::ColorMatrix matrix{};
        for (int channel = 0; channel < 4; ++channel) {
            matrix.m[channel][channel] = multipliers_[channel];
            matrix.m[4][channel] = addends_[channel];
        }
        matrix.m[4][4] = 1.0f;
        UniqueImageAttributes attributes;
        Status status = gp::GdipCreateImageAttributes(attributes.put());
        if (status == Gdiplus::Ok)
            status = gp::GdipSetImageAttributesColorMatrix(attributes.get(), Gdiplus::ColorAdjustTypeBitmap, TRUE,
                                                          &matrix, nullptr, Gdiplus::ColorMatrixFlagsDefault);
        UniqueGraphics graphics;
        if (status == Gdiplus::Ok)
            status = output->record(gp::GdipGetImageGraphicsContext(output->image(), graphics.put()));
        if (status == Gdiplus::Ok)
            status = gp::GdipDrawImageRectRectI(graphics.get(), input.image(), 0, 0, width, height, 0, 0, width,
                                                height, Gdiplus::UnitPixel, attributes.get(), nullptr, nullptr);
        graphics.reset();
        *result = output.release();  // handed back also when the drawing failed
        if (status != Gdiplus::Ok) Fail(status);
        return S_OK;
    });
}

}  // namespace rastelle::transforms
