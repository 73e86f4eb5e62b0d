// Rank filters over square windows: median, minimum and maximum, each channel
// ranked on its own by alpha-weighted keys.
#pragma once

#include <cstdint>

#include "image_view.h"

namespace rastelle::kernels {

enum class RankMode { Median, Minimum, Maximum };

// Replaces every pixel by an order statistic of the (2r + 1) x (2r + 1)
// window around it, cut off at the image's borders (n pixels). Blue, green
// and red are ranked by the keys A * B, A * G, A * R (A: the same pixel's
// alpha), so a transparent pixel ranks lowest whatever its colour bytes say;
// the output byte is the chosen pixel's own byte, taken at index n / 2
// (median), 0 (minimum) or n - 1 (maximum). Equal keys are ordered by the
// byte itself, ascending: the channel is ranked by the pair (key, byte). The
// alpha is ranked by its value when rankAlpha is set, otherwise copied from
// the same pixel of src.
//
// A radius below 1 lays src onto dst with BlendOver instead; radii beyond the
// image's larger side act as that side (the window already covers every row
// and column), so any int is safe. src and dst have the same size and must
// not overlap; with a radius of 1 or more every pixel of dst is written.
// May throw std::bad_alloc (work memory of up to about 4 bytes per pixel).
void RankFilter(const ConstImageView& src, const ImageView& dst, int radius, RankMode mode, bool rankAlpha);

// The filters. `out` must hold a copy of `in` on entry (the transform frame
// copies the input into its output first), have the same size and not
// overlap it. Each may throw std::bad_alloc and nothing else.
void NoiseRemoveImage(const ConstImageView& in, const ImageView& out, int precision);  // median, alpha kept
void ErosionImage(const ConstImageView& in, const ImageView& out, int strength);       // maximum
void ExpandImage(const ConstImageView& in, const ImageView& out, int strength);        // minimum

// The position of (alpha, byte) in the ranking order (key alpha * byte, then
// byte), packed into 0..65280, and the byte back from such a position.
std::uint16_t RankOrderOf(std::uint8_t alpha, std::uint8_t byte);
std::uint8_t ByteOfRankOrder(std::uint16_t order);

}  // namespace rastelle::kernels
