// A read-only IStream over bytes held in memory, for handing our own copy of
// image data to the platform's decoders. Reads and seeks stay inside the
// bytes whatever a caller asks, so a decoder that seeks past the end of
// damaged data gets a short read, never memory beyond it.
#pragma once

#include <objidl.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace rastelle::com {

using SharedBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// A new stream at position 0 over bytes that its maker keeps alive for as
// long as the stream is in use; once they are let go, the stream reads
// nothing. A decoder that leaks a reference on damaged data (the platform's
// do) so keeps a few bytes of stream, not the image data, and the stream
// holds no lock on the module: nothing ever calls a leaked reference. Clones
// share the bytes and keep their own position.
HRESULT CreateReadOnlyStream(const SharedBytes& bytes, IStream** stream) noexcept;

}  // namespace rastelle::com
