// libFuzzer harness over the pixel kernels that take sizes and parameters from
// a caller: blur, rank filters, resampling, rotation, layer combining,
// transparency, flattening, the palette quantiser and search, CMYK
// separation. The first byte picks the entry; the rest gives images (any
// size up to a small bound, padded rows, bottom-up or not) and arguments.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "fuzz_input.h"
#include "kernels/blur.h"
#include "kernels/cmyk_separation.h"
#include "kernels/combine.h"
#include "kernels/flatten.h"
#include "kernels/octree_palette.h"
#include "kernels/palette_search.h"
#include "kernels/rank_filter.h"
#include "kernels/resample.h"
#include "kernels/rotate_flip.h"
#include "kernels/transparency.h"

namespace k = rastelle::kernels;
using rastelle::fuzz::CheckGuards;
using rastelle::fuzz::CopyPixels;
using rastelle::fuzz::FuzzInput;
using rastelle::fuzz::GuardedImage;
using rastelle::fuzz::Require;

namespace {

// An output of the input's size holding a copy of it, as the filters expect.
GuardedImage CopyOf(GuardedImage& in, FuzzInput& data) {
    GuardedImage out = GuardedImage::Sized(data, in.width(), in.height());
    CopyPixels(in.cview(), out.view());
    return out;
}

void Blur(FuzzInput& data) {
    GuardedImage in = GuardedImage::From(data, 24, 24);
    GuardedImage out = CopyOf(in, data);
    switch (data.Byte() % 4) {
    case 0: {
        k::BlurParams params;
        params.offsetX = data.Int();
        params.offsetY = data.Int();
        if (data.Bool()) params.glowColor = data.U32();
        params.intensity = data.Double();
        params.radiusX = data.Double();
        params.radiusY = data.Double();
        k::BlurKernel(in.cview(), out.view(), params);
        break;
    }
    case 1: k::FastBlurImage(in.cview(), out.view(), data.Double()); break;
    case 2: k::GlowImage(in.cview(), out.view(), data.U32(), data.Double(), data.Double()); break;
    default: k::ShadowImage(in.cview(), out.view(), data.U32(), data.Double(), data.Int(), data.Int()); break;
    }
    CheckGuards(in, out);
}

void Rank(FuzzInput& data) {
    GuardedImage in = GuardedImage::From(data, 20, 20);
    GuardedImage out = CopyOf(in, data);
    const int radius = data.Int();
    switch (data.Byte() % 4) {
    case 0: k::RankFilter(in.cview(), out.view(), radius, static_cast<k::RankMode>(data.Byte() % 3), data.Bool()); break;
    case 1: k::NoiseRemoveImage(in.cview(), out.view(), radius); break;
    case 2: k::ErosionImage(in.cview(), out.view(), radius); break;
    default: k::ExpandImage(in.cview(), out.view(), radius); break;
    }
    CheckGuards(in, out);
}

void Resample(FuzzInput& data) {
    GuardedImage in = GuardedImage::From(data, 24, 24);
    const k::SourceRect from{data.Int(), data.Int(), data.Int(), data.Int()};  // read in order
    const int width = data.Range(0, 40), height = data.Range(0, 40);
    GuardedImage out = GuardedImage::Sized(data, width, height);
    const auto mode = static_cast<k::ResampleMode>(data.Byte() % 5);
    const std::uint32_t background = data.U32();
    k::ResampleOver(in.cview(), from, out.view(), mode, background);
    CheckGuards(in, out);
    // A rectangle that covers nothing shows the background everywhere.
    if (from.width <= 0 || from.height <= 0 || in.width() == 0 || in.height() == 0) {
        const k::ImageView v = out.view();
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x) Require(v.row(y)[x] == background);
    }
}

void Rotate(FuzzInput& data) {
    GuardedImage in = GuardedImage::From(data, 32, 32);
    const auto type = static_cast<k::RotateFlip>(data.Byte() % 8);
    const bool swap = k::SwapsAxes(type);
    GuardedImage out = GuardedImage::Sized(data, swap ? in.height() : in.width(), swap ? in.width() : in.height());
    k::RotateFlipImage(in.cview(), out.view(), type);
    CheckGuards(in, out);
    // Every source pixel lands once: the sums of the pixel values agree.
    std::uint64_t sumIn = 0, sumOut = 0;
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) sumIn += in.cview().row(y)[x];
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) sumOut += out.cview().row(y)[x];
    Require(sumIn == sumOut);
}

// A sub-view of an image: the rectangle must lie inside it.
k::ImageView Part(const k::ImageView& v, int x, int y, int w, int h) {
    if (w == 0 || h == 0) return {v.pixels, w, h, v.strideBytes};
    return {v.row(y) + x, w, h, v.strideBytes};
}

void Combine(FuzzInput& data) {
    // The clip on its own, with any sizes and offsets.
    {
        const int sw = data.Range(0, 2147483647), sh = data.Range(0, 2147483647);
        const int dw = data.Range(0, 2147483647), dh = data.Range(0, 2147483647);
        const int ox = data.Int();
        const k::LayerOverlap o = k::ClipLayer(sw, sh, dw, dh, ox, data.Int());
        const auto within = [](int from, int length, int size) { return from >= 0 && std::int64_t{from} + length <= size; };
        Require(o.width >= 0 && o.height >= 0);
        Require(o.width == 0 || o.height == 0 ||
                (within(o.sourceX, o.width, sw) && within(o.sourceY, o.height, sh) && within(o.backgroundX, o.width, dw) &&
                 within(o.backgroundY, o.height, dh)));
    }
    GuardedImage layer = GuardedImage::From(data, 24, 24);
    GuardedImage background = GuardedImage::From(data, 24, 24);
    const int ox = data.Int();
    const k::LayerOverlap o = k::ClipLayer(layer.width(), layer.height(), background.width(), background.height(), ox, data.Int());
    const auto mode = static_cast<k::CombineMode>(data.Byte() % 6);
    const int opacity = data.Int();
    if (o.width > 0 && o.height > 0) {
        const k::ImageView l = Part(layer.view(), o.sourceX, o.sourceY, o.width, o.height);
        const k::ImageView b = Part(background.view(), o.backgroundX, o.backgroundY, o.width, o.height);
        k::CombineLayer(mode, l, b, opacity);
    }
    CheckGuards(layer, background);
}

void Transparency(FuzzInput& data) {
    GuardedImage in = GuardedImage::From(data, 32, 32);
    GuardedImage out = CopyOf(in, data);
    k::TransparencyKernel(in.cview(), out.view(), data.U32(), data.Byte());
    CheckGuards(in, out);
}

void Flatten(FuzzInput& data) {
    GuardedImage image = GuardedImage::From(data, 32, 32);
    switch (data.Byte() % 3) {
    case 0: (void)k::FlattenBackground(image.cview()); break;
    case 1: k::BlendOverBackground(image.view(), data.U32()); break;
    default: k::FlattenAgainstBackground(image.view()); break;
    }
    image.CheckGuards();
}

void Palette(FuzzInput& data) {
    GuardedImage image = GuardedImage::From(data, 32, 32);
    const unsigned maxColours = data.Byte() % 4 == 0 ? data.U32() : data.Range(0, 300);
    const unsigned colourBits = data.Range(0, 10);
    std::vector<k::PaletteColour> palette;
    const bool built = k::BuildOctreePalette(image.cview(), maxColours, colourBits, palette);
    image.CheckGuards();
    if (!built) {
        Require(palette.empty());
        return;
    }
    Require(palette.size() <= maxColours);
    if (palette.empty() || palette.size() > 256) return;
    // The search agrees with a plain scan on the least distance.
    k::NearestPaletteSearch search(palette);
    for (int i = 0; i < 16 && data.remaining() > 0; ++i) {
        const std::uint32_t rgb = data.U32() & 0xFFFFFFu;
        const unsigned found = search.Find(rgb);
        Require(found < palette.size());
        auto distance = [rgb](const k::PaletteColour& c) {
            const int dr = c.red - static_cast<int>(rgb >> 16 & 0xFF);
            const int dg = c.green - static_cast<int>(rgb >> 8 & 0xFF);
            const int db = c.blue - static_cast<int>(rgb & 0xFF);
            return dr * dr + dg * dg + db * db;
        };
        int least = distance(palette[0]);
        for (const auto& c : palette) least = distance(c) < least ? distance(c) : least;
        Require(distance(palette[found]) == least);
    }
}

void Cmyk(FuzzInput& data) {
    GuardedImage in = GuardedImage::From(data, 32, 32);
    GuardedImage out = GuardedImage::Sized(data, in.width(), in.height());
    k::SeparateCmykDefault(in.cview(), out.view());
    CheckGuards(in, out);
    // The bulk path gives what the per-pixel rule gives.
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x)
            Require(out.cview().row(y)[x] == k::SeparateCmykPixel(in.cview().row(y)[x]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzInput data(bytes, size);
    try {
        switch (data.Byte() % 9) {
        case 0: Blur(data); break;
        case 1: Rank(data); break;
        case 2: Resample(data); break;
        case 3: Rotate(data); break;
        case 4: Combine(data); break;
        case 5: Transparency(data); break;
        case 6: Flatten(data); break;
        case 7: Palette(data); break;
        default: Cmyk(data); break;
        }
    } catch (const std::bad_alloc&) {
        // The kernels may report memory they cannot get; nothing else escapes.
    }
    return 0;
}
