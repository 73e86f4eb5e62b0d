// Antialiased strokes and fills on a bitmap where the platform's GDI+ draws
// shapes with hard edges whatever the smoothing mode. GDI+ still builds the
// exact outline (widened by the pen, flattened); the system rasterises it with
// exact-area coverage and lays the brush through that coverage, source-over.
//
// The target must be a GDI+ bitmap that is not locked, and any graphics
// object drawing on it must have been flushed (GdipFlush) before the call:
// the pixels are locked and written directly. The graphics' own state does
// not apply: pass its world transform as `world` (null for identity); its
// clip, compositing mode (always source-over here) and rendering origin are
// not used. Every object passed in is left unchanged.
#pragma once

#include "platform/gdiplus.h"

namespace rastelle::drawing {

// Whether the platform's GDI+ antialiases lines and fills under
// SmoothingModeAntiAlias. Probed once per process, thread-safe, cached.
bool PlatformAntialiasesShapes() noexcept;

// The probe itself: a diagonal line on a tiny bitmap, smoothed or not.
bool ProbeShapeAntialiasing() noexcept;

// Strokes path with pen under the world transform (null: identity): the
// pen's width, joins, caps (anchor caps included) and dashes, its brush or
// colour. Returns the first failing GDI+ status, Ok otherwise.
Status StrokePathAntialiased(Gdiplus::GpBitmap* target, Gdiplus::GpPath* path, Gdiplus::GpPen* pen,
                             const Gdiplus::GpMatrix* world) noexcept;

// Fills path with brush (solid, hatch, texture or gradient) under the world
// transform with the given fill rule.
Status FillPathAntialiased(Gdiplus::GpBitmap* target, Gdiplus::GpPath* path, Gdiplus::GpBrush* brush,
                           Gdiplus::GpFillMode mode, const Gdiplus::GpMatrix* world) noexcept;

}  // namespace rastelle::drawing
