#include "swf/swf_compress.h"

#include <zlib.h>

#include <new>

namespace rastelle::swf {

// zlib's best level. libdeflate is not used: on photo-like and
// screenshot-like 4000 x 3000 images its levels up to 10 are faster but
// up to 2 % larger on screenshots and some photos, and the levels that are
// never larger (11, 12) are slower than zlib.
bool CompressZlib(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out) {
    out.clear();
    uLongf written = compressBound(static_cast<uLong>(length));
    out.resize(written);
    const int result = compress2(out.data(), &written, data, static_cast<uLong>(length), Z_BEST_COMPRESSION);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) {
        out.clear();
        return false;
    }
    out.resize(written);
    return true;
}

}  // namespace rastelle::swf
