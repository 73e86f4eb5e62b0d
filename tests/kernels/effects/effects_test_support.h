// Sweeps of the effect kernels against their references: random images of
// odd sizes (1 x 1, single rows and columns included) with guard pixels and
// bottom-up rows, and arguments drawn from the extremes as often as from the
// plausible range.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <type_traits>

#include "kernels/effects/effects.h"

#include "../test_images.h"

namespace rastelle::kernels::effects {

// An int argument: the edges of every documented range, the int extremes, or
// anything in between.
inline int RandomArgument(std::mt19937& random) {
    static const int kNotable[] = {INT_MIN, INT_MIN + 1, -100000, -361, -101, -100, -99, -16, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7,
                                   8, 15, 16, 17, 50, 99, 100, 101, 359, 360, 1000, 1001, 100000, INT_MAX - 1, INT_MAX};
    switch (random() % 3) {
        case 0: return kNotable[random() % std::size(kNotable)];
        case 1: return static_cast<int>(random() % 241) - 120;
        default: return static_cast<int>(random());
    }
}

// A size from the ones that break loops: 1, 2, 3, a few odd ones.
inline int RandomSide(std::mt19937& random) {
    static const int kSides[] = {1, 1, 2, 3, 4, 5, 7, 8, 9, 13, 16, 17, 31, 33, 40};
    return kSides[random() % std::size(kSides)];
}

// Fills the image either with random pixels or with a smooth, photo-like
// gradient (where the warps' tolerances are meaningful and levels vary).
inline void FillForEffects(PaddedImage& image, std::mt19937& random) {
    switch (random() % 4) {
        case 0: FillRandom(image, random); break;
        case 1: FillRandom(image, random, true); break;
        case 2: FillOpaqueAndTransparent(image, random); break;
        default: {
            const int r0 = static_cast<int>(random() % 256), g0 = static_cast<int>(random() % 256);
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x)
                    image.at(x, y) = 0xFF000000u | static_cast<std::uint32_t>((r0 + 3 * x) & 255) << 16 |
                                     static_cast<std::uint32_t>((g0 + 5 * y) & 255) << 8 |
                                     static_cast<std::uint32_t>((x * y) & 255);
        }
    }
}

using Kernel = std::function<void(const ConstImageView&, const ImageView&)>;

// How far apart the fast and reference results may be: 0 is bit-identical;
// otherwise the largest difference of alpha or of a premultiplied channel,
// and the share of all pixels of a sweep that may exceed it (by one level at
// most).
struct Tolerance {
    int level = 0;
    double share = 0.0;
};

// Largest difference of alpha and premultiplied colour channels.
inline int PremultipliedDistance(std::uint32_t a, std::uint32_t b) {
    const int aa = static_cast<int>(a >> 24), ba = static_cast<int>(b >> 24);
    int worst = std::abs(aa - ba);
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ac = (static_cast<int>((a >> shift) & 0xFF) * aa + 127) / 255;
        const int bc = (static_cast<int>((b >> shift) & 0xFF) * ba + 127) / 255;
        worst = std::max(worst, std::abs(ac - bc));
    }
    return worst;
}

// Runs both kernels on one image (the fast one into a padded output, and
// once more into a bottom-up one) and reports the first disagreement.
inline std::string Compare(const PaddedImage& input, const Kernel& fast, const Kernel& reference, Tolerance tolerance,
                           std::mt19937& random, long long& beyond) {
    const int w = input.width, h = input.height;
    const PaddedImage in = CopyOf(input, static_cast<int>(random() % 3));
    PaddedImage expected(w, h), actual(w, h, 2), flipped(w, h, 1), unflipped(w, h);
    reference(in.view(), expected.view());
    fast(in.view(), actual.view());
    fast(in.view(), flipped.flipped());
    if (!actual.guardsIntact() || !flipped.guardsIntact()) return "wrote outside the image";
    if (!in.guardsIntact()) return "wrote into the input";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) unflipped.at(x, y) = flipped.at(x, h - 1 - y);
    if (!FirstDifference(actual, unflipped).empty()) return "bottom-up rows give another result";
    if (tolerance.level == 0) return FirstDifference(expected, actual);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int d = PremultipliedDistance(expected.at(x, y), actual.at(x, y));
            if (d > tolerance.level + 1) return "at (" + std::to_string(x) + ", " + std::to_string(y) + "): off by " + std::to_string(d);
            beyond += d > tolerance.level;
        }
    return {};
}

// `rounds` random images and argument sets: makeKernels(random) draws the
// arguments and returns the fast and reference kernels bound to them, and a
// description for the failure message.
struct BoundKernels {
    Kernel fast, reference;
    std::string arguments;
};

template <class Make>
void Sweep(int rounds, Make makeKernels, Tolerance tolerance = {}) {
    std::mt19937 random(20261206);
    long long pixels = 0, beyond = 0;
    for (int round = 0; round < rounds; ++round) {
        PaddedImage image(RandomSide(random), RandomSide(random));
        FillForEffects(image, random);
        const BoundKernels k = makeKernels(random);
        const std::string difference = Compare(image, k.fast, k.reference, tolerance, random, beyond);
        ASSERT_EQ(difference, "") << image.width << " x " << image.height << ", " << k.arguments << ", round " << round;
        pixels += static_cast<long long>(image.width) * image.height;
    }
    EXPECT_LE(static_cast<double>(beyond), tolerance.share * static_cast<double>(pixels)) << "pixels beyond the tolerance";
}

// How an argument reads in a failure message.
inline std::string Text(const SinusizeParameters& p) {
    std::string text;
    for (int v : {p.horizontalAmplitude, p.horizontalWaveLength, p.horizontalStartPhase, p.verticalAmplitude, p.verticalWaveLength,
                  p.verticalStartPhase})
        text += std::to_string(v) + "/";
    return text;
}
template <class T>
std::string Text(const T& v) { return std::to_string(v); }

template <class... P>
using EffectKernel = void (*)(const ConstImageView&, const ImageView&, P...);

// The fast and the reference kernel bound to the same arguments.
template <class... P>
BoundKernels Bind(EffectKernel<P...> fast, EffectKernel<P...> reference, std::type_identity_t<P>... args) {
    std::string text = "arguments";
    ((text += " " + Text(args)), ...);
    return {[=](auto& i, auto& o) { fast(i, o, args...); }, [=](auto& i, auto& o) { reference(i, o, args...); }, text};
}

// The output of a kernel with the given arguments on `image`, into a fresh
// image of its size.
template <class... P>
PaddedImage Apply(const PaddedImage& image, EffectKernel<P...> kernel, std::type_identity_t<P>... args) {
    PaddedImage out(image.width, image.height);
    kernel(image.view(), out.view(), args...);
    return out;
}

}  // namespace rastelle::kernels::effects
