// The zlib stream of a lossless bitmap's colour table and pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rastelle::swf {

// Compresses data into out as one zlib stream. False when the compressor
// fails (out is then empty); throws std::bad_alloc when memory is out.
bool CompressZlib(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out);

}  // namespace rastelle::swf
