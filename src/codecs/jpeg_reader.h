// The system's own JPEG decoder (libjpeg-turbo: accurate integer DCT, fancy
// upsampling, as djpeg decodes by default), on every platform. It writes
// straight into memory the caller provides once the size is known: grey,
// YCbCr and RGB files through libjpeg-turbo's BGRA output, CMYK and YCCK
// files (Adobe's inverted ones too) converted per row; an embedded ICC
// profile is applied with Little CMS, to sRGB.
#pragma once

#include "kernels/image_view.h"

#include <cstddef>
#include <cstdint>

namespace rastelle::codecs {

enum class JpegResult { Decoded, NotDecodable, OutOfMemory };

// Called once with the image's size; returns the opaque 32-bit BGRA view to
// fill (null data when no memory can be had).
using JpegAllocate = kernels::ImageView (*)(void* context, int width, int height);

// True for data that starts as a JPEG file (SOI and a marker).
bool LooksLikeJpeg(const std::uint8_t* data, std::size_t size) noexcept;

JpegResult DecodeJpeg(const std::uint8_t* data, std::size_t size, JpegAllocate allocate, void* context) noexcept;

}  // namespace rastelle::codecs
