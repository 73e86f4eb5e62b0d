// The system's own GIF decoder (giflib), on every platform. Frames come out
// as a viewer shows them: the canvas is the file's logical screen, clear at
// the start; each frame is drawn over it at its place (its transparent index
// leaving what is below), and after it the area is kept, cleared or put back
// as the frame's disposal says. Indices past the colour table are black.
#pragma once

#include "codecs/decoder.h"

#include <gif_lib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rastelle::codecs {

// True for data that starts with "GIF87a" or "GIF89a".
bool LooksLikeGif(const std::uint8_t* data, std::size_t size) noexcept;

// The first frame.
DecodeResult DecodeGif(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept;

// Every frame, first to last. The bytes must outlive the reader.
class GifFrames {
public:
    enum class Step { Frame, End, Failed, OutOfMemory };

    GifFrames(const std::uint8_t* data, std::size_t size) noexcept;
    GifFrames(const GifFrames&) = delete;
    GifFrames& operator=(const GifFrames&) = delete;
    ~GifFrames();

    // Composes the next frame and writes the canvas into target (allocated
    // at the canvas's size); Failed for data giflib cannot read.
    Step Next(DecodeTarget& target) noexcept;

    struct Source {
        const std::uint8_t* data;
        std::size_t size;
        std::size_t position;
    };

private:
    Step ReadToImage();
    bool Draw();

    Source source_;
    GifFileType* gif_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> canvas_;
    std::vector<std::uint32_t> saved_;  // the canvas before a frame to be put back
    GraphicsControlBlock control_{};    // of the frame being read
    // The area the last frame's disposal clears (2) or puts back (3).
    int disposal_ = 0;
    int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

}  // namespace rastelle::codecs
