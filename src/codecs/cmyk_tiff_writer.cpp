#include "codecs/cmyk_tiff.h"

#include "image/bitmap_lock.h"

#include <tiffio.h>

#include <memory>

namespace rastelle::codecs {

namespace {

// A failed call is reported by its result; libtiff's messages would go to
// stderr.
int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

Status WriteCmykTiff(const char* ansiFileName, Bitmap& cmyk) {
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (options) {
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &Quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &Quiet, nullptr);
    }
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpenExt(ansiFileName, "w", options.get()));
    if (!tif) return Gdiplus::GenericError;

    const int width = cmyk.width();
    const int height = cmyk.height();
    float dpiX = 0;
    float dpiY = 0;
    gp::GdipGetImageHorizontalResolution(cmyk.image(), &dpiX);
    gp::GdipGetImageVerticalResolution(cmyk.image(), &dpiY);
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 1);
    TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<double>(dpiX));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<double>(dpiY));
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));

    // A failed lock closes the file too, rather than leaving it open.
    PixelLock lock;
    const Status status = lock.Lock(cmyk, Gdiplus::ImageLockModeRead);
    if (status != Gdiplus::Ok) return status;
    const kernels::ImageView rows = lock.view();
    bool complete = true;
    for (int y = 0; y < height && complete; ++y)
        complete = TIFFWriteScanline(t, rows.row(y), static_cast<std::uint32_t>(y), 0) != -1;
    lock.Unlock();
    tif.reset();
    return complete ? Gdiplus::Ok : Gdiplus::GenericError;
}

}  // namespace rastelle::codecs
