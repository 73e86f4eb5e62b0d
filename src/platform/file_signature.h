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

// The largest frame that the headers of a JPEG, PNG, GIF, BMP, icon or cursor
// declare (for an icon, of all its images), read without decoding; 0 x 0 for
// other data and for headers that cannot be read.
DeclaredSize LargestDeclaredFrame(const ReadAt& read);

// True when the image data declares a frame larger than a bitmap of ours can
// hold. Such data is refused before the platform decodes it: it could never be
// loaded, and some decoders compute the frame's size in 32 bits and overrun
// their buffer (Wine's icon decoder at 2^32 bytes, its JPEG decoder at 2^31).
bool DeclaresOversizedFrame(const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace rastelle::platform
