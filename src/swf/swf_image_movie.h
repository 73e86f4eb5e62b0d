// The movie the system saves for one image: a 550 x 400 pixel stage at 12
// frames per second, the background colour, and one frame that shows the
// bitmap as a rectangle of the image's size in pixels at the top left.
#pragma once

#include "swf/swf_movie.h"

#include <cstdint>
#include <memory>

namespace rastelle::swf {

// A DefineBitsLossless2 (format 5) of width x height pixels already in
// SWF's ARGB byte order (ToSwfArgb). Throws
// LosslessBitmapTag::CompressionFailed or std::bad_alloc.
std::unique_ptr<SwfTag> MakeLosslessBitmap(const std::uint8_t* argb, int width, int height);

// The movie of bitmap (already defined, width x height pixels) on a
// background of backgroundArgb (0xAARRGGBB; alpha is not written).
std::unique_ptr<SwfMovie> MakeImageMovie(std::uint32_t backgroundArgb, std::unique_ptr<SwfTag> bitmap, int width,
                                         int height);

}  // namespace rastelle::swf
