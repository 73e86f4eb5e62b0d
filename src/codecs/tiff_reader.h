// TIFF decoding with libtiff, for the TIFFs the platform's decoder gets
// wrong: kinds it is measured (once per process) to read with wrong pixels,
// and files it cannot read at all that libtiff can (old-style JPEG, JPEG
// tiles under Wine).
#pragma once

#include "codecs/tiff_handles.h"
#include "image/bitmap.h"
#include "platform/file_signature.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace rastelle::codecs {

// Whether the data starts with a TIFF header ("II*\0" or "MM\0*").
bool IsTiff(const platform::LeadingBytes& lead) noexcept;

// libtiff reading bytes in memory (read-only; reads stop at their end). The
// source and its bytes must outlive the handle. Null when the bytes are no
// TIFF libtiff can open.
struct MemorySource {
    const std::vector<std::uint8_t>* bytes;
    std::uint64_t position = 0;
};
UniqueTiff OpenTiff(MemorySource& source);

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
