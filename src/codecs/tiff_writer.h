// The system's own TIFF encoder (libtiff), the TIFF encoder on every
// platform.
#pragma once

#include "kernels/image_view.h"

#include <cstdint>
#include <vector>

namespace rastelle::codecs {

struct TiffOptions {
    bool lzw = true;        // LZW, or no compression
    bool withAlpha = true;  // 32 bits (RGB and unassociated alpha), or 24 (RGB)
    float horizontalDpi = 0;
    float verticalDpi = 0;  // written with the inch unit when both are positive
};

// Encodes the pixels as a single-page, top-left oriented, contiguous RGB(A)
// TIFF of 8 bits per sample. False when libtiff fails; out is then empty.
bool EncodeTiff(const kernels::ConstImageView& pixels, const TiffOptions& options, std::vector<std::uint8_t>& out);

// The same with one directory per page, in order (marked as the pages of a
// multi-page document when there are several).
struct TiffPage {
    kernels::ConstImageView pixels;
    TiffOptions options;
};
bool EncodeTiffPages(const std::vector<TiffPage>& pages, std::vector<std::uint8_t>& out);

}  // namespace rastelle::codecs
