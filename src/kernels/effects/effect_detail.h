// Pieces the effect kernels share: argument clamping, channel access, the
// per-image random numbers and the rounding division of averages.
#pragma once

#include <algorithm>
#include <cstdint>

#include "kernels/image_view.h"

namespace rastelle::kernels::effects::detail {

inline int ClampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline int ClampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Channel shifts within 0xAARRGGBB.
inline constexpr int kBlueShift = 0, kGreenShift = 8, kRedShift = 16, kAlphaShift = 24;

inline std::uint32_t Channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFFu; }
inline std::uint32_t Pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// Rounded n / d for d > 0.
inline std::uint64_t DivideRounded(std::uint64_t n, std::uint64_t d) { return (n + d / 2) / d; }

// A 32-bit integer hash (lowbias32): every output bit depends on every input
// bit, so neighbouring pixels get unrelated numbers.
constexpr std::uint32_t Hash32(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// The random number of pixel (x, y) of an image seeded with `seed`: a pure
// function, so any order of evaluation gives the same image and every run the
// same result. RowKey(y) is the part that depends on the row.
constexpr std::uint32_t RowKey(int y) { return Hash32(static_cast<std::uint32_t>(y)); }
constexpr std::uint32_t PixelRandom(std::uint32_t seed, int x, std::uint32_t rowKey) {
    return Hash32(seed ^ Hash32(static_cast<std::uint32_t>(x) * 0x9E3779B9u + rowKey));
}

// A seed made from an image: its size and a sample of its pixels (the first row
// and the first column, at most 64 of each), so that one image always gets
// the same noise and different images different noise.
inline std::uint32_t ImageSeed(const ConstImageView& in) {
    std::uint32_t h = Hash32(static_cast<std::uint32_t>(in.width) * 0x01000193u ^ static_cast<std::uint32_t>(in.height));
    if (in.width <= 0 || in.height <= 0) return h;
    const int nx = std::min(in.width, 64), ny = std::min(in.height, 64);
    for (int x = 0; x < nx; ++x) h = Hash32(h ^ in.row(0)[x]);
    for (int y = 0; y < ny; ++y) h = Hash32(h ^ in.row(y)[0]);
    return h;
}

}  // namespace rastelle::kernels::effects::detail
