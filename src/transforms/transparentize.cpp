#include "com/automation.h"
#include "com/errors.h"
#include "com/protected_region.h"
#include "image/bitmap_lock.h"
#include "kernels/transparency.h"
#include "transforms/colour_transforms.h"

namespace rastelle::transforms {

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
    return com::Boundary(Origin(), [&] {
        const std::uint32_t color = color_;
        const std::uint8_t threshold = threshold_;
        const int width = input.width();
        const int height = input.height();
        std::unique_ptr<Bitmap> output(Bitmap::CreateToOverwrite(width, height));
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        if (output->lastStatus() != Gdiplus::Ok) Fail(output->lastStatus());

        PixelLockPair locks;
        const Status status = locks.Lock(input, *output);
        if (status != Gdiplus::Ok) Fail(status);
        const bool completed =
            com::RunProtected([&] { kernels::TransparencyKernel(locks.input(), locks.output(), color, threshold); });
        locks.Unlock();
        if (!completed)
            com::ThrowError(E_FAIL, com::WithSupportAddress(L"Cannot proceed transparentizing the image! If you see this "
                                                       L"message, please contact "));
        *result = output.release();
        return S_OK;
    });
}

// The kernel runs straight from the input array's data into a new array of
// the same shape: every element is one pixel, visited in storage order.
STDMETHODIMP TransformTransparentize::Apply(SAFEARRAY* input, SAFEARRAY** output) {
    return com::Boundary(Origin(), [&] {
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
            const kernels::ImageView target = kernels::PackedView(static_cast<std::uint32_t*>(to.data()),
                                                                  static_cast<int>(width), static_cast<int>(height));
            const std::uint32_t color = color_;
            const std::uint8_t threshold = threshold_;
            if (!com::RunProtected([&] { kernels::TransparencyKernel(source, target, color, threshold); }))
                com::ThrowError(E_FAIL, com::WithSupportAddress(L"Some exception in TransformTransparentize.Apply occured. "
                                                           L"If you see this message, please contact "));
        }
        *output = result.release();
        return S_OK;
    });
}

}  // namespace rastelle::transforms
