// Shared pieces of the fuzz harnesses: a reader that turns the fuzzer's bytes
// into sizes, parameters and pixels (zeros once the bytes run out), and an
// image whose rows sit inside guard pixels so that a kernel writing outside
// its view is caught even where AddressSanitizer cannot see it (the padding
// between rows belongs to the same allocation).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kernels/image_view.h"

namespace rastelle::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return v;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    // lo..hi inclusive, hi - lo below 2^32.
    int Range(int lo, int hi) {
        const auto span = static_cast<std::uint32_t>(static_cast<std::int64_t>(hi) - lo + 1);
        return static_cast<int>(lo + static_cast<std::int64_t>(span == 0 ? U32() : U32() % span));
    }
    // Mostly small values, sometimes any int: the interesting ones sit near 0
    // and at the limits.
    int Int() {
        switch (Byte() % 4) {
        case 0: return Range(-4, 4);
        case 1: return Range(-300, 300);
        case 2: return I32();
        default: return Byte() % 2 ? 2147483647 : -2147483647 - 1;
        }
    }
    float Float() {
        const std::uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    double Double() {
        switch (Byte() % 4) {
        case 0: return Range(-8, 8) + Byte() / 256.0;
        case 1: return static_cast<double>(Float());
        case 2: return Range(-100, 100) * 0.5;
        default: return Byte() % 2 ? 1e300 : -1e300;
        }
    }
    bool Bool() { return Byte() & 1; }
    std::size_t remaining() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// An image of width x height pixels, rows padded by 1..4 guard pixels, with a
// guard row above and below, stored top-down or bottom-up.
class GuardedImage {
public:
    static constexpr std::uint32_t kGuard = 0xA5C3E10Fu;

    GuardedImage(int width, int height, int padding, bool bottomUp)
        : width_(width), height_(height), rowLength_(static_cast<std::size_t>(width) + padding),
          storage_(1 + (static_cast<std::size_t>(height) + 2) * rowLength_, kGuard), bottomUp_(bottomUp) {}

    // Sizes, layout and pixels taken from the input.
    static GuardedImage From(FuzzInput& in, int maxWidth, int maxHeight) {
        const int w = in.Range(0, maxWidth), h = in.Range(0, maxHeight);
        const std::uint8_t layout = in.Byte();
        GuardedImage image(w, h, 1 + (layout & 3), (layout & 4) != 0);
        image.Fill(in);
        return image;
    }
    // An image of the given size whose layout (padding, then direction) the
    // input gives.
    static GuardedImage Sized(FuzzInput& in, int width, int height) {
        const int padding = 1 + in.Byte() % 4;
        return GuardedImage(width, height, padding, in.Bool());
    }

    void Fill(FuzzInput& in) {
        // A few bytes pick a pattern so that short inputs still give varied
        // pixels: a palette of four colours indexed by further bytes.
        std::uint32_t palette[4];
        for (auto& c : palette) c = in.U32();
        for (int y = 0; y < height_; ++y) {
            std::uint32_t* row = view().row(y);
            for (int x = 0; x < width_; ++x) {
                const std::uint8_t b = in.Byte();
                row[x] = palette[b & 3] ^ (static_cast<std::uint32_t>(b >> 2) * 0x01010101u & 0x3F3F3F3Fu);
            }
        }
    }

    kernels::ImageView view() {
        std::uint32_t* first = storage_.data() + 1 + rowLength_;
        const auto stride = static_cast<std::ptrdiff_t>(rowLength_ * 4);
        if (height_ == 0 || !bottomUp_) return {first, width_, height_, stride};
        return {first + (static_cast<std::size_t>(height_) - 1) * rowLength_, width_, height_, -stride};
    }
    kernels::ConstImageView cview() { return view(); }

    int width() const { return width_; }
    int height() const { return height_; }

    // Aborts (a finding for the fuzzer) when a pixel outside the rows was written.
    void CheckGuards() const {
        for (std::size_t i = 0; i < storage_.size(); ++i) {
            const bool inside = i >= 1 + rowLength_ && i < 1 + (static_cast<std::size_t>(height_) + 1) * rowLength_ &&
                                (i - 1) % rowLength_ < static_cast<std::size_t>(width_);
            if (!inside && storage_[i] != kGuard) std::abort();
        }
    }

private:
    int width_;
    int height_;
    std::size_t rowLength_;
    std::vector<std::uint32_t> storage_;
    bool bottomUp_;
};

// Aborts when any of the images had a pixel outside its rows written.
template <class... Images>
void CheckGuards(const Images&... images) {
    (images.CheckGuards(), ...);
}

// Copies the pixels of src into dst (same size); layouts may differ.
inline void CopyPixels(const kernels::ConstImageView& src, const kernels::ImageView& dst) {
    for (int y = 0; y < src.height; ++y)
        std::memcpy(dst.row(y), src.row(y), static_cast<std::size_t>(src.width) * 4);
}

inline void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace rastelle::fuzz
