// libFuzzer harness over the SWF writer: lossless or JPEG bitmaps of any
// bytes, in the saver's image movie or in frames of shapes; every movie's
// length field must be the file's length.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "fuzz_input.h"
#include "swf/swf_bitmap_tags.h"
#include "swf/swf_image_movie.h"
#include "swf/swf_movie.h"

namespace s = rastelle::swf;
using namespace rastelle::fuzz;

namespace {

void CheckMovie(const std::vector<std::uint8_t>& bytes) {
    Require(bytes.size() >= 8);
    Require((bytes[0] == 'F' || bytes[0] == 'C') && bytes[1] == 'W' && bytes[2] == 'S');
    const std::uint32_t length = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<std::uint32_t>(bytes[7]) << 24;
    if (bytes[0] == 'F') Require(length == bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzInput data(bytes, size);
    const std::uint8_t selector = data.Byte();
    try {
        // The bitmap's bytes (pixels or JPEG) outlive the movie, as in the saver.
        std::vector<std::uint8_t> payload;
        std::unique_ptr<s::SwfTag> bitmap;
        int width = 0, height = 0;
        if (selector & 1) {
            payload.resize(data.Range(0, 256));
            for (auto& b : payload) b = data.Byte();
            width = data.Range(0, 64), height = data.Range(0, 64);
            bitmap = std::make_unique<s::JpegBitmapTag>(payload.data(), static_cast<std::uint32_t>(payload.size()));
        } else {
            GuardedImage image = GuardedImage::From(data, 64, 64);
            width = image.width, height = image.height;
            payload.resize(static_cast<std::size_t>(width) * height * 4);
            s::ToSwfArgb(image.cview(), payload.data());
            image.CheckGuards();
            bitmap = s::MakeLosslessBitmap(payload.data(), width, height);
        }
        if (selector & 2) return CheckMovie(s::MakeImageMovie(data.U32(), std::move(bitmap), width, height)->SaveToBytes()), 0;
        // Several frames, each maybe with a background, the shape placed in one.
        s::SwfMovie movie;
        s::Rect bounds;
        bounds.xmin = data.Range(-20000, 20000), bounds.ymin = data.Range(-20000, 20000);
        bounds.xmax = bounds.xmin + data.Range(0, 20000), bounds.ymax = bounds.ymin + data.Range(0, 20000);
        s::SwfBitmapShape shape(bounds, std::move(bitmap), width < 1 ? 1 : width, height < 1 ? 1 : height);
        const int frames = data.Range(1, 6);
        const int placedIn = data.Range(0, frames - 1);
        for (int f = 0; f < frames; ++f) {
            s::SwfFrame& frame = movie.GetFrame(f);
            if (data.Bool()) frame.SetBackgroundColor(data.U32());
            if (f == placedIn) frame.AddObject(shape);
        }
        Require(movie.frameCount() == frames);
        CheckMovie(movie.SaveToBytes());
    } catch (const std::bad_alloc&) {
        // Memory the writer cannot get is reported, as the saver expects.
    } catch (const s::LosslessBitmapTag::CompressionFailed&) {
        // The compressor refusing is reported likewise.
    }
    return 0;
}
