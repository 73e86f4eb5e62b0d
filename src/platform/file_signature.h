// Looks at the first bytes of image data, for the cases where the platform's
// decoder reports a misleading raw format.
#pragma once

#include <objidl.h>

#include <cstddef>
#include <cstdint>

namespace rastelle::platform {

// The first bytes of a file or stream; size is how many could be read.
struct LeadingBytes {
    std::uint8_t bytes[8] = {};
    std::size_t size = 0;
};

LeadingBytes ReadLeadingBytes(const wchar_t* path) noexcept;
// Reads from the stream's current position and seeks back to it.
LeadingBytes PeekLeadingBytes(IStream* stream) noexcept;

// An icon or cursor directory: reserved 0, type 1 (icon) or 2 (cursor), at
// least one image.
bool IsIconOrCursor(const LeadingBytes& lead) noexcept;

}  // namespace rastelle::platform
