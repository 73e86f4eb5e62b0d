// The system's own BMP decoder, on every platform: uncompressed Windows and
// OS/2 bitmaps of 1, 4, 8, 16, 24 and 32 bits per pixel, palettes and bit
// fields included, bottom-up or top-down, straight into memory the caller
// provides, and run-length encoded 8- and 4-bit ones. Every pixel comes out
// opaque, except those a run-length encoding skips (transparent, as browsers
// show them): like the platform's decoders, the fourth byte of a 32-bit pixel
// and an alpha mask are not read. Bitmaps holding a JPEG or PNG are left to
// the platform.
#pragma once

#include "codecs/decoder.h"

#include <cstddef>
#include <cstdint>

namespace rastelle::codecs {

// True for data that starts with the "BM" of a bitmap file header.
bool LooksLikeBmp(const std::uint8_t* data, std::size_t size) noexcept;

DecodeResult DecodeBmp(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept;

}  // namespace rastelle::codecs
