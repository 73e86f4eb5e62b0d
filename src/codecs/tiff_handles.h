// libtiff handles for the system's TIFF writers: a file closed on every path,
// and open options that keep libtiff's messages off stderr (a failed call is
// reported by its result).
#pragma once

#include <tiffio.h>

#include <cstdarg>
#include <memory>

namespace rastelle::codecs {

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using UniqueTiff = std::unique_ptr<TIFF, TiffCloser>;

struct TiffOptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
using UniqueTiffOptions = std::unique_ptr<TIFFOpenOptions, TiffOptionsFree>;

// Open options with silent error and warning handlers; null when out of memory.
inline UniqueTiffOptions QuietTiffOptions() {
    UniqueTiffOptions options(TIFFOpenOptionsAlloc());
    if (options) {
        const auto quiet = [](TIFF*, void*, const char*, const char*, va_list) { return 1; };
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
    }
    return options;
}

}  // namespace rastelle::codecs
