#include "codecs/tiff_reader.h"

#include "codecs/tiff_handles.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace rastelle::codecs {

namespace {

// --- libtiff over bytes in memory, read-only ---------------------------------

tmsize_t ReadProc(thandle_t handle, void* data, tmsize_t size) {
    auto* source = static_cast<MemorySource*>(handle);
    const std::uint64_t total = source->size;
    if (size < 0 || source->position >= total) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), total - source->position);
    std::memcpy(data, source->data + source->position, static_cast<size_t>(n));
    source->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* source = static_cast<MemorySource*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) base = source->position;
    if (whence == SEEK_END) base = source->size;
    source->position = base + offset;
    return source->position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return static_cast<MemorySource*>(handle)->size; }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}


}  // namespace

UniqueTiff OpenTiff(MemorySource& source) {
    const UniqueTiffOptions options = QuietTiffOptions();
    if (!options) return nullptr;
    return UniqueTiff(TIFFClientOpenExt("memory", "r", &source, &ReadProc, &WriteProc, &SeekProc, &CloseProc,
                                        &SizeProc, &MapProc, &UnmapProc, options.get()));
}


namespace {

// libtiff's RGBA pixels (red in the low byte, alpha premultiplied) as
// straight ARGB.
std::uint32_t StraightArgbOf(std::uint32_t abgr) {
    const std::uint32_t a = abgr >> 24;
    if (a == 0) return 0;
    std::uint32_t r = abgr & 0xFF, g = abgr >> 8 & 0xFF, b = abgr >> 16 & 0xFF;
    if (a < 255) {
        r = std::min(255u, (r * 255 + a / 2) / a);
        g = std::min(255u, (g * 255 + a / 2) / a);
        b = std::min(255u, (b * 255 + a / 2) / a);
    }
    return a << 24 | r << 16 | g << 8 | b;
}

// The common TIFF of 8-bit RGB in strips, top row first, with no alpha or
// straight alpha, read row by row into the pixels: libtiff's RGBA interface
// would premultiply straight alpha and lose colour in translucent pixels.
// False, with nothing promised about the pixels, for any other kind.
bool ReadStraightRgbRows(TIFF* tif, const kernels::ImageView& view) {
    std::uint16_t photometric = 0, bits = 0, samples = 0, planar = 0, orientation = ORIENTATION_TOPLEFT;
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) || photometric != PHOTOMETRIC_RGB) return false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const bool straightAlpha = samples == 4 && extraCount == 1 && extra && extra[0] == EXTRASAMPLE_UNASSALPHA;
    if (bits != 8 || planar != PLANARCONFIG_CONTIG || orientation != ORIENTATION_TOPLEFT || TIFFIsTiled(tif) ||
        !(samples == 3 || straightAlpha))
        return false;
    if (TIFFScanlineSize64(tif) != static_cast<std::uint64_t>(view.width) * samples) return false;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(view.width) * samples);
    for (int y = 0; y < view.height; ++y) {
        if (TIFFReadScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return false;
        std::uint32_t* out = view.row(y);
        const std::uint8_t* in = row.data();
        for (int x = 0; x < view.width; ++x, in += samples) {
            const std::uint32_t alpha = samples == 4 ? in[3] : 0xFFu;
            out[x] = alpha == 0 ? 0 : alpha << 24 | std::uint32_t(in[0]) << 16 | std::uint32_t(in[1]) << 8 | in[2];
        }
    }
    return true;
}

}  // namespace

bool IsTiff(const platform::LeadingBytes& lead) noexcept {
    if (lead.size < 4) return false;
    const std::uint8_t* b = lead.bytes;
    return (b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) || (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42);
}

DecodeResult DecodeTiffImage(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept {
    try {
        MemorySource source{data, size};
        const UniqueTiff tif = OpenTiff(source);
        return tif ? DecodeTiffPage(tif.get(), target) : DecodeResult::NotDecodable;
    } catch (const std::bad_alloc&) {
        return DecodeResult::OutOfMemory;
    }
}

DecodeResult DecodeTiffPage(TIFF* tif, DecodeTarget& target) noexcept {
    try {
        std::uint32_t width = 0, height = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        constexpr std::uint32_t kMaxSide = std::numeric_limits<int>::max();
        if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return DecodeResult::NotDecodable;
        char message[1024] = {};
        if (!TIFFRGBAImageOK(tif, message)) return DecodeResult::NotDecodable;
        const kernels::ImageView view = target.Allocate(static_cast<int>(width), static_cast<int>(height));
        if (!view.pixels) return DecodeResult::OutOfMemory;
        if (ReadStraightRgbRows(tif, view)) return DecodeResult::Decoded;
        // libtiff fills a packed raster: the image's own memory when its rows
        // are packed, else a buffer copied in afterwards.
        const bool packed = view.strideBytes == static_cast<std::ptrdiff_t>(width) * 4;
        std::vector<std::uint32_t> buffer;
        if (!packed) buffer.resize(static_cast<std::size_t>(width) * height);
        std::uint32_t* raster = packed ? view.pixels : buffer.data();
        if (!TIFFReadRGBAImageOriented(tif, width, height, raster, ORIENTATION_TOPLEFT, 1))
            return DecodeResult::NotDecodable;
        for (int y = 0; y < view.height; ++y) {
            const std::uint32_t* from = raster + static_cast<std::size_t>(y) * width;
            std::uint32_t* to = view.row(y);
            for (std::uint32_t x = 0; x < width; ++x) to[x] = StraightArgbOf(from[x]);
        }
        return DecodeResult::Decoded;
    } catch (const std::bad_alloc&) {
        return DecodeResult::OutOfMemory;
    } catch (...) {
        return DecodeResult::NotDecodable;
    }
}

}  // namespace rastelle::codecs
