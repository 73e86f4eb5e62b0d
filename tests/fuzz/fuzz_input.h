// The fuzzer's bytes as sizes, parameters and pixels (zeros once they run
// out), and images inside guard pixels: the padding between rows belongs to
// the same allocation, where AddressSanitizer cannot see a stray write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kernels/image_view.h"

namespace rastelle::fuzz {

inline void Require(bool condition) {
    if (!condition) std::abort();
}

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool Bool() { return Byte() & 1; }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return v;
    }
    // lo..hi inclusive, hi - lo below 2^32.
    int Range(int lo, int hi) {
        const auto span = static_cast<std::uint32_t>(static_cast<std::int64_t>(hi) - lo + 1);
        return static_cast<int>(lo + static_cast<std::int64_t>(span == 0 ? U32() : U32() % span));
    }
    // Mostly near 0, sometimes any int or a limit.
    int Int() {
        const int kind = Byte() % 4;
        if (kind < 2) return kind ? Range(-300, 300) : Range(-4, 4);
        return kind == 2 ? static_cast<std::int32_t>(U32()) : Byte() % 2 ? 2147483647 : -2147483647 - 1;
    }
    float Float() {
        const std::uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    double Double() {
        const int kind = Byte() % 4;
        if (kind < 2) return kind ? static_cast<double>(Float()) : Range(-8, 8) + Byte() / 256.0;
        return kind == 2 ? Range(-100, 100) * 0.5 : Byte() % 2 ? 1e300 : -1e300;
    }
    std::size_t remaining() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_, pos_ = 0;
};

// An image of width x height pixels, rows padded by 1..4 guard pixels, with a
// guard row above and below, stored top-down or bottom-up.
struct GuardedImage {
    static constexpr std::uint32_t kGuard = 0xA5C3E10Fu;
    int width, height;
    std::size_t rowLength;
    bool bottomUp;
    std::vector<std::uint32_t> storage = std::vector<std::uint32_t>(1 + (std::size_t(height) + 2) * rowLength, kGuard);

    // Sizes, layout and pixels taken from the input.
    static GuardedImage From(FuzzInput& in, int maxWidth, int maxHeight) {
        const int w = in.Range(0, maxWidth), h = in.Range(0, maxHeight);
        const std::uint8_t layout = in.Byte();
        GuardedImage image{w, h, std::size_t(w) + 1 + (layout & 3), (layout & 4) != 0};
        image.Fill(in);
        return image;
    }
    // An image of the given size whose layout (padding, then direction) the input gives.
    static GuardedImage Sized(FuzzInput& in, int width, int height) {
        const int padding = 1 + in.Byte() % 4;
        return {width, height, std::size_t(width) + padding, in.Bool()};
    }
    // Four colours from the input, each pixel one of them with a few bits
    // flipped, so that short inputs still give varied pixels.
    void Fill(FuzzInput& in) {
        std::uint32_t palette[4];
        for (auto& c : palette) c = in.U32();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t b = in.Byte();
                view().row(y)[x] = palette[b & 3] ^ (static_cast<std::uint32_t>(b >> 2) * 0x01010101u & 0x3F3F3F3Fu);
            }
    }
    kernels::ImageView view() {
        const auto stride = static_cast<std::ptrdiff_t>(rowLength * 4);
        if (height == 0 || !bottomUp) return {storage.data() + 1 + rowLength, width, height, stride};
        return {storage.data() + 1 + std::size_t(height) * rowLength, width, height, -stride};
    }
    kernels::ConstImageView cview() { return view(); }
    // Aborts (a finding for the fuzzer) when a pixel outside the rows was written.
    void CheckGuards() const {
        for (std::size_t i = 0; i < storage.size(); ++i)
            Require(storage[i] == kGuard || (i >= 1 + rowLength && i < 1 + (std::size_t(height) + 1) * rowLength &&
                                             (i - 1) % rowLength < std::size_t(width)));
    }
};

template <class... Images>
void CheckGuards(const Images&... images) {
    (images.CheckGuards(), ...);
}

}  // namespace rastelle::fuzz
