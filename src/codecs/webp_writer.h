// The WebP encoder (libwebp): still images here, animations with the
// multi-frame writer.
#pragma once

#include "kernels/image_view.h"

#include <cstdint>
#include <vector>

struct WebPConfig;

namespace rastelle::codecs {

// What a WebPEncoderInfo carries: libwebp's quality (0..100), lossless mode
// and method (0..6).
struct WebPOptions {
    int quality = 75;
    bool lossless = false;
    int effort = 4;
};

// Fills a libwebp configuration from the options; false when libwebp
// rejects it (a library of another version).
bool MakeWebPConfig(const WebPOptions& options, WebPConfig& config);

// Encodes the pixels, alpha included (a file of opaque pixels carries no
// alpha), as a still WebP file. False when libwebp fails (out of memory, an
// image above WebP's 16383 pixels a side); out is then empty.
bool EncodeWebp(const kernels::ConstImageView& pixels, const WebPOptions& options, std::vector<std::uint8_t>& out);

// Encodes the frames as an animated WebP that loops forever, each frame shown
// for frameMilliseconds, on a canvas as large as the largest frame (a
// smaller frame at its top left, transparent around it). False when libwebp
// fails; out is then empty.
bool EncodeAnimatedWebp(const std::vector<kernels::ConstImageView>& frames, const WebPOptions& options,
                        int frameMilliseconds, std::vector<std::uint8_t>& out);

}  // namespace rastelle::codecs
