#include "codecs/png_reader.h"

#include "kernels/png_rows.h"

#include <libdeflate.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

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

std::uint32_t BigEndianAt(const std::uint8_t* at) noexcept {
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* decompressor) const noexcept { libdeflate_free_decompressor(decompressor); }
};

// The common PNG of photographs and screenshots: 8-bit truecolour, with or
// without alpha, not interlaced, no transparency chunk.
struct PlainPng {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    std::vector<std::pair<const std::uint8_t*, std::size_t>> data;  // the IDAT chunks' data
    std::size_t dataBytes = 0;
};

// Reads the chunk list of a plain PNG. False for anything else, and for any
// irregularity (a bad CRC, a misplaced or unknown critical chunk, a missing
// end), which the general decoder then judges.
bool ReadPlainPng(const std::uint8_t* data, std::size_t size, PlainPng& png) {
    std::size_t at = 8;
    bool sawHeader = false, sawData = false, dataEnded = false;
    while (at + 12 <= size) {
        const std::uint32_t length = BigEndianAt(data + at);
        if (length > 0x7FFFFFFFu || length > size - at - 12) return false;
        const std::uint8_t* type = data + at + 4;
        const std::uint8_t* body = data + at + 8;
        if (libdeflate_crc32(0, type, 4 + static_cast<std::size_t>(length)) != BigEndianAt(body + length)) return false;
        at += 12 + static_cast<std::size_t>(length);
        if (!sawHeader) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13) return false;
            const std::uint32_t width = BigEndianAt(body), height = BigEndianAt(body + 4);
            const bool plain = body[8] == 8 && (body[9] == 2 || body[9] == 6) && body[10] == 0 && body[11] == 0 &&
                               body[12] == 0;
            if (!plain || width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) return false;
            png.width = static_cast<int>(width);
            png.height = static_cast<int>(height);
            png.bytesPerPixel = body[9] == 6 ? 4 : 3;
            sawHeader = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (dataEnded) return false;
            sawData = true;
            png.data.emplace_back(body, length);
            png.dataBytes += length;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            return sawData;
        } else {
            dataEnded = sawData;
            // Transparency needs the general decoder; other critical chunks
            // than a suggested palette are not ours to skip.
            if (std::memcmp(type, "tRNS", 4) == 0) return false;
            if ((type[0] & 0x20) == 0 && std::memcmp(type, "PLTE", 4) != 0) return false;
        }
    }
    return false;
}

// Inflates a plain PNG with libdeflate and reverses the filters straight into
// the pixels. Without alpha the filtered rows are inflated into the tail of
// the pixel memory itself (3 bytes a pixel plus the filter byte fit in 4) and
// expanded forwards over it; with alpha they go through a buffer of their own.
DecodeResult DecodePlainPng(const PlainPng& png, DecodeTarget& target) noexcept {
    const std::size_t rowBytes = static_cast<std::size_t>(png.width) * static_cast<std::size_t>(png.bytesPerPixel);
    const std::size_t filteredBytes = (rowBytes + 1) * static_cast<std::size_t>(png.height);
    const std::size_t pixelBytes = static_cast<std::size_t>(png.width) * 4 * static_cast<std::size_t>(png.height);

    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> inflater(libdeflate_alloc_decompressor());
    if (!inflater) return DecodeResult::OutOfMemory;
    // The IDAT chunks' data as one zlib stream.
    std::unique_ptr<std::uint8_t, FreeDeleter> joined;
    const std::uint8_t* stream = png.data.front().first;
    if (png.data.size() > 1) {
        joined.reset(static_cast<std::uint8_t*>(std::malloc(png.dataBytes)));
        if (!joined) return DecodeResult::OutOfMemory;
        std::size_t at = 0;
        for (const auto& [bytes, length] : png.data) {
            std::memcpy(joined.get() + at, bytes, length);
            at += length;
        }
        stream = joined.get();
    }

    const kernels::ImageView view = target.Allocate(png.width, png.height);
    if (!view.pixels) return DecodeResult::OutOfMemory;
    const bool inPlace = png.bytesPerPixel == 3 && view.strideBytes == static_cast<std::ptrdiff_t>(png.width) * 4;
    std::unique_ptr<std::uint8_t, FreeDeleter> own;
    std::uint8_t* filtered = nullptr;
    if (inPlace) {
        filtered = reinterpret_cast<std::uint8_t*>(view.pixels) + (pixelBytes - filteredBytes);
    } else {
        own.reset(static_cast<std::uint8_t*>(std::malloc(filteredBytes)));
        if (!own) return DecodeResult::OutOfMemory;
        filtered = own.get();
    }
    if (libdeflate_zlib_decompress(inflater.get(), stream, png.dataBytes, filtered, filteredBytes, nullptr) !=
        LIBDEFLATE_SUCCESS)
        return DecodeResult::NotDecodable;
    joined.reset();
    for (int y = 0; y < png.height; ++y) {
        const std::uint8_t* row = filtered + static_cast<std::size_t>(y) * (rowBytes + 1);
        if (!kernels::UnfilterPngRow(row[0], row + 1, png.width, png.bytesPerPixel, y ? view.row(y - 1) : nullptr,
                                     view.row(y)))
            return DecodeResult::NotDecodable;
    }
    return DecodeResult::Decoded;
}

}  // namespace

bool LooksLikePng(const std::uint8_t* data, std::size_t size) noexcept {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

DecodeResult DecodePng(const std::uint8_t* data, std::size_t size, DecodeTarget& caller) noexcept {
    if (!LooksLikePng(data, size)) return DecodeResult::NotDecodable;
    // A plain file the fast path cannot decode goes to libspng, which writes
    // into the image the fast path already asked for: the caller is asked once.
    struct AskedOnce final : DecodeTarget {
        explicit AskedOnce(DecodeTarget& inner) : inner(inner) {}
        kernels::ImageView Allocate(int width, int height) noexcept override {
            if (!view.pixels) return view = inner.Allocate(width, height);
            return view.width == width && view.height == height ? view : kernels::ImageView{};
        }
        DecodeTarget& inner;
        kernels::ImageView view;
    } target(caller);
    try {
        PlainPng plain;
        if (ReadPlainPng(data, size, plain)) {
            const DecodeResult result = DecodePlainPng(plain, target);
            if (result != DecodeResult::NotDecodable) return result;
        }
    } catch (const std::bad_alloc&) {
        return DecodeResult::OutOfMemory;
    }
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
        const kernels::ImageView view = target.Allocate(width, height);
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

    // An interlaced file fills its rows over seven passes: decoded whole, in
    // the image's memory when its rows are packed, else beside it and copied.
    std::size_t bytes = 0;
    error = spng_decoded_image_size(png.get(), SPNG_FMT_RGBA8, &bytes);
    if (error) return Failure(error);
    const kernels::ImageView view = target.Allocate(width, height);
    if (!view.pixels) return DecodeResult::OutOfMemory;
    const bool packed = view.strideBytes == static_cast<std::ptrdiff_t>(rowBytes);
    std::unique_ptr<std::uint8_t, FreeDeleter> whole;
    if (!packed) {
        whole.reset(static_cast<std::uint8_t*>(std::malloc(bytes)));
        if (!whole) return DecodeResult::OutOfMemory;
    }
    std::uint8_t* decoded = packed ? reinterpret_cast<std::uint8_t*>(view.pixels) : whole.get();
    error = spng_decode_image(png.get(), decoded, bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    if (error) return Failure(error);
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<std::uint8_t*>(view.row(y));
        if (!packed) std::memcpy(out, decoded + static_cast<std::size_t>(y) * rowBytes, rowBytes);
        SwapRedAndBlue(out, width);
    }
    return DecodeResult::Decoded;
}

}  // namespace rastelle::codecs
