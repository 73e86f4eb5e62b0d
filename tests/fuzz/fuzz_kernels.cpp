// libFuzzer harness over the pixel kernels that take sizes and parameters from
// a caller. The first byte picks the entry; the rest gives images and arguments.
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <vector>

#include "fuzz_input.h"
#include "kernels/blur.h"
#include "kernels/cmyk_separation.h"
#include "kernels/combine.h"
#include "kernels/fill_copy.h"
#include "kernels/flatten.h"
#include "kernels/octree_palette.h"
#include "kernels/palette_search.h"
#include "kernels/rank_filter.h"
#include "kernels/resample.h"
#include "kernels/rotate_flip.h"
#include "kernels/transparency.h"

namespace k = rastelle::kernels;
using namespace rastelle::fuzz;

namespace {

// An output of the input's size holding a copy of it, as the filters expect.
GuardedImage CopyOf(GuardedImage& in, FuzzInput& data) {
    GuardedImage out = GuardedImage::Sized(data, in.width, in.height);
    k::CopyPixels(in.cview(), out.view());
    return out;
}

std::uint64_t Sum(GuardedImage& image) {
    std::uint64_t sum = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) sum += image.view().row(y)[x];
    return sum;
}

void Filters(FuzzInput& data, bool blur) {
    GuardedImage in = GuardedImage::From(data, blur ? 24 : 20, blur ? 24 : 20);
    GuardedImage out = CopyOf(in, data);
    if (blur) {
        switch (data.Byte() % 4) {
        case 0: {
            const int offsetX = data.Int(), offsetY = data.Int();
            std::optional<std::uint32_t> glow;
            if (data.Bool()) glow = data.U32();
            // A braced list reads its arguments in order.
            k::BlurKernel(in.cview(), out.view(), {offsetX, offsetY, glow, data.Double(), data.Double(), data.Double()});
            break;
        }
        case 1: k::FastBlurImage(in.cview(), out.view(), data.Double()); break;
        case 2: k::GlowImage(in.cview(), out.view(), data.U32(), data.Double(), data.Double()); break;
        default: k::ShadowImage(in.cview(), out.view(), data.U32(), data.Double(), data.Int(), data.Int()); break;
        }
    } else {
        const int radius = data.Int();
        switch (data.Byte() % 4) {
        case 0: k::RankFilter(in.cview(), out.view(), radius, static_cast<k::RankMode>(data.Byte() % 3), data.Bool()); break;
        case 1: k::NoiseRemoveImage(in.cview(), out.view(), radius); break;
        case 2: k::ErosionImage(in.cview(), out.view(), radius); break;
        default: k::ExpandImage(in.cview(), out.view(), radius); break;
        }
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
    if (from.width <= 0 || from.height <= 0 || in.width == 0 || in.height == 0)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) Require(out.view().row(y)[x] == background);
}

void Rotate(FuzzInput& data) {
    GuardedImage in = GuardedImage::From(data, 32, 32);
    const auto type = static_cast<k::RotateFlip>(data.Byte() % 8);
    const bool swap = k::SwapsAxes(type);
    GuardedImage out = GuardedImage::Sized(data, swap ? in.height : in.width, swap ? in.width : in.height);
    k::RotateFlipImage(in.cview(), out.view(), type);
    CheckGuards(in, out);
    Require(Sum(in) == Sum(out));  // every source pixel lands once
}

// A sub-view of an image: the rectangle must lie inside it.
k::ImageView Part(const k::ImageView& v, int x, int y, int w, int h) {
    return {w == 0 || h == 0 ? v.pixels : v.row(y) + x, w, h, v.strideBytes};
}

void Combine(FuzzInput& data) {
    // The clip on its own, with any sizes and offsets: inside both images.
    const int sw = data.Range(0, 2147483647), sh = data.Range(0, 2147483647), dw = data.Range(0, 2147483647),
              dh = data.Range(0, 2147483647), cx = data.Int();
    const k::LayerOverlap clip = k::ClipLayer(sw, sh, dw, dh, cx, data.Int());
    const auto within = [](int from, int length, int size) { return from >= 0 && std::int64_t{from} + length <= size; };
    Require(clip.width >= 0 && clip.height >= 0);
    Require(clip.width == 0 || clip.height == 0 ||
            (within(clip.sourceX, clip.width, sw) && within(clip.sourceY, clip.height, sh) &&
             within(clip.backgroundX, clip.width, dw) && within(clip.backgroundY, clip.height, dh)));
    GuardedImage layer = GuardedImage::From(data, 24, 24);
    GuardedImage background = GuardedImage::From(data, 24, 24);
    const int ox = data.Int();
    const k::LayerOverlap o = k::ClipLayer(layer.width, layer.height, background.width, background.height, ox, data.Int());
    const auto mode = static_cast<k::CombineMode>(data.Byte() % 6);
    const int opacity = data.Int();
    if (o.width > 0 && o.height > 0)
        k::CombineLayer(mode, Part(layer.view(), o.sourceX, o.sourceY, o.width, o.height),
                        Part(background.view(), o.backgroundX, o.backgroundY, o.width, o.height), opacity);
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

int Distance(const k::PaletteColour& c, std::uint32_t rgb) {
    const int dr = c.red - static_cast<int>(rgb >> 16 & 0xFF), dg = c.green - static_cast<int>(rgb >> 8 & 0xFF),
              db = c.blue - static_cast<int>(rgb & 0xFF);
    return dr * dr + dg * dg + db * db;
}

void Palette(FuzzInput& data) {
    GuardedImage image = GuardedImage::From(data, 32, 32);
    const unsigned maxColours = data.Byte() % 4 == 0 ? data.U32() : data.Range(0, 300);
    const unsigned colourBits = data.Range(0, 10);
    std::vector<k::PaletteColour> palette;
    const bool built = k::BuildOctreePalette(image.cview(), maxColours, colourBits, palette);
    image.CheckGuards();
    Require(built ? palette.size() <= maxColours : palette.empty());
    if (palette.empty() || palette.size() > 256) return;
    // The search finds an entry of least distance.
    k::NearestPaletteSearch search(palette);
    for (int i = 0; i < 16 && data.remaining() > 0; ++i) {
        const std::uint32_t rgb = data.U32() & 0xFFFFFFu;
        const unsigned found = search.Find(rgb);
        Require(found < palette.size());
        for (const auto& c : palette) Require(Distance(palette[found], rgb) <= Distance(c, rgb));
    }
}

void Cmyk(FuzzInput& data) {
    GuardedImage in = GuardedImage::From(data, 32, 32);
    GuardedImage out = GuardedImage::Sized(data, in.width, in.height);
    k::SeparateCmykDefault(in.cview(), out.view());
    CheckGuards(in, out);
    // The bulk path gives what the per-pixel rule gives.
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) Require(out.view().row(y)[x] == k::SeparateCmykPixel(in.view().row(y)[x]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzInput data(bytes, size);
    try {
        switch (data.Byte() % 9) {
        case 0: Filters(data, true); break;
        case 1: Filters(data, false); break;
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
