#include "platform/file_signature.h"

#include "platform/bitmap_guard.h"

#include <algorithm>
#include <vector>

namespace rastelle::platform {

namespace {

// Bytes in memory read at offsets; reads stop at their end.
class MemoryBytes {
public:
    MemoryBytes(const std::uint8_t* data, std::size_t size) noexcept : data_(data), size_(data ? size : 0) {}
    bool open() const noexcept { return true; }
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

template <class Source>
LeadingBytes LeadingBytesOf(const Source& source) noexcept {
    LeadingBytes lead;
    if (source.open()) lead.size = source.ReadAt(0, lead.bytes, sizeof(lead.bytes));
    return lead;
}

}  // namespace

LeadingBytes LeadingBytesOf(const std::uint8_t* data, std::size_t size) noexcept {
    return LeadingBytesOf(MemoryBytes(data, size));
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

DeclaredSize IconImages(const ReadAt& read, std::uint32_t count) {
    std::vector<std::uint8_t> entries(static_cast<std::size_t>(count) * 16);
    const std::size_t got = read(6, entries.data(), entries.size());
    DeclaredSize largest;
    for (std::size_t entry = 0; entry + 16 <= got; entry += 16)
        largest = Larger(largest, PngOrDib(read, Le32(&entries[entry + 12]), true));
    return largest;
}

bool Oversized(DeclaredSize size) {
    // 32-bit pixels, as every bitmap of ours holds; each factor is below 2^32.
    return size.width * 4 > kMaxBitmapBytes || size.height * size.width * 4 > kMaxBitmapBytes;
}

}  // namespace

DeclaredSize LargestDeclaredFrame(const ReadAt& read) {
    std::uint8_t head[10] = {};
    const std::size_t got = read(0, head, sizeof(head));
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return JpegFrame(read);
    if (got >= 8 && std::equal(kPngSignature, kPngSignature + 8, head)) return PngOrDib(read, 0, false);
    if (got >= 10 && std::equal(head, head + 4, "GIF8")) return {Le16(head + 6), Le16(head + 8)};
    if (got >= 2 && head[0] == 'B' && head[1] == 'M') return PngOrDib(read, 14, false);
    LeadingBytes lead;
    std::copy(head, head + std::min<std::size_t>(got, sizeof(lead.bytes)), lead.bytes);
    lead.size = std::min<std::size_t>(got, sizeof(lead.bytes));
    if (IsIconOrCursor(lead)) return IconImages(read, Le16(head + 4));
    return {};
}

namespace {

template <class Source>
bool DeclaresOversizedFrameIn(const Source& source) noexcept {
    if (!source.open()) return false;
    try {
        return Oversized(LargestDeclaredFrame([&](std::uint64_t offset, std::uint8_t* into, std::size_t size) {
            return source.ReadAt(offset, into, size);
        }));
    } catch (...) {  // out of memory for an icon's directory: let the decoder judge the data
        return false;
    }
}

}  // namespace

bool DeclaresOversizedFrame(const std::uint8_t* data, std::size_t size) noexcept {
    return DeclaresOversizedFrameIn(MemoryBytes(data, size));
}

}  // namespace rastelle::platform
