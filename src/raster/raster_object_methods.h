// The methods of IRasterObject as one list, in virtual-table order (after
// the seven slots of IDispatch): loading and saving, image state, OLE
// pictures, the image methods served by the system's transforms, the effect
// methods and the blur and rank-filter methods. Each row is
// X(name, (parameters), (arguments)). The list declares RasterObject's
// methods and generates RasterObjectForwarder, so the two cannot drift apart
// from each other; a row missing from the list leaves both abstract.
#pragma once

#include "com/com_object.h"
#include "rastelle_h.h"

#include <type_traits>

#define RASTELLE_RASTER_OBJECT_METHODS(X)                                                                         \
    X(LoadFile, (BSTR fileName), (fileName))                                                                      \
    X(SaveFile, (BSTR fileName, IDispatch* encoder), (fileName, encoder))                                         \
    X(LoadStream, (IUnknown* inputStream), (inputStream))                                                         \
    X(SaveStream, (IUnknown* outputStream, IDispatch* encoder), (outputStream, encoder))                          \
    X(ApplyTransform, (IDispatch* transform), (transform))                                                        \
    X(get_OutputFileType, (OutputFileTypes* value), (value))                                                      \
    X(put_OutputFileType, (OutputFileTypes value), (value))                                                       \
    X(get_Width, (LONG* value), (value))                                                                          \
    X(get_Height, (LONG* value), (value))                                                                         \
    X(EmptyImage, (LONG width, LONG height, LONG color), (width, height, color))                                  \
    X(get_HorizontalResolution, (FLOAT* value), (value))                                                          \
    X(put_HorizontalResolution, (FLOAT value), (value))                                                           \
    X(get_VerticalResolution, (FLOAT* value), (value))                                                            \
    X(put_VerticalResolution, (FLOAT value), (value))                                                             \
    X(Clone, (IRasterObject** cloned), (cloned))                                                                  \
    X(get_Pixels, (LONG x, LONG y, LONG* value), (x, y, value))                                                   \
    X(put_Pixels, (LONG x, LONG y, LONG value), (x, y, value))                                                    \
    X(get_CurrentFileType, (OutputFileTypes* value), (value))                                                     \
    X(SavePicture, (IPictureDisp** picture), (picture))                                                           \
    X(LoadPicture, (IPictureDisp* picture), (picture))                                                            \
    X(FlipAndRotate, (FlipAndRotateTypes type), (type))                                                           \
    X(Rotate, (FLOAT angle, LONG backgroundColor), (angle, backgroundColor))                                      \
    X(Resize, (LONG newWidth, LONG newHeight, ResizeQualityTypes quality, LONG backgroundColor),                  \
      (newWidth, newHeight, quality, backgroundColor))                                                            \
    X(Crop,                                                                                                       \
      (LONG x, LONG y, LONG width, LONG height, LONG backgroundColor, VARIANT_BOOL whetherToResize,               \
       ResizeQualityTypes resizeQuality),                                                                         \
      (x, y, width, height, backgroundColor, whetherToResize, resizeQuality))                                     \
    X(Transparentize, (LONG transparentColor, BYTE threshold), (transparentColor, threshold))                     \
    X(Equalize,                                                                                                   \
      (LONG redAddend, LONG greenAddend, LONG blueAddend, LONG alphaAddend, FLOAT redMultiplier,                  \
       FLOAT greenMultiplier, FLOAT blueMultiplier, FLOAT alphaMultiplier),                                       \
      (redAddend, greenAddend, blueAddend, alphaAddend, redMultiplier, greenMultiplier, blueMultiplier,           \
       alphaMultiplier))                                                                                          \
    X(AutoLevel, (), ())                                                                                          \
    X(Antialiasing, (), ())                                                                                       \
    X(Greyscale, (), ())                                                                                          \
    X(Waddle, (), ())                                                                                             \
    X(Lightness, (LONG amount), (amount))                                                                         \
    X(Contrast, (LONG amount), (amount))                                                                          \
    X(AutoLightness, (), ())                                                                                      \
    X(AutoContrast, (), ())                                                                                       \
    X(AddNoise, (LONG amount, LONG isMonochrome), (amount, isMonochrome))                                         \
    X(Spray, (LONG amount, LONG frameWidth, LONG backgroundColor), (amount, frameWidth, backgroundColor))         \
    X(Mosaic, (LONG cellWidth, LONG cellHeight), (cellWidth, cellHeight))                                         \
    X(Sinusize,                                                                                                   \
      (LONG horizontalAmplitude, LONG horizontalWaveLength, LONG horizontalStartPhase, LONG verticalAmplitude,    \
       LONG verticalWaveLength, LONG verticalStartPhase, LONG backgroundColor),                                   \
      (horizontalAmplitude, horizontalWaveLength, horizontalStartPhase, verticalAmplitude, verticalWaveLength,    \
       verticalStartPhase, backgroundColor))                                                                      \
    X(Swirl, (LONG amount), (amount))                                                                             \
    X(EllipseCrop, (LONG x, LONG y, LONG horizontalRadius, LONG verticalRadius, LONG backgroundColor),            \
      (x, y, horizontalRadius, verticalRadius, backgroundColor))                                                  \
    X(Solarize, (LONG thresholdColor), (thresholdColor))                                                          \
    X(HSLColorize, (LONG hue, LONG saturation, LONG lightness), (hue, saturation, lightness))                     \
    X(Texturize, (LONG amount, FLOAT shift), (amount, shift))                                                     \
    X(Sharpen, (LONG strength), (strength))                                                                       \
    X(Emboss, (LONG type), (type))                                                                                \
    X(EdgeDetect, (LONG type), (type))                                                                            \
    X(SwapChannels, (LONG red, LONG green, LONG blue, LONG alpha), (red, green, blue, alpha))                     \
    X(Buttonize, (LONG type, LONG frameWidth, LONG frameOpacity), (type, frameWidth, frameOpacity))               \
    X(FastBlur, (DOUBLE radius), (radius))                                                                        \
    X(Glow, (DOUBLE intensity, DOUBLE radius, LONG color), (intensity, radius, color))                            \
    X(Shadow, (LONG offsetX, LONG offsetY, DOUBLE radius, LONG color), (offsetX, offsetY, radius, color))         \
    X(RemoveNoise, (LONG precision), (precision))                                                                 \
    X(Expand, (LONG strength), (strength))                                                                        \
    X(Erosion, (LONG strength), (strength))                                                                       \
    X(PageCurl, (LONG width, LONG height, LONG curlMode, LONG curlColor, LONG backgroundColor),                   \
      (width, height, curlMode, curlColor, backgroundColor))

// Declares one method of the list in a class that implements IRasterObject.
#define RASTELLE_DECLARE_RASTER_OBJECT_METHOD(name, params, args) STDMETHODIMP name params override;

namespace rastelle {

// Implements every method of IRasterObject by calling the same method of
// static_cast<Derived*>(this)->ForwardTarget(), a counted IRasterObject
// pointer that Derived keeps (held for the call, so that a concurrent change
// of target cannot release it under the call), with the same arguments, and returns its result (and so any
// error object it raised) unchanged. With no target a call returns
// E_UNEXPECTED: a forwarding object always holds one, so its absence is a
// broken invariant, not a caller's mistake.
//
// Base is IRasterObject or a class derived from it, e.g. Dispatch<IRasterItem>
// for an object whose interface extends IRasterObject; Derived implements what
// Base adds beyond IRasterObject.
template <class Derived, class Base = IRasterObject>
class RasterObjectForwarder : public Base {
    static_assert(std::is_base_of_v<IRasterObject, Base>);

public:
    using Interface = com::InterfaceOf<Base>;

#define RASTELLE_FORWARD_RASTER_OBJECT_METHOD(name, params, args)             \
    STDMETHODIMP name params override {                                       \
        const auto target = static_cast<Derived*>(this)->ForwardTarget();     \
        return target ? target->name args : E_UNEXPECTED;                     \
    }
    RASTELLE_RASTER_OBJECT_METHODS(RASTELLE_FORWARD_RASTER_OBJECT_METHOD)
#undef RASTELLE_FORWARD_RASTER_OBJECT_METHOD
};

}  // namespace rastelle
