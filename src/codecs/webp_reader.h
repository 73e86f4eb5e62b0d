// The WebP decoder (libwebp): lossy, lossless and alpha files straight into
// memory the caller provides; of an animation, its first frame as a viewer
// shows it (composed onto a transparent canvas).
#pragma once

#include "codecs/decoder.h"

#include <cstddef>
#include <cstdint>

namespace rastelle::codecs {

// True for data that starts as a WebP file: "RIFF", a size, "WEBP".
bool LooksLikeWebp(const std::uint8_t* data, std::size_t size) noexcept;

DecodeResult DecodeWebp(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept;

}  // namespace rastelle::codecs
