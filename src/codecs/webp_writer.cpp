#include "codecs/webp_writer.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace rastelle::codecs {

namespace {

// Copies what libwebp wrote into out; false when memory runs out.
bool CopyOut(const std::uint8_t* bytes, std::size_t size, std::vector<std::uint8_t>& out) noexcept {
    try {
        out.assign(bytes, bytes + size);
        return size > 0;
    } catch (...) {
        out.clear();
        return false;
    }
}

}  // namespace

bool MakeWebPConfig(const WebPOptions& options, WebPConfig& config) {
    if (!WebPConfigInit(&config)) return false;
    config.quality = static_cast<float>(std::clamp(options.quality, 0, 100));
    config.lossless = options.lossless ? 1 : 0;
    config.method = std::clamp(options.effort, 0, 6);
    // Lossless gives every pixel back, the colour of transparent ones too.
    config.exact = options.lossless ? 1 : 0;
    return WebPValidateConfig(&config) != 0;
}

bool EncodeWebp(const kernels::ConstImageView& pixels, const WebPOptions& options, std::vector<std::uint8_t>& out) {
    out.clear();
    WebPConfig config;
    if (pixels.width <= 0 || pixels.height <= 0 || pixels.strideBytes <= 0 || !MakeWebPConfig(options, config))
        return false;
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) return false;
    picture.width = pixels.width;
    picture.height = pixels.height;
    // Memory order blue, green, red, alpha: libwebp's BGRA import.
    picture.use_argb = 1;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    bool encoded = WebPPictureImportBGRA(&picture, reinterpret_cast<const std::uint8_t*>(pixels.pixels),
                                         static_cast<int>(pixels.strideBytes)) != 0;
    if (encoded) {
        picture.writer = WebPMemoryWrite;
        picture.custom_ptr = &writer;
        encoded = WebPEncode(&config, &picture) != 0;
    }
    WebPPictureFree(&picture);
    encoded = encoded && CopyOut(writer.mem, writer.size, out);
    WebPMemoryWriterClear(&writer);
    return encoded;
}

namespace {

struct AnimationEncoderDeleter {
    void operator()(WebPAnimEncoder* encoder) const noexcept { WebPAnimEncoderDelete(encoder); }
};

// A canvas-sized picture holding frame at its top left.
bool FillPicture(WebPPicture& picture, const kernels::ConstImageView& frame, int width, int height) {
    if (!WebPPictureInit(&picture)) return false;
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    if (!WebPPictureAlloc(&picture)) return false;
    // libwebp's ARGB words are the bitmap's 0xAARRGGBB pixels.
    for (int y = 0; y < height; ++y) {
        std::uint32_t* row = picture.argb + static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.argb_stride);
        std::memset(row, 0, static_cast<std::size_t>(width) * 4);
        if (y < frame.height) std::memcpy(row, frame.row(y), static_cast<std::size_t>(frame.width) * 4);
    }
    return true;
}

}  // namespace

bool EncodeAnimatedWebp(const std::vector<kernels::ConstImageView>& frames, const WebPOptions& options,
                        int frameMilliseconds, std::vector<std::uint8_t>& out) {
    out.clear();
    WebPConfig config;
    if (frames.empty() || !MakeWebPConfig(options, config)) return false;
    int width = 0;
    int height = 0;
    for (const kernels::ConstImageView& frame : frames) {
        width = std::max(width, frame.width);
        height = std::max(height, frame.height);
    }
    WebPAnimEncoderOptions animation;
    if (!WebPAnimEncoderOptionsInit(&animation)) return false;
    animation.anim_params.loop_count = 0;  // forever
    animation.anim_params.bgcolor = 0;     // transparent
    const std::unique_ptr<WebPAnimEncoder, AnimationEncoderDeleter> encoder(
        WebPAnimEncoderNew(width, height, &animation));
    if (!encoder) return false;
    int timestamp = 0;
    for (const kernels::ConstImageView& frame : frames) {
        WebPPicture picture;
        const bool added = FillPicture(picture, frame, width, height) &&
                           WebPAnimEncoderAdd(encoder.get(), &picture, timestamp, &config) != 0;
        WebPPictureFree(&picture);
        if (!added) return false;
        timestamp += frameMilliseconds;
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    const bool encoded = WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr) != 0 &&
                         WebPAnimEncoderAssemble(encoder.get(), &assembled) != 0 &&
                         CopyOut(assembled.bytes, assembled.size, out);
    WebPDataClear(&assembled);
    return encoded;
}

}  // namespace rastelle::codecs
