// Scanlines of a PNG file from 32-bit pixels: packing into the file's sample
// order and the adaptive choice of each row's filter.
#pragma once

#include "kernels/image_view.h"

#include <cstddef>
#include <cstdint>

namespace rastelle::kernels {

// True when every pixel of image has alpha 255.
bool IsOpaque(const ConstImageView& image);

// Writes width pixels as PNG samples: red, green, blue and, withAlpha, alpha.
void PackPngRow(const std::uint32_t* pixels, int width, bool withAlpha, std::uint8_t* out);

// Filters one row of samples (length bytes, bytesPerPixel 3 or 4) against the
// row above (null for the first row) and writes the filter type byte and the
// filtered bytes to out (length + 1 bytes). Of None, Sub, Up, Average and
// Paeth it takes the one whose residues, read as signed bytes, have the
// smallest sum of magnitudes (the first of equals). scratch holds 4 * length
// bytes.
void FilterPngRow(const std::uint8_t* samples, const std::uint8_t* previous, std::size_t length, int bytesPerPixel,
                  std::uint8_t* out, std::uint8_t* scratch);

// Reverses one row's filter (0 to 4) straight into pixels: residues holds the
// row's width * bytesPerPixel filtered samples (red, green, blue and, with 4
// bytes per pixel, alpha; without alpha the pixels are opaque), above the row
// decoded before it (null for the first row). Each pixel's residues are read
// before the pixel is written, so they may lie in out's own memory as long as
// they are not behind the pixel they belong to. False for an unknown filter.
bool UnfilterPngRow(int filter, const std::uint8_t* residues, int width, int bytesPerPixel, const std::uint32_t* above,
                    std::uint32_t* out);

}  // namespace rastelle::kernels
