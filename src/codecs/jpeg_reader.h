// The system's own JPEG decoder (libjpeg-turbo: accurate integer DCT, fancy
// upsampling, as djpeg decodes by default), on every platform. It writes
// straight into memory the caller provides once the size is known: grey,
// YCbCr and RGB files through libjpeg-turbo's BGRA output, CMYK and YCCK
// files (Adobe's inverted ones too) converted per row; an embedded ICC
// profile is applied with Little CMS, to sRGB.
#pragma once

#include "codecs/decoder.h"

#include <cstddef>
#include <cstdint>

namespace rastelle::codecs {

// True for data that starts as a JPEG file (SOI and a marker).
bool LooksLikeJpeg(const std::uint8_t* data, std::size_t size) noexcept;

DecodeResult DecodeJpeg(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept;

}  // namespace rastelle::codecs
