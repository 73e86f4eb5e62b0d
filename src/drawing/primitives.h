// The records of the drawing tool: each owns the GDI+ objects made from the
// settings in force when it was recorded, so later changes to those settings
// do not change it, and draws itself on any canvas.
#pragma once

#include "platform/gdiplus_raii.h"

#include <memory>
#include <string>

namespace rastelle::drawing {

// Where a primitive is drawn: a graphics object, and the bitmap under it when
// it draws on one (null on a device context).
struct Canvas {
    Gdiplus::GpGraphics* graphics = nullptr;
    Gdiplus::GpBitmap* bitmap = nullptr;
    bool antialiased = false;
};

// Compositing source-over; smoothing and text rendering as antialiased says.
Status PrepareGraphics(Gdiplus::GpGraphics* graphics, bool antialiased) noexcept;

class Primitive {
public:
    virtual ~Primitive() = default;
    // Draws the primitive; the first failing GDI+ status, Ok otherwise.
    virtual Status Draw(const Canvas& canvas) const noexcept = 0;
};

// A figure held as a GDI+ path: filled with the brush when filled, then
// outlined with the pen. A rotated figure turns about its centre.
class Shape final : public Primitive {
public:
    // An empty path with the fill mode; throws std::bad_alloc when GDI+
    // cannot make it.
    explicit Shape(Gdiplus::FillMode mode = Gdiplus::FillModeAlternate);

    Gdiplus::GpPath* path() const noexcept { return path_.get(); }
    Status Draw(const Canvas& canvas) const noexcept override;

    UniquePen pen;
    UniqueBrush brush;  // null for figures that are only outlined
    bool filled = false;
    float angle = 0.0f;  // degrees, clockwise
    Gdiplus::PointF centre{};

private:
    UniquePath path_;
};

// A string drawn at an origin with a font, string format and brush, turned
// about the origin by its angle.
class Text final : public Primitive {
public:
    Status Draw(const Canvas& canvas) const noexcept override;

    UniqueBrush brush;
    UniqueFont font;  // null when the font's family is not installed
    UniqueStringFormat format;
    std::wstring text;
    Gdiplus::PointF origin{};
    float angle = 0.0f;
};

// The world transform that turns by angle degrees about centre.
UniqueMatrix RotationAbout(Gdiplus::PointF centre, float angle) noexcept;

}  // namespace rastelle::drawing
