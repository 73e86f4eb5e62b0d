// What the system's transform classes share: the class base (creation, the
// error origin, GDI+ failures named after the class), the IGDIPlusTransform
// side through which a RasterObject hands over its bitmap, the automation
// Apply route through PixelArrays, the common body of the pixel-kernel
// transforms, and property accessors.
#pragma once

#include "com/com_object.h"
#include "com/dispatch.h"
#include "com/errors.h"
#include "com/properties.h"
#include "kernels/image_view.h"
#include "image/bitmap.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_session.h"
#include "rastelle_h.h"

#include <memory>
#include <string>
#include <type_traits>

namespace rastelle::transforms {

// IGDIPlusTransform for class Derived, whose
//   HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept
// is the bitmap body: it reads input and stores a new bitmap in *result.
// Every class makes its output itself.
template <class Derived>
class GdiplusTransform : public com::Dispatch<IGDIPlusTransform> {
public:
    STDMETHODIMP ApplyMe(LONG* inputBitmap, LONG** resultBitmap) override {
        if (!inputBitmap || !resultBitmap) return E_POINTER;
        // The caller's start-up may be another module's (an effect class of
        // the effect component, handed a raster object's bitmap).
        platform::GdiplusSession gdiplus;
        gdiplus.Start();
        return static_cast<Derived*>(this)->ApplyToBitmap(*reinterpret_cast<Bitmap*>(inputBitmap),
                                                          reinterpret_cast<Bitmap**>(resultBitmap));
    }
    STDMETHODIMP get_CreateOutputInsideTransform(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        *value = 1;  // 1, not VARIANT_TRUE: the caller tests for non-zero
        return S_OK;
    }
};

using com::ReadProperty;
using com::WriteProperty;

// The texts of a class's Apply route: the input array cannot become a bitmap
// ("to"), the result cannot become an array ("from").
struct ConversionMessages {
    const wchar_t* to;
    const wchar_t* from;
    // A failed result conversion returns its own code instead of "from".
    bool conversionCodeWins = false;
};

// How a class reports a failed GDI+ call: the method its text names, whether
// it carries the thread's last Windows error, and the code.
struct FailureStyle {
    const char* method = "Apply";
    bool withLastError = false;
    HRESULT code = com::kErrInvalidCall;
};

// Which interface answers for IDispatch: the class's own (late-bound
// properties) or the bitmap hand-over interface (the kernel transforms).
enum class DispatchBy { OwnInterface, HandOver };

template <class Derived, class Itf, DispatchBy dispatch>
using TransformComObject = std::conditional_t<
    dispatch == DispatchBy::OwnInterface,
    com::ComObject<Derived, com::Dispatch<Itf>, com::SupportErrorInfo<Itf>, GdiplusTransform<Derived>>,
    com::ComObject<Derived, GdiplusTransform<Derived>, com::Dispatch<Itf>, com::SupportErrorInfo<Itf>>>;

// The base of every transform class. Derived names itself with
//   static constexpr char kClassName[]   the object in GDI+ failure texts
// and may replace kFailureStyle. Its errors carry clsid and Itf's IID.
template <class Derived, class Itf, const CLSID& clsid, DispatchBy dispatch = DispatchBy::OwnInterface>
class TransformClass : public TransformComObject<Derived, Itf, dispatch> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept {
        return com::CreateComObject<Derived>(outer, iid, out);
    }
    static com::ErrorOrigin Origin() noexcept { return {clsid, __uuidof(Itf)}; }

    static constexpr FailureStyle kFailureStyle{};

protected:
    // Throws the failure text of a GDI+ status, in the class's style.
    [[noreturn]] static void Fail(Status status) {
        const FailureStyle& style = Derived::kFailureStyle;
        platform::ThrowGdiplusFailure(status, Derived::kClassName, style.method,
                                      style.withLastError ? GetLastError() : 0, style.code);
    }
};

// Apply(InputArray, OutputArray) through bitmaps: converts the array, runs
// the class's bitmap body and converts its result back.
template <class Derived>
HRESULT ApplyThroughBitmaps(Derived& transform, const com::ErrorOrigin& origin, const ConversionMessages& messages,
                            SAFEARRAY* input, SAFEARRAY** output) noexcept;

// A transform class whose Apply goes through bitmaps; Derived also names
//   static constexpr ConversionMessages kMessages
template <class Derived, class Itf, const CLSID& clsid>
class ArrayTransformClass : public TransformClass<Derived, Itf, clsid> {
public:
    STDMETHODIMP Apply(SAFEARRAY* input, SAFEARRAY** output) override {
        return ApplyThroughBitmaps(static_cast<Derived&>(*this), this->Origin(), Derived::kMessages, input, output);
    }
};

// The common body of the pixel-kernel transforms: makes the output (stored in
// *result at once), locks both bitmaps, copies the input into the output and
// runs kernel(context, input, output) in a protected region. A fault or an
// exception there raises "Some exception occured in the <transformName>
// transform..." followed by the support address.
using KernelFunction = void (*)(const void* context, kernels::ConstImageView input, kernels::ImageView output);
HRESULT DoTransform(const com::ErrorOrigin& origin, const char* className, const wchar_t* transformName,
                    Bitmap& input, Bitmap** result, KernelFunction kernel, const void* context) noexcept;

// The same with a callable kernel.
template <class Kernel>
HRESULT DoTransform(const com::ErrorOrigin& origin, const char* className, const wchar_t* transformName,
                    Bitmap& input, Bitmap** result, const Kernel& kernel) noexcept {
    return DoTransform(
        origin, className, transformName, input, result,
        [](const void* context, kernels::ConstImageView in, kernels::ImageView out) {
            (*static_cast<const Kernel*>(context))(in, out);
        },
        &kernel);
}

// A pixel-kernel transform: IDispatch is the hand-over interface and the
// bitmap body is DoTransform. Derived also names
//   static constexpr wchar_t kTransformName[]   for the exception message
//   void RunKernel(ConstImageView in, ImageView out) const
template <class Derived, class Itf, const CLSID& clsid>
class KernelTransformClass : public TransformClass<Derived, Itf, clsid, DispatchBy::HandOver> {
public:
    HRESULT ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
        const auto& self = static_cast<const Derived&>(*this);
        return DoTransform(this->Origin(), Derived::kClassName, Derived::kTransformName, input, result,
                           [&self](kernels::ConstImageView in, kernels::ImageView out) { self.RunKernel(in, out); });
    }
};

// Implementation of ApplyThroughBitmaps.
HRESULT ArrayToInputBitmap(SAFEARRAY* input, Bitmap** bitmap) noexcept;
HRESULT ResultToArray(Bitmap* result, SAFEARRAY** output) noexcept;

template <class Derived>
HRESULT ApplyThroughBitmaps(Derived& transform, const com::ErrorOrigin& origin, const ConversionMessages& messages,
                            SAFEARRAY* input, SAFEARRAY** output) noexcept {
    return com::Boundary(origin, [&] {
        // Used on its own, a transform has no object's GDI+ start-up to lean on.
        platform::GdiplusSession gdiplus;
        gdiplus.Start();
        Bitmap* in = nullptr;
        const HRESULT toHr = ArrayToInputBitmap(input, &in);
        std::unique_ptr<Bitmap> inOwner(in);
        if (FAILED(toHr) || !in) com::ThrowError(com::kErrInvalidCall, messages.to);

        Bitmap* result = nullptr;
        const HRESULT applyHr = transform.ApplyToBitmap(*in, &result);
        std::unique_ptr<Bitmap> resultOwner(result);
        if (FAILED(applyHr)) com::ThrowSilent(applyHr);  // the body placed its error object

        if (!output) com::ThrowError(com::kErrInvalidCall, messages.from);
        const HRESULT fromHr = ResultToArray(result, output);
        if (FAILED(fromHr) && messages.conversionCodeWins) com::ThrowSilent(fromHr);
        if (FAILED(fromHr) || !*output) com::ThrowError(com::kErrInvalidCall, messages.from);
        return S_OK;
    });
}

}  // namespace rastelle::transforms
