// RasterObject: the central image object. It owns at most one 32-bit ARGB
// bitmap together with its resolution, the type of the file it came from and
// the type that saving produces.
#pragma once

#include "codecs/save_image.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "image/bitmap.h"
#include "rastelle_h.h"

namespace rastelle {

class RasterObject final
    : public com::ComObject<RasterObject, com::Dispatch<IRasterObject>, com::SupportErrorInfo<IRasterObject>,
                            IRasterObjectInternal> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    RasterObject() = default;
    ~RasterObject() override;
    HRESULT FinalConstruct() noexcept;

    // IRasterObject: loading, saving, transforms
    STDMETHODIMP LoadFile(BSTR fileName) override;
    STDMETHODIMP SaveFile(BSTR fileName, IDispatch* encoder) override;
    STDMETHODIMP LoadStream(IUnknown* inputStream) override;
    STDMETHODIMP SaveStream(IUnknown* outputStream, IDispatch* encoder) override;
    STDMETHODIMP ApplyTransform(IDispatch* transform) override;

    // Image state
    STDMETHODIMP get_OutputFileType(OutputFileTypes* value) override;
    STDMETHODIMP put_OutputFileType(OutputFileTypes value) override;
    STDMETHODIMP get_Width(LONG* value) override;
    STDMETHODIMP get_Height(LONG* value) override;
    STDMETHODIMP EmptyImage(LONG width, LONG height, LONG color) override;
    STDMETHODIMP get_HorizontalResolution(FLOAT* value) override;
    STDMETHODIMP put_HorizontalResolution(FLOAT value) override;
    STDMETHODIMP get_VerticalResolution(FLOAT* value) override;
    STDMETHODIMP put_VerticalResolution(FLOAT value) override;
    STDMETHODIMP Clone(IRasterObject** cloned) override;
    STDMETHODIMP get_Pixels(LONG x, LONG y, LONG* value) override;
    STDMETHODIMP put_Pixels(LONG x, LONG y, LONG value) override;
    STDMETHODIMP get_CurrentFileType(OutputFileTypes* value) override;

    // OLE pictures
    STDMETHODIMP SavePicture(IPictureDisp** picture) override;
    STDMETHODIMP LoadPicture(IPictureDisp* picture) override;

    // Image methods served by the system's transform classes
    STDMETHODIMP FlipAndRotate(FlipAndRotateTypes type) override;
    STDMETHODIMP Rotate(FLOAT angle, LONG backgroundColor) override;
    STDMETHODIMP Resize(LONG newWidth, LONG newHeight, ResizeQualityTypes quality, LONG backgroundColor) override;
    STDMETHODIMP Crop(LONG x, LONG y, LONG width, LONG height, LONG backgroundColor, VARIANT_BOOL whetherToResize,
                      ResizeQualityTypes resizeQuality) override;
    STDMETHODIMP Transparentize(LONG transparentColor, BYTE threshold) override;
    STDMETHODIMP Equalize(LONG redAddend, LONG greenAddend, LONG blueAddend, LONG alphaAddend, FLOAT redMultiplier,
                          FLOAT greenMultiplier, FLOAT blueMultiplier, FLOAT alphaMultiplier) override;
    STDMETHODIMP FastBlur(DOUBLE radius) override;
    STDMETHODIMP Glow(DOUBLE intensity, DOUBLE radius, LONG color) override;
    STDMETHODIMP Shadow(LONG offsetX, LONG offsetY, DOUBLE radius, LONG color) override;
    STDMETHODIMP RemoveNoise(LONG precision) override;
    STDMETHODIMP Expand(LONG strength) override;
    STDMETHODIMP Erosion(LONG strength) override;

    // Effects served by the separate effect component
    STDMETHODIMP AutoLevel() override;
    STDMETHODIMP Antialiasing() override;
    STDMETHODIMP Greyscale() override;
    STDMETHODIMP Waddle() override;
    STDMETHODIMP Lightness(LONG amount) override;
    STDMETHODIMP Contrast(LONG amount) override;
    STDMETHODIMP AutoLightness() override;
    STDMETHODIMP AutoContrast() override;
    STDMETHODIMP AddNoise(LONG amount, LONG isMonochrome) override;
    STDMETHODIMP Spray(LONG amount, LONG frameWidth, LONG backgroundColor) override;
    STDMETHODIMP Mosaic(LONG cellWidth, LONG cellHeight) override;
    STDMETHODIMP Sinusize(LONG horizontalAmplitude, LONG horizontalWaveLength, LONG horizontalStartPhase,
                          LONG verticalAmplitude, LONG verticalWaveLength, LONG verticalStartPhase,
                          LONG backgroundColor) override;
    STDMETHODIMP Swirl(LONG amount) override;
    STDMETHODIMP EllipseCrop(LONG x, LONG y, LONG horizontalRadius, LONG verticalRadius,
                             LONG backgroundColor) override;
    STDMETHODIMP Solarize(LONG thresholdColor) override;
    STDMETHODIMP HSLColorize(LONG hue, LONG saturation, LONG lightness) override;
    STDMETHODIMP Texturize(LONG amount, FLOAT shift) override;
    STDMETHODIMP Sharpen(LONG strength) override;
    STDMETHODIMP Emboss(LONG type) override;
    STDMETHODIMP EdgeDetect(LONG type) override;
    STDMETHODIMP SwapChannels(LONG red, LONG green, LONG blue, LONG alpha) override;
    STDMETHODIMP Buttonize(LONG type, LONG frameWidth, LONG frameOpacity) override;
    STDMETHODIMP PageCurl(LONG width, LONG height, LONG curlMode, LONG curlColor, LONG backgroundColor) override;

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
