#include "swf/swf_image_movie.h"

namespace rastelle::swf {

std::unique_ptr<SwfTag> MakeLosslessBitmap(const std::uint8_t* argb, int width, int height) {
    return std::make_unique<LosslessBitmapTag>(5, width, height, 0, nullptr, argb, true);
}

std::unique_ptr<SwfMovie> MakeImageMovie(std::uint32_t backgroundArgb, std::unique_ptr<SwfTag> bitmap, int width,
                                         int height) {
    auto movie = std::make_unique<SwfMovie>();
    SwfFrame& frame = movie->GetFrame(0);
    frame.SetBackgroundColor(backgroundArgb);
    SwfBitmapShape shape({0, 20 * width, 0, 20 * height}, std::move(bitmap), width, height);
    frame.AddObject(shape);
    return movie;
}

}  // namespace rastelle::swf
