#include "image/bitmap_lock.h"
#include "kernels/rotate_flip.h"
#include "transforms/geometric_transforms.h"

namespace rastelle::transforms {

STDMETHODIMP TransformFlipAndRotate::put_FlipType(FlipAndRotateTypes value) {
    if (value < fartNoRotateNoFlip || value > fartRotate90FlipY) return E_INVALIDARG;
    type_ = value;
    return S_OK;
}

// Quarter turns and mirrors are exact pixel moves, done here rather than by
// GDI+ (whose implementations do not all agree on the mirrored turns).
HRESULT TransformFlipAndRotate::ApplyToBitmap(Bitmap& input, Bitmap** result) noexcept {
    return com::Boundary(Origin(), [&] {
        const auto type = static_cast<kernels::RotateFlip>(type_);
        const int width = input.width();
        const int height = input.height();
        const bool swap = kernels::SwapsAxes(type);
        std::unique_ptr<Bitmap> output(Bitmap::CreateToOverwrite(swap ? height : width, swap ? width : height));
        if (!output) com::ThrowSilent(E_OUTOFMEMORY);
        if (output->lastStatus() != Gdiplus::Ok) Fail(output->lastStatus());

        PixelLockPair locks;
        const Status status = locks.Lock(input, *output);
        if (status != Gdiplus::Ok) Fail(status);
        kernels::RotateFlipImage(locks.input(), locks.output(), type);
        locks.Unlock();
        *result = output.release();
        return S_OK;
    });
}

}  // namespace rastelle::transforms
