// The tags of an uncompressed SWF file up to its End tag: each one's code,
// where its record header and its body start, and the body's length. The walk
// stops at a tag that would run past the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rastelle::test {

struct SwfTagSpan {
    int code;
    std::size_t header, body, length;
};

inline std::vector<SwfTagSpan> WalkSwfTags(const std::vector<std::uint8_t>& file) {
    std::vector<SwfTagSpan> tags;
    for (std::size_t at = 21; at + 2 <= file.size();) {
        const unsigned word = file[at] | file[at + 1] << 8;
        SwfTagSpan tag{static_cast<int>(word >> 6), at, at + 2, word & 63u};
        if (tag.length == 63 && at + 6 <= file.size()) {
            tag.length = file[at + 2] | file[at + 3] << 8 | file[at + 4] << 16 | std::size_t{file[at + 5]} << 24;
            tag.body = at + 6;
        }
        if (tag.body + tag.length > file.size()) break;
        tags.push_back(tag);
        if (tag.code == 0) break;
        at = tag.body + tag.length;
    }
    return tags;
}

}  // namespace rastelle::test
