#include "codecs/bmp_writer.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace rastelle::codecs {

namespace {

constexpr std::size_t kHeadersBytes = 14 + 40;

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t PixelsPerMetre(float dpi) {
    return dpi > 0 && dpi < 1e6f ? static_cast<std::uint32_t>(std::lround(dpi / 0.0254)) : 0;
}

}  // namespace

bool EncodeBmp(const kernels::ConstImageView& pixels, bool withAlpha, float horizontalDpi, float verticalDpi,
               std::vector<std::uint8_t>& out) {
    out.clear();
    const std::uint64_t bytesPerPixel = withAlpha ? 4 : 3;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(pixels.width) * bytesPerPixel + 3) & ~std::uint64_t{3};
    const std::uint64_t dataBytes = rowBytes * static_cast<std::uint64_t>(pixels.height);
    if (dataBytes + kHeadersBytes > std::numeric_limits<std::uint32_t>::max()) return false;
    try {
        out.assign(static_cast<std::size_t>(dataBytes + kHeadersBytes), 0);
    } catch (...) {
        out.clear();
        return false;
    }
    std::uint8_t* header = out.data();
    header[0] = 'B';
    header[1] = 'M';
    PutLittleEndian(header + 2, static_cast<std::uint32_t>(out.size()), 4);
    PutLittleEndian(header + 10, kHeadersBytes, 4);
    std::uint8_t* info = header + 14;
    PutLittleEndian(info, 40, 4);
    PutLittleEndian(info + 4, static_cast<std::uint32_t>(pixels.width), 4);
    PutLittleEndian(info + 8, static_cast<std::uint32_t>(pixels.height), 4);
    PutLittleEndian(info + 12, 1, 2);
    PutLittleEndian(info + 14, withAlpha ? 32 : 24, 2);
    PutLittleEndian(info + 20, static_cast<std::uint32_t>(dataBytes), 4);
    const bool resolution = horizontalDpi > 0 && verticalDpi > 0;
    PutLittleEndian(info + 24, resolution ? PixelsPerMetre(horizontalDpi) : 0, 4);
    PutLittleEndian(info + 28, resolution ? PixelsPerMetre(verticalDpi) : 0, 4);

    std::uint8_t* to = header + kHeadersBytes;
    for (int y = pixels.height - 1; y >= 0; --y, to += rowBytes) {
        const std::uint32_t* row = pixels.row(y);
        if (withAlpha) {
            std::memcpy(to, row, static_cast<std::size_t>(pixels.width) * 4);  // BGRA in memory order
            continue;
        }
        std::uint8_t* pixel = to;
        for (int x = 0; x < pixels.width; ++x, pixel += 3) {
            pixel[0] = static_cast<std::uint8_t>(row[x]);
            pixel[1] = static_cast<std::uint8_t>(row[x] >> 8);
            pixel[2] = static_cast<std::uint8_t>(row[x] >> 16);
        }
    }
    return true;
}

}  // namespace rastelle::codecs
