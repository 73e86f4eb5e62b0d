// Every libdeflate level against zlib's level 9 on the bytes of each file
// named: the size and the time of each as fractions of zlib 9's, the best of
// three runs each. The lossless SWF bitmap is such a zlib stream of the
// image's ARGB bytes (benchmarks/end_to_end/gif_swf.sh --levels writes them).
//
//   rastelle_deflate_levels FILE...
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

namespace {

double BestSeconds(const std::function<void()>& job) {
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        job();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    for (int file = 1; file < argc; ++file) {
        std::ifstream in(argv[file], std::ios::binary);
        const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<unsigned char> out(compressBound(static_cast<uLong>(bytes.size())));
        uLongf zlibBytes = 0;
        int zlibStatus = Z_OK;
        const double zlibSeconds = BestSeconds([&] {
            zlibBytes = static_cast<uLongf>(out.size());
            zlibStatus = compress2(out.data(), &zlibBytes, bytes.data(), static_cast<uLong>(bytes.size()), 9);
        });
        // Every ratio below is over zlib's bytes and time: without them there is nothing to compare.
        if (zlibStatus != Z_OK || bytes.empty()) {
            std::fprintf(stderr, "%s: cannot be read or compressed\n", argv[file]);
            return 1;
        }
        std::printf("%s: zlib 9 %lu bytes, %.0f ms\n", argv[file], static_cast<unsigned long>(zlibBytes),
                    zlibSeconds * 1e3);
        for (int level = 1; level <= 12; ++level) {
            libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
            if (!compressor) return 1;
            std::size_t written = 0;
            const double seconds = BestSeconds([&] {
                written = libdeflate_zlib_compress(compressor, bytes.data(), bytes.size(), out.data(), out.size());
            });
            libdeflate_free_compressor(compressor);
            std::printf("  level %2d: size %.3f, time %.2f\n", level, static_cast<double>(written) / zlibBytes,
                        seconds / zlibSeconds);
        }
    }
    return 0;
}
