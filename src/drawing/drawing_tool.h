// DrawingTool: records vector primitives and text with the drawing settings
// in force, draws each at once on its targets (a raster object's image
// and/or a device context), and draws the whole list again on any image
// passed through Apply.
#pragma once

#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "com/object_lock.h"
#include "drawing/primitives.h"
#include "image/bitmap.h"
#include "platform/gdiplus_session.h"
#include "raster/raster_object.h"
#include "rastelle_h.h"

#include <memory>
#include <vector>

namespace rastelle::drawing {

// Start and sweep angles (degrees) of the arc of the ellipse in the rectangle
// (x, y, width, height) from the direction of (x1, y1) to that of (x2, y2),
// seen from the rectangle's centre.
struct ArcAngles {
    float start;
    float sweep;
};
ArcAngles ArcAnglesFromVectors(LONG x, LONG y, LONG width, LONG height, LONG x1, LONG y1, LONG x2, LONG y2) noexcept;

class DrawingTool final
    : public com::ComObject<DrawingTool, com::Dispatch<IDrawingTool>, com::SupportErrorInfo<IDrawingTool>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    DrawingTool() = default;
    ~DrawingTool() override;
    HRESULT FinalConstruct() noexcept;

    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override;
    STDMETHODIMP get_AntialiasingOn(VARIANT_BOOL* value) override;
    STDMETHODIMP put_AntialiasingOn(VARIANT_BOOL value) override;
    STDMETHODIMP get_DefaultPen(IDrawingPen** value) override;
    STDMETHODIMP put_DefaultPen(IDrawingPen* value) override;
    STDMETHODIMP get_DefaultBrush(IUnknown** value) override;
    STDMETHODIMP put_DefaultBrush(IUnknown* value) override;
    STDMETHODIMP SetEllipseViaRect(LONG x, LONG y, LONG width, LONG height, float angle, VARIANT_BOOL filled,
                                   IUnknown* pen, IUnknown* brush) override;
    STDMETHODIMP SetEllipseViaRadius(LONG centreX, LONG centreY, LONG radiusX, LONG radiusY, float angle,
                                     VARIANT_BOOL filled, IUnknown* pen, IUnknown* brush) override;
    STDMETHODIMP SetLine(LONG startX, LONG startY, LONG endX, LONG endY, IUnknown* pen) override;
    STDMETHODIMP SetRectangle(LONG x, LONG y, LONG width, LONG height, float angle, VARIANT_BOOL filled,
                              IUnknown* pen, IUnknown* brush) override;
    STDMETHODIMP SetBezierSpline(LONG startX, LONG startY, LONG control1X, LONG control1Y, LONG control2X,
                                 LONG control2Y, LONG endX, LONG endY, IUnknown* pen) override;
    STDMETHODIMP SetPolyline(VARIANT points, IUnknown* pen) override;
    STDMETHODIMP SetPolygon(VARIANT points, VARIANT_BOOL filled, FillModes mode, IUnknown* pen,
                            IUnknown* brush) override;
    STDMETHODIMP SetOpenedCurve(VARIANT points, float tension, IUnknown* pen) override;
    STDMETHODIMP SetClosedCurve(VARIANT points, float tension, VARIANT_BOOL filled, FillModes mode, IUnknown* pen,
                                IUnknown* brush) override;
    STDMETHODIMP SetArcViaRectAndVectors(LONG x, LONG y, LONG width, LONG height, LONG x1, LONG y1, LONG x2, LONG y2,
                                         IUnknown* pen) override;
    STDMETHODIMP SetArcViaRectAndAngles(LONG x, LONG y, LONG width, LONG height, float start, float sweep,
                                        IUnknown* pen) override;
    STDMETHODIMP SetPieViaRectAndVectors(LONG x, LONG y, LONG width, LONG height, LONG x1, LONG y1, LONG x2, LONG y2,
                                         VARIANT_BOOL filled, IUnknown* pen, IUnknown* brush) override;
    STDMETHODIMP SetPieViaRectAndAngles(LONG x, LONG y, LONG width, LONG height, float start, float sweep,
                                        VARIANT_BOOL filled, IUnknown* pen, IUnknown* brush) override;
    STDMETHODIMP SetText(BSTR text, LONG x, LONG y, float angle, IUnknown* textInfo, IUnknown* brush) override;
    STDMETHODIMP get_DefaultTextInfo(ITextInfo** value) override;
    STDMETHODIMP put_DefaultTextInfo(ITextInfo* value) override;
    STDMETHODIMP Clear(LONG backgroundColor) override;
    STDMETHODIMP get_hDC(LONG* value) override;
    STDMETHODIMP put_hDC(LONG value) override;
    STDMETHODIMP put_RasterObject(IRasterObject* value) override;

private:
    enum class Figure { Rectangle, Ellipse };
    enum class Curve { Opened, Closed };

    // Steps shared by the set methods; each throws the step's failure.
    std::unique_ptr<Shape> NewShape(const wchar_t* noMemoryMessage);
    UniquePen PenFor(IUnknown* given) const;
    UniqueBrush BrushFor(IUnknown* given) const;
    HRESULT AddAndDraw(std::unique_ptr<Primitive> primitive);

    HRESULT RecordFigure(Figure figure, LONG x, LONG y, LONG width, LONG height, float angle, VARIANT_BOOL filled,
                         IUnknown* pen, IUnknown* brush) noexcept;
    HRESULT RecordArc(LONG x, LONG y, LONG width, LONG height, float start, float sweep, IUnknown* pen) noexcept;
    HRESULT RecordPie(LONG x, LONG y, LONG width, LONG height, float start, float sweep, VARIANT_BOOL filled,
                      IUnknown* pen, IUnknown* brush) noexcept;
    HRESULT RecordCurve(Curve curve, const VARIANT& points, float tension, VARIANT_BOOL filled, FillModes mode,
                        IUnknown* pen, IUnknown* brush) noexcept;

    // The target raster object's image of the moment, lent for the drawing;
    // null without one.
    std::shared_ptr<Bitmap> TargetImage() const noexcept;
    HDC DeviceContext() const noexcept;
    // The check Apply makes of the default settings before drawing.
    void CheckDefaults() const;

    platform::GdiplusSession gdiplus_;  // first: it outlives the records
    std::vector<std::unique_ptr<Primitive>> primitives_;
    VARIANT_BOOL antialiasing_ = 1;
    com::ComPtr<IDrawingPen> defaultPen_;
    com::ComPtr<ITextInfo> defaultTextInfo_;
    com::ComPtr<IUnknown> defaultBrush_;
    LONG hdc_ = 0;
    // The raster object itself, not its image: loading and transforms replace
    // the image, and the tool always draws on the one of the moment.
    com::ComPtr<IRasterObject> target_;
    RasterObject* targetObject_ = nullptr;  // the same object, kept by target_
    // Every call holds it: a tool kept in ASP's Application scope is called
    // from many threads at once. Taken before the target's lock.
    com::ObjectLock lock_;
};

}  // namespace rastelle::drawing
