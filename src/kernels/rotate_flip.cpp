#include "rotate_flip.h"

#include <cstddef>

namespace rastelle::kernels {

void RotateFlipImage(const ConstImageView& src, const ImageView& dst, RotateFlip type) {
    // Output pixel (x, y) reads the source pixel (sx, sy) with
    //   sx = ax + bx * x + cx * y,  sy = ay + by * x + cy * y.
    const int w = src.width - 1;
    const int h = src.height - 1;
    int ax = 0, bx = 1, cx = 0, ay = 0, by = 0, cy = 1;
    switch (type) {
    case RotateFlip::None: break;
    case RotateFlip::Rotate90: ax = 0, bx = 0, cx = 1, ay = h, by = -1, cy = 0; break;
    case RotateFlip::Rotate180: ax = w, bx = -1, cx = 0, ay = h, by = 0, cy = -1; break;
    case RotateFlip::Rotate270: ax = w, bx = 0, cx = -1, ay = 0, by = 1, cy = 0; break;
    case RotateFlip::FlipX: ax = w, bx = -1, cx = 0, ay = 0, by = 0, cy = 1; break;
    case RotateFlip::Rotate90FlipX: ax = 0, bx = 0, cx = 1, ay = 0, by = 1, cy = 0; break;
    case RotateFlip::FlipY: ax = 0, bx = 1, cx = 0, ay = h, by = 0, cy = -1; break;
    case RotateFlip::Rotate90FlipY: ax = w, bx = 0, cx = -1, ay = h, by = -1, cy = 0; break;
    }
    // Steps through the source in pixels (x) and in bytes (y), per output step.
    const std::ptrdiff_t stepX = bx + static_cast<std::ptrdiff_t>(by) * src.strideBytes / 4;
    for (int y = 0; y < dst.height; ++y) {
        const std::uint32_t* from = src.row(ay + cy * y) + (ax + cx * y);
        std::uint32_t* to = dst.row(y);
        for (int x = 0; x < dst.width; ++x) to[x] = from[x * stepX];
    }
}

}  // namespace rastelle::kernels
