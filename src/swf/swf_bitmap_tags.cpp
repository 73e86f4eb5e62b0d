#include "swf/swf_bitmap_tags.h"

#include "swf/swf_compress.h"

#include <cstring>

namespace rastelle::swf {

void ToSwfArgb(const kernels::ConstImageView& pixels, std::uint8_t* out) noexcept {
    std::uint8_t* to = out;
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint32_t* row = pixels.row(y);
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t argb = row[x];
            to[0] = static_cast<std::uint8_t>(argb >> 24);
            to[1] = static_cast<std::uint8_t>(argb >> 16);
            to[2] = static_cast<std::uint8_t>(argb >> 8);
            to[3] = static_cast<std::uint8_t>(argb);
            to += 4;
        }
    }
}

LosslessBitmapTag::LosslessBitmapTag(int format, int width, int height, std::uint32_t colourTableSize,
                                     const std::uint8_t* colourTable, const std::uint8_t* pixels, bool hasAlpha)
    : id_(NextCharacterId()),
      format_(static_cast<std::uint8_t>(format)),
      width_(static_cast<std::uint16_t>(width)),
      height_(static_cast<std::uint16_t>(height)),
      colourTableSize_(colourTableSize),
      hasAlpha_(hasAlpha) {
    const std::size_t tableBytes = static_cast<std::size_t>(colourTableSize) * (hasAlpha ? 4 : 3);
    const std::size_t pixelBytes = (static_cast<std::size_t>(width) * height * (std::size_t{1} << format) + 7) / 8;
    bool ok = false;
    if (tableBytes == 0) {
        ok = CompressZlib(pixels, pixelBytes, compressed_);
    } else {
        std::vector<std::uint8_t> block(tableBytes + pixelBytes);
        std::memcpy(block.data(), colourTable, tableBytes);
        if (pixelBytes != 0) std::memcpy(block.data() + tableBytes, pixels, pixelBytes);
        ok = CompressZlib(block.data(), block.size(), compressed_);
    }
    if (!ok) throw CompressionFailed{};
}

void LosslessBitmapTag::Write(SwfBuffer& out) const {
    SwfBuffer body;
    body.WriteU16(id_);
    body.WriteByte(format_);
    body.WriteU16(width_);
    body.WriteU16(height_);
    if (format_ < 4) body.WriteByte(static_cast<std::uint8_t>(colourTableSize_ - 1));
    body.AddChunk(compressed_.data(), static_cast<std::uint32_t>(compressed_.size()));
    WriteTag(out, hasAlpha_ ? 36 : 20, body);
}

void JpegBitmapTag::Write(SwfBuffer& out) const {
    SwfBuffer body;
    body.WriteU16(id_);
    // An empty encoding table (end and start of image) before the image.
    for (std::uint8_t marker : {0xFF, 0xD9, 0xFF, 0xD8}) body.WriteByte(marker);
    body.AddChunk(jpeg_, length_);
    body.WriteByte(0xFF);
    body.WriteByte(0xD9);
    WriteTag(out, 21, body);
}

}  // namespace rastelle::swf
