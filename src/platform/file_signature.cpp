#include "platform/file_signature.h"

#include "platform/bitmap_guard.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace rastelle::platform {

namespace {

// Bytes of a file read at offsets from its start.
class FileBytes {
public:
    explicit FileBytes(const wchar_t* path) noexcept
        : file_(path ? CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                     : INVALID_HANDLE_VALUE) {}
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes() {
        if (open()) CloseHandle(file_);
    }
    bool open() const noexcept { return file_ != INVALID_HANDLE_VALUE; }
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) const noexcept {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        return ReadFile(file_, into, static_cast<DWORD>(size), &read, &at) ? std::size_t{read} : std::size_t{0};
    }

private:
    HANDLE file_;
};

std::uint64_t StreamPosition(IStream* stream, std::uint64_t offset, DWORD origin) {
    LARGE_INTEGER move;
    move.QuadPart = static_cast<LONGLONG>(offset);
    ULARGE_INTEGER now{};
    return SUCCEEDED(stream->Seek(move, origin, &now)) ? now.QuadPart : ~0ull;
}

// Bytes of a stream read at offsets from its current position, which it
// gets back at the end. Some streams hand out data past their end, so reads
// stop at the end the stream reports.
class StreamBytes {
public:
    explicit StreamBytes(IStream* stream) noexcept
        : stream_(stream), start_(stream ? StreamPosition(stream, 0, STREAM_SEEK_CUR) : ~0ull) {
        STATSTG stat{};
        if (open() && SUCCEEDED(stream_->Stat(&stat, STATFLAG_NONAME))) end_ = stat.cbSize.QuadPart;
    }
    StreamBytes(const StreamBytes&) = delete;
    StreamBytes& operator=(const StreamBytes&) = delete;
    ~StreamBytes() {
        if (open()) StreamPosition(stream_, start_, STREAM_SEEK_SET);
    }
    bool open() const noexcept { return start_ != ~0ull; }
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) const noexcept {
        const std::uint64_t at = start_ + offset;
        if (at >= end_ || StreamPosition(stream_, at, STREAM_SEEK_SET) != at) return 0;
        ULONG read = 0;
        const auto want = static_cast<ULONG>(std::min<std::uint64_t>(size, end_ - at));
        return SUCCEEDED(stream_->Read(into, want, &read)) ? std::size_t{read} : std::size_t{0};
    }

private:
    IStream* stream_;
    std::uint64_t start_;
    std::uint64_t end_ = ~0ull;
};

template <class Source>
LeadingBytes LeadingBytesOf(const Source& source) noexcept {
    LeadingBytes lead;
    if (source.open()) lead.size = source.ReadAt(0, lead.bytes, sizeof(lead.bytes));
    return lead;
}

}  // namespace

LeadingBytes ReadLeadingBytes(const wchar_t* path) noexcept { return LeadingBytesOf(FileBytes(path)); }

LeadingBytes PeekLeadingBytes(IStream* stream) noexcept { return LeadingBytesOf(StreamBytes(stream)); }

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

bool DeclaresOversizedFrame(const wchar_t* path) noexcept { return DeclaresOversizedFrameIn(FileBytes(path)); }

bool DeclaresOversizedFrame(IStream* stream) noexcept { return DeclaresOversizedFrameIn(StreamBytes(stream)); }

}  // namespace rastelle::platform
