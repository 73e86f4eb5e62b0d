#include "codecs/webp_reader.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

namespace rastelle::codecs {

namespace {

struct AnimationDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const noexcept { WebPAnimDecoderDelete(decoder); }
};

// The view is the canvas's size, allocated before libwebp allocates its own
// canvas, so that the caller's size limit holds for both.
DecodeResult DecodeFirstFrame(const std::uint8_t* data, std::size_t size, const kernels::ImageView& view) noexcept {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return DecodeResult::NotDecodable;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData file{data, size};
    const std::unique_ptr<WebPAnimDecoder, AnimationDecoderDeleter> decoder(WebPAnimDecoderNew(&file, &options));
    WebPAnimInfo info{};
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info) || info.frame_count == 0)
        return DecodeResult::NotDecodable;
    const int width = static_cast<int>(info.canvas_width);
    const int height = static_cast<int>(info.canvas_height);
    if (width != view.width || height != view.height) return DecodeResult::NotDecodable;
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) return DecodeResult::NotDecodable;
    for (int y = 0; y < height; ++y)
        std::memcpy(view.row(y), canvas + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4,
                    static_cast<std::size_t>(width) * 4);
    return DecodeResult::Decoded;
}

}  // namespace

bool LooksLikeWebp(const std::uint8_t* data, std::size_t size) noexcept {
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

DecodeResult DecodeWebp(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept {
    if (!LooksLikeWebp(data, size)) return DecodeResult::NotDecodable;
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return DecodeResult::NotDecodable;
    const kernels::ImageView view = target.Allocate(features.width, features.height);
    if (!view.pixels) return DecodeResult::OutOfMemory;
    if (features.has_animation) return DecodeFirstFrame(data, size, view);
    if (view.strideBytes <= 0) return DecodeResult::NotDecodable;
    const std::size_t bytes = static_cast<std::size_t>(view.strideBytes) * static_cast<std::size_t>(view.height);
    return WebPDecodeBGRAInto(data, size, reinterpret_cast<std::uint8_t*>(view.pixels), bytes,
                              static_cast<int>(view.strideBytes))
               ? DecodeResult::Decoded
               : DecodeResult::NotDecodable;
}

}  // namespace rastelle::codecs
