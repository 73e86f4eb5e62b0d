#include "codecs/cmyk_tiff.h"

#include "codecs/tiff_handles.h"
#include "image/bitmap_lock.h"

namespace rastelle::codecs {

Status WriteCmykTiff(const platform::FileName& fileName, Bitmap& cmyk) {
    const wchar_t* name = fileName.Checked();
    if (!name) return Gdiplus::Win32Error;
    const UniqueTiffOptions options = QuietTiffOptions();
    UniqueTiff tif(TIFFOpenWExt(name, "w", options.get()));
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
