// Looks at the first bytes of image data, for the cases where the platform's
// decoder reports a misleading raw format, and at the sizes its headers
// declare, before any decoder trusts them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace rastelle::platform {

// The first bytes of a file or stream; size is how many could be read.
struct LeadingBytes {
    std::uint8_t bytes[8] = {};
    std::size_t size = 0;
};

LeadingBytes LeadingBytesOf(const std::uint8_t* data, std::size_t size) noexcept;

// An icon or cursor directory: reserved 0, type 1 (icon) or 2 (cursor), at
// least one image.
bool IsIconOrCursor(const LeadingBytes& lead) noexcept;

// Reads up to size bytes at offset from the start of the image data into
// `into`; returns how many it read.
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::uint8_t* into, std::size_t size)>;

struct DeclaredSize {
    std::uint64_t width = 0, height = 0;
};

// What the headers of a JPEG, PNG, GIF, BMP, TIFF, WebP, icon or cursor
// declare, read without decoding: the largest frame (for an icon, of all its
// images; for a TIFF, of its pages; for a GIF or an animated WebP, of its
// canvas and frames) and the pixels of all frames together as their decoders
// make them (GIF and WebP frames are decoded onto a canvas of the screen's
// size). Nothing for other data and for headers that cannot be read.
struct DeclaredFrames {
    DeclaredSize largest;
    double totalPixels = 0;
};
DeclaredFrames DeclaredFramesOf(const ReadAt& read);

// Whether image data must be refused before it is decoded: a frame larger
// than a bitmap of ours can hold (some decoders compute a frame's size in 32
// bits and overrun their buffer: Wine's icon decoder at 2^32 bytes, its JPEG
// decoder at 2^31), or more pixels than the limit of MaxImagePixels in its
// largest frame, or in all frames together when every frame is decoded.
enum class FramesDecoded { First, All };
bool DeclaresTooManyPixels(const std::uint8_t* data, std::size_t size, FramesDecoded decoded) noexcept;

}  // namespace rastelle::platform
