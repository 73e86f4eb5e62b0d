// Images for the kernel tests: padded rows with guard pixels, random content
// with the alphas that matter most, and comparison with a readable message.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "kernels/cpu_features.h"
#include "kernels/image_view.h"

namespace rastelle::kernels {

// An image whose rows are followed by `pad` guard pixels that no kernel may
// touch.
struct PaddedImage {
    static constexpr std::uint32_t kGuard = 0xDEADBEEF;
    int width, height, pad;
    std::vector<std::uint32_t> memory;

    PaddedImage(int w, int h, int p = 0)
        : width(w), height(h), pad(p), memory(static_cast<size_t>((w + p) * h), kGuard) {}
    ImageView view() { return {memory.data(), width, height, static_cast<std::ptrdiff_t>(width + pad) * 4}; }
    ConstImageView view() const { return {memory.data(), width, height, static_cast<std::ptrdiff_t>(width + pad) * 4}; }
    // The same memory seen bottom-up (negative stride), as locked bitmaps can be.
    ImageView flipped() { return {&at(0, height - 1), width, height, -static_cast<std::ptrdiff_t>(width + pad) * 4}; }
    std::uint32_t& at(int x, int y) { return memory[static_cast<size_t>(y * (width + pad) + x)]; }
    std::uint32_t at(int x, int y) const { return memory[static_cast<size_t>(y * (width + pad) + x)]; }
    bool guardsIntact() const {
        for (int y = 0; y < height; ++y)
            for (int x = width; x < width + pad; ++x)
                if (at(x, y) != kGuard) return false;
        return true;
    }
};

// Alphas weighted towards the values that kernels treat specially.
inline std::uint32_t RandomAlpha(std::mt19937& random) {
    const auto kind = random() % 8;
    return kind == 0 ? 0 : kind == 1 ? 1 + random() % 2 : kind < 4 ? 255 : random() % 256;
}

// Random pixels; with `blocky`, runs of repeated pixels (uniform areas, where
// ties and rounding show).
inline void FillRandom(PaddedImage& image, std::mt19937& random, bool blocky = false) {
    std::uint32_t last = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (!blocky || random() % 4 == 0 || (x == 0 && y == 0)) last = (random() & 0xFFFFFFu) | RandomAlpha(random) << 24;
            image.at(x, y) = last;
        }
}

// Mostly wholly opaque or wholly transparent blocks (as photos and cut-out
// shapes are), with a rare pixel of partial alpha among them.
inline void FillOpaqueAndTransparent(PaddedImage& image, std::mt19937& random) {
    std::uint32_t last = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (random() % 3 == 0 || (x == 0 && y == 0))
                last = (random() & 0xFFFFFFu) | (random() % 3 == 0 ? 0u : 0xFF000000u);
            image.at(x, y) = random() % 50 == 0 ? (last & 0xFFFFFFu) | RandomAlpha(random) << 24 : last;
        }
}

inline void MakeOpaque(PaddedImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.at(x, y) |= 0xFF000000u;
}

inline PaddedImage CopyOf(const PaddedImage& image, int pad) {
    PaddedImage copy(image.width, image.height, pad);
    for (int y = 0; y < image.height; ++y) std::copy_n(image.view().row(y), image.width, copy.view().row(y));
    return copy;
}

inline PaddedImage Filled(int w, int h, std::uint32_t argb) {
    PaddedImage image(w, h);
    image.memory.assign(image.memory.size(), argb);
    return image;
}

// kernel(image, out, args...) into a copy of `image`, as the filters expect
// (they blend onto what the destination holds).
template <class... P>
PaddedImage Filtered(const PaddedImage& image, void (*kernel)(const ConstImageView&, const ImageView&, P...),
                     std::type_identity_t<P>... args) {
    PaddedImage out = CopyOf(image, 0);
    kernel(image.view(), out.view(), args...);
    return out;
}

// Empty when equal; otherwise where and how the first difference lies.
inline std::string FirstDifference(const PaddedImage& expected, const PaddedImage& actual) {
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            if (expected.at(x, y) != actual.at(x, y)) {
                char text[96];
                std::snprintf(text, sizeof text, "at (%d, %d): expected %08X, got %08X", x, y,
                              static_cast<unsigned>(expected.at(x, y)), static_cast<unsigned>(actual.at(x, y)));
                return text;
            }
    return {};
}

// Runs f at the level the kernels dispatch to on this processor (AVX2 where
// it has it) and at their SSE2 fallback.
template <class F>
void AtEverySimdLevel(F f) {
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2}) {
        LimitSimdLevel(level);
        if (ActiveSimdLevel() == level) f();
    }
    LimitSimdLevel(SimdLevel::Avx2);
}

}  // namespace rastelle::kernels
