// libFuzzer harness over the system's own decoders (JPEG, PNG, WebP, TIFF,
// BMP, GIF with all its frames): any bytes either decode into exactly the pixels asked for or are
// refused; no read or write outside the file and the image.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codecs/bmp_reader.h"
#include "codecs/gif_reader.h"
#include "codecs/jpeg_reader.h"
#include "codecs/png_reader.h"
#include "codecs/tiff_reader.h"
#include "codecs/webp_reader.h"
#include "fuzz_input.h"

using namespace rastelle;

namespace {

// Pixels in a buffer of their own, refused above a few megapixels as the
// declared-size guard refuses huge files before they reach a decoder.
struct VectorTarget final : codecs::DecodeTarget {
    std::vector<std::uint32_t> pixels;
    int calls = 0;
    kernels::ImageView Allocate(int width, int height) noexcept override {
        ++calls;
        if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > (1 << 22)) return {};
        pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        return kernels::PackedView(pixels.data(), width, height);
    }
};

void Decode(codecs::Decoder decoder, const std::uint8_t* bytes, std::size_t size) {
    // A copy of exactly size bytes, so that a read past the end is seen.
    const std::vector<std::uint8_t> file(bytes, bytes + size);
    VectorTarget target;
    const codecs::DecodeResult result = decoder(file.data(), file.size(), target);
    fuzz::Require(target.calls <= 1);
    if (result == codecs::DecodeResult::Decoded) fuzz::Require(target.calls == 1 && !target.pixels.empty());
}

// Every frame of a GIF, each into a target of its own, all of one size.
void DecodeGifFrames(const std::uint8_t* bytes, std::size_t size) {
    const std::vector<std::uint8_t> file(bytes, bytes + size);
    codecs::GifFrames frames(file.data(), file.size());
    std::size_t pixels = 0;
    for (int frame = 0; frame < 64; ++frame) {
        VectorTarget target;
        if (frames.Next(target) != codecs::GifFrames::Step::Frame) break;
        fuzz::Require(target.calls == 1 && (frame == 0 || target.pixels.size() == pixels));
        pixels = target.pixels.size();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (codecs::LooksLikePng(bytes, size)) Decode(&codecs::DecodePng, bytes, size);
    if (codecs::LooksLikeJpeg(bytes, size)) Decode(&codecs::DecodeJpeg, bytes, size);
    if (codecs::LooksLikeWebp(bytes, size)) Decode(&codecs::DecodeWebp, bytes, size);
    if (codecs::LooksLikeBmp(bytes, size)) Decode(&codecs::DecodeBmp, bytes, size);
    if (codecs::LooksLikeGif(bytes, size)) DecodeGifFrames(bytes, size);
    platform::LeadingBytes lead;
    lead.size = size < sizeof lead.bytes ? size : sizeof lead.bytes;
    std::memcpy(lead.bytes, bytes, lead.size);
    if (codecs::IsTiff(lead)) Decode(&codecs::DecodeTiffImage, bytes, size);
    return 0;
}
