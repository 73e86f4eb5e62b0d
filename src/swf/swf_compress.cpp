#include "swf/swf_compress.h"

#if defined(RASTELLE_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

#include <new>

namespace rastelle::swf {

#if defined(RASTELLE_HAVE_LIBDEFLATE)

// libdeflate at this level compresses photos and screenshots at least as
// tightly as zlib's best level, in a fraction of its time.
constexpr int kLibdeflateLevel = 9;

bool CompressZlib(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out) {
    out.clear();
    struct Compressor {
        libdeflate_compressor* handle = libdeflate_alloc_compressor(kLibdeflateLevel);
        ~Compressor() {
            if (handle) libdeflate_free_compressor(handle);
        }
    } compressor;
    if (!compressor.handle) throw std::bad_alloc();
    out.resize(libdeflate_zlib_compress_bound(compressor.handle, length));
    const std::size_t written = libdeflate_zlib_compress(compressor.handle, data, length, out.data(), out.size());
    out.resize(written);
    return written != 0;
}

#else

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

#endif

}  // namespace rastelle::swf
