#include "fill_copy.h"

#include <algorithm>
#include <cstring>

namespace rastelle::kernels {

void FillPixels(const ImageView& dst, std::uint32_t argb) {
    for (int y = 0; y < dst.height; ++y) {
        std::uint32_t* row = dst.row(y);
        std::fill(row, row + dst.width, argb);
    }
}

void CopyPixels(const ConstImageView& src, const ImageView& dst) {
    assert(src.width == dst.width && src.height == dst.height);
    const std::size_t rowBytes = static_cast<std::size_t>(dst.width) * 4;
    if (src.strideBytes == dst.strideBytes && src.strideBytes == static_cast<std::ptrdiff_t>(rowBytes)) {
        if (rowBytes != 0 && dst.height > 0)
            std::memcpy(dst.pixels, src.pixels, rowBytes * static_cast<std::size_t>(dst.height));
        return;
    }
    for (int y = 0; y < dst.height; ++y) std::memcpy(dst.row(y), src.row(y), rowBytes);
}

}  // namespace rastelle::kernels
