#include "codecs/png_writer.h"

#include "kernels/png_rows.h"

#include <libdeflate.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace rastelle::codecs {

namespace {

// libdeflate's level 6 compresses photographs and screenshots a little
// smaller than zlib's default level at well under half its time.
constexpr int kDeflateLevel = 6;

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

void PutBigEndian(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

// Appends a chunk: length, type, data, CRC of type and data.
void AppendChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::uint8_t* data,
                 std::uint32_t length) {
    const std::size_t start = out.size();
    out.resize(start + 12 + length);
    std::uint8_t* chunk = out.data() + start;
    PutBigEndian(chunk, length);
    std::memcpy(chunk + 4, type, 4);
    if (length) std::memcpy(chunk + 8, data, length);
    PutBigEndian(chunk + 8 + length, libdeflate_crc32(0, chunk + 4, 4 + static_cast<std::size_t>(length)));
}

std::uint32_t PixelsPerMetre(float dpi) { return static_cast<std::uint32_t>(std::lround(dpi / 0.0254)); }

// The filtered scanlines, each led by its filter type byte.
std::vector<std::uint8_t> FilteredRows(const kernels::ConstImageView& pixels, bool withAlpha) {
    const int bytesPerPixel = withAlpha ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(bytesPerPixel);
    std::vector<std::uint8_t> filtered((rowBytes + 1) * static_cast<std::size_t>(pixels.height));
    std::vector<std::uint8_t> work(rowBytes * 6);
    std::uint8_t* current = work.data();
    std::uint8_t* previous = current + rowBytes;
    std::uint8_t* scratch = previous + rowBytes;
    for (int y = 0; y < pixels.height; ++y) {
        kernels::PackPngRow(pixels.row(y), pixels.width, withAlpha, current);
        kernels::FilterPngRow(current, y ? previous : nullptr, rowBytes, bytesPerPixel,
                              filtered.data() + static_cast<std::size_t>(y) * (rowBytes + 1), scratch);
        std::swap(current, previous);
    }
    return filtered;
}

}  // namespace

bool EncodePng(const kernels::ConstImageView& pixels, float horizontalDpi, float verticalDpi,
               std::vector<std::uint8_t>& out) {
    out.clear();
    if (pixels.width <= 0 || pixels.height <= 0) return false;
    const bool withAlpha = !kernels::IsOpaque(pixels);
    const double filteredBytes =
        (static_cast<double>(pixels.width) * (withAlpha ? 4 : 3) + 1) * static_cast<double>(pixels.height);
    if (filteredBytes > static_cast<double>(std::numeric_limits<std::size_t>::max() / 2)) return false;

    const std::vector<std::uint8_t> filtered = FilteredRows(pixels, withAlpha);
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kDeflateLevel));
    if (!compressor) return false;
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filtered.size());

    std::uint8_t header[13];
    PutBigEndian(header, static_cast<std::uint32_t>(pixels.width));
    PutBigEndian(header + 4, static_cast<std::uint32_t>(pixels.height));
    header[8] = 8;                     // bits per sample
    header[9] = withAlpha ? 6 : 2;     // truecolour with or without alpha
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filters, not interlaced
    out.reserve(sizeof kSignature + 25 + 21 + 12 + bound + 12);
    out.assign(kSignature, kSignature + sizeof kSignature);
    AppendChunk(out, "IHDR", header, sizeof header);
    if (horizontalDpi > 0 && verticalDpi > 0) {
        std::uint8_t physical[9];
        PutBigEndian(physical, PixelsPerMetre(horizontalDpi));
        PutBigEndian(physical + 4, PixelsPerMetre(verticalDpi));
        physical[8] = 1;  // the unit is the metre
        AppendChunk(out, "pHYs", physical, sizeof physical);
    }

    // The zlib stream is deflated in place, as the data of one IDAT chunk.
    const std::size_t start = out.size();
    out.resize(start + 8 + bound);
    const std::size_t deflated =
        libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(), out.data() + start + 8, bound);
    if (deflated == 0 || deflated > 0x7FFFFFFFu) {
        out.clear();
        return false;
    }
    std::uint8_t* chunk = out.data() + start;
    PutBigEndian(chunk, static_cast<std::uint32_t>(deflated));
    std::memcpy(chunk + 4, "IDAT", 4);
    out.resize(start + 8 + deflated);
    const std::uint32_t crc = libdeflate_crc32(0, chunk + 4, 4 + deflated);
    out.resize(out.size() + 4);
    PutBigEndian(out.data() + out.size() - 4, crc);
    AppendChunk(out, "IEND", nullptr, 0);
    return true;
}

}  // namespace rastelle::codecs
