#include "codecs/webp_reader.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

namespace rastelle::codecs {

void WebPAnimationDeleter::operator()(WebPAnimDecoder* decoder) const noexcept { WebPAnimDecoderDelete(decoder); }

WebPAnimation OpenWebPAnimation(const std::uint8_t* data, std::size_t size) noexcept {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return nullptr;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData file{data, size};
    return WebPAnimation(WebPAnimDecoderNew(&file, &options));
}

bool NextWebPFrame(WebPAnimDecoder* animation, const kernels::ImageView& view) noexcept {
    WebPAnimInfo info{};
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!animation || !WebPAnimDecoderHasMoreFrames(animation) || !WebPAnimDecoderGetInfo(animation, &info) ||
        static_cast<int>(info.canvas_width) != view.width || static_cast<int>(info.canvas_height) != view.height ||
        !WebPAnimDecoderGetNext(animation, &canvas, &timestamp))
        return false;
    const std::size_t rowBytes = static_cast<std::size_t>(view.width) * 4;
    for (int y = 0; y < view.height; ++y)
        std::memcpy(view.row(y), canvas + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    return true;
}


bool LooksLikeWebp(const std::uint8_t* data, std::size_t size) noexcept {
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

DecodeResult DecodeWebp(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept {
    if (!LooksLikeWebp(data, size)) return DecodeResult::NotDecodable;
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return DecodeResult::NotDecodable;
    const kernels::ImageView view = target.Allocate(features.width, features.height);
    if (!view.pixels) return DecodeResult::OutOfMemory;
    // The image is asked for before libwebp makes its own canvas, so that
    // the caller's size limit holds for both.
    if (features.has_animation)
        return NextWebPFrame(OpenWebPAnimation(data, size).get(), view) ? DecodeResult::Decoded
                                                                         : DecodeResult::NotDecodable;
    if (view.strideBytes <= 0) return DecodeResult::NotDecodable;
    const std::size_t bytes = static_cast<std::size_t>(view.strideBytes) * static_cast<std::size_t>(view.height);
    return WebPDecodeBGRAInto(data, size, reinterpret_cast<std::uint8_t*>(view.pixels), bytes,
                              static_cast<int>(view.strideBytes))
               ? DecodeResult::Decoded
               : DecodeResult::NotDecodable;
}

}  // namespace rastelle::codecs
