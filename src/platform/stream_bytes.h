// A caller's stream read once into memory of our own, so that nothing after
// it (the header checks, the decoders, the platform) ever reads the caller's
// stream: some streams hand out bytes from beyond their end, and a decoder
// that seeks there on damaged data would read whatever memory follows.
#pragma once

#include <objidl.h>

#include <cstdint>
#include <vector>

namespace rastelle::platform {

// Reads from the stream's current position to the end its Stat reports,
// never past it; a stream without Stat is read until it gives less than
// asked. E_OUTOFMEMORY when more than limit bytes remain or they cannot be
// held; the stream's error when a call fails.
HRESULT ReadRestOfStream(IStream* stream, std::uint64_t limit, std::vector<std::uint8_t>& bytes) noexcept;

}  // namespace rastelle::platform
