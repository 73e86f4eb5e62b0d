// Choosing the output format and the GDI+ encoder for a save: from the raster
// object's output file type, or from an encoder option object, whose kind
// overrides the output file type and whose properties become the encoder's
// parameters.
#pragma once

#include "codecs/webp_writer.h"
#include "com/unique_any.h"
#include "image/bitmap.h"
#include "platform/gdiplus.h"
#include "rastelle_h.h"

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>

namespace rastelle::codecs {

// The published GUIDs of the GDI+ encoder parameters the system passes.
inline constexpr GUID kEncoderQuality = {
    0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};
inline constexpr GUID kEncoderCompression = {
    0xE09D739D, 0xCCD4, 0x44EE, {0x8E, 0xBA, 0x3F, 0xBF, 0x8B, 0xE4, 0xFC, 0x58}};
inline constexpr GUID kEncoderColorDepth = {
    0x66087055, 0xAD66, 0x4C7C, {0x9A, 0x18, 0x38, 0xA2, 0x31, 0x0B, 0x83, 0x37}};

// The MIME type of the GDI+ encoder for JPEG, BMP, PNG, TIFF and GIF; null
// for any other type.
const wchar_t* MimeTypeOf(FileType type) noexcept;

// Index of the first installed GDI+ encoder whose MIME type equals mimeType
// exactly (case-sensitive), copying its CLSID; -1 when there is none.
int GetEncoderClsid(const wchar_t* mimeType, CLSID* clsid) noexcept;

// The encoder for an output file type without encoder object. On failure
// message holds the text to raise and the result is E_FAIL.
struct EncoderSelection {
    const wchar_t* mimeType = nullptr;
    CLSID clsid{};
    std::wstring message;
};
HRESULT SelectEncoderForOutputType(FileType type, EncoderSelection& selection);

// Reads a TIFFEncoderInfo's options as GDI+ values: compression 6 (none) or
// 2 (LZW), colour depth 24 or 32, the colour space and, for a non-RGB colour
// space, the ICC profile name (else an empty string). E_INVALIDARG for a
// stored value with no GDI+ counterpart; a failing property read returns its
// HRESULT.
HRESULT ReadTiffEncoderOptions(ITIFFEncoderInfo* info, LONG* colorDepth, LONG* compression, ColorSpaces* colorSpace,
                               BSTR* iccProfile) noexcept;

// Reads a WebPEncoderInfo's quality, lossless mode and effort (a failing
// read keeps the default of that option).
WebPOptions ReadWebPEncoderOptions(IWebPEncoderInfo* info) noexcept;

// A GDI+ EncoderParameters block of single Long values, in one CoTaskMem
// allocation that also holds the values (so it can move freely). An empty
// block stands for "no parameters" (a null pointer).
class EncoderParameterBlock {
public:
    // A block of the given (guid, value) pairs, in order; throws
    // E_OUTOFMEMORY when it cannot be allocated.
    struct Entry {
        GUID guid;
        ULONG value;
    };
    static EncoderParameterBlock Of(std::initializer_list<Entry> entries);

    const Gdiplus::EncoderParameters* get() const noexcept { return block_.get(); }
    void reset() noexcept { block_.reset(); }

private:
    com::UniqueCoTaskMem<Gdiplus::EncoderParameters> block_;
};

// The value of parameter guid in a block (null: no parameters), if present.
std::optional<ULONG> FindParameter(const Gdiplus::EncoderParameters* parameters, const GUID& guid) noexcept;

// Everything a save needs to know about its output.
struct SavePlan {
    FileType type = FileType::JPEG;
    CLSID clsid{};  // zeros when no encoder was found for an encoder object
    EncoderParameterBlock parameters;
    ColorDepths bmpColorDepth = cd32bpp;
    PaletteTypes paletteType = ptOctree;
    VARIANT_BOOL gifTransparent = 0;
    VARIANT_BOOL gifAntialiasingPreprocess = 0;
    ColorSpaces tiffColorSpace = csRGB;
    std::wstring iccProfile;
    WebPOptions webp;
};

// The plan for a save without encoder object; throws the selection's
// message with E_FAIL for a type that has no GDI+ encoder.
SavePlan PlanForOutputType(FileType outputType);

// Recognises the encoder object by its interfaces (JPEG, TIFF, GIF, BMP,
// WebP, in that order) and reads its options. Throws "Wrong Encoder object!" when it
// answers none of them, and the JPEG and TIFF reading errors.
SavePlan PlanForEncoder(IDispatch* encoder);

}  // namespace rastelle::codecs
