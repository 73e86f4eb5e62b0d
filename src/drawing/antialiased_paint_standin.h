// Stands in for the system's own antialiasing rasteriser: reports the
// platform as antialiasing shapes, and draws through GDI+ if called anyway.
// Same interface as the rasteriser's header, which replaces this one.
#pragma once

#include "platform/gdiplus_raii.h"

namespace rastelle::drawing {

inline bool PlatformAntialiasesShapes() noexcept { return true; }

namespace standin {

template <class Paint>
Status OnBitmap(Gdiplus::GpBitmap* target, const Gdiplus::GpMatrix* world, Paint&& paint) noexcept {
    UniqueGraphics graphics;
    Status status = gp::GdipGetImageGraphicsContext(target, graphics.put());
    if (status == Gdiplus::Ok) status = gp::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
    if (status == Gdiplus::Ok && world)
        status = gp::GdipSetWorldTransform(graphics.get(), const_cast<Gdiplus::GpMatrix*>(world));
    if (status == Gdiplus::Ok) status = paint(graphics.get());
    if (status == Gdiplus::Ok) status = gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
    return status;
}

}  // namespace standin

inline Status StrokePathAntialiased(Gdiplus::GpBitmap* target, Gdiplus::GpPath* path, Gdiplus::GpPen* pen,
                                    const Gdiplus::GpMatrix* world) noexcept {
    return standin::OnBitmap(target, world, [&](Gdiplus::GpGraphics* g) { return gp::GdipDrawPath(g, pen, path); });
}

inline Status FillPathAntialiased(Gdiplus::GpBitmap* target, Gdiplus::GpPath* path, Gdiplus::GpBrush* brush,
                                  Gdiplus::GpFillMode mode, const Gdiplus::GpMatrix* world) noexcept {
    return standin::OnBitmap(target, world, [&](Gdiplus::GpGraphics* g) {
        Status status = gp::GdipSetPathFillMode(path, mode);
        return status == Gdiplus::Ok ? gp::GdipFillPath(g, brush, path) : status;
    });
}

}  // namespace rastelle::drawing
