// Multi-frame files: several images written as the pages of one TIFF file
// or the frames of one animated GIF.
#pragma once

#include "image/bitmap.h"
#include "platform/gdiplus.h"

#include <optional>
#include <vector>

namespace rastelle::codecs {

struct MultiframeOptions {
    FileType type = FileType::TIFF;  // TIFF or GIF
    // GDI+ values of a TIFF encoder object, when one was given.
    std::optional<ULONG> compression;
    std::optional<ULONG> colorDepth;
};

// The GDI+ frame dimensions of animations and of pages.
inline constexpr GUID kFrameDimensionTime = {
    0x6AEDBD6D, 0x3FB5, 0x418A, {0x83, 0xA6, 0x7F, 0x45, 0x22, 0x9D, 0xC8, 0x72}};
inline constexpr GUID kFrameDimensionPage = {
    0x7462DC86, 0x6180, 0x4C7E, {0x8E, 0x3F, 0xEE, 0x73, 0x33, 0xA7, 0xA4, 0x83}};

// Sets the frame-delay property (kFrameDelay hundredths) on an image.
Status SetFrameDelay(Bitmap& image) noexcept;

// Saves the frames in order as one file, setting the frame delay on each.
// The platform's encoder writes it where a probe found it faithful for the
// format and options; otherwise the system's own writer (libtiff, giflib).
// Returns a GDI+ status; a failing call leaves its Win32 error code on the
// thread.
Status SaveMultiframe(const std::vector<Bitmap*>& frames, const wchar_t* fileName,
                      const MultiframeOptions& options) noexcept;

// The platform's route alone: the first frame saved with the multi-frame
// flag, the others added in the format's dimension, then a flush. With a
// null fileName the file goes to stream.
Status SaveFramesWithPlatform(const std::vector<Bitmap*>& frames, const wchar_t* fileName, IStream* stream,
                              const MultiframeOptions& options) noexcept;

}  // namespace rastelle::codecs
