#include "codecs/multiframe_reader.h"

#include "codecs/bitmap_target.h"
#include "codecs/gif_reader.h"
#include "com/memory_stream.h"
#include "platform/bitmap_guard.h"

#include <webp/demux.h>

#include <cstdint>
#include <new>

namespace rastelle::codecs {

namespace {

// The page's resolution in dots per inch, when the file states one.
void ApplyResolution(TIFF* tif, Bitmap& page) {
    float x = 0;
    float y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) return;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!(x > 0 && y > 0) || unit == RESUNIT_NONE) return;
    const float scale = unit == RESUNIT_CENTIMETER ? 2.54f : 1.0f;
    gp::GdipBitmapSetResolution(page.native(), x * scale, y * scale);
}

}  // namespace

bool WebPFrameReader::Open(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    animation_.reset();
    bytes_ = std::move(bytes);
    animation_ = OpenWebPAnimation(bytes_->data(), bytes_->size());
    return animation_ != nullptr;
}

std::unique_ptr<Bitmap> WebPFrameReader::Next() {
    WebPAnimInfo info{};
    WebPAnimDecoder* animation = animation_.get();
    if (!animation || !WebPAnimDecoderHasMoreFrames(animation) || !WebPAnimDecoderGetInfo(animation, &info))
        return nullptr;
    BitmapTarget target;
    const kernels::ImageView view =
        target.Allocate(static_cast<int>(info.canvas_width), static_cast<int>(info.canvas_height));
    return target.Finish(view.pixels && NextWebPFrame(animation, view) ? DecodeResult::Decoded
                                                                               : DecodeResult::NotDecodable);
}

bool ReadGifFrames(const std::vector<std::uint8_t>& bytes, std::vector<std::unique_ptr<Bitmap>>& frames) {
    frames.clear();
    GifFrames reader(bytes.data(), bytes.size());
    for (;;) {
        BitmapTarget target;
        const GifFrames::Step step = reader.Next(target);
        if (step == GifFrames::Step::End && !frames.empty()) return true;
        std::unique_ptr<Bitmap> frame =
            target.Finish(step == GifFrames::Step::Frame ? DecodeResult::Decoded : DecodeResult::NotDecodable);
        if (!frame) {
            frames.clear();
            return false;
        }
        frames.push_back(std::move(frame));
    }
}

bool TiffPageReader::Open(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    tif_.reset();
    bytes_ = std::move(bytes);
    source_ = MemorySource{bytes_->data(), bytes_->size()};
    tif_ = OpenTiff(source_);
    if (!tif_) return false;
    // Reading directory 0 again for the first page replaces this with the
    // file's own fill order.
    TIFFSetField(tif_.get(), TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    return true;
}

std::unique_ptr<Bitmap> TiffPageReader::Next() {
    if (!tif_) return nullptr;
    const bool found = started_ ? TIFFReadDirectory(tif_.get()) != 0 : TIFFSetDirectory(tif_.get(), 0) != 0;
    started_ = true;
    if (!found) return nullptr;
    // A page that cannot be read ends the file: its data is missing, and the
    // next pages of such a file would each cost a full-size image for nothing.
    BitmapTarget target;
    std::unique_ptr<Bitmap> page = target.Finish(DecodeTiffPage(tif_.get(), target));
    if (page) ApplyResolution(tif_.get(), *page);
    return page;
}

Status FrameReader::Open(std::shared_ptr<const std::vector<std::uint8_t>> bytes) noexcept {
    image_.reset();
    stream_.reset();
    bytes_ = std::move(bytes);
    if (FAILED(com::CreateReadOnlyStream(bytes_, stream_.put()))) return Gdiplus::OutOfMemory;
    Gdiplus::GpBitmap* bitmap = nullptr;
    const Status status = gp::GdipCreateBitmapFromStream(stream_.get(), &bitmap);
    image_.reset(bitmap);
    return status;
}

std::vector<GUID> FrameReader::Dimensions() {
    UINT count = 0;
    std::vector<GUID> dimensions;
    if (gp::GdipImageGetFrameDimensionsCount(image_.get(), &count) != Gdiplus::Ok || count == 0) return dimensions;
    dimensions.resize(count);
    if (gp::GdipImageGetFrameDimensionsList(image_.get(), dimensions.data(), count) != Gdiplus::Ok)
        dimensions.clear();
    return dimensions;
}

UINT FrameReader::FrameCount(const GUID& dimension) noexcept {
    UINT count = 0;
    if (gp::GdipImageGetFrameCount(image_.get(), &dimension, &count) != Gdiplus::Ok) return 0;
    return count;
}

Status FrameReader::CopyFrame(const GUID& dimension, UINT index, std::unique_ptr<Bitmap>& copy) noexcept {
    Status status = gp::GdipImageSelectActiveFrame(image_.get(), &dimension, index);
    UINT width = 0;
    UINT height = 0;
    if (status == Gdiplus::Ok) status = gp::GdipGetImageWidth(image_.get(), &width);
    if (status == Gdiplus::Ok) status = gp::GdipGetImageHeight(image_.get(), &height);
    if (status != Gdiplus::Ok) return status;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
        !platform::BitmapSizeAllowed(static_cast<int>(width), static_cast<int>(height), 32))
        return Gdiplus::OutOfMemory;
    Gdiplus::GpBitmap* native = nullptr;
    status = gp::GdipCloneBitmapAreaI(0, 0, static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppARGB,
                                      static_cast<Gdiplus::GpBitmap*>(image_.get()), &native);
    if (status != Gdiplus::Ok) {
        if (native) gp::GdipDisposeImage(native);
        return status;
    }
    copy.reset(Bitmap::Adopt(native, status));
    return copy ? Gdiplus::Ok : Gdiplus::OutOfMemory;
}

}  // namespace rastelle::codecs
