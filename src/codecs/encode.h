// Encoding a bitmap to a file or a stream with the system's own encoders, the
// same on every platform: the files users get are the files the tests read.
#pragma once

#include "codecs/webp_writer.h"
#include "image/bitmap.h"
#include "platform/file_name.h"
#include "platform/gdiplus.h"

#include <cstdint>
#include <vector>

namespace rastelle::codecs {

// Saves image as type (JPEG, PNG or TIFF) with the given parameters (may be
// null). Returns a GDI+ status; for a file, a failure leaves the Win32 error
// code of the failing call on the thread, as the platform's own file saving
// does.
Status EncodeToFile(Gdiplus::GpBitmap* image, FileType type, const platform::FileName& fileName,
                    const Gdiplus::EncoderParameters* parameters) noexcept;
Status EncodeToStream(Gdiplus::GpBitmap* image, FileType type, IStream* stream,
                      const Gdiplus::EncoderParameters* parameters) noexcept;

// Encodes image as a WebP file into bytes (alpha kept).
Status EncodeWebpBytes(Gdiplus::GpBitmap* image, const WebPOptions& options, std::vector<std::uint8_t>& bytes) noexcept;

// Encodes image as a BMP file into bytes: 32-bit with its alpha, or 24-bit.
Status EncodeBmpBytes(Gdiplus::GpBitmap* image, bool withAlpha, std::vector<std::uint8_t>& bytes) noexcept;

// Writes bytes as the whole content of fileName (replacing it); a failure
// leaves the Win32 error code on the thread.
Status WriteFileBytes(const platform::FileName& fileName, const std::vector<std::uint8_t>& bytes) noexcept;
// Writes bytes at the stream's position.
Status WriteStreamBytes(IStream* stream, const std::vector<std::uint8_t>& bytes) noexcept;

// Reads a stream from its start to its end (by Stat's size, never past it).
HRESULT ReadWholeStream(IStream* stream, std::vector<std::uint8_t>& bytes) noexcept;

}  // namespace rastelle::codecs
