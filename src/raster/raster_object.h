// RasterObject: the central image object. It owns at most one 32-bit ARGB
// bitmap together with its resolution, the type of the file it came from and
// the type that saving produces.
#pragma once

#include "codecs/decoder.h"
#include "codecs/save_image.h"
#include "com/class_factory.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "com/object_lock.h"
#include "image/bitmap.h"
#include "platform/gdiplus_session.h"
#include "raster/raster_object_methods.h"
#include "rastelle_h.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace rastelle {

class RasterObject;

// Only raster objects of this module answer this interface; its IID is in no
// type library, so no proxy answers it either. What answers it can be
// reached in C++: the image by reference, without copies.
struct DECLSPEC_UUID("6E1B57C4-3D0A-4C4B-9F0E-8A3E5C2B7D11") IOwnRasterObject : IUnknown {
    // The object itself when it was made by module (this DLL), else null: a
    // second copy of the DLL in the process answers with its own objects.
    virtual RasterObject* STDMETHODCALLTYPE ObjectOf(HINSTANCE module) = 0;
};

// The raster object of this module behind object, or null for anything else
// (an object of the client's, a proxy, a layer item, another module's).
// object keeps it alive.
RasterObject* OwnRasterObject(IUnknown* object) noexcept;

class RasterObject : public com::ComObject<RasterObject, com::Dispatch<IRasterObject>,
                                           com::SupportErrorInfo<IRasterObject>, IRasterObjectInternal,
                                           IOwnRasterObject> {
public:
    // A new raster object as clients get it: its calls serialised.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    ~RasterObject() override;
    HRESULT FinalConstruct() noexcept;

    // IRasterObject, from its method list.
    RASTELLE_RASTER_OBJECT_METHODS(RASTELLE_DECLARE_RASTER_OBJECT_METHOD)

    // IRasterObjectInternal
    STDMETHODIMP GetDataPointer(LONG** result) override;
    STDMETHODIMP SetDataPointer(LONG* value) override;

    // IOwnRasterObject
    RasterObject* STDMETHODCALLTYPE ObjectOf(HINSTANCE module) override;

    // For the system's own objects: the image (null when there is none),
    // held by reference for as long as the caller keeps it, whatever calls
    // on this object do meanwhile.
    std::shared_ptr<Bitmap> LendImage() noexcept;
    // Takes ownership of bitmap (or null), releasing the present one.
    void ReplaceBitmap(Bitmap* bitmap) noexcept;

protected:
    RasterObject() = default;
    // Held for every call by the object clients get.
    com::ObjectLock lock_;

private:
    enum class Source { File, Stream };

    codecs::SaveSource SaveSourceOf() const noexcept;
    void Adopt(Gdiplus::GpImage* loaded, bool isIconOrCursor, const char* method);
    // Takes an image the system decoded itself, of type.
    void AdoptDecoded(std::unique_ptr<Bitmap> decoded, FileType type) noexcept;
    // Takes the first page of a TIFF decoded by the system; false when it cannot.
    // Decodes data of type with one of the system's decoders; false when it
    // refuses the file, a failure when memory is out.
    bool AdoptOwnDecoding(codecs::Decoder decode, FileType type, const std::vector<std::uint8_t>& data,
                          const char* method);
    // LoadFile and LoadStream after reading: decodes image data held in
    // memory of our own.
    void LoadBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes, const char* method);
    // Creates a transform with create, lets configure set its properties
    // and applies it to this object.
    template <class Itf, class Configure>
    HRESULT ApplyNewTransform(com::CreateFunction create, Configure&& configure) noexcept;
    HRESULT ApplyTransformOperation(IDispatch* transform) noexcept;
    HRESULT ApplyBitmapTransform(IGDIPlusTransform* transform);
    HRESULT ApplyHandleTransform(com::ComPtr<IHBitmapTransform>& transform);
    HRESULT ApplyAutomationTransform(IDispatch* transform);

    platform::GdiplusSession gdiplus_;  // first: it outlives the image
    std::shared_ptr<Bitmap> bitmap_;
    FileType outputFileType_ = FileType::JPEG;
    FileType currentFileType_ = FileType::Unknown;
    float horizontalResolution_ = 0.0f;
    float verticalResolution_ = 0.0f;
};

// The raster object clients get. Every class is free-threaded, so a host may
// call one object (kept in ASP's Application scope, say) from many threads at
// once: each call holds the object's lock for its duration. The lock is
// re-entrant (a transform may call back into the object on the calling
// thread) and given up while a client's transform runs. A single-threaded
// client sees no difference; a shared object can no longer be torn down
// under one of its callers.
class SerializedRasterObject final : public RasterObject {
public:
#define RASTELLE_SERIALIZE_RASTER_OBJECT_METHOD(name, params, args) \
    STDMETHODIMP name params override {                            \
        com::ObjectLock::Hold hold(lock_);                         \
        return RasterObject::name args;                            \
    }
    RASTELLE_RASTER_OBJECT_METHODS(RASTELLE_SERIALIZE_RASTER_OBJECT_METHOD)
    RASTELLE_SERIALIZE_RASTER_OBJECT_METHOD(GetDataPointer, (LONG** result), (result))
    RASTELLE_SERIALIZE_RASTER_OBJECT_METHOD(SetDataPointer, (LONG* value), (value))
#undef RASTELLE_SERIALIZE_RASTER_OBJECT_METHOD
};

}  // namespace rastelle

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(rastelle::IOwnRasterObject, 0x6e1b57c4, 0x3d0a, 0x4c4b, 0x9f, 0x0e, 0x8a, 0x3e, 0x5c, 0x2b, 0x7d, 0x11)
#endif
