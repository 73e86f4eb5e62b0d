#include "platform/gdiplus_raii.h"
#include "transforms/geometric_transforms.h"

#include <cmath>

namespace rastelle::transforms {

namespace {

// sin and cos of whole degrees as GDI+ computes them for a rotated matrix.
void SinCos(int degrees, float& s, float& c) {
    UniqueMatrix matrix;
    gp::GdipCreateMatrix(matrix.put());
    gp::GdipRotateMatrix(matrix.get(), static_cast<float>(degrees), Gdiplus::MatrixOrderPrepend);
    float elements[6] = {1, 0, 0, 1, 0, 0};
    gp::GdipGetMatrixElements(matrix.get(), elements);
    c = elements[0];
    s = elements[1];
}
}  // namespace

RotationCanvas ComputeRotationCanvas(float angle, int width, int height) {
    // Whole degrees, truncated toward zero, brought into 0..359 (-30 gives
    // 330, 725.9 gives 5); fmod keeps huge angles exact.
    double whole = std::fmod(std::trunc(static_cast<double>(angle)), 360.0);
    if (whole < 0) whole += 360.0;
    const int a = static_cast<int>(whole);
    float s = 0, c = 1;
    SinCos(a % 90, s, c);
    // Each product is truncated on its own.
    const auto t = [](float product) { return static_cast<int>(product); };
    const int cw = t(c * static_cast<float>(width)), ch = t(c * static_cast<float>(height));
    const int sw = t(s * static_cast<float>(width)), sh = t(s * static_cast<float>(height));
    switch (a / 90) {
    case 0: return {cw + sh, ch + sw, sh, 0};
    case 1: return {ch + sw, cw + sh, sw + ch, sh};
    case 2: return {cw + sh, ch + sw, cw, ch + sw};
    default: return {ch + sw, cw + sh, 0, cw};
    }
}

// Turns the image about its top-left corner by the exact angle and shifts it
// into a canvas sized for the whole-degree angle, filled with the background.
HRESULT TransformRotate::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    return com::Boundary(Origin(), [&] {
        const float angle = angle_;
        const Gdiplus::ARGB background = static_cast<Gdiplus::ARGB>(background_);
        if (!std::isfinite(angle)) Fail(Gdiplus::InvalidParameter);
        const int width = input.width();
        const int height = input.height();
        const RotationCanvas canvas = ComputeRotationCanvas(angle, width, height);

        std::unique_ptr<Bitmap> output(Bitmap::Create(canvas.width, canvas.height, PixelFormat32bppARGB));
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        Status status = output->lastStatus();
        if (status == Gdiplus::Ok) status = FillBitmap(*output, background);
        if (status != Gdiplus::Ok) Fail(status);

        UniqueGraphics graphics;
        status = output->record(gp::GdipGetImageGraphicsContext(output->image(), graphics.put()));
        if (status != Gdiplus::Ok) Fail(status);
        UniqueImageAttributes attributes;
        gp::GdipCreateImageAttributes(attributes.put());
        gp::GdipSetImageAttributesWrapMode(attributes.get(), Gdiplus::WrapModeClamp, background, FALSE);
        gp::GdipTranslateWorldTransform(graphics.get(), static_cast<float>(canvas.dx), static_cast<float>(canvas.dy),
                                        Gdiplus::MatrixOrderAppend);
        gp::GdipRotateWorldTransform(graphics.get(), angle, Gdiplus::MatrixOrderPrepend);
        // Only the turned image's own rectangle is drawn, so uncovered canvas
        // pixels keep the background exactly (some GDI+ implementations
        // otherwise overwrite the whole bounding box with source-copy).
        gp::GdipSetClipRectI(graphics.get(), 0, 0, width, height, Gdiplus::CombineModeReplace);
        gp::GdipSetCompositingMode(graphics.get(), Gdiplus::CompositingModeSourceCopy);
        status = gp::GdipDrawImageRectRectI(graphics.get(), input.image(), 0, 0, width, height, 0, 0, width, height,
                                            Gdiplus::UnitPixel, attributes.get(), nullptr, nullptr);
        graphics.reset();
        *result = output.release();  // handed back also when the drawing failed
        if (status != Gdiplus::Ok) Fail(status);
        return S_OK;
    });
}

}  // namespace rastelle::transforms
