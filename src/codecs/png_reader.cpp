#include "codecs/png_reader.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <spng.h>

namespace rastelle::codecs {

namespace {

struct ContextDeleter {
    void operator()(spng_ctx* context) const noexcept { spng_ctx_free(context); }
};

struct FreeDeleter {
    void operator()(std::uint8_t* block) const noexcept { std::free(block); }
};

// RGBA bytes to the BGRA order of the image's memory, in place.
void SwapRedAndBlue(std::uint8_t* row, int width) noexcept {
    for (int x = 0; x < width; ++x, row += 4) {
        const std::uint8_t red = row[0];
        row[0] = row[2];
        row[2] = red;
    }
}

DecodeResult Failure(int error) noexcept {
    return error == SPNG_EMEM ? DecodeResult::OutOfMemory : DecodeResult::NotDecodable;
}

}  // namespace

bool LooksLikePng(const std::uint8_t* data, std::size_t size) noexcept {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

DecodeResult DecodePng(const std::uint8_t* data, std::size_t size, DecodeAllocate allocate, void* context) noexcept {
    if (!LooksLikePng(data, size)) return DecodeResult::NotDecodable;
    const std::unique_ptr<spng_ctx, ContextDeleter> png(spng_ctx_new(0));
    if (!png) return DecodeResult::OutOfMemory;
    int error = spng_set_png_buffer(png.get(), data, size);
    spng_ihdr header{};
    if (!error) error = spng_get_ihdr(png.get(), &header);
    if (error) return Failure(error);
    const int width = static_cast<int>(header.width);
    const int height = static_cast<int>(header.height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;

    if (header.interlace_method == SPNG_INTERLACE_NONE) {
        error = spng_decode_image(png.get(), nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
        if (error) return Failure(error);
        const kernels::ImageView view = allocate(context, width, height);
        if (!view.pixels) return DecodeResult::OutOfMemory;
        for (;;) {
            spng_row_info row{};
            error = spng_get_row_info(png.get(), &row);
            if (error) break;
            auto* out = reinterpret_cast<std::uint8_t*>(view.row(static_cast<int>(row.row_num)));
            error = spng_decode_row(png.get(), out, rowBytes);
            if (error && error != SPNG_EOI) break;
            SwapRedAndBlue(out, width);
            if (error == SPNG_EOI) break;
        }
        return error == SPNG_EOI ? DecodeResult::Decoded : Failure(error);
    }

    // An interlaced file fills its rows over seven passes: decoded whole,
    // then copied.
    std::size_t bytes = 0;
    error = spng_decoded_image_size(png.get(), SPNG_FMT_RGBA8, &bytes);
    if (error) return Failure(error);
    const std::unique_ptr<std::uint8_t, FreeDeleter> whole(static_cast<std::uint8_t*>(std::malloc(bytes)));
    if (!whole) return DecodeResult::OutOfMemory;
    error = spng_decode_image(png.get(), whole.get(), bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    if (error) return Failure(error);
    const kernels::ImageView view = allocate(context, width, height);
    if (!view.pixels) return DecodeResult::OutOfMemory;
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<std::uint8_t*>(view.row(y));
        std::memcpy(out, whole.get() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
        SwapRedAndBlue(out, width);
    }
    return DecodeResult::Decoded;
}

}  // namespace rastelle::codecs
