#include "transforms/transform_frame.h"

#include "com/errors.h"
#include "com/protected_region.h"
#include "image/bitmap_lock.h"
#include "image/pixel_exchange.h"
#include "kernels/fill_copy.h"

namespace rastelle::transforms {

HRESULT ArrayToInputBitmap(SAFEARRAY* input, Bitmap** bitmap) noexcept { return PixelArrayToBitmap(input, bitmap); }

HRESULT ResultToArray(Bitmap* result, SAFEARRAY** output) noexcept { return BitmapToPixelArray(result, output); }

HRESULT DoTransform(const com::ErrorOrigin& origin, const char* className, const wchar_t* transformName,
                    Bitmap& input, Bitmap** result, KernelFunction kernel, const void* context) noexcept {
    return com::Boundary(origin, [&] {
        // Every pixel is written: the input is copied over the output first.
        Bitmap* output = Bitmap::CreateToOverwrite(input.width(), input.height());
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        *result = output;  // the caller owns it from here, also on failure
        if (output->lastStatus() != Gdiplus::Ok)
            platform::ThrowGdiplusFailure(output->lastStatus(), className, "DoTransform", 0, com::kErrInvalidCall);

        PixelLockPair locks;
        const Status status = locks.Lock(input, *output);
        if (status != Gdiplus::Ok)
            platform::ThrowGdiplusFailure(status, className, "DoTransform", 0, com::kErrInvalidCall);

        // The kernels overwrite or blend onto an exact copy of the input.
        const bool completed = com::RunProtected([&] {
            kernels::CopyPixels(locks.input(), locks.output());
            kernel(context, locks.input(), locks.output());
        });
        locks.Unlock();  // failures stay recorded in the bitmaps
        if (!completed)
            com::ThrowError(com::kErrInvalidCall,
                            com::WithSupportAddress(std::wstring(L"Some exception occured in the ") + transformName +
                                               L" transform. If you see this message, please contact "));
        return S_OK;
    });
}

}  // namespace rastelle::transforms
