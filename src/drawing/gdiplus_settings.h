// The drawing settings turned into GDI+ objects when a primitive is recorded:
// pens, brushes, and fonts with their string formats. Each conversion reads
// the settings object through its automation interface and returns a GDI+
// status (Ok on success).
#pragma once

#include "platform/gdiplus_raii.h"
#include "rastelle_h.h"

namespace rastelle::drawing {

// The GDI+ line cap of a pen's cap setting, and dash cap of its dash cap
// setting; false for a value GDI+ must never see.
bool MapLineCap(LONG cap, Gdiplus::LineCap& mapped) noexcept;
bool MapDashCap(LONG cap, Gdiplus::DashCap& mapped) noexcept;

// Makes *pen from the settings: colour, width and miter limit, then dash
// style, line join and caps. InvalidParameter for a style, join or cap out of
// range, before any of them reaches GDI+.
Status ConvertPen(IDrawingPen* settings, UniquePen& pen) noexcept;

enum class BrushKind { None = -1, Solid = 0, Hatch = 1, Texture = 2 };

struct BrushConversion {
    BrushKind kind = BrushKind::None;  // None: the object is no brush of the system
    Status status = Gdiplus::Ok;
    // A texture brush whose texture holds no image.
    bool MissingTexture() const noexcept { return kind == BrushKind::Texture && status == Gdiplus::InvalidParameter; }
};

// Makes *brush from a solid, hatch or texture brush object, found in that
// order. A texture brush copies the texture's image as it is now.
BrushConversion ConvertBrush(IUnknown* settings, UniqueBrush& brush) noexcept;

// Makes *font and *format from text settings (replacing what they held).
// A family that is not installed leaves *font empty with status Ok: drawing
// the text fails later, as with any font GDI+ cannot make. OutOfMemory when
// the font name cannot be read, GenericError for an alignment out of range.
Status ConvertTextInfo(ITextInfo* settings, UniqueFont& font, UniqueStringFormat& format) noexcept;

}  // namespace rastelle::drawing
