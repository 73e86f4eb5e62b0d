// TIFF decoding with libtiff, for the TIFFs the platform's decoder gets
// wrong: kinds it is measured (once per process) to read with wrong pixels,
// and files it cannot read at all that libtiff can (old-style JPEG, JPEG
// tiles under Wine).
#pragma once

#include "image/bitmap.h"
#include "platform/file_signature.h"

#include <objidl.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace rastelle::codecs {

// Whether the data starts with a TIFF header ("II*\0" or "MM\0*").
bool IsTiff(const platform::LeadingBytes& lead) noexcept;

// The whole file, or a stream from its current position to its end (the
// position is restored). False when it cannot be read or held in memory.
bool ReadWholeFile(const wchar_t* path, std::vector<std::uint8_t>& bytes) noexcept;
bool ReadRestOfStream(IStream* stream, std::vector<std::uint8_t>& bytes) noexcept;

// Whether the platform's decoder is known to give wrong pixels for the first
// page of this TIFF (its kind failed the probe), so libtiff should decode it.
bool PlatformMisreadsTiff(const std::vector<std::uint8_t>& tiff) noexcept;

// Decodes the first page with libtiff into a new 32-bit ARGB bitmap
// (straight alpha). Ok; OutOfMemory when the image cannot be held;
// UnknownImageFormat when libtiff cannot read it.
Status DecodeTiff(const std::vector<std::uint8_t>& tiff, std::unique_ptr<Bitmap>& out) noexcept;

// What the probe measured: whether the platform reads 16-bit samples right,
// for each byte order.
struct TiffDecoderCapabilities {
    bool sixteenBitLittleEndian;
    bool sixteenBitBigEndian;
};
TiffDecoderCapabilities PlatformTiffDecoder() noexcept;

}  // namespace rastelle::codecs
