// libFuzzer harness over the effect kernels: the first byte picks the effect,
// the rest gives the image (up to 64 x 64) and every argument at any value.
#include <cstddef>
#include <cstdint>
#include <new>

#include "fuzz_input.h"
#include "kernels/effects/effects.h"

namespace e = rastelle::kernels::effects;
namespace k = rastelle::kernels;
using namespace rastelle::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzInput data(bytes, size);
    const int which = data.Byte() % 24;
    GuardedImage in = GuardedImage::From(data, 64, 64);
    GuardedImage out = GuardedImage::Sized(data, in.width, in.height);
    const k::ConstImageView src = in.cview();
    const k::ImageView dst = out.view();
    try {
        switch (which) {
        case 0: e::AutoLevel(src, dst); break;
        case 1: e::Antialias(src, dst); break;
        case 2: e::Greyscale(src, dst); break;
        case 3: e::Waddle(src, dst); break;
        case 4: e::Lightness(src, dst, data.Int()); break;
        case 5: e::AutoLightness(src, dst); break;
        case 6: e::Contrast(src, dst, data.Int()); break;
        case 7: e::AutoContrast(src, dst); break;
        case 8: e::AddNoise(src, dst, data.Int(), data.Bool()); break;
        case 9: e::Spray(src, dst, data.Int(), data.Int(), data.U32()); break;
        case 10: e::Mosaic(src, dst, data.Int(), data.Int()); break;
        case 11:  // a braced list reads its arguments in order
            e::Sinusize(src, dst, {data.Int(), data.Int(), data.Int(), data.Int(), data.Int(), data.Int(), data.U32()});
            break;
        case 12: e::Swirl(src, dst, data.Int()); break;
        case 13: e::EllipseCrop(src, dst, data.Int(), data.Int(), data.Int(), data.Int(), data.U32()); break;
        case 14: e::Solarize(src, dst, data.U32()); break;
        case 15: e::HslColorize(src, dst, data.Int(), data.Int(), data.Int()); break;
        case 16: e::Texturize(src, dst, data.Int(), data.Float()); break;
        case 17: e::Sharpen(src, dst, data.Int()); break;
        case 18: e::Emboss(src, dst, data.Int()); break;
        case 19: e::EdgeDetect(src, dst, data.Int()); break;
        case 20: e::SwapChannels(src, dst, data.Int(), data.Int(), data.Int(), data.Int()); break;
        case 21: e::Buttonize(src, dst, data.Int(), data.Int(), data.Int()); break;
        default:
            e::PageCurl(src, dst, data.Int(), data.Int(), data.Int(), data.U32(), data.U32());
            break;
        }
    } catch (const std::bad_alloc&) {
        // The effects may report memory they cannot get; nothing else escapes.
    }
    CheckGuards(in, out);
    return 0;
}
