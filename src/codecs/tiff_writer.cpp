#include "codecs/tiff_writer.h"

#include "codecs/tiff_handles.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace rastelle::codecs {

namespace {

// libtiff writes through these callbacks into a growing buffer.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    std::uint64_t position = 0;
};

tmsize_t ReadProc(thandle_t handle, void* data, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size < 0 || file->position >= file->bytes.size()) return 0;
    const auto available = static_cast<tmsize_t>(file->bytes.size() - file->position);
    const tmsize_t n = std::min(size, available);
    std::memcpy(data, file->bytes.data() + file->position, static_cast<size_t>(n));
    file->position += static_cast<std::uint64_t>(n);
    return n;
}

tmsize_t WriteProc(thandle_t handle, void* data, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size < 0) return -1;
    try {
        const std::uint64_t end = file->position + static_cast<std::uint64_t>(size);
        if (end > file->bytes.size()) file->bytes.resize(static_cast<size_t>(end));
        std::memcpy(file->bytes.data() + file->position, data, static_cast<size_t>(size));
        file->position = end;
        return size;
    } catch (...) {
        return -1;
    }
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) base = file->position;
    if (whence == SEEK_END) base = file->bytes.size();
    file->position = base + offset;
    return file->position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// Sets the tags of one page and writes its rows; the directory is not yet
// written.
bool WritePage(TIFF* tif, const TiffPage& page, std::uint16_t number, std::uint16_t count) {
    const kernels::ConstImageView& pixels = page.pixels;
    const TiffOptions& options = page.options;
    if (pixels.width <= 0 || pixels.height <= 0) return false;
    const int samples = options.withAlpha ? 4 : 3;
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(pixels.width)) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(pixels.height)) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, options.lzw ? COMPRESSION_LZW : COMPRESSION_NONE);
    if (ok && options.withAlpha) {
        const std::uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (ok && options.horizontalDpi > 0 && options.verticalDpi > 0) {
        ok = TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<double>(options.horizontalDpi)) &&
             TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<double>(options.verticalDpi)) &&
             TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    if (ok && count > 1) {
        ok = TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE) &&
             TIFFSetField(tif, TIFFTAG_PAGENUMBER, number, count);
    }
    if (ok) ok = TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    if (!ok) return false;

    std::vector<std::uint8_t> row(static_cast<size_t>(pixels.width) * static_cast<size_t>(samples));
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint32_t* source = pixels.row(y);
        std::uint8_t* target = row.data();
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t p = source[x];
            *target++ = static_cast<std::uint8_t>(p >> 16);
            *target++ = static_cast<std::uint8_t>(p >> 8);
            *target++ = static_cast<std::uint8_t>(p);
            if (options.withAlpha) *target++ = static_cast<std::uint8_t>(p >> 24);
        }
        if (TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return false;
    }
    return true;
}

}  // namespace

bool EncodeTiff(const kernels::ConstImageView& pixels, const TiffOptions& options, std::vector<std::uint8_t>& out) {
    return EncodeTiffPages({TiffPage{pixels, options}}, out);
}

bool EncodeTiffPages(const std::vector<TiffPage>& pages, std::vector<std::uint8_t>& out) {
    out.clear();
    if (pages.empty() || pages.size() > 0xFFFF) return false;
    try {
        const UniqueTiffOptions openOptions = QuietTiffOptions();
        if (!openOptions) return false;

        MemoryFile file;
        UniqueTiff tif(TIFFClientOpenExt("memory", "w", &file, &ReadProc, &WriteProc, &SeekProc, &CloseProc,
                                         &SizeProc, &MapProc, &UnmapProc, openOptions.get()));
        if (!tif) return false;
        const auto count = static_cast<std::uint16_t>(pages.size());
        for (std::uint16_t i = 0; i < count; ++i)
            if (!WritePage(tif.get(), pages[i], i, count) || !TIFFWriteDirectory(tif.get())) return false;
        tif.reset();
        out = std::move(file.bytes);
        return true;
    } catch (...) {
        out.clear();
        return false;
    }
}

}  // namespace rastelle::codecs
