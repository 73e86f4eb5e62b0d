// Resampling of a rectangle of an image onto an output of any size, in five
// quality modes, laid over a background colour.
//
// Coordinates. Source pixel i covers [i, i + 1); its centre is i + 1/2. The
// rectangle (x, y, w, h) is mapped onto the whole output of outW x outH pixels,
// so output column X has its centre at
//     u = x + (X + 1/2) * w / outW                     (source coordinates)
// and samples the source at the position c = u - 1/2 in pixel-index units
// (c = i means exactly on pixel i). Rows likewise with y, h and outH. The two
// axes are independent: any mix of enlargement and reduction.
//
// Coverage. An output pixel is covered when its centre lies in the image,
// 0 <= u < width and 0 <= v < height, computed exactly in integers. Uncovered
// pixels are transparent and so show the background exactly. Covered pixels
// are resampled; filter taps that fall outside the image read the nearest
// edge pixel, so edges keep their colour and alpha instead of fading.
//
// Premultiplied arithmetic. A source pixel (c, a) of 8-bit colour c and alpha
// a enters as colour c * a and alpha 255 * a: exact integers on one scale,
// where 65025 (255 * 255) is full coverage. Filtering works on these values
// in float: source values, weights and both passes' sums are IEEE single
// precision, summed tap by tap in ascending source order starting from 0. A
// weight of exactly 1 on one tap therefore reproduces the source values
// exactly, and transparent pixels carry no colour into their neighbours.
// (16-bit fixed point cannot hold these exact products together with the
// overshoot of the cubic, and 8-bit premultiplied colour loses the colour of
// nearly transparent pixels; float holds both.)
//
// Filters, per axis; s = w / outW is the reduction factor of that axis. For
// the filtering modes, with c = i0 + f (i0 = floor(c), 0 <= f < 1, both taken
// exactly from the integers: i0 = x + floor(n / d) and f = (n mod d) / d in
// double, where n = (2X + 1) * w - outW and d = 2 * outW):
//   Bilinear             K = triangle, sigma = 1: the 2 taps i0, i0 + 1
//   HighQualityBilinear  K = triangle, sigma = max(1, s)
//   Bicubic              K = cubic, sigma = 1: the 4 taps i0 - 1 ... i0 + 2
//   HighQualityBicubic   K = cubic, sigma = max(1, s)
// with, for r = |t|, evaluated in double exactly as written:
//   triangle(t) = 1 - r for r < 1, else 0                 (support 1)
//   cubic(t)    = (1.5 r - 2.5) r r + 1 for r <= 1,
//                 ((-0.5 r + 2.5) r - 4) r + 2 for 1 < r < 2, else 0
//                 (Keys' cubic convolution with a = -0.5, support 2)
// sigma = w / outW in double when that exceeds 1 (at most 2^20). Tap i (every
// integer) gets the raw weight K(((i - i0) - f) / sigma) in double; the raw
// weights are divided by their sum (summed in ascending i), then each tap
// outside the image adds its weight to the edge pixel it reads (in ascending
// i); each resulting weight is rounded to float, and zero weights at either
// end are dropped. So the widened filters give every source pixel a weight
// when reducing, and none of the filters fades at the edges.
// Weights are computed once per output column and once per output row.
//
// Passes. For each source row, each covered output column gets the horizontal
// sum over its taps; each covered output pixel is then the vertical sum over
// its row taps of those horizontal sums. The result (Pb, Pg, Pr, Pa) becomes
// integers: alpha = clamp(Pa, 0, 65025) rounded to nearest (ties to even),
// each colour = min(clamp(P, 0, 65025) rounded likewise, alpha); that is a
// PremultipliedPixel, laid over the background by ComposeOver.
//
// NearestNeighbor takes, without filtering, the source pixel that contains
// the centre: floor(u), floor(v). Its result is ComposeOver(Premultiply(p)).
//
// Consequences: at scale 1 (w == outW, h == outH) every mode reads exactly one
// source pixel per output pixel with weight 1, so a 1:1 crop reproduces the
// source pixels (laid over the background) exactly; a uniform image stays
// uniform in every mode, right up to its edges.
#pragma once

#include <cstdint>

#include "image_view.h"

namespace rastelle::kernels {

// Numbered as the ResizeQualityTypes a client chooses.
enum class ResampleMode : int {
    NearestNeighbor = 0,
    Bilinear = 1,
    HighQualityBilinear = 2,
    Bicubic = 3,
    HighQualityBicubic = 4,
};

// A rectangle in source pixel coordinates; it may extend beyond the image.
struct SourceRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A resampled pixel before it meets the background: alpha a in 0..65025
// (65025 = opaque) and each colour premultiplied on the same scale, b, g, r
// <= a. A straight pixel (colour c, alpha a) is (c * a, 255 * a).
struct PremultipliedPixel {
    std::uint32_t b = 0, g = 0, r = 0, a = 0;
};

inline constexpr std::uint32_t kFullCoverage = 65025;

// The exact premultiplied form of a straight 0xAARRGGBB pixel.
PremultipliedPixel Premultiply(std::uint32_t argb);

// "Source over": p laid over the straight background colour (bc, ba), the
// result in straight 0xAARRGGBB. In real numbers, with coverage A / T, the
// output alpha is A / T + (ba / 255) (1 - A / T) and the output premultiplied
// colour C / T + (bc / 255) (ba / 255) (1 - A / T); the straight colour is
// their quotient. Exactly, with T = 65025 and p = (C..., A):
//     N     = 255 * A + ba * (T - A)                 (output alpha times T)
//     alpha = floor((N + 32512) / T)                 (N / T rounded; no ties)
//     c     = floor((T * C + bc * ba * (T - A) + floor(N / 2)) / N)
//                                                    (rounded half up)
// all in unsigned 32-bit integers (every term stays below 2^32). A fully
// transparent p (A == 0) gives the background exactly, whatever its alpha; an
// opaque p (A == T) gives alpha 255 and colours C / 255 rounded, so an opaque
// source pixel comes through exactly.
std::uint32_t ComposeOver(const PremultipliedPixel& p, std::uint32_t background);

// Writes into every pixel of dst the rectangle `from` of src, resampled onto
// dst's size in `mode` as described above, laid over `background`. Resizing
// an image is the whole image as the rectangle. A rectangle of zero or
// negative width or height, or an empty source, covers nothing: dst becomes
// the background. The background is used as given (a caller that wants
// alpha at least 1 under everything passes it with 0x01000000 set). Callers
// that map a platform's own mode numbers send any
// value outside 0..4 as Bilinear (the platform's default interpolation);
// other values are treated so here too.
//
// src and dst must not overlap. Scratch memory is allocated per call; on
// std::bad_alloc (which propagates) dst may be partly written. Sizes are
// those of images of up to 2^31 - 1 bytes; index arithmetic that could
// overflow is done in 64 bits.
void ResampleOver(const ConstImageView& src, const SourceRect& from, const ImageView& dst, ResampleMode mode,
                  std::uint32_t background);

}  // namespace rastelle::kernels
