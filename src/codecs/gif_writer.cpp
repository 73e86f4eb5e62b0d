// Writing the indexed image: through the platform's GIF encoder where it
// keeps transparency, else with giflib.
#include "codecs/gif_writer.h"

#include "codecs/encode.h"
#include "codecs/encoder_probes.h"
#include "platform/gdiplus_raii.h"

#include <gif_lib.h>

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

// Encodes the rows of an 8-bit indexed image with one global palette. A GIF
// names one transparent index: the first entry without alpha; the pixels of
// any later such entry are written with it, as they look the same.
bool EncodeGif(const Gdiplus::BitmapData& rows, const std::vector<Gdiplus::ARGB>& palette,
               std::vector<std::uint8_t>& bytes) {
    const int width = static_cast<int>(rows.Width);
    const int height = static_cast<int>(rows.Height);
    if (width > 0xFFFF || height > 0xFFFF) return false;
    int mapSize = 2;
    while (mapSize < static_cast<int>(palette.size())) mapSize *= 2;
    std::array<GifColorType, 256> colours{};
    std::array<GifPixelType, 256> remap{};
    int transparentIndex = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        colours[i] = {static_cast<GifByteType>(palette[i] >> 16), static_cast<GifByteType>(palette[i] >> 8),
                      static_cast<GifByteType>(palette[i])};
        remap[i] = static_cast<GifPixelType>(i);
        if ((palette[i] >> 24) != 0) continue;
        if (transparentIndex < 0) transparentIndex = static_cast<int>(i);
        remap[i] = static_cast<GifPixelType>(transparentIndex);
    }
    std::unique_ptr<ColorMapObject, MapFreer> map(GifMakeMapObject(mapSize, colours.data()));
    if (!map) return false;
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(&bytes, AppendBytes, &error));
    if (!gif) return false;
    EGifSetGifVersion(gif.get(), true);
    if (EGifPutScreenDesc(gif.get(), width, height, 8, 0, map.get()) != GIF_OK) return false;
    if (transparentIndex >= 0) {
        // Graphic Control Extension: transparency flag, no delay, the index.
        const GifByteType control[4] = {0x01, 0, 0, static_cast<GifByteType>(transparentIndex)};
        if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, 4, control) != GIF_OK) return false;
    }
    if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr) != GIF_OK) return false;
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const auto* in = static_cast<const std::uint8_t*>(rows.Scan0) + static_cast<std::ptrdiff_t>(y) * rows.Stride;
        for (int x = 0; x < width; ++x) line[static_cast<size_t>(x)] = remap[in[x]];
        if (EGifPutLine(gif.get(), line.data(), width) != GIF_OK) return false;
    }
    return EGifCloseFile(gif.release(), &error) == GIF_OK;
}

Status EncodeOwnGif(const IndexedImage& image, std::vector<std::uint8_t>& bytes) noexcept {
    const int width = image.bitmap->width();
    const int height = image.bitmap->height();
    BitmapLock lock;
    const Status status = lock.Lock(image.bitmap->native(), Gdiplus::GpRect(0, 0, width, height),
                                    Gdiplus::ImageLockModeRead, PixelFormat8bppIndexed);
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

// A GIF save's target: a file name or a stream.
struct Destination {
    const wchar_t* fileName = nullptr;
    IStream* stream = nullptr;
};

// A failed build is no Win32 failure: the thread's last error (which the
// file save's message reports) is cleared of what GDI calls left in it.
Status SaveGif(Bitmap& source, const Destination& to, const CLSID& clsid, UINT colourCount, VARIANT_BOOL transparent,
               VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType) {
    IndexedImage indexed;
    Status status = BuildIndexedImage(source, colourCount, transparent != VARIANT_FALSE,
                                      antialiasingPreprocess != VARIANT_FALSE, paletteType, indexed);
    if (status != Gdiplus::Ok) {
        SetLastError(ERROR_SUCCESS);
        return status;
    }
    if (PlatformWritesGifTransparency()) {
        // The indexed bitmap is disposed of before returning, and the save's
        // error code put back afterwards.
        SetLastError(ERROR_SUCCESS);
        status = to.stream ? gp::GdipSaveImageToStream(indexed.bitmap->native(), to.stream, &clsid, nullptr)
                           : gp::GdipSaveImageToFile(indexed.bitmap->native(), to.fileName, &clsid, nullptr);
        const DWORD error = GetLastError();
        indexed.bitmap.reset();
        SetLastError(error);
        return status;
    }
    std::vector<std::uint8_t> bytes;
    status = EncodeOwnGif(indexed, bytes);
    indexed.bitmap.reset();
    if (status != Gdiplus::Ok) {
        SetLastError(ERROR_SUCCESS);
        return status;
    }
    return to.stream ? WriteStreamBytes(to.stream, bytes) : WriteFileBytes(to.fileName, bytes);
}

}  // namespace

Status SaveGifWithPalette(Bitmap& source, const wchar_t* fileName, const CLSID& clsid, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType) {
    return SaveGif(source, {fileName, nullptr}, clsid, colourCount, transparent, antialiasingPreprocess, paletteType);
}

Status SaveGifWithPalette(Bitmap& source, IStream* stream, const CLSID& clsid, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType) {
    return SaveGif(source, {nullptr, stream}, clsid, colourCount, transparent, antialiasingPreprocess, paletteType);
}

}  // namespace rastelle::codecs
