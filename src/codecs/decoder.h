// What the system's own image decoders share: they decode a file held in
// memory straight into pixels the caller provides once the size is known.
#pragma once

#include "kernels/image_view.h"

#include <cstddef>
#include <cstdint>

namespace rastelle::codecs {

// What the system's own decoders answer. A file they cannot decode is left to
// the platform's decoder, whose failure texts callers know.
enum class DecodeResult { Decoded, NotDecodable, OutOfMemory };

// Called once with the image's size; returns the 32-bit BGRA view to fill
// (null data when no memory can be had).
using DecodeAllocate = kernels::ImageView (*)(void* context, int width, int height);

// A decoder of the system's: decodes size bytes at data into the view
// allocate gives.
using Decoder = DecodeResult (*)(const std::uint8_t* data, std::size_t size, DecodeAllocate allocate,
                                 void* context) noexcept;

}  // namespace rastelle::codecs
