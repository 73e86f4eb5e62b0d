// CMYK TIFF output: the separation of an image into ink amounts, and the
// libtiff writer of the separated image.
#pragma once

#include "image/bitmap.h"
#include "platform/file_name.h"

#include <string>

namespace rastelle::codecs {

// Whether image attributes take an output channel (a capability probe, run
// once per process on first use; GDI+ must be started).
bool PlatformSeparatesOutputChannels() noexcept;

// Result codes of ConvertToCmyk besides 0 and the HRESULTs E_POINTER, E_FAIL
// and E_OUTOFMEMORY.
inline constexpr LONG kCmykProfileFailed = -1;
inline constexpr LONG kCmykLockTargetFailed = -3;
inline constexpr LONG kCmykLockRenderingFailed = -6;

// Separates source into cyan, magenta, yellow and black ink amounts
// (0 = no ink), stored in that byte order in cmyk's pixels, through the
// profile named (none when empty). The platform's output channels do it
// where they work; elsewhere Little CMS 2 with the profile, or the plain
// rule of kernels/cmyk_separation.h without one. 0 on success, else one of
// the codes above.
LONG ConvertToCmyk(Bitmap& source, Bitmap* cmyk, const std::wstring& profileFileName);

// Writes cmyk as an uncompressed four-sample separated TIFF, one row a
// strip, with its resolution. 0 on success, 1 when the file cannot be opened
// or a row cannot be written, or the status of a failed lock.
Status WriteCmykTiff(const platform::FileName& fileName, Bitmap& cmyk);

}  // namespace rastelle::codecs
