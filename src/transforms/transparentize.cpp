#include "com/automation.h"
#include "com/protected_region.h"
#include "kernels/transparency.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_raii.h"
#include "transforms/colour_transforms.h"

namespace rastelle::transforms {

namespace {
constexpr com::ErrorOrigin kOrigin{CLSID_TransformTransparentize, IID_ITransformTransparentize};

kernels::ImageView LockedView(const Gdiplus::BitmapData& data) {
    return {static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width), static_cast<int>(data.Height),
            static_cast<std::ptrdiff_t>(data.Stride)};
}
}  // namespace

HRESULT TransformTransparentize::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<TransformTransparentize>(outer, iid, out);
}

STDMETHODIMP TransformTransparentize::get_TransparentColor(LONG* value) {
    if (!value) return E_INVALIDARG;
    *value = static_cast<LONG>(0xFF000000u | color_);
    return S_OK;
}

STDMETHODIMP TransformTransparentize::put_TransparentColor(LONG value) {
    color_ = static_cast<std::uint32_t>(value) & 0xFFFFFF;
    return S_OK;
}

HRESULT TransformTransparentize::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    return com::Boundary(kOrigin, [&] {
        const std::uint32_t color = color_;
        const std::uint8_t threshold = threshold_;
        const int width = input.width();
        const int height = input.height();
        std::unique_ptr<Bitmap> output(Bitmap::Create(width, height, PixelFormat32bppARGB));
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        const auto fail = [](Status status) {
            platform::ThrowGdiplusFailure(status, "TransformTransparentize", "ApplyMe", GetLastError(), E_FAIL);
        };
        if (output->lastStatus() != Gdiplus::Ok) fail(output->lastStatus());

        const Gdiplus::GpRect rect(0, 0, width, height);
        BitmapLock in;
        BitmapLock out;
        Status status = input.record(in.Lock(input.native(), rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB));
        if (status != Gdiplus::Ok) fail(status);
        status = output->record(out.Lock(output->native(), rect, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB));
        if (status != Gdiplus::Ok) fail(status);
        const kernels::ConstImageView source = LockedView(in.data());
        const kernels::ImageView target = LockedView(out.data());
        const bool completed =
            com::RunProtected([&] { kernels::TransparencyKernel(source, target, color, threshold); });
        input.record(in.Unlock());
        output->record(out.Unlock());
        if (!completed)
            com::ThrowError(E_FAIL, L"Cannot proceed transparentizing the image! If you see this message, please "
                                    L"contact " + SupportAddressText());
        *result = output.release();
        return S_OK;
    });
}

// The kernel runs straight from the input array's data into a new array of
// the same shape: every element is one pixel, visited in storage order.
STDMETHODIMP TransformTransparentize::Apply(SAFEARRAY* input, SAFEARRAY** output) {
    return com::Boundary(kOrigin, [&] {
        if (!input || !output) com::ThrowSilent(E_POINTER);
        if (SafeArrayGetDim(input) != 2 || SafeArrayGetElemsize(input) != 4) com::ThrowSilent(E_INVALIDARG);
        const ULONG width = input->rgsabound[0].cElements;
        const ULONG height = input->rgsabound[1].cElements;
        com::SafeArrayDataLock from(input);
        if (FAILED(from.status())) com::ThrowSilent(from.status());
        if (*output) SafeArrayDestroy(*output);
        *output = nullptr;
        SAFEARRAYBOUND bounds[2] = {{height, 0}, {width, 0}};
        com::UniqueSafeArray result(SafeArrayCreate(VT_I4, 2, bounds));
        if (!result) com::ThrowSilent(E_FAIL);
        {
            com::SafeArrayDataLock to(result.get());
            if (FAILED(to.status())) com::ThrowSilent(to.status());
            // The array is a width * height run of pixels; as an image one
            // row per array row.
            const kernels::ConstImageView source(static_cast<const std::uint32_t*>(from.data()),
                                                 static_cast<int>(width), static_cast<int>(height), width * 4LL);
            const kernels::ImageView target{static_cast<std::uint32_t*>(to.data()), static_cast<int>(width),
                                            static_cast<int>(height), static_cast<std::ptrdiff_t>(width) * 4};
            const std::uint32_t color = color_;
            const std::uint8_t threshold = threshold_;
            if (!com::RunProtected([&] { kernels::TransparencyKernel(source, target, color, threshold); }))
                com::ThrowError(E_FAIL, L"Some exception in TransformTransparentize.Apply occured. If you see this "
                                        L"message, please contact " + SupportAddressText());
        }
        *output = result.release();
        return S_OK;
    });
}

}  // namespace rastelle::transforms
