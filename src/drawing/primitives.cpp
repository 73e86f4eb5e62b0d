#include "drawing/primitives.h"

#include "drawing/antialiased_paint.h"

#include <new>

namespace rastelle::drawing {

using Gdiplus::Ok;

Status PrepareGraphics(Gdiplus::GpGraphics* graphics, bool antialiased) noexcept {
    Status status = gp::GdipSetCompositingMode(graphics, Gdiplus::CompositingModeSourceOver);
    if (status != Ok) return status;
    if (antialiased) {
        status = gp::GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintAntiAlias);
        if (status == Ok) status = gp::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeHighQuality);
    } else {
        status = gp::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeHighSpeed);
        if (status == Ok) status = gp::GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintSingleBitPerPixel);
    }
    return status;
}

UniqueMatrix RotationAbout(Gdiplus::PointF centre, float angle) noexcept {
    UniqueMatrix matrix;
    if (gp::GdipCreateMatrix(matrix.put()) != Ok) return {};
    if (gp::GdipTranslateMatrix(matrix.get(), -centre.X, -centre.Y, Gdiplus::MatrixOrderAppend) != Ok ||
        gp::GdipRotateMatrix(matrix.get(), angle, Gdiplus::MatrixOrderAppend) != Ok ||
        gp::GdipTranslateMatrix(matrix.get(), centre.X, centre.Y, Gdiplus::MatrixOrderAppend) != Ok)
        return {};
    return matrix;
}

Shape::Shape(Gdiplus::FillMode mode) {
    if (gp::GdipCreatePath(static_cast<Gdiplus::GpFillMode>(mode), path_.put()) != Ok) throw std::bad_alloc();
}

Status Shape::Draw(const Canvas& canvas) const noexcept {
    Gdiplus::GpGraphics* graphics = canvas.graphics;
    UniqueMatrix world;
    if (angle != 0.0f) {
        world = RotationAbout(centre, angle);
        if (!world) return Gdiplus::OutOfMemory;
        const Status status = gp::GdipSetWorldTransform(graphics, world.get());
        if (status != Ok) return status;
    }
    // On a bitmap whose platform draws hard edges, antialiased figures go
    // through the system's own rasteriser, straight into the pixels.
    const bool ownAntialiasing = canvas.bitmap && canvas.antialiased && !PlatformAntialiasesShapes();
    auto flushed = [&] { return gp::GdipFlush(graphics, Gdiplus::FlushIntentionSync); };

    Status status = Ok;
    if (filled && brush) {
        if (ownAntialiasing) {
            Gdiplus::GpFillMode mode = Gdiplus::FillModeAlternate;
            status = gp::GdipGetPathFillMode(path_.get(), &mode);
            if (status == Ok) status = flushed();
            if (status == Ok) status = FillPathAntialiased(canvas.bitmap, path_.get(), brush.get(), mode, world.get());
        } else {
            status = gp::GdipFillPath(graphics, brush.get(), path_.get());
        }
    }
    if (status == Ok) {
        if (ownAntialiasing) {
            status = flushed();
            if (status == Ok) status = StrokePathAntialiased(canvas.bitmap, path_.get(), pen.get(), world.get());
        } else {
            status = gp::GdipDrawPath(graphics, pen.get(), path_.get());
        }
    }
    if (world) {
        const Status reset = gp::GdipResetWorldTransform(graphics);
        if (status == Ok) status = reset;
    }
    return status;
}

}  // namespace rastelle::drawing
