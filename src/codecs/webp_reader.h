// The WebP decoder (libwebp): lossy, lossless and alpha files straight into
// memory the caller provides; of an animation, its first frame as a viewer
// shows it (composed onto a transparent canvas).
#pragma once

#include "codecs/decoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>

struct WebPAnimDecoder;

namespace rastelle::codecs {

// True for data that starts as a WebP file: "RIFF", a size, "WEBP".
bool LooksLikeWebp(const std::uint8_t* data, std::size_t size) noexcept;

DecodeResult DecodeWebp(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept;

// libwebp's animation decoder (BGRA, on the calling thread) over a file in
// memory that must outlive it; null when libwebp cannot read the file. A
// still file reads as one frame.
struct WebPAnimationDeleter {
    void operator()(WebPAnimDecoder* decoder) const noexcept;
};
using WebPAnimation = std::unique_ptr<WebPAnimDecoder, WebPAnimationDeleter>;
WebPAnimation OpenWebPAnimation(const std::uint8_t* data, std::size_t size) noexcept;

// The animation's next frame, composed onto the canvas, into view (the
// canvas's size); false when there is none or it cannot be decoded.
bool NextWebPFrame(WebPAnimDecoder* animation, const kernels::ImageView& view) noexcept;

}  // namespace rastelle::codecs
