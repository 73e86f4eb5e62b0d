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

// Where a decoder puts what it reads. The file's resolution is not read: a
// loaded image takes the resolution a new bitmap gets.
class DecodeTarget {
public:
    // Called once with the image's size; returns the 32-bit BGRA view to fill
    // (null pixels when no memory can be had).
    virtual kernels::ImageView Allocate(int width, int height) noexcept = 0;

protected:
    ~DecodeTarget() = default;
};

// A decoder of the system's: decodes size bytes at data into target.
using Decoder = DecodeResult (*)(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept;

}  // namespace rastelle::codecs
