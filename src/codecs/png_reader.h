// The system's own PNG decoder (libspng), on every platform: every colour
// type, bit depth and interlacing, transparency chunks applied, 16-bit
// samples taken by their high byte, no gamma applied (the file's samples as
// they are). Non-interlaced files are decoded row by row straight into
// memory the caller provides once the size is known; the common 8-bit
// truecolour files are inflated by libdeflate and unfiltered in that memory.
#pragma once

#include "codecs/decoder.h"

#include <cstddef>
#include <cstdint>

namespace rastelle::codecs {

// True for data that starts with the PNG signature.
bool LooksLikePng(const std::uint8_t* data, std::size_t size) noexcept;

DecodeResult DecodePng(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept;

}  // namespace rastelle::codecs
