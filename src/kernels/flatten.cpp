#include "flatten.h"

namespace rastelle::kernels {

std::uint32_t FlattenBackground(const ConstImageView& image) {
    if (image.width < 2 || image.height < 2) return kDefaultFlattenBackground;
    // The run covers (height - 1) x (width - 1) pixels counted row by row
    // across the full width, so it stops short of the last rows.
    const long long count = static_cast<long long>(image.height - 1) * (image.width - 1);
    for (long long i = 0; i < count; ++i) {
        const std::uint32_t pixel = image.row(static_cast<int>(i / image.width))[i % image.width];
        if ((pixel >> 24) > 2) continue;
        const long long next = i + 1;
        if (next >= count) break;
        const std::uint32_t follower = image.row(static_cast<int>(next / image.width))[next % image.width];
        return 0xFF000000u | (follower & 0x00FFFFFFu);
    }
    return kDefaultFlattenBackground;
}

void BlendOverBackground(const ImageView& image, std::uint32_t background) {
    const std::uint32_t back[3] = {background & 0xFF, (background >> 8) & 0xFF, (background >> 16) & 0xFF};
    for (int y = 0; y < image.height; ++y) {
        std::uint32_t* row = image.row(y);
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t pixel = row[x];
            const std::uint32_t alpha = pixel >> 24;
            if (alpha == 0xFF) continue;
            std::uint32_t blended = pixel & 0xFF000000u;
            for (int channel = 0; channel < 3; ++channel) {
                const int shift = channel * 8;
                const std::uint32_t c = (pixel >> shift) & 0xFF;
                blended |= ((c * alpha + back[channel] * (255 - alpha)) / 255) << shift;
            }
            row[x] = blended;
        }
    }
}

void FlattenAgainstBackground(const ImageView& image) { BlendOverBackground(image, FlattenBackground(image)); }

}  // namespace rastelle::kernels
