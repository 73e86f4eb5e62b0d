#include "drawing/antialiased_paint.h"

#include "kernels/coverage_rasterizer.h"
#include "platform/bitmap_guard.h"
#include "platform/capability_probe.h"
#include "platform/gdiplus_raii.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace rastelle::drawing {

namespace {

using kernels::CoverageRasterizer;
using kernels::FillRule;
using kernels::PixelRect;

// Curves are flattened to within a quarter pixel on the target.
constexpr Gdiplus::REAL kFlatness = 0.25f;

// The arrow anchor cap where the platform leaves it flat: an equilateral
// triangle of side 2 x the pen width (so wider than the line, and growing
// with it), its tip on the line's end point, the line cut back to its base
// so that no corner of the line's flat end shows beside the point.
constexpr double kArrowSide = 2.0;

struct Outline {
    std::vector<Gdiplus::PointF> points;
    std::vector<BYTE> types;
};

Status ReadPath(Gdiplus::GpPath* path, Outline& outline) {
    INT count = 0;
    Status status = gp::GdipGetPointCount(path, &count);
    if (status != Gdiplus::Ok) return status;
    outline.points.resize(static_cast<std::size_t>(count));
    outline.types.resize(static_cast<std::size_t>(count));
    if (count == 0) return Gdiplus::Ok;
    status = gp::GdipGetPathPoints(path, outline.points.data(), count);
    if (status == Gdiplus::Ok) status = gp::GdipGetPathTypes(path, outline.types.data(), count);
    return status;
}

// Calls figure(first, end) for each figure [first, end) of the outline.
template <class F>
void ForEachFigure(const Outline& outline, F&& figure) {
    const std::size_t n = outline.points.size();
    std::size_t first = 0;
    for (std::size_t i = 1; i <= n; ++i) {
        if (i == n || (outline.types[i] & Gdiplus::PathPointTypePathTypeMask) == Gdiplus::PathPointTypeStart) {
            figure(first, i);
            first = i;
        }
    }
}

// Every figure of a flattened outline as a closed polygon.
void AddOutline(const Outline& outline, CoverageRasterizer& shape) {
    static_assert(sizeof(kernels::PointF) == sizeof(Gdiplus::PointF));
    std::vector<kernels::PointF> polygon;
    ForEachFigure(outline, [&](std::size_t first, std::size_t end) {
        polygon.clear();
        for (std::size_t i = first; i < end; ++i) polygon.push_back({outline.points[i].X, outline.points[i].Y});
        shape.AddPolygon(polygon.data(), polygon.size());
    });
}

double Scale(const Gdiplus::GpMatrix* world) {
    if (!world) return 1.0;
    Gdiplus::REAL m[6] = {};
    if (gp::GdipGetMatrixElements(world, m) != Gdiplus::Ok) return 1.0;
    const double det = std::fabs(static_cast<double>(m[0]) * m[3] - static_cast<double>(m[1]) * m[2]);
    return det > 1e-12 ? std::sqrt(det) : 1.0;
}

// Flattens the path under the world transform and adds it to the shape.
Status Rasterise(Gdiplus::GpPath* path, const Gdiplus::GpMatrix* world, CoverageRasterizer& shape) {
    Status status = gp::GdipFlattenPath(path, const_cast<Gdiplus::GpMatrix*>(world), kFlatness);
    Outline outline;
    if (status == Gdiplus::Ok) status = ReadPath(path, outline);
    if (status == Gdiplus::Ok) AddOutline(outline, shape);
    return status;
}

// The brush rendered over the pixels of rect as they lie on the target:
// the world transform moved by the rectangle's corner, and the rendering
// origin (which places hatches) moved with it.
Status RenderBrush(Gdiplus::GpBrush* brush, const Gdiplus::GpMatrix* world, const PixelRect& rect,
                   UniqueImage& scratch) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    Status status = platform::CreateBitmap(rect.width, rect.height, PixelFormat32bppARGB, &bitmap);
    if (status != Gdiplus::Ok) return status;
    scratch.reset(bitmap);
    UniqueMatrix transform;
    status = world ? gp::GdipCloneMatrix(const_cast<Gdiplus::GpMatrix*>(world), transform.put())
                   : gp::GdipCreateMatrix(transform.put());
    if (status == Gdiplus::Ok)
        status = gp::GdipTranslateMatrix(transform.get(), static_cast<Gdiplus::REAL>(-rect.x),
                                         static_cast<Gdiplus::REAL>(-rect.y), Gdiplus::MatrixOrderAppend);
    // The scratch's corners in world coordinates bound the rectangle to fill.
    UniqueMatrix inverse;
    if (status == Gdiplus::Ok) status = gp::GdipCloneMatrix(transform.get(), inverse.put());
    if (status == Gdiplus::Ok) status = gp::GdipInvertMatrix(inverse.get());
    const auto w = static_cast<Gdiplus::REAL>(rect.width), h = static_cast<Gdiplus::REAL>(rect.height);
    Gdiplus::PointF corners[4] = {{-1, -1}, {w + 1, -1}, {w + 1, h + 1}, {-1, h + 1}};
    if (status == Gdiplus::Ok) status = gp::GdipTransformMatrixPoints(inverse.get(), corners, 4);
    UniqueGraphics graphics;
    if (status == Gdiplus::Ok) status = gp::GdipGetImageGraphicsContext(bitmap, graphics.put());
    if (status != Gdiplus::Ok) return status;
    gp::GdipSetCompositingMode(graphics.get(), Gdiplus::CompositingModeSourceCopy);
    gp::GdipSetRenderingOrigin(graphics.get(), -rect.x, -rect.y);
    status = gp::GdipSetWorldTransform(graphics.get(), transform.get());
    Gdiplus::REAL left = corners[0].X, top = corners[0].Y, right = left, bottom = top;
    for (const auto& c : corners) {
        left = std::min(left, c.X);
        right = std::max(right, c.X);
        top = std::min(top, c.Y);
        bottom = std::max(bottom, c.Y);
    }
    if (status == Gdiplus::Ok)
        status = gp::GdipFillRectangle(graphics.get(), brush, left, top, right - left, bottom - top);
    if (status == Gdiplus::Ok) status = gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
    return status;
}

kernels::ImageView ViewOf(const BitmapLock& lock) {
    const Gdiplus::BitmapData& data = lock.data();
    return {static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width), static_cast<int>(data.Height),
            static_cast<std::ptrdiff_t>(data.Stride)};
}

// Lays the brush through the shape's coverage onto the target: a solid
// colour directly, any other brush through a scratch rendering of it over
// the covered rectangle only.
Status Paint(Gdiplus::GpBitmap* target, CoverageRasterizer& shape, FillRule rule, Gdiplus::GpBrush* brush,
             const Gdiplus::GpMatrix* world) {
    const PixelRect rect = shape.Bounds();
    if (rect.empty()) return Gdiplus::Ok;
    Gdiplus::BrushType type{};
    Status status = gp::GdipGetBrushType(brush, &type);
    if (status != Gdiplus::Ok) return status;
    UniqueImage scratch;
    BitmapLock brushLock;
    Gdiplus::ARGB colour = 0;
    if (type == Gdiplus::BrushTypeSolidColor) {
        status = gp::GdipGetSolidFillColor(static_cast<Gdiplus::GpSolidFill*>(brush), &colour);
    } else {
        status = RenderBrush(brush, world, rect, scratch);
        if (status == Gdiplus::Ok)
            status = brushLock.Lock(static_cast<Gdiplus::GpBitmap*>(scratch.get()),
                                    Gdiplus::GpRect(0, 0, rect.width, rect.height), Gdiplus::ImageLockModeRead,
                                    PixelFormat32bppARGB);
    }
    if (status != Gdiplus::Ok) return status;

    BitmapLock targetLock;
    status = targetLock.Lock(target, Gdiplus::GpRect(rect.x, rect.y, rect.width, rect.height),
                             Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB);
    if (status != Gdiplus::Ok) return status;
    if (type == Gdiplus::BrushTypeSolidColor)
        kernels::PaintCoverage(shape, rule, ViewOf(targetLock), rect.x, rect.y, colour);
    else
        kernels::PaintCoverage(shape, rule, ViewOf(targetLock), rect.x, rect.y, ViewOf(brushLock));
    status = targetLock.Unlock();
    const Status brushStatus = brushLock.Unlock();
    return status != Gdiplus::Ok ? status : brushStatus;
}

Status StartShape(Gdiplus::GpBitmap* target, CoverageRasterizer& shape) {
    UINT width = 0, height = 0;
    Status status = gp::GdipGetImageWidth(target, &width);
    if (status == Gdiplus::Ok) status = gp::GdipGetImageHeight(target, &height);
    if (status == Gdiplus::Ok) shape.Reset(static_cast<int>(width), static_cast<int>(height));
    return status;
}

// --- The arrow anchor cap ----------------------------------------------------

bool ProbeArrowAnchors() noexcept {
    UniquePath path;
    UniquePen pen;
    if (gp::GdipCreatePath(Gdiplus::FillModeAlternate, path.put()) != Gdiplus::Ok ||
        gp::GdipAddPathLine(path.get(), 0, 10, 20, 10) != Gdiplus::Ok ||
        gp::GdipCreatePen1(0xFF000000, 2.0f, Gdiplus::UnitPixel, pen.put()) != Gdiplus::Ok ||
        gp::GdipSetPenEndCap(pen.get(), Gdiplus::LineCapArrowAnchor) != Gdiplus::Ok ||
        gp::GdipWidenPath(path.get(), pen.get(), nullptr, kFlatness) != Gdiplus::Ok)
        return false;
    Gdiplus::RectF bounds{};
    if (gp::GdipGetPathWorldBounds(path.get(), &bounds, nullptr, nullptr) != Gdiplus::Ok) return false;
    return bounds.Height > 2.5f;  // a flat end keeps the outline as tall as the pen is wide
}

platform::CapabilityProbe g_arrowAnchors("arrow anchor caps widened", &ProbeArrowAnchors);

struct Arrow {
    Gdiplus::PointF tip;
    double dx, dy;  // unit direction in which the arrow points
};

// Moves the end of the figure [first, end) at index `at` (first or end - 1)
// back by `length` along its last segment and returns the arrow it needs;
// false when the figure has no length there.
bool CutBack(Outline& outline, std::size_t first, std::size_t end, bool atEnd, double length, Arrow& arrow) {
    const std::size_t tipIndex = atEnd ? end - 1 : first;
    const Gdiplus::PointF tip = outline.points[tipIndex];
    // The nearest point that differs from the tip gives the direction.
    for (std::size_t k = 1; k < end - first; ++k) {
        const std::size_t j = atEnd ? end - 1 - k : first + k;
        const double dx = tip.X - outline.points[j].X, dy = tip.Y - outline.points[j].Y;
        const double d = std::hypot(dx, dy);
        if (d <= 1e-6) continue;
        arrow = {tip, dx / d, dy / d};
        const double cut = std::min(length, d);
        outline.points[tipIndex].X = static_cast<Gdiplus::REAL>(tip.X - arrow.dx * cut);
        outline.points[tipIndex].Y = static_cast<Gdiplus::REAL>(tip.Y - arrow.dy * cut);
        return true;
    }
    return false;
}

// The signed area of a flattened outline (positive for clockwise figures on
// a y-down image): arrows are added with the same turn so that non-zero
// filling unites them with it.
double SignedArea(const Outline& outline) {
    double area = 0;
    ForEachFigure(outline, [&](std::size_t first, std::size_t end) {
        for (std::size_t i = first; i < end; ++i) {
            const auto& a = outline.points[i];
            const auto& b = outline.points[i + 1 == end ? first : i + 1];
            area += static_cast<double>(a.X) * b.Y - static_cast<double>(b.X) * a.Y;
        }
    });
    return area / 2;
}

void AddArrow(const Arrow& arrow, double penWidth, bool clockwise, Outline& outline) {
    const double side = kArrowSide * penWidth, height = side * std::sqrt(3.0) / 2;
    const double bx = arrow.tip.X - arrow.dx * height, by = arrow.tip.Y - arrow.dy * height;
    const double px = -arrow.dy * side / 2, py = arrow.dx * side / 2;
    Gdiplus::PointF corners[3] = {arrow.tip, {static_cast<Gdiplus::REAL>(bx + px), static_cast<Gdiplus::REAL>(by + py)},
                                  {static_cast<Gdiplus::REAL>(bx - px), static_cast<Gdiplus::REAL>(by - py)}};
    // tip, base + p, base - p turns clockwise on a y-down image.
    if (!clockwise) std::swap(corners[1], corners[2]);
    for (int i = 0; i < 3; ++i) {
        outline.points.push_back(corners[i]);
        outline.types.push_back(i == 0 ? Gdiplus::PathPointTypeStart
                                       : (i == 2 ? Gdiplus::PathPointTypeLine | Gdiplus::PathPointTypeCloseSubpath
                                                 : Gdiplus::PathPointTypeLine));
    }
}

// Widens the (flattened, world-space) path with the pen. Where the platform
// draws arrow anchor caps flat, the figures' ends get the arrows here: the
// lines are cut back, widened with flat ends, and the arrows added.
Status Widen(UniquePath& path, Gdiplus::GpPen* pen, double flatness) {
    Gdiplus::LineCap startCap{}, endCap{};
    Status status = gp::GdipGetPenStartCap(pen, &startCap);
    if (status == Gdiplus::Ok) status = gp::GdipGetPenEndCap(pen, &endCap);
    if (status != Gdiplus::Ok) return status;
    const bool startArrow = startCap == Gdiplus::LineCapArrowAnchor;
    const bool endArrow = endCap == Gdiplus::LineCapArrowAnchor;
    if ((!startArrow && !endArrow) || g_arrowAnchors.Result())
        return gp::GdipWidenPath(path.get(), pen, nullptr, static_cast<Gdiplus::REAL>(flatness));

    Gdiplus::REAL width = 0;
    UniquePen flatPen;
    status = gp::GdipGetPenWidth(pen, &width);
    if (status == Gdiplus::Ok) status = gp::GdipClonePen(pen, flatPen.put());
    if (status == Gdiplus::Ok && startArrow) status = gp::GdipSetPenStartCap(flatPen.get(), Gdiplus::LineCapFlat);
    if (status == Gdiplus::Ok && endArrow) status = gp::GdipSetPenEndCap(flatPen.get(), Gdiplus::LineCapFlat);
    if (status == Gdiplus::Ok) status = gp::GdipFlattenPath(path.get(), nullptr, static_cast<Gdiplus::REAL>(flatness));
    Outline lines;
    if (status == Gdiplus::Ok) status = ReadPath(path.get(), lines);
    if (status != Gdiplus::Ok) return status;

    const double height = kArrowSide * width * std::sqrt(3.0) / 2;
    std::vector<Arrow> arrows;
    ForEachFigure(lines, [&](std::size_t first, std::size_t end) {
        if (lines.types[end - 1] & Gdiplus::PathPointTypeCloseSubpath) return;  // closed: no ends
        Arrow arrow{};
        if (startArrow && CutBack(lines, first, end, false, height, arrow)) arrows.push_back(arrow);
        if (endArrow && CutBack(lines, first, end, true, height, arrow)) arrows.push_back(arrow);
    });
    UniquePath cut;
    Gdiplus::GpFillMode mode{};
    gp::GdipGetPathFillMode(path.get(), &mode);
    status = gp::GdipCreatePath2(lines.points.data(), lines.types.data(), static_cast<INT>(lines.points.size()), mode,
                                 cut.put());
    if (status == Gdiplus::Ok)
        status = gp::GdipWidenPath(cut.get(), flatPen.get(), nullptr, static_cast<Gdiplus::REAL>(flatness));
    Outline widened;
    if (status == Gdiplus::Ok) status = ReadPath(cut.get(), widened);
    if (status != Gdiplus::Ok) return status;
    const bool clockwise = SignedArea(widened) >= 0;
    for (const Arrow& arrow : arrows) AddArrow(arrow, width, clockwise, widened);
    status = gp::GdipCreatePath2(widened.points.data(), widened.types.data(), static_cast<INT>(widened.points.size()),
                                 Gdiplus::FillModeWinding, path.put());
    return status;
}

platform::CapabilityProbe g_shapeAntialiasing("shape antialiasing", &ProbeShapeAntialiasing);

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
    try {
        CoverageRasterizer shape;
        UniquePath outline;
        Status status = StartShape(target, shape);
        if (status == Gdiplus::Ok) status = gp::GdipClonePath(path, outline.put());
        if (status == Gdiplus::Ok) status = Widen(outline, pen, kFlatness / Scale(world));
        if (status == Gdiplus::Ok) status = Rasterise(outline.get(), world, shape);
        if (status != Gdiplus::Ok) return status;

        Gdiplus::GpPenType type{};
        status = gp::GdipGetPenFillType(pen, &type);
        if (status != Gdiplus::Ok) return status;
        if (type == Gdiplus::PenTypeSolidColor) {
            Gdiplus::ARGB colour = 0;
            UniqueBrush solid;
            status = gp::GdipGetPenColor(pen, &colour);
            Gdiplus::GpSolidFill* made = nullptr;
            if (status == Gdiplus::Ok) status = gp::GdipCreateSolidFill(colour, &made);
            solid.reset(made);
            return status == Gdiplus::Ok ? Paint(target, shape, FillRule::NonZero, solid.get(), world) : status;
        }
        UniqueBrush brush;
        status = gp::GdipGetPenBrushFill(pen, brush.put());
        return status == Gdiplus::Ok ? Paint(target, shape, FillRule::NonZero, brush.get(), world) : status;
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
}

Status FillPathAntialiased(Gdiplus::GpBitmap* target, Gdiplus::GpPath* path, Gdiplus::GpBrush* brush,
                           Gdiplus::GpFillMode mode, const Gdiplus::GpMatrix* world) noexcept {
    if (!target || !path || !brush) return Gdiplus::InvalidParameter;
    try {
        CoverageRasterizer shape;
        UniquePath outline;
        Status status = StartShape(target, shape);
        if (status == Gdiplus::Ok) status = gp::GdipClonePath(path, outline.put());
        if (status == Gdiplus::Ok) status = Rasterise(outline.get(), world, shape);
        if (status != Gdiplus::Ok) return status;
        const FillRule rule = mode == Gdiplus::FillModeWinding ? FillRule::NonZero : FillRule::EvenOdd;
        return Paint(target, shape, rule, brush, world);
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
}

}  // namespace rastelle::drawing
