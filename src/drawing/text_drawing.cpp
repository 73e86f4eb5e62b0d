// Text primitives, and the probes that decide how they are drawn.
#include "drawing/primitives.h"
#include "drawing/text_probes.h"

#include "platform/capability_probe.h"

#include <algorithm>
#include <climits>
#include <cmath>
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
Status DrawThresholded(Gdiplus::GpGraphics* graphics, const Text& text, const Gdiplus::RectF& layout,
                       Gdiplus::GpStringFormat* format) {
    const INT length = static_cast<INT>(text.text.size());
    Gdiplus::RectF measured{};
    UniqueMatrix world;
    Status status = gp::GdipMeasureString(graphics, text.text.c_str(), length, text.font.get(), &layout, format,
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
            status = gp::GdipDrawString(mask.get(), text.text.c_str(), static_cast<INT>(text.text.size()),
                                        text.font.get(), &layout, format, ink.get());
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
        Status status = Ok;
        if (endAtOrigin) {
            Gdiplus::RectF bounds{};
            status = gp::GdipMeasureString(graphics, text.c_str(), static_cast<INT>(text.size()), font.get(), &layout,
                                           used, &bounds, nullptr, nullptr);
            layout.X -= bounds.Width;
        }
        if (status == Ok) {
            if (!canvas.antialiased && !PlatformDrawsSingleBitText())
                status = DrawThresholded(graphics, *this, layout, used);
            else
                status = gp::GdipDrawString(graphics, text.c_str(), static_cast<INT>(text.size()), font.get(), &layout,
                                            used, brush.get());
        }
        if (world) gp::GdipResetWorldTransform(graphics);
        return status == Ok ? Ok : Gdiplus::GenericError;
    } catch (...) {
        return Gdiplus::GenericError;
    }
}

}  // namespace rastelle::drawing
