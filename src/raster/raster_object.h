// RasterObject: the central image object. It owns at most one 32-bit ARGB
// bitmap together with its resolution, the type of the file it came from and
// the type that saving produces.
#pragma once

#include "codecs/save_image.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "image/bitmap.h"
#include "raster/raster_object_methods.h"
#include "rastelle_h.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace rastelle {

class RasterObject final
    : public com::ComObject<RasterObject, com::Dispatch<IRasterObject>, com::SupportErrorInfo<IRasterObject>,
                            IRasterObjectInternal> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    RasterObject() = default;
    ~RasterObject() override;
    HRESULT FinalConstruct() noexcept;

    // IRasterObject, from its method list.
    RASTELLE_RASTER_OBJECT_METHODS(RASTELLE_DECLARE_RASTER_OBJECT_METHOD)

    // IRasterObjectInternal
    STDMETHODIMP GetDataPointer(LONG** result) override;
    STDMETHODIMP SetDataPointer(LONG* value) override;

    // For the system's own objects.
    Bitmap* bitmap() const noexcept { return bitmap_; }
    // Takes ownership of bitmap (or null), deleting the present one.
    void ReplaceBitmap(Bitmap* bitmap) noexcept;

private:
    enum class Source { File, Stream };

    codecs::SaveSource SaveSourceOf() const noexcept;
    void Adopt(Gdiplus::GpImage* loaded, bool isIconOrCursor, const char* method);
    // Takes the first page of a TIFF decoded by the system; false when it cannot.
    bool AdoptOwnTiff(const std::vector<std::uint8_t>& tiff, const char* method);
    // LoadFile and LoadStream after reading: decodes image data held in
    // memory of our own.
    void LoadBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes, const char* method);
    // Creates a transform of class clsid, lets configure set its properties
    // and applies it to this object.
    template <class Itf, class Configure>
    HRESULT ApplyNewTransform(REFCLSID clsid, Configure&& configure) noexcept;
    HRESULT ApplyTransformOperation(IDispatch* transform) noexcept;
    HRESULT ApplyBitmapTransform(IGDIPlusTransform* transform);
    HRESULT ApplyHandleTransform(com::ComPtr<IHBitmapTransform>& transform);
    HRESULT ApplyAutomationTransform(IDispatch* transform);

    ULONG_PTR gdiplusToken_ = 0;
    Bitmap* bitmap_ = nullptr;
    FileType outputFileType_ = FileType::JPEG;
    FileType currentFileType_ = FileType::Unknown;
    float horizontalResolution_ = 0.0f;
    float verticalResolution_ = 0.0f;
};

}  // namespace rastelle
