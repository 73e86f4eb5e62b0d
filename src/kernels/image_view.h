// Non-owning views of 32-bit ARGB pixel memory. Every kernel takes one of
// these, so the kernels never see a Windows, COM or GDI+ type.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

namespace rastelle::kernels {

// Pixels are 0xAARRGGBB values, not premultiplied; in memory the bytes of a
// pixel are blue, green, red, alpha. Rows may be padded (strideBytes >= 4 * width)
// and may run bottom-up (negative stride), as locked bitmap data can.
struct ImageView {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t strideBytes = 0;

    std::uint32_t* row(int y) const {
        assert(y >= 0 && y < height);
        return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::byte*>(pixels) + y * strideBytes);
    }
};

struct ConstImageView {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t strideBytes = 0;

    ConstImageView() = default;
    ConstImageView(const std::uint32_t* p, int w, int h, std::ptrdiff_t stride)
        : pixels(p), width(w), height(h), strideBytes(stride) {}
    ConstImageView(const ImageView& v)  // NOLINT: a writable view reads as well
        : pixels(v.pixels), width(v.width), height(v.height), strideBytes(v.strideBytes) {}

    const std::uint32_t* row(int y) const {
        assert(y >= 0 && y < height);
        return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::byte*>(pixels) +
                                                      y * strideBytes);
    }
};

// A tightly packed view over a caller's buffer of width * height pixels.
inline ImageView PackedView(std::uint32_t* pixels, int width, int height) {
    return {pixels, width, height, static_cast<std::ptrdiff_t>(width) * 4};
}

}  // namespace rastelle::kernels
