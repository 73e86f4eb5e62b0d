#include "codecs/picture_exchange.h"

#include "com/com_ptr.h"
#include "com/errors.h"
#include "image/gdi_handles.h"
#include "image/pixel_exchange.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_raii.h"

namespace rastelle::codecs {

namespace {

constexpr Gdiplus::ARGB kOpaqueBlack = 0xFF000000;

}  // namespace

HRESULT SavePicture(Bitmap* image, IPictureDisp** picture) {
    if (!picture) com::ThrowSilent(E_POINTER);
    *picture = nullptr;  // a failure hands out nothing
    if (!image) com::ThrowError(E_FAIL, L"Cannot save the image to Picture, because it is not loaded!");

    UniqueGdiObject<HBITMAP> handle(BitmapToHandle(image, kOpaqueBlack));
    if (!handle)
        com::ThrowError(E_FAIL,
                        com::WithSupportAddress(L"Cannot get handle to the image. If you see this message, please contact "));

    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = handle.get();
    description.bmp.hpal = nullptr;
    const HRESULT hr =
        OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(picture));
    // The picture owns the handle from now on and deletes it when released.
    if (SUCCEEDED(hr)) handle.release();
    return hr;
}

std::unique_ptr<Bitmap> ImageOfPicture(IPictureDisp* picture) {
    if (!picture) com::ThrowSilent(E_POINTER);
    com::ComPtr<IPicture> source;
    const HRESULT hr = picture->QueryInterface(IID_IPicture, source.put_void());
    if (FAILED(hr)) com::ThrowSilent(hr);

    // A picture without a bitmap (empty, icon, metafile) answers with a
    // handle GDI+ cannot read, which the status below reports.
    OLE_HANDLE handle = 0;
    OLE_HANDLE palette = 0;
    source->get_Handle(&handle);
    source->get_hPal(&palette);
    std::unique_ptr<Bitmap> temporary(HandleToBitmap(HandleFromOle<HBITMAP>(handle), HandleFromOle<HPALETTE>(palette)));
    if (!temporary) com::ThrowSilent(E_OUTOFMEMORY);
    if (temporary->lastStatus() != Gdiplus::Ok || !temporary->native())
        com::ThrowError(com::kErrGdiplusStartup, L"Cannot get image from IPictureDisp");

    const int width = temporary->width();
    const int height = temporary->height();
    std::unique_ptr<Bitmap> image(Bitmap::Create(width, height));
    if (!image) com::ThrowSilent(E_OUTOFMEMORY);
    if (image->lastStatus() != Gdiplus::Ok)
        platform::ThrowGdiplusFailure(image->lastStatus(), "RasterObject", "LoadPicture", 0);
    UniqueGraphics graphics;
    if (image->record(gp::GdipGetImageGraphicsContext(image->image(), graphics.put())) == Gdiplus::Ok)
        image->record(gp::GdipDrawImageRectI(graphics.get(), temporary->image(), 0, 0, width, height));
    return image;
}

}  // namespace rastelle::codecs
