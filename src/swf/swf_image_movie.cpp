#include "swf/swf_image_movie.h"

namespace rastelle::swf {

std::unique_ptr<SwfTag> MakeLosslessBitmap(const kernels::ConstImageView& pixels) {
    const std::vector<std::uint8_t> argb = ToSwfArgb(pixels);
    return std::make_unique<LosslessBitmapTag>(5, pixels.width, pixels.height, 0, nullptr, argb.data(), true);
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
