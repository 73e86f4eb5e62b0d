#include "transforms/transform_frame.h"

#include "com/protected_region.h"
#include "kernels/fill_copy.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_raii.h"
#include "image/pixel_exchange.h"

#include <cstring>

namespace rastelle::transforms {

namespace {

kernels::ImageView LockedView(const Gdiplus::BitmapData& data) {
    return {static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width), static_cast<int>(data.Height),
            static_cast<std::ptrdiff_t>(data.Stride)};
}

}  // namespace

std::wstring SupportAddressText() {
    return std::wstring(com::kSupportAddress, com::kSupportAddress + std::strlen(com::kSupportAddress));
}

HRESULT ArrayToInputBitmap(SAFEARRAY* input, Bitmap** bitmap) noexcept { return PixelArrayToBitmap(input, bitmap); }

HRESULT ResultToArray(Bitmap* result, SAFEARRAY** output) noexcept { return BitmapToPixelArray(result, output); }

HRESULT DoTransform(const com::ErrorOrigin& origin, const char* className, const wchar_t* exceptionMessage,
                    Bitmap& input, Bitmap** result, KernelFunction kernel, const void* context) noexcept {
    return com::Boundary(origin, [&] {
        const int width = input.width();
        const int height = input.height();
        Bitmap* output = Bitmap::Create(width, height, PixelFormat32bppARGB);
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        *result = output;  // the caller owns it from here, also on failure
        if (output->lastStatus() != Gdiplus::Ok)
            platform::ThrowGdiplusFailure(output->lastStatus(), className, "DoTransform", 0, com::kErrInvalidCall);

        const Gdiplus::GpRect rect(0, 0, width, height);
        BitmapLock in;
        Status status = input.record(in.Lock(input.native(), rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB));
        if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, className, "DoTransform", 0, com::kErrInvalidCall);
        BitmapLock out;
        status = output->record(out.Lock(output->native(), rect, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB));
        if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, className, "DoTransform", 0, com::kErrInvalidCall);

        // The kernels overwrite or blend onto an exact copy of the input.
        const kernels::ConstImageView source = LockedView(in.data());
        const kernels::ImageView target = LockedView(out.data());
        const bool completed = com::RunProtected([&] {
            kernels::CopyPixels(source, target);
            kernel(context, source, target);
        });
        input.record(in.Unlock());
        output->record(out.Unlock());
        if (!completed) com::ThrowError(com::kErrInvalidCall, exceptionMessage + SupportAddressText());
        return S_OK;
    });
}

}  // namespace rastelle::transforms
