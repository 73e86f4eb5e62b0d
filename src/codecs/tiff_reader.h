// TIFF decoding with libtiff, on every platform: the first page through
// libtiff's RGBA interface (every photometric, bit depth, compression and
// orientation it reads, alpha made straight), straight into memory the caller
// provides.
#pragma once

#include "codecs/decoder.h"
#include "codecs/tiff_handles.h"
#include "platform/file_signature.h"

#include <cstddef>
#include <cstdint>

namespace rastelle::codecs {

// Whether the data starts with a TIFF header ("II*\0" or "MM\0*").
bool IsTiff(const platform::LeadingBytes& lead) noexcept;

// libtiff reading bytes in memory (read-only; reads stop at their end). The
// source and its bytes must outlive the handle. Null when the bytes are no
// TIFF libtiff can open.
struct MemorySource {
    const std::uint8_t* data = nullptr;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
};
UniqueTiff OpenTiff(MemorySource& source);

// The first page.
DecodeResult DecodeTiffImage(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept;
// The page of tif's current directory.
DecodeResult DecodeTiffPage(TIFF* tif, DecodeTarget& target) noexcept;

}  // namespace rastelle::codecs
