#include "layers/combine_layers.h"

#include "com/errors.h"
#include "com/protected_region.h"
#include "image/bitmap.h"
#include "layers/raster_item.h"
#include "raster/raster_object.h"
#include "kernels/combine.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_raii.h"

#include <cstdint>
#include <memory>
#include <string>

namespace rastelle::layers {

using com::ThrowError;
using com::ThrowSilent;

namespace {

constexpr char kMethod[] = "Combine";
// The background's failures and the layers' failures name different objects.
constexpr char kBackgroundObject[] = "ObjectCollection";
constexpr char kLayerObject[] = "RasterCollection";
constexpr wchar_t kNoBackground[] = L"Cannot combine! Background data is not loaded!";

const wchar_t* const kModePrefixes[] = {
    L"Cannot combine (alpha blend): ", L"Cannot combine (XOR blend): ", L"Cannot combine (AND blend): ",
    L"Cannot combine (OR blend): ",    L"Cannot combine (dissolve): ",
};

bool IsKnownMode(CombineModes mode) { return mode >= cmAlphaBlend && mode <= cmDissolve; }

[[noreturn]] void ThrowBackgroundFailure(Status status) {
    platform::ThrowGdiplusFailure(status, kBackgroundObject, kMethod, 0);
}

std::unique_ptr<Bitmap> FilledBackground(LONG width, LONG height, LONG color) {
    std::unique_ptr<Bitmap> background(Bitmap::CreateToOverwrite(width, height));
    if (!background) throw std::bad_alloc();
    if (background->lastStatus() != Gdiplus::Ok) ThrowBackgroundFailure(background->lastStatus());
    const Status status = FillBitmap(*background, static_cast<Gdiplus::ARGB>(color));
    if (status != Gdiplus::Ok) ThrowBackgroundFailure(status);
    return background;
}

std::unique_ptr<Bitmap> CopiedBackground(Bitmap& source) {
    Bitmap* copy = nullptr;
    const Status status = CloneBitmap32(&source, &copy);
    std::unique_ptr<Bitmap> background(copy);
    if (status != Gdiplus::Ok) ThrowBackgroundFailure(status);
    return background;
}

// Lays layer onto background at (x, y): only the overlap of the two is
// locked in each (the layer for reading) and combined. Returns the GDI+ status: the
// first failing lock or unlock, or the mode's fault status when the pixel
// loop was abandoned.
Status BlendLayerOnto(Bitmap& layer, Bitmap& background, CombineModes mode, int opacity, int x, int y) noexcept {
    const kernels::LayerOverlap overlap =
        kernels::ClipLayer(layer.width(), layer.height(), background.width(), background.height(), x, y);
    if (overlap.width <= 0 || overlap.height <= 0) return Gdiplus::Ok;

    // The locks stay outside the protected region so that they always unlock.
    BitmapLock from;
    BitmapLock to;
    const Gdiplus::GpRect source(overlap.sourceX, overlap.sourceY, overlap.width, overlap.height);
    const Gdiplus::GpRect target(overlap.backgroundX, overlap.backgroundY, overlap.width, overlap.height);
    Status status = layer.record(from.Lock(layer.native(), source, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB));
    if (status != Gdiplus::Ok) return status;
    status = background.record(to.Lock(background.native(), target,
                                       Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB));
    if (status != Gdiplus::Ok) return status;

    const Gdiplus::BitmapData& in = from.data();
    const Gdiplus::BitmapData& out = to.data();
    const kernels::ConstImageView layerView(static_cast<const std::uint32_t*>(in.Scan0), overlap.width,
                                            overlap.height, in.Stride);
    const kernels::ImageView backgroundView{static_cast<std::uint32_t*>(out.Scan0), overlap.width, overlap.height,
                                            out.Stride};
    const auto kernelMode = static_cast<kernels::CombineMode>(mode);
    const bool completed =
        com::RunProtected([&] { kernels::CombineLayer(kernelMode, layerView, backgroundView, opacity); });

    status = layer.record(from.Unlock());
    const Status backgroundUnlock = background.record(to.Unlock());
    if (!completed) return mode == cmAlphaBlend ? Gdiplus::GenericError : Gdiplus::Aborted;
    return status != Gdiplus::Ok ? status : backgroundUnlock;
}

}  // namespace

com::ComPtr<IRasterObject> CombineLayers(const std::vector<com::ComPtr<IRasterItem>>& items, LONG backgroundColor) {
    IRasterItem* first = items.front().get();
    VARIANT_BOOL visible = 0;
    LONG width = 0;
    LONG height = 0;
    FLOAT horizontalResolution = 0.0f;
    FLOAT verticalResolution = 0.0f;
    first->get_IsVisible(&visible);
    // An item without an image has no size (both reads fail).
    const bool sized = SUCCEEDED(first->get_Height(&height)) && SUCCEEDED(first->get_Width(&width));
    first->get_HorizontalResolution(&horizontalResolution);
    first->get_VerticalResolution(&verticalResolution);

    // A visible first item is the background as it is: its mode, opacity and
    // offsets are never used.
    std::unique_ptr<Bitmap> background;
    if (!visible) {
        if (!sized) ThrowError(E_FAIL, kNoBackground);
        background = FilledBackground(width, height, backgroundColor);
    } else {
        const std::shared_ptr<Bitmap> image = LendItemImage(first);
        if (!image) ThrowError(E_FAIL, kNoBackground);
        background = CopiedBackground(*image);
    }

    for (size_t i = 1; i < items.size(); ++i) {
        IRasterItem* item = items[i].get();
        VARIANT_BOOL layerVisible = 0;
        item->get_IsVisible(&layerVisible);
        if (!layerVisible) continue;
        CombineModes mode = cmAlphaBlend;
        BYTE opacity = 0;
        LONG offsetX = 0;
        LONG offsetY = 0;
        item->get_Mode(&mode);
        item->get_Opacity(&opacity);
        item->get_OffsetX(&offsetX);
        item->get_OffsetY(&offsetY);
        const std::shared_ptr<Bitmap> layer = LendItemImage(item);
        if (!layer) continue;
        if (!IsKnownMode(mode)) ThrowError(E_FAIL, L"Rastelle does not support such a mode!");
        const Status status = BlendLayerOnto(*layer, *background, mode, opacity, offsetX, offsetY);
        if (status != Gdiplus::Ok)
            ThrowError(E_FAIL, kModePrefixes[mode] + platform::FailureMessage(status, kLayerObject, kMethod, 0));
    }

    com::ComPtr<IRasterObject> result;
    HRESULT hr = RasterObject::Create(nullptr, IID_IRasterObject, result.put_void());
    if (FAILED(hr)) ThrowSilent(hr);
    result->put_HorizontalResolution(horizontalResolution);
    result->put_VerticalResolution(verticalResolution);
    result->put_OutputFileType(oftJPEG);
    com::ComPtr<IRasterObjectInternal> internal;
    hr = result.As(internal);
    if (FAILED(hr)) ThrowSilent(hr);
    internal->SetDataPointer(reinterpret_cast<LONG*>(background.release()));
    return result;
}

}  // namespace rastelle::layers
