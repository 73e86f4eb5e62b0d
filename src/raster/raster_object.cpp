#include "raster/raster_object.h"

#include "codecs/bitmap_target.h"
#include "codecs/bmp_reader.h"
#include "codecs/gif_reader.h"
#include "codecs/jpeg_reader.h"
#include "codecs/png_reader.h"
#include "codecs/webp_reader.h"
#include "codecs/picture_exchange.h"
#include "codecs/save_image.h"
#include "codecs/tiff_reader.h"
#include "com/automation.h"
#include "com/com_ptr.h"
#include "com/errors.h"
#include "com/properties.h"
#include "com/memory_stream.h"
#include "image/bitmap_lock.h"
#include "platform/file_name.h"
#include "platform/file_signature.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_session.h"
#include "platform/gdiplus_raii.h"
#include "platform/stream_bytes.h"
#include "transforms/colour_transforms.h"
#include "transforms/external_effects.h"
#include "transforms/geometric_transforms.h"
#include "transforms/kernel_transforms.h"

#include <bit>
#include <memory>
#include <vector>
#include <cstdint>

namespace rastelle {

using com::ThrowError;
using com::ThrowSilent;

namespace {

constexpr com::ErrorOrigin kOrigin{CLSID_RasterObject, IID_IRasterObject};
constexpr char kObjectName[] = "RasterObject";
constexpr wchar_t kNoDataSize[] =
    L"Cannot get image width, because there is no any data. Create new image or load it first.";
constexpr wchar_t kNoPixels[] = L"Cannot get access to the pixels: no data loaded";
// Largest file or stream read for one image: what one signed 32-bit size
// holds, as for the frames themselves.
constexpr std::uint64_t kMaxImageDataBytes = 0x7FFFFFFF;

// Integer colour levels to the colour matrix's fractions of full scale.
constexpr float kLevelToFraction = std::bit_cast<float>(0x3B808081u);  // 1/255

float LevelsToFraction(LONG levels) {
    return static_cast<float>(static_cast<double>(levels) * static_cast<double>(kLevelToFraction));
}

}  // namespace

HRESULT RasterObject::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<SerializedRasterObject>(outer, iid, out);
}

RasterObject* OwnRasterObject(IUnknown* object) noexcept {
    if (!object) return nullptr;
    com::ComPtr<IOwnRasterObject> own;
    if (FAILED(object->QueryInterface(__uuidof(IOwnRasterObject), own.put_void())) || !own) return nullptr;
    return own->ObjectOf(com::ModuleInstance());
}

RasterObject* RasterObject::ObjectOf(HINSTANCE module) { return module == com::ModuleInstance() ? this : nullptr; }

std::shared_ptr<Bitmap> RasterObject::LendImage() noexcept {
    com::ObjectLock::Hold hold(lock_);
    return bitmap_;
}

HRESULT RasterObject::FinalConstruct() noexcept {
    const Status status = gdiplus_.Start();
    if (status != Gdiplus::Ok) {
        return com::Boundary(kOrigin, [&]() -> HRESULT {
            platform::ThrowGdiplusFailure(status, kObjectName, "constructor", 0, com::kErrGdiplusStartup);
        });
    }
    ReplaceBitmap(nullptr);
    outputFileType_ = FileType::JPEG;
    return CreateMarshaler();
}

RasterObject::~RasterObject() {
    ReplaceBitmap(nullptr);
}

void RasterObject::ReplaceBitmap(Bitmap* bitmap) noexcept {
    if (bitmap_.get() == bitmap) return;
    // A bitmap lent out stays with its borrower until the borrower is done.
    std::unique_ptr<Bitmap> owned(bitmap);
    try {
        bitmap_ = std::move(owned);
    } catch (const std::bad_alloc&) {
        // No memory for the count: the object is left without an image
        // rather than with one it cannot track.
        bitmap_.reset();
    }
}

// ---------------------------------------------------------------------------
// Loading

// Keeps a 32-bit ARGB copy of a freshly loaded image.
void RasterObject::Adopt(Gdiplus::GpImage* loaded, bool isIconOrCursor, const char* method) {
    UniqueImage source(loaded);
    currentFileType_ = DetectFileType(source.get(), isIconOrCursor);
    if (currentFileType_ == FileType::Unknown) ThrowError(E_FAIL, L"Unknown file type.");

    UINT width = 0;
    UINT height = 0;
    gp::GdipGetImageWidth(source.get(), &width);
    gp::GdipGetImageHeight(source.get(), &height);
    Bitmap* copy = Bitmap::Create(static_cast<int>(width), static_cast<int>(height));
    if (!copy) ThrowSilent(E_OUTOFMEMORY);
    ReplaceBitmap(copy);
    if (copy->lastStatus() != Gdiplus::Ok) {
        const Status status = copy->lastStatus();
        ReplaceBitmap(nullptr);
        platform::ThrowGdiplusFailure(status, kObjectName, method, 0);
    }

    UniqueGraphics graphics;
    if (copy->record(gp::GdipGetImageGraphicsContext(copy->image(), graphics.put())) == Gdiplus::Ok) {
        // Only the current (first) frame of a multi-frame source is drawn.
        copy->record(gp::GdipDrawImageRectI(graphics.get(), source.get(), 0, 0, static_cast<INT>(width),
                                            static_cast<INT>(height)));
    }
    // The resolution a new bitmap gets, not the one stored in the file.
    gp::GdipGetImageHorizontalResolution(copy->image(), &horizontalResolution_);
    gp::GdipGetImageVerticalResolution(copy->image(), &verticalResolution_);
}

void RasterObject::AdoptDecoded(std::unique_ptr<Bitmap> decoded, FileType type) noexcept {
    ReplaceBitmap(decoded.release());
    currentFileType_ = type;
    // The resolution a new bitmap gets, as for the platform's images.
    gp::GdipGetImageHorizontalResolution(bitmap_->image(), &horizontalResolution_);
    gp::GdipGetImageVerticalResolution(bitmap_->image(), &verticalResolution_);
}

bool RasterObject::AdoptOwnDecoding(codecs::Decoder decode, FileType type, const std::vector<std::uint8_t>& data,
                                    const char* method) {
    codecs::BitmapTarget target;
    const codecs::DecodeResult result = decode(data.data(), data.size(), target);
    std::unique_ptr<Bitmap> decoded = target.Finish(result);
    if (result == codecs::DecodeResult::OutOfMemory)
        platform::ThrowGdiplusFailure(Gdiplus::OutOfMemory, kObjectName, method, 0);
    if (!decoded) return false;
    AdoptDecoded(std::move(decoded), type);
    return true;
}

namespace {

bool LooksLikeTiff(const std::uint8_t* data, std::size_t size) noexcept {
    return codecs::IsTiff(platform::LeadingBytesOf(data, size));
}

// The system's own decoders, each tried on the files it recognises.
struct OwnDecoder {
    bool (*recognises)(const std::uint8_t* data, std::size_t size);
    codecs::Decoder decode;
    FileType type;
};
constexpr OwnDecoder kOwnDecoders[] = {
    {&codecs::LooksLikeJpeg, &codecs::DecodeJpeg, FileType::JPEG},
    {&codecs::LooksLikePng, &codecs::DecodePng, FileType::PNG},
    {&codecs::LooksLikeWebp, &codecs::DecodeWebp, FileType::WebP},
    {&LooksLikeTiff, &codecs::DecodeTiffImage, FileType::TIFF},
    {&codecs::LooksLikeBmp, &codecs::DecodeBmp, FileType::BMP},
    {&codecs::LooksLikeGif, &codecs::DecodeGif, FileType::GIF},
};

}  // namespace

void RasterObject::LoadBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes, const char* method) {
    const platform::LeadingBytes lead = platform::LeadingBytesOf(bytes->data(), bytes->size());
    if (platform::DeclaresTooManyPixels(bytes->data(), bytes->size(), platform::FramesDecoded::First))
        platform::ThrowGdiplusFailure(Gdiplus::OutOfMemory, kObjectName, method, 0);
    // JPEG, PNG, WebP, TIFF, BMP and GIF files are decoded by the system
    // itself; a file its decoder refuses goes to the platform's, whose failure
    // texts the callers know.
    for (const OwnDecoder& own : kOwnDecoders)
        if (own.recognises(bytes->data(), bytes->size()) && AdoptOwnDecoding(own.decode, own.type, *bytes, method))
            return;
    com::ComPtr<IStream> stream;
    const HRESULT hr = com::CreateReadOnlyStream(bytes, stream.put());
    if (FAILED(hr)) ThrowSilent(hr);
    Gdiplus::GpImage* loaded = nullptr;
    SetLastError(ERROR_SUCCESS);  // the failure text reports this call's code only
    const Status status = gp::GdipLoadImageFromStreamICM(stream.get(), &loaded);
    if (status != Gdiplus::Ok) {
        const DWORD win32Error = GetLastError();
        if (loaded) gp::GdipDisposeImage(loaded);
        // A decoder that cannot get its memory (a large picture in a 32-bit
        // process) fails as the declared-size guard does.
        if (status == Gdiplus::OutOfMemory || win32Error == ERROR_NOT_ENOUGH_MEMORY || win32Error == ERROR_OUTOFMEMORY)
            platform::ThrowGdiplusFailure(Gdiplus::OutOfMemory, kObjectName, method, 0);
        platform::ThrowGdiplusFailure(status, kObjectName, method, win32Error);
    }
    Adopt(loaded, platform::IsIconOrCursor(lead), method);
}

// A file or stream is read once, whole, before anything looks at it: the
// type checks, the declared-size guard and the decoder all read our copy.
STDMETHODIMP RasterObject::LoadFile(BSTR fileName) {
    return com::Boundary(kOrigin, [&] {
        ReplaceBitmap(nullptr);
        auto bytes = std::make_shared<std::vector<std::uint8_t>>();
        const DWORD error = platform::ReadWholeFile(platform::FileName(fileName), kMaxImageDataBytes, *bytes);
        if (error == ERROR_NOT_ENOUGH_MEMORY)
            platform::ThrowGdiplusFailure(Gdiplus::OutOfMemory, kObjectName, "LoadFile", 0);
        if (error != ERROR_SUCCESS) platform::ThrowGdiplusFailure(Gdiplus::Win32Error, kObjectName, "LoadFile", error);
        LoadBytes(std::move(bytes), "LoadFile");
        return S_OK;
    });
}

STDMETHODIMP RasterObject::LoadStream(IUnknown* inputStream) {
    return com::Boundary(kOrigin, [&] {
        if (!inputStream) ThrowSilent(E_INVALIDARG);
        com::ComPtr<IStream> stream;
        HRESULT hr = inputStream->QueryInterface(IID_IStream, stream.put_void());
        if (FAILED(hr)) ThrowError(hr, L"Cannot query IStream interface. ");
        ReplaceBitmap(nullptr);
        auto bytes = std::make_shared<std::vector<std::uint8_t>>();
        hr = platform::ReadRestOfStream(stream.get(), kMaxImageDataBytes, *bytes);
        stream.reset();
        if (hr == E_OUTOFMEMORY) platform::ThrowGdiplusFailure(Gdiplus::OutOfMemory, kObjectName, "LoadStream", 0);
        if (FAILED(hr)) platform::ThrowGdiplusFailure(Gdiplus::Win32Error, kObjectName, "LoadStream", 0);
        LoadBytes(std::move(bytes), "LoadStream");
        return S_OK;
    });
}

STDMETHODIMP RasterObject::EmptyImage(LONG width, LONG height, LONG color) {
    return com::Boundary(kOrigin, [&] {
        if (width < 1 || height < 1) ThrowError(E_FAIL, L"Width and Height must be > 0.");
        horizontalResolution_ = 72.0f;
        verticalResolution_ = 72.0f;
        ReplaceBitmap(nullptr);
        // Filled before it is adopted: a failed fill leaves the object
        // without a bitmap, as a failed creation does.
        std::unique_ptr<Bitmap> created(Bitmap::CreateToOverwrite(width, height));
        if (!created) ThrowSilent(E_OUTOFMEMORY);
        Status status = created->lastStatus();
        if (status == Gdiplus::Ok) status = FillBitmap(*created, static_cast<Gdiplus::ARGB>(color));
        if (status != Gdiplus::Ok) platform::ThrowGdiplusFailure(status, kObjectName, "EmptyImage", 0);
        ReplaceBitmap(created.release());
        return S_OK;
    });
}

// ---------------------------------------------------------------------------
// Image state

STDMETHODIMP RasterObject::get_OutputFileType(OutputFileTypes* value) {
    if (!value) return E_INVALIDARG;
    *value = static_cast<OutputFileTypes>(outputFileType_);
    return S_OK;
}

STDMETHODIMP RasterObject::put_OutputFileType(OutputFileTypes value) {
    return com::Boundary(kOrigin, [&] {
        if (value < oftJPEG || value > oftSWF) ThrowError(E_INVALIDARG, L"This output file type is unsupported!");
        outputFileType_ = static_cast<FileType>(value);
        return S_OK;
    });
}

STDMETHODIMP RasterObject::get_Width(LONG* value) {
    return com::Boundary(kOrigin, [&] {
        if (!bitmap_) ThrowError(E_FAIL, kNoDataSize);
        if (!value) ThrowSilent(E_INVALIDARG);
        *value = bitmap_->width();
        return S_OK;
    });
}

STDMETHODIMP RasterObject::get_Height(LONG* value) {
    return com::Boundary(kOrigin, [&] {
        // The same text as Width's: clients match on it.
        if (!bitmap_) ThrowError(E_FAIL, kNoDataSize);
        if (!value) ThrowSilent(E_INVALIDARG);
        *value = bitmap_->height();
        return S_OK;
    });
}

STDMETHODIMP RasterObject::get_HorizontalResolution(FLOAT* value) {
    return com::ReadProperty(horizontalResolution_, value, E_INVALIDARG);
}

STDMETHODIMP RasterObject::put_HorizontalResolution(FLOAT value) {
    return com::WriteProperty(horizontalResolution_, value);
}

STDMETHODIMP RasterObject::get_VerticalResolution(FLOAT* value) {
    return com::ReadProperty(verticalResolution_, value, E_INVALIDARG);
}

STDMETHODIMP RasterObject::put_VerticalResolution(FLOAT value) {
    return com::WriteProperty(verticalResolution_, value);
}

STDMETHODIMP RasterObject::get_CurrentFileType(OutputFileTypes* value) {
    if (!value) return E_INVALIDARG;
    *value = static_cast<OutputFileTypes>(currentFileType_);
    return S_OK;
}

STDMETHODIMP RasterObject::get_Pixels(LONG x, LONG y, LONG* value) {
    return com::Boundary(kOrigin, [&] {
        if (!value) ThrowSilent(E_INVALIDARG);
        if (!bitmap_) ThrowError(E_FAIL, kNoPixels);
        // An out-of-bounds pixel fails this call only: the status is not
        // left on the image, where it would fail later saves and combines.
        Gdiplus::ARGB argb = 0;
        if (gp::GdipBitmapGetPixel(bitmap_->native(), x, y, &argb) != Gdiplus::Ok)
            ThrowError(E_FAIL, L"Cannot get pixel at this coordinates. It possible they are out of bounds!");
        *value = static_cast<LONG>(argb);
        return S_OK;
    });
}

STDMETHODIMP RasterObject::put_Pixels(LONG x, LONG y, LONG value) {
    return com::Boundary(kOrigin, [&] {
        if (!bitmap_) ThrowError(E_FAIL, kNoPixels);
        if (gp::GdipBitmapSetPixel(bitmap_->native(), x, y, static_cast<Gdiplus::ARGB>(value)) != Gdiplus::Ok)
            ThrowError(E_FAIL, L"Cannot put pixel at this coordinates. It possible they are out of bounds!");
        return S_OK;
    });
}

STDMETHODIMP RasterObject::Clone(IRasterObject** cloned) {
    return com::Boundary(kOrigin, [&] {
        if (!cloned) ThrowSilent(E_INVALIDARG);
        *cloned = nullptr;  // a failure hands out nothing
        if (!bitmap_) ThrowError(E_FAIL, L"Cannot clone the object: there is no raster any data to be cloned!");

        com::ComPtr<IRasterObjectInternal> target;
        HRESULT hr = Create(nullptr, IID_IRasterObjectInternal, target.put_void());
        if (FAILED(hr)) ThrowError(hr, L"Cannot clone the object: target object cannot be created!");

        Bitmap* copy = nullptr;
        const Status status = CloneBitmap32(bitmap_.get(), &copy);
        if (status != Gdiplus::Ok) {
            const DWORD win32Error = GetLastError();
            delete copy;
            platform::ThrowGdiplusFailure(status, kObjectName, "Clone", win32Error);
        }
        target->SetDataPointer(reinterpret_cast<LONG*>(copy));

        com::ComPtr<IRasterObject> result;
        hr = target.As(result);
        if (FAILED(hr)) ThrowSilent(hr);
        result->put_HorizontalResolution(horizontalResolution_);
        result->put_VerticalResolution(verticalResolution_);
        result->put_OutputFileType(static_cast<OutputFileTypes>(outputFileType_));
        *cloned = result.detach();
        return S_OK;
    });
}

// ---------------------------------------------------------------------------
// IRasterObjectInternal

STDMETHODIMP RasterObject::GetDataPointer(LONG** result) {
    if (!result) return E_POINTER;
    *result = reinterpret_cast<LONG*>(bitmap_.get());
    return S_OK;
}

STDMETHODIMP RasterObject::SetDataPointer(LONG* value) {
    ReplaceBitmap(reinterpret_cast<Bitmap*>(value));
    return S_OK;
}

// ---------------------------------------------------------------------------
// Saving (the codecs subsystem does the work)

codecs::SaveSource RasterObject::SaveSourceOf() const noexcept {
    return {bitmap_.get(), outputFileType_, horizontalResolution_, verticalResolution_};
}

STDMETHODIMP RasterObject::SaveFile(BSTR fileName, IDispatch* encoder) {
    return com::Boundary(kOrigin, [&] { return codecs::SaveFile(SaveSourceOf(), fileName, encoder); });
}

STDMETHODIMP RasterObject::SaveStream(IUnknown* outputStream, IDispatch* encoder) {
    return com::Boundary(kOrigin, [&] { return codecs::SaveStream(SaveSourceOf(), outputStream, encoder); });
}

STDMETHODIMP RasterObject::ApplyTransform(IDispatch* transform) { return ApplyTransformOperation(transform); }

// ---------------------------------------------------------------------------
// OLE pictures

STDMETHODIMP RasterObject::SavePicture(IPictureDisp** picture) {
    return com::Boundary(kOrigin, [&] { return codecs::SavePicture(bitmap_.get(), picture); });
}

// The previous image and file type stay when the picture cannot be read.
STDMETHODIMP RasterObject::LoadPicture(IPictureDisp* picture) {
    return com::Boundary(kOrigin, [&] {
        std::unique_ptr<Bitmap> image = codecs::ImageOfPicture(picture);
        currentFileType_ = FileType::BMP;
        ReplaceBitmap(image.release());
        // The resolution a new bitmap gets, as after loading a file.
        gp::GdipGetImageHorizontalResolution(bitmap_->image(), &horizontalResolution_);
        gp::GdipGetImageVerticalResolution(bitmap_->image(), &verticalResolution_);
        return S_OK;
    });
}

// ---------------------------------------------------------------------------
// Image methods: each makes its transform (directly, not through COM), sets its
// properties (their results do not matter) and applies it.

template <class Itf, class Configure>
HRESULT RasterObject::ApplyNewTransform(com::CreateFunction create, Configure&& configure) noexcept {
    com::ComPtr<Itf> transform;
    // Made here, never through the registry: the transform is handed this
    // object's bitmap by address.
    const HRESULT hr = create(nullptr, __uuidof(Itf), transform.put_void());
    if (FAILED(hr)) return hr;
    configure(transform.get());
    return ApplyTransformOperation(transform.get());
}

STDMETHODIMP RasterObject::FlipAndRotate(FlipAndRotateTypes type) {
    return ApplyNewTransform<ITransformFlipAndRotate>(&transforms::TransformFlipAndRotate::Create,
                                                      [&](auto* t) { t->put_FlipType(type); });
}

STDMETHODIMP RasterObject::Rotate(FLOAT angle, LONG backgroundColor) {
    return ApplyNewTransform<ITransformRotate>(&transforms::TransformRotate::Create, [&](auto* t) {
        t->put_Angle(angle);
        t->put_BackgroundColor(backgroundColor);
    });
}

STDMETHODIMP RasterObject::Resize(LONG newWidth, LONG newHeight, ResizeQualityTypes quality, LONG backgroundColor) {
    return ApplyNewTransform<ITransformResize>(&transforms::TransformResize::Create, [&](auto* t) {
        t->put_NewWidth(newWidth);
        t->put_NewHeight(newHeight);
        t->put_Quality(quality);
        t->put_BackgroundColor(backgroundColor);
    });
}

STDMETHODIMP RasterObject::Crop(LONG x, LONG y, LONG width, LONG height, LONG backgroundColor,
                                VARIANT_BOOL whetherToResize, ResizeQualityTypes resizeQuality) {
    return ApplyNewTransform<ITransformCrop>(&transforms::TransformCrop::Create, [&](auto* t) {
        t->put_LeftUpperCornerX(x);
        t->put_LeftUpperCornerY(y);
        t->put_Width(width);
        t->put_Height(height);
        t->put_BackgroundColor(backgroundColor);
        t->put_ResizeToTheOriginal(whetherToResize);
        t->put_ResizeQuality(resizeQuality);
    });
}

STDMETHODIMP RasterObject::Transparentize(LONG transparentColor, BYTE threshold) {
    return ApplyNewTransform<ITransformTransparentize>(&transforms::TransformTransparentize::Create, [&](auto* t) {
        t->put_Threshold(threshold);
        t->put_TransparentColor(transparentColor);
    });
}

STDMETHODIMP RasterObject::Equalize(LONG redAddend, LONG greenAddend, LONG blueAddend, LONG alphaAddend,
                                    FLOAT redMultiplier, FLOAT greenMultiplier, FLOAT blueMultiplier,
                                    FLOAT alphaMultiplier) {
    return ApplyNewTransform<ITransformEqualize>(&transforms::TransformEqualize::Create, [&](auto* t) {
        t->put_RedAddend(LevelsToFraction(redAddend));
        t->put_GreenAddend(LevelsToFraction(greenAddend));
        t->put_BlueAddend(LevelsToFraction(blueAddend));
        t->put_AlphaAddend(LevelsToFraction(alphaAddend));
        t->put_RedMultiplier(redMultiplier);
        t->put_GreenMultiplier(greenMultiplier);
        t->put_BlueMultiplier(blueMultiplier);
        t->put_AlphaMultiplier(alphaMultiplier);
    });
}

STDMETHODIMP RasterObject::FastBlur(DOUBLE radius) {
    return ApplyNewTransform<ITransformFastBlur>(&transforms::TransformFastBlur::Create, [&](auto* t) { t->put_Radius(radius); });
}

STDMETHODIMP RasterObject::Glow(DOUBLE intensity, DOUBLE radius, LONG color) {
    return ApplyNewTransform<ITransformGlow>(&transforms::TransformGlow::Create, [&](auto* t) {
        t->put_Radius(radius);
        t->put_Color(color);
        t->put_Intensity(intensity);
    });
}

STDMETHODIMP RasterObject::Shadow(LONG offsetX, LONG offsetY, DOUBLE radius, LONG color) {
    return ApplyNewTransform<ITransformShadow>(&transforms::TransformShadow::Create, [&](auto* t) {
        t->put_Radius(radius);
        t->put_Color(color);
        t->put_OffsetX(offsetX);
        t->put_OffsetY(offsetY);
    });
}

STDMETHODIMP RasterObject::RemoveNoise(LONG precision) {
    return ApplyNewTransform<ITransformNoiseRemove>(&transforms::TransformNoiseRemove::Create,
                                                    [&](auto* t) { t->put_Precision(precision); });
}

STDMETHODIMP RasterObject::Expand(LONG strength) {
    return ApplyNewTransform<ITransformExpand>(&transforms::TransformExpand::Create, [&](auto* t) { t->put_Strength(strength); });
}

STDMETHODIMP RasterObject::Erosion(LONG strength) {
    return ApplyNewTransform<ITransformErosion>(&transforms::TransformErosion::Create,
                                                [&](auto* t) { t->put_Strength(strength); });
}

// ---------------------------------------------------------------------------
// Effects, carried out by the classes of the separate effect component.

namespace {

using Effect = transforms::ExternalEffect;

HRESULT ApplyEffect(RasterObject& self, Effect effect,
                    std::initializer_list<transforms::EffectArgument> arguments) noexcept {
    auto apply = [&self](IDispatch* transform) noexcept { return self.ApplyTransform(transform); };
    return transforms::RunExternalEffect(effect, arguments, apply);
}

}  // namespace

STDMETHODIMP RasterObject::AutoLevel() { return ApplyEffect(*this, Effect::AutoLevel, {}); }
STDMETHODIMP RasterObject::Antialiasing() { return ApplyEffect(*this, Effect::Antialiasing, {}); }
STDMETHODIMP RasterObject::Greyscale() { return ApplyEffect(*this, Effect::Greyscale, {}); }
STDMETHODIMP RasterObject::Waddle() { return ApplyEffect(*this, Effect::Waddle, {}); }
STDMETHODIMP RasterObject::Lightness(LONG amount) { return ApplyEffect(*this, Effect::Lightness, {amount}); }
STDMETHODIMP RasterObject::Contrast(LONG amount) { return ApplyEffect(*this, Effect::Contrast, {amount}); }
STDMETHODIMP RasterObject::AutoLightness() { return ApplyEffect(*this, Effect::AutoLightness, {}); }
STDMETHODIMP RasterObject::AutoContrast() { return ApplyEffect(*this, Effect::AutoContrast, {}); }
STDMETHODIMP RasterObject::AddNoise(LONG amount, LONG isMonochrome) {
    return ApplyEffect(*this, Effect::AddNoise, {amount, isMonochrome});
}
STDMETHODIMP RasterObject::Spray(LONG amount, LONG frameWidth, LONG backgroundColor) {
    return ApplyEffect(*this, Effect::Spray, {amount, frameWidth, backgroundColor});
}
STDMETHODIMP RasterObject::Mosaic(LONG cellWidth, LONG cellHeight) {
    return ApplyEffect(*this, Effect::Mosaic, {cellWidth, cellHeight});
}
STDMETHODIMP RasterObject::Sinusize(LONG horizontalAmplitude, LONG horizontalWaveLength, LONG horizontalStartPhase,
                                    LONG verticalAmplitude, LONG verticalWaveLength, LONG verticalStartPhase,
                                    LONG backgroundColor) {
    return ApplyEffect(*this, Effect::Sinusize, {horizontalAmplitude, horizontalWaveLength, horizontalStartPhase,
                                          verticalAmplitude, verticalWaveLength, verticalStartPhase, backgroundColor});
}
STDMETHODIMP RasterObject::Swirl(LONG amount) { return ApplyEffect(*this, Effect::Swirl, {amount}); }
STDMETHODIMP RasterObject::EllipseCrop(LONG x, LONG y, LONG horizontalRadius, LONG verticalRadius,
                                       LONG backgroundColor) {
    return ApplyEffect(*this, Effect::EllipseCrop, {x, y, horizontalRadius, verticalRadius, backgroundColor});
}
STDMETHODIMP RasterObject::Solarize(LONG thresholdColor) {
    return ApplyEffect(*this, Effect::Solarize, {thresholdColor});
}
STDMETHODIMP RasterObject::HSLColorize(LONG hue, LONG saturation, LONG lightness) {
    return ApplyEffect(*this, Effect::HSLColorize, {hue, saturation, lightness});
}
STDMETHODIMP RasterObject::Texturize(LONG amount, FLOAT shift) {
    return ApplyEffect(*this, Effect::Texturize, {amount, shift});
}
STDMETHODIMP RasterObject::Sharpen(LONG strength) { return ApplyEffect(*this, Effect::Sharpen, {strength}); }
STDMETHODIMP RasterObject::Emboss(LONG type) { return ApplyEffect(*this, Effect::Emboss, {type}); }
STDMETHODIMP RasterObject::EdgeDetect(LONG type) { return ApplyEffect(*this, Effect::EdgeDetect, {type}); }
STDMETHODIMP RasterObject::SwapChannels(LONG red, LONG green, LONG blue, LONG alpha) {
    return ApplyEffect(*this, Effect::SwapChannels, {red, green, blue, alpha});
}
STDMETHODIMP RasterObject::Buttonize(LONG type, LONG frameWidth, LONG frameOpacity) {
    return ApplyEffect(*this, Effect::Buttonize, {type, frameWidth, frameOpacity});
}
STDMETHODIMP RasterObject::PageCurl(LONG width, LONG height, LONG curlMode, LONG curlColor, LONG backgroundColor) {
    return ApplyEffect(*this, Effect::PageCurl, {width, height, curlMode, curlColor, backgroundColor});
}

}  // namespace rastelle
