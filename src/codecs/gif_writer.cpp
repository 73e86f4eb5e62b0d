// Writing the indexed image: through the platform's GIF encoder where it
// keeps transparency, else with giflib.
#include "codecs/gif_writer.h"

#include "codecs/encode.h"
#include "platform/gdiplus_raii.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <new>

namespace rastelle::codecs {

namespace {

int AppendBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    bytes->insert(bytes->end(), data, data + length);
    return length;
}

struct GifCloser {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};
struct MapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// A palette as a GIF colour table (padded to a power of two) and the index
// each palette entry is written with. A GIF names one transparent index: the
// first entry without alpha; the pixels of any later such entry are written
// with it, as they look the same.
struct GifColourTable {
    std::unique_ptr<ColorMapObject, MapFreer> map;
    std::array<GifPixelType, 256> remap{};
    int transparentIndex = -1;
};

bool MakeColourTable(const std::vector<Gdiplus::ARGB>& palette, GifColourTable& table) {
    int mapSize = 2;
    while (mapSize < static_cast<int>(palette.size())) mapSize *= 2;
    std::array<GifColorType, 256> colours{};
    for (size_t i = 0; i < palette.size() && i < colours.size(); ++i) {
        colours[i] = {static_cast<GifByteType>(palette[i] >> 16), static_cast<GifByteType>(palette[i] >> 8),
                      static_cast<GifByteType>(palette[i])};
        table.remap[i] = static_cast<GifPixelType>(i);
        if ((palette[i] >> 24) != 0) continue;
        if (table.transparentIndex < 0) table.transparentIndex = static_cast<int>(i);
        table.remap[i] = static_cast<GifPixelType>(table.transparentIndex);
    }
    table.map.reset(GifMakeMapObject(mapSize, colours.data()));
    return table.map != nullptr;
}

// Graphic Control Extension: disposal method, transparency flag, delay in
// hundredths of a second, transparent index.
bool PutControl(GifFileType* gif, int disposal, int delay, int transparentIndex) {
    const GifByteType control[4] = {static_cast<GifByteType>(disposal << 2 | (transparentIndex >= 0 ? 1 : 0)),
                                    static_cast<GifByteType>(delay & 0xFF), static_cast<GifByteType>(delay >> 8),
                                    static_cast<GifByteType>(transparentIndex >= 0 ? transparentIndex : 0)};
    return EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
}

// The image descriptor (with the table as local colour table, or none) and
// the rows of an 8-bit indexed image.
bool PutImage(GifFileType* gif, const Gdiplus::BitmapData& rows, const GifColourTable& table, bool localTable) {
    const int width = static_cast<int>(rows.Width);
    const int height = static_cast<int>(rows.Height);
    if (EGifPutImageDesc(gif, 0, 0, width, height, false, localTable ? table.map.get() : nullptr) != GIF_OK)
        return false;
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const auto* in = static_cast<const std::uint8_t*>(rows.Scan0) + static_cast<std::ptrdiff_t>(y) * rows.Stride;
        for (int x = 0; x < width; ++x) line[static_cast<size_t>(x)] = table.remap[in[x]];
        if (EGifPutLine(gif, line.data(), width) != GIF_OK) return false;
    }
    return true;
}

bool FitsGif(const Gdiplus::BitmapData& rows) { return rows.Width <= 0xFFFF && rows.Height <= 0xFFFF; }

// Encodes the rows of an 8-bit indexed image with one global palette.
bool EncodeGif(const Gdiplus::BitmapData& rows, const std::vector<Gdiplus::ARGB>& palette,
               std::vector<std::uint8_t>& bytes) {
    if (!FitsGif(rows)) return false;
    GifColourTable table;
    if (!MakeColourTable(palette, table)) return false;
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(&bytes, AppendBytes, &error));
    if (!gif) return false;
    EGifSetGifVersion(gif.get(), true);
    if (EGifPutScreenDesc(gif.get(), static_cast<int>(rows.Width), static_cast<int>(rows.Height), 8, 0,
                          table.map.get()) != GIF_OK)
        return false;
    if (table.transparentIndex >= 0 && !PutControl(gif.get(), 0, 0, table.transparentIndex)) return false;
    if (!PutImage(gif.get(), rows, table, false)) return false;
    return EGifCloseFile(gif.release(), &error) == GIF_OK;
}

// The rows of an indexed frame, locked for the encoder.
Status LockIndexed(const IndexedImage& image, BitmapLock& lock) noexcept {
    return lock.Lock(image.bitmap->native(), Gdiplus::GpRect(0, 0, image.bitmap->width(), image.bitmap->height()),
                     Gdiplus::ImageLockModeRead, PixelFormat8bppIndexed);
}

Status EncodeOwnGif(const IndexedImage& image, std::vector<std::uint8_t>& bytes) noexcept {
    BitmapLock lock;
    const Status status = LockIndexed(image, lock);
    if (status != Gdiplus::Ok) return status;
    bool encoded = false;
    try {
        encoded = EncodeGif(lock.data(), image.palette, bytes);
    } catch (const std::bad_alloc&) {
        encoded = false;
    }
    lock.Unlock();
    return encoded ? Gdiplus::Ok : Gdiplus::OutOfMemory;
}

// Netscape's application extension: the animation loops forever.
bool PutLoopForever(GifFileType* gif) {
    static const GifByteType name[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType loop[] = {1, 0, 0};  // sub-block 1: loop count 0
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof name, name) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof loop, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

// Each frame is reduced and written in turn, so only one indexed copy
// exists at a time. Disposal 2 clears a frame's area before the next one is
// shown: every frame appears as itself, its transparent pixels included.
Status EncodeFrames(const std::vector<Bitmap*>& frames, std::vector<std::uint8_t>& bytes) {
    constexpr int kRestoreBackground = 2;
    int screenWidth = 0;
    int screenHeight = 0;
    for (Bitmap* frame : frames) {
        screenWidth = std::max(screenWidth, frame->width());
        screenHeight = std::max(screenHeight, frame->height());
    }
    if (screenWidth > 0xFFFF || screenHeight > 0xFFFF) return Gdiplus::InvalidParameter;
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(&bytes, AppendBytes, &error));
    if (!gif) return Gdiplus::OutOfMemory;
    EGifSetGifVersion(gif.get(), true);
    if (EGifPutScreenDesc(gif.get(), screenWidth, screenHeight, 8, 0, nullptr) != GIF_OK ||
        !PutLoopForever(gif.get()))
        return Gdiplus::GenericError;
    for (Bitmap* frame : frames) {
        IndexedImage indexed;
        Status status = BuildIndexedImage(*frame, 256, true, false, ptOctree, indexed);
        if (status != Gdiplus::Ok) return status;
        BitmapLock lock;
        status = LockIndexed(indexed, lock);
        if (status != Gdiplus::Ok) return status;
        GifColourTable table;
        if (!MakeColourTable(indexed.palette, table)) return Gdiplus::OutOfMemory;
        if (!PutControl(gif.get(), kRestoreBackground, kFrameDelay, table.transparentIndex) ||
            !PutImage(gif.get(), lock.data(), table, true))
            return Gdiplus::GenericError;
        status = lock.Unlock();
        if (status != Gdiplus::Ok) return status;
    }
    return EGifCloseFile(gif.release(), &error) == GIF_OK ? Gdiplus::Ok : Gdiplus::GenericError;
}

// A GIF save's target: a file name or a stream.
struct Destination {
    const platform::FileName* fileName = nullptr;
    IStream* stream = nullptr;
};

// A failed build is no Win32 failure: the thread's last error (which the
// file save's message reports) is cleared of what GDI calls left in it.
Status SaveGif(Bitmap& source, const Destination& to, UINT colourCount, VARIANT_BOOL transparent,
               VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType) {
    IndexedImage indexed;
    Status status = BuildIndexedImage(source, colourCount, transparent != VARIANT_FALSE,
                                      antialiasingPreprocess != VARIANT_FALSE, paletteType, indexed);
    if (status != Gdiplus::Ok) {
        SetLastError(ERROR_SUCCESS);
        return status;
    }
    std::vector<std::uint8_t> bytes;
    status = EncodeOwnGif(indexed, bytes);
    indexed.bitmap.reset();
    if (status != Gdiplus::Ok) {
        SetLastError(ERROR_SUCCESS);
        return status;
    }
    return to.stream ? WriteStreamBytes(to.stream, bytes) : WriteFileBytes(*to.fileName, bytes);
}

}  // namespace

Status SaveGifWithPalette(Bitmap& source, const platform::FileName& fileName, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType) {
    return SaveGif(source, {&fileName, nullptr}, colourCount, transparent, antialiasingPreprocess, paletteType);
}

Status SaveGifWithPalette(Bitmap& source, IStream* stream, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType) {
    return SaveGif(source, {nullptr, stream}, colourCount, transparent, antialiasingPreprocess, paletteType);
}

Status EncodeAnimatedGif(const std::vector<Bitmap*>& frames, std::vector<std::uint8_t>& bytes) noexcept {
    try {
        return frames.empty() ? Gdiplus::InvalidParameter : EncodeFrames(frames, bytes);
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    }
}

}  // namespace rastelle::codecs
