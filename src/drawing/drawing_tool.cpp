#include "drawing/drawing_tool.h"

#include "com/errors.h"
#include "com/properties.h"
#include "drawing/drawing_settings.h"
#include "drawing/gdiplus_settings.h"
#include "drawing/point_array.h"
#include "image/pixel_exchange.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_session.h"

#include <cmath>
#include <cstdlib>

namespace rastelle::drawing {

namespace {

constexpr com::ErrorOrigin kOrigin{CLSID_DrawingTool, IID_IDrawingTool};
constexpr char kObjectName[] = "DrawingTool";
constexpr size_t kListChunk = 128;

constexpr wchar_t kNoLine[] = L"Cannot add line! It is possible not enough memory.";
constexpr wchar_t kNoRectangle[] = L"Cannot add rectangle! It is possible not enough memory.";
constexpr wchar_t kNoBezier[] = L"Cannot add bezier spline! It is possible not enough memory.";
constexpr wchar_t kNoPolyline[] = L"Cannot add polyline! It is possible not enough memory.";
constexpr wchar_t kNoPolygon[] = L"Cannot add polygon! It is possible not enough memory.";
constexpr wchar_t kNoOpenedCurve[] = L"Cannot add opened curve! It is possible not enough memory.";
constexpr wchar_t kNoClosedCurve[] = L"Cannot add closed curve! It is possible not enough memory.";
// Ellipses, arcs, pies and text share one text.
constexpr wchar_t kNoEllipse[] = L"Cannot add ellipse! It is possible not enough memory.";

constexpr wchar_t kWrongBrushPassed[] =
    L"Wrong brush object passed! You must use DrawingSolidBrush, DrawingTextureBrush and DrawingHatchBrush only!";

// A figure that GDI+ could not add to the record's path fails as the record
// itself would.
void Build(Status status, const wchar_t* noMemoryMessage) {
    if (status != Gdiplus::Ok) com::ThrowError(E_FAIL, noMemoryMessage);
}

std::vector<Gdiplus::Point> ToGdiplus(const std::vector<ArrayPoint>& points) {
    std::vector<Gdiplus::Point> result;
    result.reserve(points.size());
    for (const ArrayPoint& p : points) result.emplace_back(p.x, p.y);
    return result;
}

// The points of a PointsArray, or the method's failure.
std::vector<Gdiplus::Point> ParsePoints(const VARIANT& argument, bool polyline) {
    std::vector<ArrayPoint> points;
    const PointArrayResult parsed = ParsePointArray(argument, points);
    switch (parsed.fault) {
        case PointArrayFault::None: return ToGdiplus(points);
        case PointArrayFault::NotAnArray: com::ThrowError(E_INVALIDARG, L"Wrong points array!");
        case PointArrayFault::WrongShape: com::ThrowError(E_INVALIDARG, L"Wrong array of points!");
        case PointArrayFault::NotANumber:
            if (polyline) com::ThrowError(com::kErrPointArray, L"Array must contain numbers only!");
            break;
        case PointArrayFault::OutOfMemory: break;
    }
    com::ThrowError(parsed.code, com::WithSupportAddress(L"Some error occured during SafeArray with points parsing! "
                                                         L"If you see this error, please contact "));
}

void CheckFillMode(FillModes mode) {
    if (mode != fmAlternate && mode != fmWinding)
        com::ThrowError(E_FAIL,
                        com::WithSupportAddress(L"Wrong filling mode! If you see this message, please contact "));
}

// Arithmetic on coordinates wraps as the platform's 32-bit integers do,
// without undefined behaviour.
LONG Wrapped(long long value) noexcept { return static_cast<LONG>(static_cast<unsigned long long>(value)); }

double DirectionAngle(LONG dx, LONG dy) noexcept {
    if (dx == 0) return dy >= 0 ? 90.0 : 270.0;
    if (dy == 0) return dx > 0 ? 0.0 : 180.0;
    return std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 57.29577950924861;
}

}  // namespace

ArcAngles ArcAnglesFromVectors(LONG x, LONG y, LONG width, LONG height, LONG x1, LONG y1, LONG x2, LONG y2) noexcept {
    const long long cx = std::llabs(static_cast<long long>(x) + width / 2);
    const long long cy = std::llabs(static_cast<long long>(y) + height / 2);
    const double start = DirectionAngle(Wrapped(x1 - cx), Wrapped(y1 - cy));
    double sweep = DirectionAngle(Wrapped(x2 - cx), Wrapped(y2 - cy)) - start;
    while (sweep < 0.0) sweep += 360.0;
    return {static_cast<float>(start), static_cast<float>(sweep)};
}

// --- Life -------------------------------------------------------------------

HRESULT DrawingTool::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<DrawingTool>(outer, iid, out);
}

HRESULT DrawingTool::FinalConstruct() noexcept {
    const Status status = gdiplus_.Start();
    if (status != Gdiplus::Ok) {
        return com::Boundary(kOrigin, [&]() -> HRESULT {
            platform::ThrowGdiplusFailure(status, "RasterObject", "constructor", 0, com::kErrGdiplusStartup);
        });
    }
    HRESULT hr = DrawingPen::Create(nullptr, IID_IDrawingPen, defaultPen_.put_void());
    if (SUCCEEDED(hr)) hr = TextInfo::Create(nullptr, IID_ITextInfo, defaultTextInfo_.put_void());
    if (SUCCEEDED(hr)) hr = DrawingSolidBrush::Create(nullptr, IID_IUnknown, defaultBrush_.put_void());
    if (FAILED(hr)) return hr;
    try {
        primitives_.reserve(kListChunk);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return CreateMarshaler();
}

DrawingTool::~DrawingTool() {
    // The records hold GDI+ objects: they go before GDI+ shuts down.
    primitives_.clear();
}

// --- Properties -------------------------------------------------------------

STDMETHODIMP DrawingTool::get_AntialiasingOn(VARIANT_BOOL* value) {
    return com::ReadProperty(lock_, antialiasing_, value);
}
STDMETHODIMP DrawingTool::put_AntialiasingOn(VARIANT_BOOL value) {
    return com::WriteProperty(lock_, antialiasing_, value);
}

STDMETHODIMP DrawingTool::get_DefaultPen(IDrawingPen** value) {
    const com::ObjectLock::Hold hold(lock_);
    return defaultPen_.CopyTo(value);
}

STDMETHODIMP DrawingTool::put_DefaultPen(IDrawingPen* value) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        if (!value) com::ThrowError(E_INVALIDARG, L"You should not assign Nothing to the DefaultPen property!");
        defaultPen_ = com::ComPtr<IDrawingPen>(value);
        return S_OK;
    });
}

STDMETHODIMP DrawingTool::get_DefaultBrush(IUnknown** value) {
    const com::ObjectLock::Hold hold(lock_);
    return defaultBrush_.CopyTo(value);
}

STDMETHODIMP DrawingTool::put_DefaultBrush(IUnknown* value) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        if (!value) com::ThrowError(E_INVALIDARG, L"You should not assign Nothing to the DefaultBrush property!");
        com::ComPtr<IUnknown> object(value), kind;
        if (FAILED(object->QueryInterface(IID_IDrawingSolidBrush, kind.put_void())) &&
            FAILED(object->QueryInterface(IID_IDrawingHatchBrush, kind.put_void())) &&
            FAILED(object->QueryInterface(IID_IDrawingTextureBrush, kind.put_void())))
            com::ThrowError(E_INVALIDARG,
                            L"Wrong Brush object! Make sure that you try to assign appropriate instanse "
                            L"of Rastelle's brush object!");
        defaultBrush_ = std::move(object);
        return S_OK;
    });
}

STDMETHODIMP DrawingTool::get_DefaultTextInfo(ITextInfo** value) {
    const com::ObjectLock::Hold hold(lock_);
    return defaultTextInfo_.CopyTo(value);
}

STDMETHODIMP DrawingTool::put_DefaultTextInfo(ITextInfo* value) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        if (!value) com::ThrowError(E_INVALIDARG, L"You should not assign Nothing to the DefaultTextInfo property!");
        defaultTextInfo_ = com::ComPtr<ITextInfo>(value);
        return S_OK;
    });
}

STDMETHODIMP DrawingTool::get_hDC(LONG* value) { return com::ReadProperty(lock_, hdc_, value); }
STDMETHODIMP DrawingTool::put_hDC(LONG value) { return com::WriteProperty(lock_, hdc_, value); }

// Nothing clears the target; anything but a raster object of this module is
// refused as an object without the system's interface.
STDMETHODIMP DrawingTool::put_RasterObject(IRasterObject* value) {
    const com::ObjectLock::Hold hold(lock_);
    if (!value) {
        target_.reset();
        targetObject_ = nullptr;
        return S_OK;
    }
    RasterObject* own = OwnRasterObject(value);
    if (!own) return E_NOINTERFACE;
    target_ = com::ComPtr<IRasterObject>(value);
    targetObject_ = own;
    return S_OK;
}

std::shared_ptr<Bitmap> DrawingTool::TargetImage() const noexcept {
    if (!targetObject_) return nullptr;
    std::shared_ptr<Bitmap> image = targetObject_->LendImage();
    return image && image->native() ? image : nullptr;
}

// The handle is a 32-bit value; on 64-bit Windows handles sign-extend.
HDC DrawingTool::DeviceContext() const noexcept { return reinterpret_cast<HDC>(static_cast<LONG_PTR>(hdc_)); }

// --- Recording --------------------------------------------------------------

std::unique_ptr<Shape> DrawingTool::NewShape(const wchar_t* noMemoryMessage) {
    if (primitives_.size() == primitives_.capacity()) primitives_.reserve(primitives_.capacity() + kListChunk);
    try {
        return std::make_unique<Shape>();
    } catch (const std::bad_alloc&) {
        com::ThrowError(E_FAIL, noMemoryMessage);
    }
}

UniquePen DrawingTool::PenFor(IUnknown* given) const {
    UniquePen pen;
    if (given) {
        com::ComPtr<IDrawingPen> settings;
        const HRESULT hr = given->QueryInterface(IID_IDrawingPen, settings.put_void());
        if (FAILED(hr)) com::ThrowError(hr, L"Invalid pen object passed!");
        if (ConvertPen(settings.get(), pen) != Gdiplus::Ok)
            com::ThrowError(E_INVALIDARG, com::WithSupportAddress(L"Cannot convert IDrawingPen to GDI+ Pen! If you "
                                                                  L"see this error, please contact "));
    } else if (ConvertPen(defaultPen_.get(), pen) != Gdiplus::Ok) {
        com::ThrowError(E_INVALIDARG, com::WithSupportAddress(L"Cannot convert default IDrawingPen to GDI+ Pen! If "
                                                              L"you see this error, please contact "));
    }
    return pen;
}

UniqueBrush DrawingTool::BrushFor(IUnknown* given) const {
    UniqueBrush brush;
    const BrushConversion converted = ConvertBrush(given ? given : defaultBrush_.get(), brush);
    if (converted.kind == BrushKind::None || converted.MissingTexture())
        com::ThrowError(E_INVALIDARG, kWrongBrushPassed);
    if (converted.status != Gdiplus::Ok)
        com::ThrowError(E_INVALIDARG, com::WithSupportAddress(L"Something wrong with brush object! If you see this "
                                                              L"error, please contact "));
    return brush;
}

// Draws the new primitive on the image, then on the device context, and only
// then keeps it: a failure on either leaves the list as it was.
HRESULT DrawingTool::AddAndDraw(std::unique_ptr<Primitive> primitive) {
    const bool antialiased = antialiasing_ != 0;
    auto draw = [&](UniqueGraphics& graphics, Status made, Gdiplus::GpBitmap* bitmap, const char* method) {
        Status status = made;
        if (status == Gdiplus::Ok) status = PrepareGraphics(graphics.get(), antialiased);
        if (status == Gdiplus::Ok) status = primitive->Draw({graphics.get(), bitmap, antialiased});
        if (status == Gdiplus::Ok) status = gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
        graphics.reset();
        if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, kObjectName, method, GetLastError(), E_FAIL);
    };
    SetLastError(0);
    if (const std::shared_ptr<Bitmap> image = TargetImage()) {
        UniqueGraphics graphics;
        const Status made = gp::GdipGetImageGraphicsContext(image->image(), graphics.put());
        draw(graphics, made, image->native(), "AddPrimitive (RasterObject)");
    }
    if (hdc_ != 0) {
        UniqueGraphics graphics;
        const Status made = gp::GdipCreateFromHDC(DeviceContext(), graphics.put());
        draw(graphics, made, nullptr, "AddPrimitive (HDC)");
    }
    primitives_.push_back(std::move(primitive));  // the capacity was made beforehand
    return S_OK;
}

STDMETHODIMP DrawingTool::SetLine(LONG startX, LONG startY, LONG endX, LONG endY, IUnknown* pen) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        auto shape = NewShape(kNoLine);
        Build(gp::GdipAddPathLineI(shape->path(), startX, startY, endX, endY), kNoLine);
        shape->pen = PenFor(pen);
        return AddAndDraw(std::move(shape));
    });
}

STDMETHODIMP DrawingTool::SetBezierSpline(LONG startX, LONG startY, LONG control1X, LONG control1Y, LONG control2X,
                                          LONG control2Y, LONG endX, LONG endY, IUnknown* pen) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        auto shape = NewShape(kNoBezier);
        Build(gp::GdipAddPathBezierI(shape->path(), startX, startY, control1X, control1Y, control2X, control2Y, endX,
                                     endY),
              kNoBezier);
        shape->pen = PenFor(pen);
        return AddAndDraw(std::move(shape));
    });
}

HRESULT DrawingTool::RecordFigure(Figure figure, LONG x, LONG y, LONG width, LONG height, float angle,
                                  VARIANT_BOOL filled, IUnknown* pen, IUnknown* brush) noexcept {
    return com::Boundary(kOrigin, [&] {
        if (width <= 0 || height <= 0) com::ThrowSilent(E_INVALIDARG);
        const wchar_t* noMemory = figure == Figure::Rectangle ? kNoRectangle : kNoEllipse;
        auto shape = NewShape(noMemory);
        Build(figure == Figure::Rectangle ? gp::GdipAddPathRectangleI(shape->path(), x, y, width, height)
                                          : gp::GdipAddPathEllipseI(shape->path(), x, y, width, height),
              noMemory);
        shape->angle = angle;
        shape->centre = {static_cast<float>(x) + static_cast<float>(width) * 0.5f,
                         static_cast<float>(y) + static_cast<float>(height) * 0.5f};
        shape->filled = filled != 0;
        shape->pen = PenFor(pen);
        shape->brush = BrushFor(brush);
        return AddAndDraw(std::move(shape));
    });
}

STDMETHODIMP DrawingTool::SetRectangle(LONG x, LONG y, LONG width, LONG height, float angle, VARIANT_BOOL filled,
                                       IUnknown* pen, IUnknown* brush) {
    const com::ObjectLock::Hold hold(lock_);
    return RecordFigure(Figure::Rectangle, x, y, width, height, angle, filled, pen, brush);
}

STDMETHODIMP DrawingTool::SetEllipseViaRect(LONG x, LONG y, LONG width, LONG height, float angle, VARIANT_BOOL filled,
                                            IUnknown* pen, IUnknown* brush) {
    const com::ObjectLock::Hold hold(lock_);
    return RecordFigure(Figure::Ellipse, x, y, width, height, angle, filled, pen, brush);
}

STDMETHODIMP DrawingTool::SetEllipseViaRadius(LONG centreX, LONG centreY, LONG radiusX, LONG radiusY, float angle,
                                              VARIANT_BOOL filled, IUnknown* pen, IUnknown* brush) {
    const com::ObjectLock::Hold hold(lock_);
    if (radiusX <= 0 || radiusY <= 0) return E_INVALIDARG;
    return RecordFigure(Figure::Ellipse, Wrapped(static_cast<long long>(centreX) - radiusX),
                        Wrapped(static_cast<long long>(centreY) - radiusY), Wrapped(2LL * radiusX),
                        Wrapped(2LL * radiusY), angle, filled, pen, brush);
}

HRESULT DrawingTool::RecordArc(LONG x, LONG y, LONG width, LONG height, float start, float sweep,
                               IUnknown* pen) noexcept {
    return com::Boundary(kOrigin, [&] {
        if (width <= 0 || height <= 0) com::ThrowSilent(E_INVALIDARG);
        auto shape = NewShape(kNoEllipse);
        Build(gp::GdipAddPathArcI(shape->path(), x, y, width, height, start, sweep), kNoEllipse);
        shape->pen = PenFor(pen);
        return AddAndDraw(std::move(shape));
    });
}

HRESULT DrawingTool::RecordPie(LONG x, LONG y, LONG width, LONG height, float start, float sweep, VARIANT_BOOL filled,
                               IUnknown* pen, IUnknown* brush) noexcept {
    return com::Boundary(kOrigin, [&] {
        if (width <= 0 || height <= 0) com::ThrowSilent(E_INVALIDARG);
        auto shape = NewShape(kNoEllipse);
        Build(gp::GdipAddPathPieI(shape->path(), x, y, width, height, start, sweep), kNoEllipse);
        shape->filled = filled != 0;
        shape->pen = PenFor(pen);
        shape->brush = BrushFor(brush);
        return AddAndDraw(std::move(shape));
    });
}

STDMETHODIMP DrawingTool::SetArcViaRectAndVectors(LONG x, LONG y, LONG width, LONG height, LONG x1, LONG y1, LONG x2,
                                                  LONG y2, IUnknown* pen) {
    const com::ObjectLock::Hold hold(lock_);
    const ArcAngles angles = ArcAnglesFromVectors(x, y, width, height, x1, y1, x2, y2);
    return RecordArc(x, y, width, height, angles.start, angles.sweep, pen);
}

STDMETHODIMP DrawingTool::SetArcViaRectAndAngles(LONG x, LONG y, LONG width, LONG height, float start, float sweep,
                                                 IUnknown* pen) {
    const com::ObjectLock::Hold hold(lock_);
    return RecordArc(x, y, width, height, start, sweep, pen);
}

STDMETHODIMP DrawingTool::SetPieViaRectAndVectors(LONG x, LONG y, LONG width, LONG height, LONG x1, LONG y1, LONG x2,
                                                  LONG y2, VARIANT_BOOL filled, IUnknown* pen, IUnknown* brush) {
    const com::ObjectLock::Hold hold(lock_);
    const ArcAngles angles = ArcAnglesFromVectors(x, y, width, height, x1, y1, x2, y2);
    return RecordPie(x, y, width, height, angles.start, angles.sweep, filled, pen, brush);
}

STDMETHODIMP DrawingTool::SetPieViaRectAndAngles(LONG x, LONG y, LONG width, LONG height, float start, float sweep,
                                                 VARIANT_BOOL filled, IUnknown* pen, IUnknown* brush) {
    const com::ObjectLock::Hold hold(lock_);
    return RecordPie(x, y, width, height, start, sweep, filled, pen, brush);
}

STDMETHODIMP DrawingTool::SetPolyline(VARIANT points, IUnknown* pen) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        const std::vector<Gdiplus::Point> parsed = ParsePoints(points, true);
        auto shape = NewShape(kNoPolyline);
        Build(gp::GdipAddPathLine2I(shape->path(), parsed.data(), static_cast<INT>(parsed.size())), kNoPolyline);
        shape->pen = PenFor(pen);
        return AddAndDraw(std::move(shape));
    });
}

// The outline is closed back to the first point; figures of one or two
// points are kept as GDI+ draws them.
STDMETHODIMP DrawingTool::SetPolygon(VARIANT points, VARIANT_BOOL filled, FillModes mode, IUnknown* pen,
                                     IUnknown* brush) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        const std::vector<Gdiplus::Point> parsed = ParsePoints(points, false);
        auto shape = NewShape(kNoPolygon);
        Build(gp::GdipAddPathLine2I(shape->path(), parsed.data(), static_cast<INT>(parsed.size())), kNoPolygon);
        Build(gp::GdipClosePathFigure(shape->path()), kNoPolygon);
        shape->filled = filled != 0;
        shape->pen = PenFor(pen);
        CheckFillMode(mode);
        Build(gp::GdipSetPathFillMode(shape->path(), static_cast<Gdiplus::GpFillMode>(mode)), kNoPolygon);
        shape->brush = BrushFor(brush);
        return AddAndDraw(std::move(shape));
    });
}

HRESULT DrawingTool::RecordCurve(Curve curve, const VARIANT& points, float tension, VARIANT_BOOL filled, FillModes mode,
                                 IUnknown* pen, IUnknown* brush) noexcept {
    return com::Boundary(kOrigin, [&] {
        const std::vector<Gdiplus::Point> parsed = ParsePoints(points, false);
        if (parsed.size() < 3) com::ThrowError(E_INVALIDARG, L"There are must be at least 3 points!");
        const INT count = static_cast<INT>(parsed.size());
        const bool closed = curve == Curve::Closed;
        const wchar_t* noMemory = closed ? kNoClosedCurve : kNoOpenedCurve;
        auto shape = NewShape(noMemory);
        Build(closed ? gp::GdipAddPathClosedCurve2I(shape->path(), parsed.data(), count, tension)
                     : gp::GdipAddPathCurve2I(shape->path(), parsed.data(), count, tension),
              noMemory);
        shape->pen = PenFor(pen);
        if (closed) {
            shape->filled = filled != 0;
            CheckFillMode(mode);
            Build(gp::GdipSetPathFillMode(shape->path(), static_cast<Gdiplus::GpFillMode>(mode)), noMemory);
            shape->brush = BrushFor(brush);
        }
        return AddAndDraw(std::move(shape));
    });
}

STDMETHODIMP DrawingTool::SetOpenedCurve(VARIANT points, float tension, IUnknown* pen) {
    const com::ObjectLock::Hold hold(lock_);
    return RecordCurve(Curve::Opened, points, tension, 0, fmAlternate, pen, nullptr);
}

STDMETHODIMP DrawingTool::SetClosedCurve(VARIANT points, float tension, VARIANT_BOOL filled, FillModes mode,
                                         IUnknown* pen, IUnknown* brush) {
    const com::ObjectLock::Hold hold(lock_);
    return RecordCurve(Curve::Closed, points, tension, filled, mode, pen, brush);
}

STDMETHODIMP DrawingTool::SetText(BSTR text, LONG x, LONG y, float angle, IUnknown* textInfo, IUnknown* brush) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        if (primitives_.size() == primitives_.capacity()) primitives_.reserve(primitives_.capacity() + kListChunk);
        std::unique_ptr<Text> record;
        try {
            record = std::make_unique<Text>();
            record->text.assign(text ? text : L"", text ? SysStringLen(text) : 0);
        } catch (const std::bad_alloc&) {
            com::ThrowError(E_FAIL, kNoEllipse);
        }
        record->origin = {static_cast<float>(x), static_cast<float>(y)};
        record->angle = angle;
        record->brush = BrushFor(brush);

        com::ComPtr<ITextInfo> settings = defaultTextInfo_;
        if (textInfo) {
            const HRESULT hr = textInfo->QueryInterface(IID_ITextInfo, settings.put_void());
            if (FAILED(hr)) com::ThrowError(hr, L"Wrong TextInfo object!");
        }
        if (ConvertTextInfo(settings.get(), record->font, record->format) != Gdiplus::Ok)
            com::ThrowError(E_FAIL, com::WithSupportAddress(L"Cannot convert ITextInfo to Gdiplus::Font! If you see "
                                                            L"this message, please contact "));
        return AddAndDraw(std::move(record));
    });
}

// --- Apply and Clear --------------------------------------------------------

void DrawingTool::CheckDefaults() const {
    UniqueFont font;
    UniqueStringFormat format;
    if (ConvertTextInfo(defaultTextInfo_.get(), font, format) != Gdiplus::Ok)
        com::ThrowError(E_FAIL,
                        com::WithSupportAddress(L"Wrong TextInfo object! If you see this error, please contact "));
    UniquePen pen;
    if (ConvertPen(defaultPen_.get(), pen) != Gdiplus::Ok)
        com::ThrowError(E_FAIL, com::WithSupportAddress(L"Wrong pen object! If you see this error, please contact "));
    UniqueBrush brush;
    const BrushConversion converted = ConvertBrush(defaultBrush_.get(), brush);
    if (converted.MissingTexture())
        com::ThrowError(E_INVALIDARG,
                        L"Texture is not loaded to the brush! Load some image to the Texture property "
                        L"of the TextureBrush object!");
    if (converted.kind == BrushKind::None || converted.status != Gdiplus::Ok)
        com::ThrowError(E_FAIL, com::WithSupportAddress(L"Wrong brush object! If you see this error, please contact "));
}

STDMETHODIMP DrawingTool::Apply(SAFEARRAY* input, SAFEARRAY** output) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        Bitmap* converted = nullptr;
        const HRESULT hr = PixelArrayToBitmap(input, &converted);
        std::unique_ptr<Bitmap> image(converted);
        if (FAILED(hr) || !image || !image->native())
            com::ThrowError(com::kErrInvalidCall, L"Cannot retrieve bitmap data to the drawing tool");
        CheckDefaults();

        const bool antialiased = antialiasing_ != 0;
        UniqueGraphics graphics;
        Status status = gp::GdipGetImageGraphicsContext(image->image(), graphics.put());
        if (status == Gdiplus::Ok) status = PrepareGraphics(graphics.get(), antialiased);
        for (size_t i = 0; status == Gdiplus::Ok && i < primitives_.size(); ++i)
            status = primitives_[i]->Draw({graphics.get(), image->native(), antialiased});
        if (status == Gdiplus::Ok) status = gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
        graphics.reset();
        if (status == Gdiplus::GenericError)
            com::ThrowError(com::kErrInvalidCall,
                            L"Error occured during text rendering! It is possible you try to use "
                            L"font which is not installed at the server.");
        if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, kObjectName, "Apply", 0, com::kErrInvalidCall);

        if (!output || FAILED(BitmapToPixelArray(image.get(), output)) || !*output)
            com::ThrowError(com::kErrInvalidCall, L"Cannot retrieve bitmap data from the drawing tool");
        return S_OK;
    });
}

STDMETHODIMP DrawingTool::Clear(LONG backgroundColor) {
    const com::ObjectLock::Hold hold(lock_);
    return com::Boundary(kOrigin, [&] {
        std::vector<std::unique_ptr<Primitive>> empty;
        empty.reserve(kListChunk);
        primitives_.swap(empty);

        const auto argb = static_cast<Gdiplus::ARGB>(backgroundColor);
        auto clear = [&](UniqueGraphics& graphics, Status status) {
            if (status == Gdiplus::Ok) status = gp::GdipGraphicsClear(graphics.get(), argb);
            if (status == Gdiplus::Ok) status = gp::GdipFlush(graphics.get(), Gdiplus::FlushIntentionSync);
            graphics.reset();
            return status;
        };
        if (const std::shared_ptr<Bitmap> image = TargetImage()) {
            UniqueGraphics graphics;
            const Status status = clear(graphics, gp::GdipGetImageGraphicsContext(image->image(), graphics.put()));
            if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, kObjectName, "Clear", 0, E_FAIL);
        }
        if (hdc_ != 0) {
            UniqueGraphics graphics;
            if (clear(graphics, gp::GdipCreateFromHDC(DeviceContext(), graphics.put())) != Gdiplus::Ok)
                com::ThrowError(E_FAIL, L"Cannot clear given hDC. Make sure that you try to use valid hangle!");
        }
        return S_OK;
    });
}

}  // namespace rastelle::drawing
