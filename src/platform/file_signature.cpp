#include "platform/file_signature.h"

#include "platform/bitmap_guard.h"
#include "platform/pixel_limit.h"

#include <algorithm>
#include <vector>

namespace rastelle::platform {

namespace {

// Bytes in memory read at offsets; reads stop at their end.
class MemoryBytes {
public:
    MemoryBytes(const std::uint8_t* data, std::size_t size) noexcept : data_(data), size_(data ? size : 0) {}
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) const noexcept {
        if (offset >= size_) return 0;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
        std::copy(data_ + offset, data_ + offset + n, into);
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

LeadingBytes LeadingBytesOf(const std::uint8_t* data, std::size_t size) noexcept {
    LeadingBytes lead;
    lead.size = MemoryBytes(data, size).ReadAt(0, lead.bytes, sizeof(lead.bytes));
    return lead;
}

bool IsIconOrCursor(const LeadingBytes& lead) noexcept {
    if (lead.size < 6) return false;
    const auto word = [&](int i) { return static_cast<unsigned>(lead.bytes[i] | (lead.bytes[i + 1] << 8)); };
    return word(0) == 0 && (word(2) == 1 || word(2) == 2) && word(4) > 0;
}

namespace {

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }
std::uint32_t Be16(const std::uint8_t* p) { return (p[0] << 8) | p[1]; }
std::uint32_t Be32(const std::uint8_t* p) { return (Be16(p) << 16) | Be16(p + 2); }

// Compared as doubles: the products of two 32-bit sizes can pass 2^64.
DeclaredSize Larger(DeclaredSize a, DeclaredSize b) {
    return double(a.width) * double(a.height) >= double(b.width) * double(b.height) ? a : b;
}

std::uint64_t Magnitude(std::uint32_t value) {
    const auto signedValue = static_cast<std::int64_t>(static_cast<std::int32_t>(value));
    return static_cast<std::uint64_t>(signedValue < 0 ? -signedValue : signedValue);
}

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// A PNG's IHDR, or a DIB's header (the core header's 16-bit sizes, the
// others' 32-bit signed ones), at offset. An icon's DIB holds the image and
// its mask stacked, so its header's height counts twice.
DeclaredSize PngOrDib(const ReadAt& read, std::uint64_t offset, bool iconDib) {
    std::uint8_t head[24] = {};
    const std::size_t got = read(offset, head, sizeof(head));
    if (got >= 24 && std::equal(kPngSignature, kPngSignature + 8, head)) return {Be32(head + 16), Be32(head + 20)};
    if (got < 12) return {};
    DeclaredSize size;
    const std::uint32_t headerSize = Le32(head);
    if (headerSize == 12) {
        size = {Le16(head + 4), Le16(head + 6)};
    } else if (headerSize >= 16) {
        size = {Magnitude(Le32(head + 4)), Magnitude(Le32(head + 8))};
    }
    if (iconDib) size.height /= 2;
    return size;
}

DeclaredSize JpegFrame(const ReadAt& read) {
    // Walks the marker segments up to the first start of frame; gives up at
    // the start of scan, at the end of the data or after a bounded walk.
    std::uint64_t offset = 2;
    for (int segment = 0; segment < 4096; ++segment) {
        std::uint8_t head[9] = {};
        if (read(offset, head, 4) < 4 || head[0] != 0xFF) return {};
        const std::uint8_t marker = head[1];
        if (marker == 0xFF) {  // fill byte
            ++offset;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
            offset += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return {};
        const bool startOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) {
            if (read(offset, head, sizeof(head)) < sizeof(head)) return {};
            return {Be16(head + 7), Be16(head + 5)};
        }
        offset += 2 + Be16(head + 2);
    }
    return {};
}

DeclaredFrames IconImages(const ReadAt& read, std::uint32_t count) {
    std::vector<std::uint8_t> entries(static_cast<std::size_t>(count) * 16);
    const std::size_t got = read(6, entries.data(), entries.size());
    DeclaredFrames frames;
    for (std::size_t entry = 0; entry + 16 <= got; entry += 16) {
        const DeclaredSize image = PngOrDib(read, Le32(&entries[entry + 12]), true);
        frames.largest = Larger(frames.largest, image);
        frames.totalPixels += double(image.width) * double(image.height);
    }
    return frames;
}

// A GIF's logical screen and its frames: each frame is decoded onto a canvas
// of the screen's size, and a frame may declare more than the screen.
DeclaredFrames GifFrames(const ReadAt& read) {
    std::uint8_t head[13] = {};
    if (read(0, head, sizeof(head)) < sizeof(head)) return {};
    const DeclaredSize screen{Le16(head + 6), Le16(head + 8)};
    DeclaredFrames frames{screen, 0};
    std::uint64_t offset = 13;
    if (head[10] & 0x80) offset += 3u << ((head[10] & 7) + 1);
    // Sub-blocks are skipped by their lengths; the walk ends at the trailer,
    // at the end of the data, or after a bounded number of blocks.
    auto skipSubBlocks = [&] {
        for (int block = 0; block < (1 << 24); ++block) {
            std::uint8_t length = 0;
            if (read(offset, &length, 1) < 1) return false;
            offset += 1u + length;
            if (length == 0) return true;
        }
        return false;
    };
    for (int block = 0; block < (1 << 16); ++block) {
        std::uint8_t introducer[10] = {};
        if (read(offset, introducer, 1) < 1) break;
        if (introducer[0] == 0x21) {  // extension: label, then sub-blocks
            offset += 2;
            if (!skipSubBlocks()) break;
        } else if (introducer[0] == 0x2C) {  // image descriptor
            if (read(offset, introducer, sizeof(introducer)) < sizeof(introducer)) break;
            const DeclaredSize frame{Le16(introducer + 5), Le16(introducer + 7)};
            frames.largest = Larger(frames.largest, frame);
            frames.totalPixels += double(std::max(screen.width, frame.width)) * double(std::max(screen.height, frame.height));
            offset += 10;
            if (introducer[9] & 0x80) offset += 3u << ((introducer[9] & 7) + 1);
            offset += 1;  // the LZW minimum code size
            if (!skipSubBlocks()) break;
        } else {
            break;  // the trailer, or data that is no GIF block
        }
    }
    if (frames.totalPixels == 0) frames.totalPixels = double(screen.width) * double(screen.height);
    return frames;
}

// The pages of a TIFF: each directory's image width and length, directory
// after directory (a bounded walk that stops at a loop or the data's end).
DeclaredFrames TiffPages(const ReadAt& read) {
    std::uint8_t head[8] = {};
    if (read(0, head, sizeof(head)) < sizeof(head)) return {};
    const bool big = head[0] == 'M';
    auto u16 = [&](const std::uint8_t* p) { return big ? Be16(p) : Le16(p); };
    auto u32 = [&](const std::uint8_t* p) { return big ? Be32(p) : Le32(p); };
    DeclaredFrames frames;
    std::uint64_t directory = u32(head + 4);
    for (int page = 0; page < 4096 && directory != 0; ++page) {
        std::uint8_t count[2] = {};
        if (read(directory, count, 2) < 2) break;
        const std::uint32_t entries = u16(count);
        DeclaredSize size;
        for (std::uint32_t i = 0; i < entries; ++i) {
            std::uint8_t entry[12] = {};
            if (read(directory + 2 + 12ull * i, entry, sizeof(entry)) < sizeof(entry)) break;
            const std::uint32_t tag = u16(entry), type = u16(entry + 2);
            const std::uint32_t value = type == 3 ? u16(entry + 8) : u32(entry + 8);  // SHORT or LONG
            if (tag == 256) size.width = value;
            if (tag == 257) size.height = value;
        }
        frames.largest = Larger(frames.largest, size);
        frames.totalPixels += double(size.width) * double(size.height);
        std::uint8_t next[4] = {};
        if (read(directory + 2 + 12ull * entries, next, 4) < 4) break;
        const std::uint64_t following = u32(next);
        if (following <= directory) break;  // only forwards: no loops
        directory = following;
    }
    return frames;
}

// A WebP file's canvas (VP8X) or its one frame (VP8, VP8L); every frame of
// an animation is composed onto a canvas of that size.
DeclaredFrames WebpFrames(const ReadAt& read) {
    std::uint8_t chunk[30] = {};
    const std::size_t got = read(12, chunk, sizeof(chunk));
    if (got < 8) return {};
    const auto le24 = [](const std::uint8_t* p) { return Le16(p) | (std::uint32_t(p[2]) << 16); };
    DeclaredSize size;
    if (std::equal(chunk, chunk + 4, "VP8X") && got >= 18) {
        size = {1 + std::uint64_t(le24(chunk + 12)), 1 + std::uint64_t(le24(chunk + 15))};
    } else if (std::equal(chunk, chunk + 4, "VP8 ") && got >= 18) {
        size = {Le16(chunk + 14) & 0x3FFFu, Le16(chunk + 16) & 0x3FFFu};
    } else if (std::equal(chunk, chunk + 4, "VP8L") && got >= 13) {
        const std::uint32_t bits = Le32(chunk + 9);
        size = {1 + std::uint64_t(bits & 0x3FFFu), 1 + std::uint64_t((bits >> 14) & 0x3FFFu)};
    } else {
        return {};
    }
    // The animation frames (ANMF chunks) counted over the chunk list; each
    // step moves forwards by at least a chunk header.
    std::uint64_t frames = 0;
    for (std::uint64_t at = 12;;) {
        std::uint8_t header[8];
        if (read(at, header, 8) < 8) break;
        if (std::equal(header, header + 4, "ANMF")) ++frames;
        const std::uint64_t length = Le32(header + 4);
        at += 8 + length + (length & 1);
    }
    return {size, double(size.width) * double(size.height) * double(frames ? frames : 1)};
}

bool Oversized(DeclaredSize size) {
    // 32-bit pixels, as every bitmap of ours holds; each factor is below 2^32.
    return size.width * 4 > kMaxBitmapBytes || size.height * size.width * 4 > kMaxBitmapBytes;
}

}  // namespace

DeclaredFrames DeclaredFramesOf(const ReadAt& read) {
    const auto one = [](DeclaredSize size) { return DeclaredFrames{size, double(size.width) * double(size.height)}; };
    std::uint8_t head[10] = {};
    const std::size_t got = read(0, head, sizeof(head));
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return one(JpegFrame(read));
    if (got >= 8 && std::equal(kPngSignature, kPngSignature + 8, head)) return one(PngOrDib(read, 0, false));
    if (got >= 10 && std::equal(head, head + 4, "GIF8")) return GifFrames(read);
    if (got >= 2 && head[0] == 'B' && head[1] == 'M') return one(PngOrDib(read, 14, false));
    if (got >= 8 && ((head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
                     (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42)))
        return TiffPages(read);
    if (got >= 4 && std::equal(head, head + 4, "RIFF")) {
        std::uint8_t form[4] = {};
        if (read(8, form, 4) == 4 && std::equal(form, form + 4, "WEBP")) return WebpFrames(read);
    }
    LeadingBytes lead;
    std::copy(head, head + std::min<std::size_t>(got, sizeof(lead.bytes)), lead.bytes);
    lead.size = std::min<std::size_t>(got, sizeof(lead.bytes));
    if (IsIconOrCursor(lead)) return IconImages(read, Le16(head + 4));
    return {};
}

bool DeclaresTooManyPixels(const std::uint8_t* data, std::size_t size, FramesDecoded decoded) noexcept {
    const MemoryBytes source(data, size);
    try {
        const DeclaredFrames frames =
            DeclaredFramesOf([&](std::uint64_t offset, std::uint8_t* into, std::size_t n) {
                return source.ReadAt(offset, into, n);
            });
        const double limit = double(MaxImagePixels());
        const double largest = double(frames.largest.width) * double(frames.largest.height);
        return Oversized(frames.largest) || largest > limit ||
               (decoded == FramesDecoded::All && frames.totalPixels > limit);
    } catch (...) {  // out of memory for an icon's directory: let the decoder judge the data
        return false;
    }
}

}  // namespace rastelle::platform
