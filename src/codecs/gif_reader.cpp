#include "codecs/gif_reader.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace rastelle::codecs {

namespace {

constexpr int kDisposeBackground = 2;
constexpr int kDisposePrevious = 3;

int ReadFromMemory(GifFileType* gif, GifByteType* into, int length) {
    auto& source = *static_cast<GifFrames::Source*>(gif->UserData);
    const std::size_t left = source.size - source.position;
    const std::size_t count = std::min(left, static_cast<std::size_t>(length < 0 ? 0 : length));
    std::memcpy(into, source.data + source.position, count);
    source.position += count;
    return static_cast<int>(count);
}

// The rows of an interlaced image in the order the file holds them.
int InterlacedRow(int line, int height) {
    constexpr int kStart[4] = {0, 4, 2, 1};
    constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows = height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (line < rows) return kStart[pass] + line * kStep[pass];
        line -= rows;
    }
    return height;  // never reached for line < height
}

}  // namespace

bool LooksLikeGif(const std::uint8_t* data, std::size_t size) noexcept {
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

GifFrames::GifFrames(const std::uint8_t* data, std::size_t size) noexcept : source_{data, size, 0} {
    if (!LooksLikeGif(data, size)) return;
    int error = 0;
    gif_ = DGifOpen(&source_, &ReadFromMemory, &error);
}

GifFrames::~GifFrames() {
    int error = 0;
    if (gif_) DGifCloseFile(gif_, &error);
}

GifFrames::Step GifFrames::Next(DecodeTarget& target) noexcept {
    if (!gif_) return Step::Failed;
    try {
        const Step step = ReadToImage();
        if (step != Step::Frame) return step;
        const GifImageDesc& image = gif_->Image;
        if (image.Width <= 0 || image.Height <= 0) return Step::Failed;
        if (canvas_.empty()) {
            // A file without a screen size takes its first frame's extent.
            width_ = gif_->SWidth;
            height_ = gif_->SHeight;
            if (width_ <= 0 || height_ <= 0) {
                width_ = image.Left + image.Width;
                height_ = image.Top + image.Height;
            }
        }
        // The caller's memory is asked for before any of ours, so that its
        // limit refuses a huge canvas first.
        const kernels::ImageView view = target.Allocate(width_, height_);
        if (!view.pixels) return Step::OutOfMemory;
        if (canvas_.empty()) canvas_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
        if (!Draw()) return Step::Failed;
        for (int y = 0; y < height_; ++y)
            std::memcpy(view.row(y), canvas_.data() + static_cast<std::size_t>(y) * width_,
                        static_cast<std::size_t>(width_) * 4);
        return Step::Frame;
    } catch (const std::bad_alloc&) {
        return Step::OutOfMemory;
    }
}

// Reads the records up to the next image's descriptor, keeping the graphic
// control of the frame.
GifFrames::Step GifFrames::ReadToImage() {
    control_ = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif_, &type) != GIF_OK) return Step::Failed;
        if (type == TERMINATE_RECORD_TYPE) return Step::End;
        if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif_) == GIF_OK ? Step::Frame : Step::Failed;
        if (type != EXTENSION_RECORD_TYPE) return Step::Failed;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif_, &code, &block) != GIF_OK) return Step::Failed;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) DGifExtensionToGCB(block[0], block + 1, &control_);
        while (block)
            if (DGifGetExtensionNext(gif_, &block) != GIF_OK) return Step::Failed;
    }
}

// Applies the last frame's disposal, then draws the image just described.
bool GifFrames::Draw() {
    for (int y = top_; y < bottom_; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        if (disposal_ == kDisposeBackground)
            std::fill(canvas_.begin() + row + left_, canvas_.begin() + row + right_, 0u);
        else if (disposal_ == kDisposePrevious)
            std::copy(saved_.begin() + row + left_, saved_.begin() + row + right_, canvas_.begin() + row + left_);
    }

    const GifImageDesc& image = gif_->Image;
    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif_->SColorMap;
    std::uint32_t colours[256];
    std::fill(std::begin(colours), std::end(colours), 0xFF000000u);
    for (int i = 0; map && i < map->ColorCount && i < 256; ++i)
        colours[i] = 0xFF000000u | static_cast<std::uint32_t>(map->Colors[i].Red) << 16 |
                     static_cast<std::uint32_t>(map->Colors[i].Green) << 8 | map->Colors[i].Blue;
    const int transparent = control_.TransparentColor;

    disposal_ = control_.DisposalMode;
    left_ = std::clamp(image.Left, 0, width_);
    top_ = std::clamp(image.Top, 0, height_);
    right_ = std::clamp(image.Left + image.Width, 0, width_);
    bottom_ = std::clamp(image.Top + image.Height, 0, height_);
    if (disposal_ == kDisposePrevious) saved_ = canvas_;

    std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
    for (int i = 0; i < image.Height; ++i) {
        if (DGifGetLine(gif_, line.data(), image.Width) != GIF_OK) return false;
        const int y = image.Top + (image.Interlace ? InterlacedRow(i, image.Height) : i);
        if (y >= height_) continue;
        std::uint32_t* row = canvas_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        for (int x = left_; x < right_; ++x) {
            const GifPixelType index = line[static_cast<std::size_t>(x - image.Left)];
            if (index != transparent) row[x] = colours[index];
        }
    }
    return true;
}

DecodeResult DecodeGif(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept {
    GifFrames frames(data, size);
    switch (frames.Next(target)) {
    case GifFrames::Step::Frame: return DecodeResult::Decoded;
    case GifFrames::Step::OutOfMemory: return DecodeResult::OutOfMemory;
    default: return DecodeResult::NotDecodable;
    }
}

}  // namespace rastelle::codecs
