// RasterObject::ApplyTransform: hands the image to a transform through the
// first protocol the transform offers (the system's bitmap hand-over, a GDI
// bitmap handle, or an automation Apply method with PixelArrays) and adopts
// its result.
#include "com/automation.h"
#include "com/com_ptr.h"
#include "com/errors.h"
#include "com/protected_region.h"
#include "image/gdi_handles.h"
#include "image/pixel_exchange.h"
#include "platform/gdiplus_errors.h"
#include "raster/raster_object.h"

#include <dispex.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

namespace rastelle {

using com::ThrowError;
using com::ThrowSilent;

namespace {

constexpr com::ErrorOrigin kOrigin{CLSID_RasterObject, IID_IRasterObject};

std::wstring ContactMessage(const wchar_t* what) {
    return com::WithSupportAddress(L"If you see that error message, please contact ") + what;
}

// Calls the client's Apply(InputArray, OutputArray) with input and returns
// the output array it set; throws its failure.
com::UniqueSafeArray InvokeClientApply(IDispatch* transform, SAFEARRAY* input) {
    // The client's object may be broken: a fault in it counts as a bad call.
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT namesHr = E_INVALIDARG;
    wchar_t applyName[] = L"Apply";
    LPOLESTR names[] = {applyName};
    if (!com::RunProtected(
            [&] { namesHr = transform->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &dispid); }))
        namesHr = E_INVALIDARG;
    // Objects of some script engines answer only through IDispatchEx.
    com::ComPtr<IDispatchEx> scriptObject;
    if (namesHr == E_NOTIMPL && SUCCEEDED(transform->QueryInterface(__uuidof(IDispatchEx), scriptObject.put_void()))) {
        com::UniqueBstr name{std::wstring_view(applyName)};
        namesHr = scriptObject->GetDispID(name.get(), fdexNameCaseInsensitive, &dispid);
    }
    if (FAILED(namesHr)) {
        if (namesHr == DISP_E_UNKNOWNNAME)
            ThrowError(com::kErrInvalidCall, L"Cannot find Apply method among the members of the object, you passed");
        ThrowSilent(namesHr);
    }

    // Arguments go in reverse order: element 1 is InputArray, element 0 the
    // by-reference OutputArray.
    SAFEARRAY* output = nullptr;
    VARIANTARG args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[1].vt = VT_ARRAY | VT_I4;
    args[1].parray = input;
    args[0].vt = VT_BYREF | VT_ARRAY | VT_I4;
    args[0].pparray = &output;
    DISPPARAMS params{args, nullptr, 2, 0};
    HRESULT hr = transform->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                   nullptr, nullptr);
    if (hr == E_NOTIMPL && scriptObject)
        hr = scriptObject->InvokeEx(dispid, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    com::UniqueSafeArray outputOwner(output);
    if (FAILED(hr)) ThrowSilent(hr);
    if (!output) ThrowError(hr, ContactMessage(L". Output array didn't passed!"));
    return outputOwner;
}

}  // namespace

HRESULT RasterObject::ApplyTransformOperation(IDispatch* transform) noexcept {
    return com::Boundary(kOrigin, [&] {
        if (!bitmap_)
            ThrowError(com::kErrInvalidCall,
                       L"Cannot apply the transform, because there is no any data. Create new image or load it first.");
        if (!transform) ThrowError(E_INVALIDARG, L"Cannot use the transform: NULL reference.");

        com::ComPtr<IGDIPlusTransform> direct;
        if (SUCCEEDED(transform->QueryInterface(IID_IGDIPlusTransform, direct.put_void())))
            return ApplyBitmapTransform(direct.get());
        com::ComPtr<IHBitmapTransform> handleTransform;
        if (SUCCEEDED(transform->QueryInterface(IID_IHBitmapTransform, handleTransform.put_void())))
            return ApplyHandleTransform(handleTransform);
        return ApplyAutomationTransform(transform);
    });
}

// The system's own transforms: the bitmap object itself changes hands.
HRESULT RasterObject::ApplyBitmapTransform(IGDIPlusTransform* transform) {
    VARIANT_BOOL createsOutput = 0;
    transform->get_CreateOutputInsideTransform(&createsOutput);
    Bitmap* result = nullptr;
    HRESULT hr;
    if (createsOutput != 0) {
        hr = transform->ApplyMe(reinterpret_cast<LONG*>(bitmap_.get()), reinterpret_cast<LONG**>(&result));
    } else {
        // The transform draws into a bitmap of the input's size that it is
        // handed directly (not through a variable).
        result = Bitmap::Create(bitmap_->width(), bitmap_->height(), PixelFormat32bppARGB);
        if (!result) ThrowSilent(E_OUTOFMEMORY);
        hr = transform->ApplyMe(reinterpret_cast<LONG*>(bitmap_.get()), reinterpret_cast<LONG**>(result));
    }
    if (FAILED(hr)) {
        delete result;
        ThrowSilent(hr);  // the transform has placed its own error object
    }
    ReplaceBitmap(result);
    return S_OK;
}

// Transforms from outside the system: a bitmap handle in, a picture out. The
// picture's handle and palette are copied and left to the picture: a picture
// that owns them (as one made with fOwn = TRUE does) deletes them when it is
// released, and deleting them here as well would free them twice.
HRESULT RasterObject::ApplyHandleTransform(com::ComPtr<IHBitmapTransform>& transform) {
    const std::wstring noResult =
        com::WithSupportAddress(L"Cannot obtain result of transformation. If you see this error message, please contact ");
    const UniqueGdiObject<HBITMAP> input(BitmapToHandle(bitmap_.get(), 0xFF000000));
    std::unique_ptr<Bitmap> result;
    {
        // The transform and its picture are the client's: no lock of ours is
        // held while they run.
        const com::CallOut callOut(lock_);
        com::ComPtr<IUnknown> picture;
        const HRESULT hr = transform->ApplyHBitmap(static_cast<LONG>(OleHandleOf(input.get())), picture.put());
        transform.reset();
        if (FAILED(hr)) ThrowSilent(hr);
        if (!picture) ThrowError(hr, noResult);
        com::ComPtr<IPicture> pictureInterface;
        if (FAILED(picture.As(pictureInterface))) ThrowError(hr, noResult);

        OLE_HANDLE handle = 0;
        OLE_HANDLE palette = 0;
        pictureInterface->get_Handle(&handle);
        pictureInterface->get_hPal(&palette);
        result.reset(HandleToBitmap(HandleFromOle<HBITMAP>(handle), HandleFromOle<HPALETTE>(palette)));
    }
    if (!result) ThrowSilent(E_OUTOFMEMORY);
    if (result->lastStatus() != Gdiplus::Ok)
        platform::ThrowGdiplusFailure(result->lastStatus(), "RasterObject", "ApplyTransform", 0);
    ReplaceBitmap(result.release());
    return S_OK;
}

// Any automation object with an Apply(InputArray, OutputArray) method.
HRESULT RasterObject::ApplyAutomationTransform(IDispatch* transform) {
    com::UniqueSafeArray input;
    HRESULT hr = BitmapToPixelArray(bitmap_.get(), input.put());
    if (FAILED(hr)) ThrowError(hr, ContactMessage(L". Some error occured during bitmap->array conversion"));

    com::UniqueSafeArray output;
    {
        // The transform is the client's: no lock of ours is held while it runs.
        const com::CallOut callOut(lock_);
        output = InvokeClientApply(transform, input.get());
    }

    // The old bitmap goes once the new one is made (a borrower of the old one
    // keeps it until it is done); a failed conversion leaves the image as it was.
    Bitmap* converted = nullptr;
    hr = PixelArrayToBitmap(output.get(), &converted);
    if (FAILED(hr)) ThrowError(hr, ContactMessage(L". Some error occured during array->bitmap conversion"));
    ReplaceBitmap(converted);
    return S_OK;
}

}  // namespace rastelle
