// The bitmap definitions of an SWF movie: a zlib-compressed lossless bitmap
// (DefineBitsLossless, or DefineBitsLossless2 with alpha) and a JPEG
// (DefineBitsJPEG2). The compressed pixels and the JPEG bytes are written
// from their own memory as buffer chunks, never copied into the tag body.
#pragma once

#include "kernels/image_view.h"
#include "swf/swf_tags.h"

#include <cstdint>
#include <vector>

namespace rastelle::swf {

// Writes the pixels to out (width x height x 4 bytes) as SWF's 32-bit ARGB
// bytes: alpha, red, green, blue each, rows unpadded. Alpha stays straight:
// players read these values as premultiplied, so semi-transparent pixels
// show brighter than in the image. Allocates nothing (it runs in protected
// regions).
void ToSwfArgb(const kernels::ConstImageView& pixels, std::uint8_t* out) noexcept;

class LosslessBitmapTag final : public SwfTag {
public:
    // Takes the next character ID and compresses the colour table (may be
    // null) and the pixels, 2^format bits each, rows unpadded. Throws
    // CompressionFailed when the compressor fails.
    LosslessBitmapTag(int format, int width, int height, std::uint32_t colourTableSize,
                      const std::uint8_t* colourTable, const std::uint8_t* pixels, bool hasAlpha);
    void Write(SwfBuffer& out) const override;
    int CharacterId() const noexcept override { return id_; }
    const std::vector<std::uint8_t>& compressed() const noexcept { return compressed_; }

    struct CompressionFailed {};

private:
    std::uint16_t id_;
    std::uint8_t format_;
    std::uint16_t width_, height_;
    std::uint32_t colourTableSize_;
    bool hasAlpha_;
    std::vector<std::uint8_t> compressed_;
};

class JpegBitmapTag final : public SwfTag {
public:
    // jpeg must outlive the tag's writing; it is not copied.
    JpegBitmapTag(const std::uint8_t* jpeg, std::uint32_t length) noexcept
        : id_(NextCharacterId()), jpeg_(jpeg), length_(length) {}
    void Write(SwfBuffer& out) const override;
    int CharacterId() const noexcept override { return id_; }

private:
    std::uint16_t id_;
    const std::uint8_t* jpeg_;
    std::uint32_t length_;
};

}  // namespace rastelle::swf
