#include "drawing/antialiased_paint.h"

#include "platform/bitmap_guard.h"
#include "platform/capability_probe.h"
#include "platform/gdiplus_raii.h"

namespace rastelle::drawing {

namespace {

platform::CapabilityProbe g_shapeAntialiasing("shape antialiasing", &ProbeShapeAntialiasing);

Status OpenGraphics(Gdiplus::GpBitmap* target, const Gdiplus::GpMatrix* world, UniqueGraphics& graphics) {
    Status status = gp::GdipGetImageGraphicsContext(target, graphics.put());
    if (status != Gdiplus::Ok) return status;
    gp::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
    if (world) status = gp::GdipSetWorldTransform(graphics.get(), const_cast<Gdiplus::GpMatrix*>(world));
    return status;
}

}  // namespace

bool ProbeShapeAntialiasing() noexcept {
    constexpr int kSize = 8;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (platform::CreateBitmap(kSize, kSize, PixelFormat32bppARGB, &bitmap) != Gdiplus::Ok) return false;
    UniqueImage owner(bitmap);
    UniqueGraphics graphics;
    UniquePen pen;
    if (gp::GdipGetImageGraphicsContext(bitmap, graphics.put()) != Gdiplus::Ok ||
        gp::GdipCreatePen1(0xFF000000, 1.0f, Gdiplus::UnitPixel, pen.put()) != Gdiplus::Ok)
        return false;
    gp::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
    gp::GdipDrawLine(graphics.get(), pen.get(), 0.5f, 1.0f, 7.5f, 6.0f);
    gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
    graphics.reset();
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            Gdiplus::ARGB pixel = 0;
            gp::GdipBitmapGetPixel(bitmap, x, y, &pixel);
            const Gdiplus::ARGB alpha = pixel >> 24;
            if (alpha != 0 && alpha != 0xFF) return true;
        }
    return false;
}

bool PlatformAntialiasesShapes() noexcept { return g_shapeAntialiasing.Result(); }

Status StrokePathAntialiased(Gdiplus::GpBitmap* target, Gdiplus::GpPath* path, Gdiplus::GpPen* pen,
                             const Gdiplus::GpMatrix* world) noexcept {
    if (!target || !path || !pen) return Gdiplus::InvalidParameter;
    UniqueGraphics graphics;
    Status status = OpenGraphics(target, world, graphics);
    if (status == Gdiplus::Ok) status = gp::GdipDrawPath(graphics.get(), pen, path);
    if (status == Gdiplus::Ok) status = gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
    return status;
}

Status FillPathAntialiased(Gdiplus::GpBitmap* target, Gdiplus::GpPath* path, Gdiplus::GpBrush* brush,
                           Gdiplus::GpFillMode mode, const Gdiplus::GpMatrix* world) noexcept {
    if (!target || !path || !brush) return Gdiplus::InvalidParameter;
    UniquePath clone;
    Status status = gp::GdipClonePath(path, clone.put());
    if (status == Gdiplus::Ok) status = gp::GdipSetPathFillMode(clone.get(), mode);
    UniqueGraphics graphics;
    if (status == Gdiplus::Ok) status = OpenGraphics(target, world, graphics);
    if (status == Gdiplus::Ok) status = gp::GdipFillPath(graphics.get(), brush, clone.get());
    if (status == Gdiplus::Ok) status = gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
    return status;
}

}  // namespace rastelle::drawing
