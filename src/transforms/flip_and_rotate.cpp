#include "kernels/rotate_flip.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_raii.h"
#include "transforms/geometric_transforms.h"

namespace rastelle::transforms {

namespace {
constexpr com::ErrorOrigin kOrigin{CLSID_TransformFlipAndRotate, IID_ITransformFlipAndRotate};
constexpr ConversionMessages kMessages{L"Cannot retrieve bitmap data to the flip Transform",
                                       L"Cannot retrieve bitmap data from the flip Transform"};

[[noreturn]] void Fail(Status status) {
    platform::ThrowGdiplusFailure(status, "TransformFlipAndRotate", "DoFlipAndRotate", GetLastError(), E_FAIL);
}

kernels::ImageView LockedView(const Gdiplus::BitmapData& data) {
    return {static_cast<std::uint32_t*>(data.Scan0), static_cast<int>(data.Width), static_cast<int>(data.Height),
            static_cast<std::ptrdiff_t>(data.Stride)};
}
}  // namespace

HRESULT TransformFlipAndRotate::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<TransformFlipAndRotate>(outer, iid, out);
}

STDMETHODIMP TransformFlipAndRotate::Apply(SAFEARRAY* input, SAFEARRAY** output) {
    return ApplyThroughBitmaps(*this, kOrigin, kMessages, input, output);
}

STDMETHODIMP TransformFlipAndRotate::put_FlipType(FlipAndRotateTypes value) {
    if (value < fartNoRotateNoFlip || value > fartRotate90FlipY) return E_INVALIDARG;
    type_ = value;
    return S_OK;
}

// Quarter turns and mirrors are exact pixel moves, done here rather than by
// GDI+ (whose implementations do not all agree on the mirrored turns).
HRESULT TransformFlipAndRotate::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    return com::Boundary(kOrigin, [&] {
        const auto type = static_cast<kernels::RotateFlip>(type_);
        const int width = input.width();
        const int height = input.height();
        const bool swap = kernels::SwapsAxes(type);
        std::unique_ptr<Bitmap> output(
            Bitmap::Create(swap ? height : width, swap ? width : height, PixelFormat32bppARGB));
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        if (output->lastStatus() != Gdiplus::Ok) Fail(output->lastStatus());

        BitmapLock in;
        BitmapLock out;
        Status status = input.record(in.Lock(input.native(), Gdiplus::GpRect(0, 0, width, height),
                                              Gdiplus::ImageLockModeRead, PixelFormat32bppARGB));
        if (status != Gdiplus::Ok) Fail(status);
        status = output->record(out.Lock(output->native(), Gdiplus::GpRect(0, 0, output->width(), output->height()),
                                         Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB));
        if (status != Gdiplus::Ok) Fail(status);
        kernels::RotateFlipImage(LockedView(in.data()), LockedView(out.data()), type);
        input.record(in.Unlock());
        output->record(out.Unlock());
        *result = output.release();
        return S_OK;
    });
}

}  // namespace rastelle::transforms
