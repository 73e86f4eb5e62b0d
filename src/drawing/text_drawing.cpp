// Text primitives, and the probes that decide how they are drawn.
#include "drawing/primitives.h"
#include "drawing/text_probes.h"

#include "com/unique_any.h"
#include "image/gdi_handles.h"
#include "platform/capability_probe.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

namespace rastelle::drawing {

using Gdiplus::Ok;

namespace {

constexpr Gdiplus::ARGB kBlack = 0xFF000000;
constexpr Gdiplus::ARGB kWhite = 0xFFFFFFFF;

// The pixels of a bitmap, read as 32-bit ARGB rows.
std::vector<Gdiplus::ARGB> PixelsOf(Gdiplus::GpBitmap* bitmap, int width, int height) {
    std::vector<Gdiplus::ARGB> pixels(static_cast<size_t>(width) * height);
    Gdiplus::BitmapData data{};
    data.Width = width;
    data.Height = height;
    data.Stride = width * 4;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = pixels.data();
    BitmapLock lock;
    const Gdiplus::GpRect all{0, 0, width, height};
    if (lock.Lock(bitmap, all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppARGB,
                  &data) != Ok)
        pixels.clear();
    return pixels;
}

// Draws text in black on a white width x height bitmap with the hint and
// format flags, and hands its pixels to inspect; true (faithful) when the
// drawing cannot be made.
template <class Inspect>
bool ProbeText(const wchar_t* text, int width, int height, Gdiplus::PointF origin, INT flags,
               Gdiplus::TextRenderingHint hint, Inspect&& inspect) {
    UniqueImage image;
    UniqueGraphics graphics;
    UniqueFontFamily family;
    UniqueFont font;
    UniqueStringFormat format;
    UniqueBrush brush;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok) return true;
    image.reset(bitmap);
    Gdiplus::GpSolidFill* black = nullptr;
    if (gp::GdipGetImageGraphicsContext(bitmap, graphics.put()) != Ok ||
        gp::GdipGraphicsClear(graphics.get(), kWhite) != Ok ||
        gp::GdipSetTextRenderingHint(graphics.get(), hint) != Ok ||
        gp::GdipCreateFontFamilyFromName(L"Arial", nullptr, family.put()) != Ok ||
        gp::GdipCreateFont(family.get(), 16.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel, font.put()) != Ok ||
        gp::GdipCreateStringFormat(flags, LANG_NEUTRAL, format.put()) != Ok ||
        gp::GdipCreateSolidFill(kBlack, &black) != Ok)
        return true;
    brush.reset(black);
    const Gdiplus::RectF layout{origin.X, origin.Y, 0.0f, 0.0f};
    if (gp::GdipDrawString(graphics.get(), text, -1, font.get(), &layout, format.get(), brush.get()) != Ok ||
        gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync) != Ok)
        return true;
    graphics.reset();
    const std::vector<Gdiplus::ARGB> pixels = PixelsOf(bitmap, width, height);
    return pixels.empty() || inspect(pixels, width);
}

struct InkBox {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
};

InkBox InkOf(const std::vector<Gdiplus::ARGB>& pixels, int width) {
    InkBox box;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == kWhite) continue;
        const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
    }
    return box;
}

bool ProbeSingleBit() {
    return ProbeText(L"Wg", 48, 32, {4, 4}, 0, Gdiplus::TextRenderingHintSingleBitPerPixel,
                     [](const std::vector<Gdiplus::ARGB>& pixels, int) {
                         return std::all_of(pixels.begin(), pixels.end(),
                                            [](Gdiplus::ARGB p) { return p == kBlack || p == kWhite; });
                     });
}

// Vertical text runs down: its ink is taller than wide.
bool ProbeVertical() {
    return ProbeText(L"WWWW", 96, 96, {48, 4}, Gdiplus::StringFormatFlagsDirectionVertical,
                     Gdiplus::TextRenderingHintSingleBitPerPixel, [](const std::vector<Gdiplus::ARGB>& pixels, int w) {
                         const InkBox ink = InkOf(pixels, w);
                         return ink.right < 0 || ink.bottom - ink.top > ink.right - ink.left;
                     });
}

// Right-to-left text ends at its origin: its ink lies left of it.
bool ProbeRightToLeft() {
    return ProbeText(L"WWW", 128, 32, {96, 4}, Gdiplus::StringFormatFlagsDirectionRightToLeft,
                     Gdiplus::TextRenderingHintSingleBitPerPixel, [](const std::vector<Gdiplus::ARGB>& pixels, int w) {
                         const InkBox ink = InkOf(pixels, w);
                         return ink.right < 0 || ink.right <= 98;
                     });
}

platform::CapabilityProbe gSingleBitProbe("single-bit text", &ProbeSingleBit);
platform::CapabilityProbe gVerticalProbe("vertical text", &ProbeVertical);
platform::CapabilityProbe gRightToLeftProbe("right-to-left text", &ProbeRightToLeft);

// Draws text single-bit per pixel where the platform antialiases it anyway:
// the text is drawn into a transparent scratch bitmap under the same world
// transform and resolution, its coverage thresholded at one half, and the
// covered pixels filled with the brush as runs of whole pixels.
Status DrawThresholded(Gdiplus::GpGraphics* graphics, const Text& text, std::wstring_view run,
                       const Gdiplus::RectF& layout, Gdiplus::GpStringFormat* format) {
    const INT length = static_cast<INT>(run.size());
    Gdiplus::RectF measured{};
    UniqueMatrix world;
    Status status = gp::GdipMeasureString(graphics, run.data(), length, text.font.get(), &layout, format,
                                          &measured, nullptr, nullptr);
    if (status == Ok) status = gp::GdipCreateMatrix(world.put());
    if (status == Ok) status = gp::GdipGetWorldTransform(graphics, world.get());
    if (status == Ok) status = gp::GdipResetWorldTransform(graphics);
    if (status != Ok) return status;
    struct Restore {
        Gdiplus::GpGraphics* graphics;
        Gdiplus::GpMatrix* world;
        ~Restore() { gp::GdipSetWorldTransform(graphics, world); }
    } restore{graphics, world.get()};

    // The scratch mask covers the measured text, turned as it is drawn, with
    // a margin for overhangs, within the visible part of the target.
    Gdiplus::PointF corners[4] = {{measured.X, measured.Y},
                                  {measured.X + measured.Width, measured.Y},
                                  {measured.X, measured.Y + measured.Height},
                                  {measured.X + measured.Width, measured.Y + measured.Height}};
    Gdiplus::RectF visible{};
    Gdiplus::REAL dpiX = 96.0f, dpiY = 96.0f;
    status = gp::GdipTransformMatrixPoints(world.get(), corners, 4);
    if (status == Ok) status = gp::GdipGetVisibleClipBounds(graphics, &visible);
    if (status == Ok) status = gp::GdipGetDpiX(graphics, &dpiX);
    if (status == Ok) status = gp::GdipGetDpiY(graphics, &dpiY);
    if (status != Ok) return status;
    const float margin = 4.0f + 0.25f * measured.Height;
    float minX = corners[0].X, maxX = minX, minY = corners[0].Y, maxY = minY;
    for (const Gdiplus::PointF& c : corners) {
        minX = std::min(minX, c.X), maxX = std::max(maxX, c.X);
        minY = std::min(minY, c.Y), maxY = std::max(maxY, c.Y);
    }
    auto clamped = [](float value, float low, float high) {
        return value >= low ? static_cast<int>(std::min(value, high)) : static_cast<int>(low);  // NaN: low
    };
    const int left = clamped(std::floor(std::max(minX - margin, visible.X)), 0.0f, 32768.0f);
    const int top = clamped(std::floor(std::max(minY - margin, visible.Y)), 0.0f, 32768.0f);
    const int right = clamped(std::ceil(std::min(maxX + margin, visible.X + visible.Width)), 0.0f, 32768.0f);
    const int bottom = clamped(std::ceil(std::min(maxY + margin, visible.Y + visible.Height)), 0.0f, 32768.0f);
    const int width = right - left, height = bottom - top;
    if (width <= 0 || height <= 0) return Ok;
    UniqueMatrix maskWorld;
    status = gp::GdipCloneMatrix(world.get(), maskWorld.put());
    if (status == Ok)
        status = gp::GdipTranslateMatrix(maskWorld.get(), static_cast<float>(-left), static_cast<float>(-top),
                                         Gdiplus::MatrixOrderAppend);
    if (status != Ok) return status;

    UniqueImage scratchImage;
    Gdiplus::GpBitmap* scratch = nullptr;
    status = gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &scratch);
    if (status != Ok) return status;
    scratchImage.reset(scratch);
    {
        UniqueGraphics mask;
        UniqueBrush ink;
        Gdiplus::GpSolidFill* black = nullptr;
        status = gp::GdipBitmapSetResolution(scratch, dpiX, dpiY);
        if (status == Ok) status = gp::GdipGetImageGraphicsContext(scratch, mask.put());
        if (status == Ok) status = gp::GdipSetWorldTransform(mask.get(), maskWorld.get());
        if (status == Ok)
            status = gp::GdipSetTextRenderingHint(mask.get(), Gdiplus::TextRenderingHintSingleBitPerPixel);
        if (status == Ok) status = gp::GdipCreateSolidFill(kBlack, &black);
        ink.reset(black);
        if (status == Ok)
            status = gp::GdipDrawString(mask.get(), run.data(), length, text.font.get(), &layout, format, ink.get());
        if (status == Ok) status = gp::GdipFlush(mask.get(), Gdiplus::FlushIntentionSync);
        if (status != Ok) return status;
    }
    const std::vector<Gdiplus::ARGB> coverage = PixelsOf(scratch, width, height);
    if (coverage.empty()) return Gdiplus::OutOfMemory;

    UniquePath runs;
    status = gp::GdipCreatePath(Gdiplus::FillModeWinding, runs.put());
    bool any = false;
    for (int y = 0; y < height && status == Ok; ++y) {
        const Gdiplus::ARGB* row = coverage.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width && status == Ok;) {
            if ((row[x] >> 24) < 0x80) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && (row[x] >> 24) >= 0x80) ++x;
            status = gp::GdipAddPathRectangleI(runs.get(), left + start, top + y, x - start, 1);
            any = true;
        }
    }
    if (status != Ok || !any) return status;
    // The world transform is the identity here: the runs are in pixels.
    return gp::GdipFillPath(graphics, text.brush.get(), runs.get());
}

// Draws a run of the text as the platform draws it, or with hard edges
// where the platform antialiases text anyway.
Status DrawRun(const Canvas& canvas, const Text& text, std::wstring_view run, const Gdiplus::RectF& layout,
               Gdiplus::GpStringFormat* format) {
    if (!canvas.antialiased && !PlatformDrawsSingleBitText())
        return DrawThresholded(canvas.graphics, text, run, layout, format);
    return gp::GdipDrawString(canvas.graphics, run.data(), static_cast<INT>(run.size()), text.font.get(), &layout,
                              format, text.brush.get());
}

// The platform's glyph renderer takes one buffer for the box of the whole
// string, however little of it reaches the canvas: a long caption at a large
// size asks for gigabytes and the process dies. Text whose box stays within
// this many pixels is drawn whole as ever; of larger text, only the runs of
// each line that can reach the canvas are handed to the platform, each where
// the whole string's layout puts it.
constexpr double kPlatformTextPixels = 1 << 24;
// An em beyond this many pixels is refused: the platform draws one glyph that
// large in seconds, and no canvas of ours is much larger.
constexpr double kMaxEmPixels = 1 << 14;

// The corners of a rectangle through a matrix.
std::array<Gdiplus::PointF, 4> Corners(const Gdiplus::RectF& r) {
    return {{{r.X, r.Y}, {r.X + r.Width, r.Y}, {r.X, r.Y + r.Height}, {r.X + r.Width, r.Y + r.Height}}};
}

// The bounding box of points; infinite coordinates stay infinite.
Gdiplus::RectF BoxOf(const std::array<Gdiplus::PointF, 4>& points) {
    float minX = points[0].X, maxX = minX, minY = points[0].Y, maxY = minY;
    for (const Gdiplus::PointF& p : points) {
        minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
        minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
    }
    return {minX, minY, maxX - minX, maxY - minY};
}

// The font's em in device pixels.
double EmPixels(Gdiplus::GpGraphics* graphics, Gdiplus::GpFont* font) {
    Gdiplus::REAL size = 0, dpi = 96;
    Gdiplus::Unit unit = Gdiplus::UnitPixel;
    if (gp::GdipGetFontSize(font, &size) != Ok || gp::GdipGetFontUnit(font, &unit) != Ok ||
        gp::GdipGetDpiY(graphics, &dpi) != Ok)
        return std::numeric_limits<double>::infinity();
    switch (unit) {
    case Gdiplus::UnitPoint: return double(size) * dpi / 72.0;
    case Gdiplus::UnitInch: return double(size) * dpi;
    case Gdiplus::UnitDocument: return double(size) * dpi / 300.0;
    case Gdiplus::UnitMillimeter: return double(size) * dpi / 25.4;
    default: return size;
    }
}

// Where the characters of each line fall, from the platform's font metrics
// (one font, whose glyph metrics the platform keeps, so a long string costs
// little even at a huge size, unlike measuring it through GDI+, which
// renders every glyph's metrics afresh at each call).
struct LineLayout {
    size_t start = 0, length = 0;  // the line's characters, without its break
    std::vector<int> extents;      // extents[i]: advance of the first i + 1 characters
    int width() const noexcept { return extents.empty() ? 0 : extents.back(); }
};

struct TextLayout {
    std::vector<LineLayout> lines;
    float lineHeight = 0;
    int widest = 0;
};

bool LayOut(Gdiplus::GpGraphics* graphics, const Text& text, TextLayout& layout) {
    LOGFONTW logFont{};
    if (gp::GdipGetLogFontW(text.font.get(), graphics, &logFont) != Ok ||
        gp::GdipGetFontHeight(text.font.get(), graphics, &layout.lineHeight) != Ok)
        return false;
    logFont.lfEscapement = logFont.lfOrientation = 0;
    const UniqueGdiObject<HFONT> font(CreateFontIndirectW(&logFont));
    const com::UniqueAny<HDC, &DeleteDC> dc(CreateCompatibleDC(nullptr));
    if (!font || !dc) return false;
    const HGDIOBJ old = SelectObject(dc.get(), font.get());
    const std::wstring_view all = text.text;
    bool ok = true;
    for (size_t start = 0; start <= all.size() && ok;) {
        size_t end = all.find(L'\n', start);
        if (end == std::wstring_view::npos) end = all.size();
        LineLayout line{start, end - start, {}};
        while (line.length > 0 && all[line.start + line.length - 1] == L'\r') --line.length;
        if (line.length > 0) {
            line.extents.resize(line.length);
            SIZE size{};
            ok = GetTextExtentExPointW(dc.get(), all.data() + line.start, static_cast<int>(line.length), INT_MAX,
                                       nullptr, line.extents.data(), &size) != 0;
        }
        layout.widest = std::max(layout.widest, line.width());
        layout.lines.push_back(std::move(line));
        start = end + 1;
    }
    SelectObject(dc.get(), old);
    return ok;
}

// The area in pixels of the box the text covers under the world transform,
// with an em's margin; infinite when it overflows.
double TextBoxPixels(const TextLayout& layout, double em, const Gdiplus::GpMatrix* world) {
    const Gdiplus::RectF box{0, 0, static_cast<float>(layout.widest + em),
                             static_cast<float>(double(layout.lineHeight) * layout.lines.size() + em)};
    auto corners = Corners(box);
    if (world && gp::GdipTransformMatrixPoints(const_cast<Gdiplus::GpMatrix*>(world), corners.data(), 4) != Ok)
        return std::numeric_limits<double>::infinity();
    const Gdiplus::RectF turned = BoxOf(corners);
    const double area = (double(turned.Width) + 2) * (double(turned.Height) + 2);
    return std::isfinite(area) ? area : std::numeric_limits<double>::infinity();
}

// The canvas's visible area as a box in the text's own (unturned)
// coordinates, widened by margin on every side.
bool VisibleInTextSpace(Gdiplus::GpGraphics* graphics, const Gdiplus::GpMatrix* world, float margin,
                        Gdiplus::RectF& box) {
    Gdiplus::RectF device{};
    Status status = gp::GdipResetWorldTransform(graphics);
    if (status == Ok) status = gp::GdipGetVisibleClipBounds(graphics, &device);
    if (world) {
        const Status restored = gp::GdipSetWorldTransform(graphics, const_cast<Gdiplus::GpMatrix*>(world));
        if (status == Ok) status = restored;
    }
    auto corners = Corners(device);
    if (world && status == Ok) {
        UniqueMatrix inverse;
        status = gp::GdipCloneMatrix(const_cast<Gdiplus::GpMatrix*>(world), inverse.put());
        if (status == Ok) status = gp::GdipInvertMatrix(inverse.get());
        if (status == Ok) status = gp::GdipTransformMatrixPoints(inverse.get(), corners.data(), 4);
    }
    if (status != Ok) return false;
    box = BoxOf(corners);
    box = {box.X - margin, box.Y - margin, box.Width + 2 * margin, box.Height + 2 * margin};
    return true;
}

// Draws, line by line, only the characters that can reach the visible area,
// each where the whole string's layout puts it: a line's characters run
// along it in order, so those near the area are one run. A run is handed
// over in pieces whose box, turned any way, stays within the budget.
Status DrawVisibleRuns(const Canvas& canvas, const Text& text, const TextLayout& lines, double em,
                       const Gdiplus::RectF& layout, Gdiplus::GpStringFormat* format, bool endAtOrigin,
                       const Gdiplus::GpMatrix* world) {
    Gdiplus::RectF visible{};
    if (!VisibleInTextSpace(canvas.graphics, world, static_cast<float>(em), visible)) return Gdiplus::GenericError;
    Gdiplus::StringAlignment alignment = Gdiplus::StringAlignmentNear;
    UniqueStringFormat fromStart;
    if (gp::GdipGetStringFormatAlign(format, &alignment) != Ok || gp::GdipCloneStringFormat(format, fromStart.put()) != Ok ||
        gp::GdipSetStringFormatAlign(fromStart.get(), Gdiplus::StringAlignmentNear) != Ok)
        return Gdiplus::GenericError;
    const size_t piece = std::max<size_t>(1, static_cast<size_t>(kPlatformTextPixels / (2 * em * em)));
    const std::wstring_view all = text.text;
    for (size_t index = 0; index < lines.lines.size(); ++index) {
        const LineLayout& line = lines.lines[index];
        const float top = layout.Y + lines.lineHeight * static_cast<float>(index);
        if (line.length == 0 || top > visible.GetBottom() || top + lines.lineHeight < visible.Y) continue;
        // Where the line starts: at the origin, or ending at it, or centred
        // on it (the layout box has no width). A run drawn from its start
        // gets the platform's leading margin of a sixth of an em; text that
        // ends at the origin keeps a trailing one before it.
        const float margins = static_cast<float>(em / 3);
        float left = layout.X;
        if (endAtOrigin) left -= static_cast<float>(lines.widest) + margins;
        else if (alignment == Gdiplus::StringAlignmentFar) left -= static_cast<float>(line.width()) + margins;
        else if (alignment == Gdiplus::StringAlignmentCenter) left -= static_cast<float>(line.width()) / 2;
        // The first character whose end passes the area's left edge, and the
        // first whose start is beyond its right edge.
        const auto begin = line.extents.begin();
        const size_t from = static_cast<size_t>(
            std::upper_bound(begin, line.extents.end(), static_cast<double>(visible.X - left),
                             [](double x, int extent) { return x < extent; }) - begin);
        size_t to = from;
        while (to < line.length && (to == 0 ? 0 : line.extents[to - 1]) + left <= visible.GetRight()) ++to;
        for (size_t at = from; at < to; at += piece) {
            const std::wstring_view run = all.substr(line.start + at, std::min(piece, to - at));
            const float advance = at == 0 ? 0.0f : static_cast<float>(line.extents[at - 1]);
            const Gdiplus::RectF placed{left + advance, top, 0, 0};
            const Status status = DrawRun(canvas, text, run, placed, fromStart.get());
            if (status != Ok) return status;
        }
    }
    return Ok;
}

}  // namespace

bool PlatformDrawsSingleBitText() noexcept { return gSingleBitProbe.Result(); }
bool PlatformHonoursVerticalText() noexcept { return gVerticalProbe.Result(); }
bool PlatformHonoursRightToLeftText() noexcept { return gRightToLeftProbe.Result(); }

// Any failure is reported as GenericError: the caller tells text failures
// (most often a font that is not installed) by that status.
Status Text::Draw(const Canvas& canvas) const noexcept {
    try {
        if (!font || !format || !brush) return Gdiplus::GenericError;
        Gdiplus::GpGraphics* graphics = canvas.graphics;
        INT flags = 0;
        if (gp::GdipGetStringFormatFlags(format.get(), &flags) != Ok) return Gdiplus::GenericError;

        // Flags the platform ignores are taken out of a copy of the format
        // and made up for: vertical text by a quarter turn about the origin,
        // right-to-left text by ending the line at the origin.
        const bool turnVertical =
            (flags & Gdiplus::StringFormatFlagsDirectionVertical) && !PlatformHonoursVerticalText();
        const bool endAtOrigin =
            (flags & Gdiplus::StringFormatFlagsDirectionRightToLeft) && !PlatformHonoursRightToLeftText();
        UniqueStringFormat adjusted;
        Gdiplus::GpStringFormat* used = format.get();
        if (turnVertical || endAtOrigin) {
            if (gp::GdipCloneStringFormat(format.get(), adjusted.put()) != Ok) return Gdiplus::GenericError;
            INT kept = flags;
            if (turnVertical) kept &= ~Gdiplus::StringFormatFlagsDirectionVertical;
            if (endAtOrigin) kept &= ~Gdiplus::StringFormatFlagsDirectionRightToLeft;
            if (gp::GdipSetStringFormatFlags(adjusted.get(), kept) != Ok) return Gdiplus::GenericError;
            used = adjusted.get();
        }

        Gdiplus::RectF layout{origin.X, origin.Y, 0.0f, 0.0f};
        const float turn = angle + (turnVertical ? 90.0f : 0.0f);
        UniqueMatrix world;
        if (turn != 0.0f) {
            world = RotationAbout(origin, turn);
            if (!world || gp::GdipSetWorldTransform(graphics, world.get()) != Ok) return Gdiplus::GenericError;
        }
        // Text whose box is too large for the platform's renderer is drawn
        // by the runs that can reach the canvas; the em's check comes first,
        // since the metrics of a glyph larger than any canvas cost seconds.
        const double em = EmPixels(graphics, font.get());
        TextLayout lines;
        Status status = Ok;
        if (!(em > 0) || em > kMaxEmPixels || !LayOut(graphics, *this, lines)) {
            status = Gdiplus::GenericError;
        } else if (TextBoxPixels(lines, em, world.get()) > kPlatformTextPixels) {
            status = DrawVisibleRuns(canvas, *this, lines, em, layout, used, endAtOrigin, world.get());
        } else {
            if (endAtOrigin) {
                Gdiplus::RectF bounds{};
                status = gp::GdipMeasureString(graphics, text.c_str(), static_cast<INT>(text.size()), font.get(),
                                               &layout, used, &bounds, nullptr, nullptr);
                layout.X -= bounds.Width;
            }
            if (status == Ok) status = DrawRun(canvas, *this, text, layout, used);
        }
        if (world) gp::GdipResetWorldTransform(graphics);
        return status == Ok ? Ok : Gdiplus::GenericError;
    } catch (...) {
        return Gdiplus::GenericError;
    }
}

}  // namespace rastelle::drawing
