#include "codecs/bmp_reader.h"

#include <array>
#include <cstring>

namespace rastelle::codecs {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kRunLength8 = 1;
constexpr std::uint32_t kRunLength4 = 2;
constexpr std::uint32_t kBitFields = 3;

std::uint32_t Le16(const std::uint8_t* at) { return static_cast<std::uint32_t>(at[0] | at[1] << 8); }
std::uint32_t Le32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// One colour channel of a bit-field pixel: its mask's bits, widened to 8 by
// repeating them (so 5 and 6 bits reach 255, as the platform's conversions do).
class Channel {
public:
    Channel() = default;
    explicit Channel(std::uint32_t mask) : mask_(mask) {
        if (!mask) return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift_;
        }
        while (mask & 1) {
            mask >>= 1;
            ++bits_;
        }
    }
    // A mask whose bits do not run together is no bit field a writer makes.
    bool Valid() const { return mask_ != 0 && (mask_ >> shift_) == (1ull << bits_) - 1; }
    std::uint32_t Of(std::uint32_t pixel) const {
        const std::uint32_t value = (pixel & mask_) >> shift_;
        if (bits_ >= 8) return value >> (bits_ - 8);
        std::uint32_t widened = 0;
        for (int filled = 0; filled < 8; filled += bits_) widened = widened << bits_ | value;
        const int spare = ((8 + bits_ - 1) / bits_) * bits_ - 8;
        return widened >> spare;
    }

private:
    std::uint32_t mask_ = 0;
    int shift_ = 0;
    int bits_ = 0;
};

struct Layout {
    int width = 0;
    int height = 0;        // rows in the file
    bool topDown = false;  // the first row in the file is the top one
    bool runLength = false;
    int bitsPerPixel = 0;
    std::size_t pixelOffset = 0;
    std::size_t rowBytes = 0;
    std::array<std::uint32_t, 256> palette{};  // opaque ARGB
    std::array<Channel, 3> channels;           // red, green, blue of 16- and 32-bit pixels
};

// Reads the headers; false for anything this decoder leaves to the platform.
bool ReadLayout(const std::uint8_t* data, std::size_t size, Layout& layout) {
    if (size < kFileHeaderBytes + 4) return false;
    const std::uint32_t headerBytes = Le32(data + kFileHeaderBytes);
    const bool core = headerBytes == kCoreHeaderBytes;
    if (!core && headerBytes != 40 && headerBytes != 52 && headerBytes != 56 && headerBytes != 108 &&
        headerBytes != 124)
        return false;
    if (size < kFileHeaderBytes + headerBytes) return false;
    const std::uint8_t* info = data + kFileHeaderBytes;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t compression = kUncompressed;
    std::uint32_t coloursUsed = 0;
    if (core) {
        width = Le16(info + 4);
        height = Le16(info + 6);
        planes = Le16(info + 8);
        layout.bitsPerPixel = static_cast<int>(Le16(info + 10));
    } else {
        width = static_cast<std::int32_t>(Le32(info + 4));
        height = static_cast<std::int32_t>(Le32(info + 8));
        planes = Le16(info + 12);
        layout.bitsPerPixel = static_cast<int>(Le16(info + 14));
        compression = Le32(info + 16);
        coloursUsed = Le32(info + 32);
    }
    layout.topDown = height < 0;
    if (height < 0) height = -height;
    if (planes != 1 || width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);

    const int bits = layout.bitsPerPixel;
    const bool indexed = bits == 1 || bits == 4 || bits == 8;
    if (!indexed && bits != 16 && bits != 24 && bits != 32) return false;
    layout.runLength = compression == kRunLength8 || compression == kRunLength4;
    if (layout.runLength) {
        if (bits != (compression == kRunLength8 ? 8 : 4) || layout.topDown) return false;
    } else if (compression == kBitFields ? (bits != 16 && bits != 32) : compression != kUncompressed) {
        return false;
    }

    std::size_t afterHeader = kFileHeaderBytes + headerBytes;
    if (compression == kBitFields) {
        // Three masks after a 40-byte header, inside the longer ones.
        const std::uint8_t* masks = info + 40;
        if (headerBytes == 40) {
            if (size < afterHeader + 12) return false;
            masks = data + afterHeader;
            afterHeader += 12;
        }
        for (int c = 0; c < 3; ++c) {
            layout.channels[static_cast<std::size_t>(c)] = Channel(Le32(masks + 4 * c));
            if (!layout.channels[static_cast<std::size_t>(c)].Valid()) return false;
        }
    } else if (bits == 16) {
        layout.channels = {Channel(0x7C00), Channel(0x03E0), Channel(0x001F)};
    } else if (bits == 32) {
        layout.channels = {Channel(0x00FF0000), Channel(0x0000FF00), Channel(0x000000FF)};
    }

    layout.pixelOffset = Le32(data + 10);
    if (layout.pixelOffset < afterHeader || layout.pixelOffset > size) return false;
    if (indexed) {
        const std::size_t entryBytes = core ? 3 : 4;
        const std::size_t capacity = std::size_t{1} << bits;
        const std::size_t entries = coloursUsed == 0 || coloursUsed > capacity ? capacity : coloursUsed;
        // A palette cut short by the pixels' offset keeps the entries it has;
        // the indices past it are black.
        const std::size_t available = (layout.pixelOffset - afterHeader) / entryBytes;
        layout.palette.fill(0xFF000000u);
        for (std::size_t i = 0; i < entries && i < available; ++i) {
            const std::uint8_t* entry = data + afterHeader + i * entryBytes;
            layout.palette[i] = 0xFF000000u | static_cast<std::uint32_t>(entry[2]) << 16 |
                                static_cast<std::uint32_t>(entry[1]) << 8 | entry[0];
        }
    }

    const std::uint64_t rowBytes =
        (static_cast<std::uint64_t>(layout.width) * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
    if (rowBytes > size) return false;
    layout.rowBytes = static_cast<std::size_t>(rowBytes);
    // A file without all its rows is left to the platform, which reports it.
    return layout.runLength ||
           (size - layout.pixelOffset) / layout.rowBytes >= static_cast<std::size_t>(layout.height);
}

void DecodeRow(const Layout& layout, const std::uint8_t* in, std::uint32_t* out) {
    const int width = layout.width;
    switch (layout.bitsPerPixel) {
    case 1:
    case 4:
    case 8: {
        const int bits = layout.bitsPerPixel;
        const int perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        for (int x = 0; x < width; ++x) {
            const unsigned shift = static_cast<unsigned>(8 - bits * (x % perByte + 1));
            out[x] = layout.palette[(in[x / perByte] >> shift) & mask];
        }
        break;
    }
    case 24:
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = 0xFF000000u | static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[1]) << 8 |
                     in[0];
        break;
    default: {
        const auto& [red, green, blue] = layout.channels;
        const bool wide = layout.bitsPerPixel == 32;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = wide ? Le32(in + 4 * x) : Le16(in + 2 * x);
            out[x] = 0xFF000000u | red.Of(pixel) << 16 | green.Of(pixel) << 8 | blue.Of(pixel);
        }
        break;
    }
    }
}

// Run-length encoded 8- or 4-bit pixels, bottom row first. Pixels the runs
// skip (by a delta, an early end of line or an early end of the data) stay
// transparent.
void DecodeRunLength(const Layout& layout, const std::uint8_t* data, std::size_t size,
                     const kernels::ImageView& view) {
    for (int y = 0; y < view.height; ++y) std::memset(view.row(y), 0, static_cast<std::size_t>(view.width) * 4);
    const bool fourBits = layout.bitsPerPixel == 4;
    // The n-th index of a run or an absolute block starting at bytes.
    auto index = [&](const std::uint8_t* bytes, std::size_t n) -> std::uint8_t {
        if (!fourBits) return bytes[n];
        const std::uint8_t pair = bytes[n / 2];
        return n % 2 ? pair & 0x0F : pair >> 4;
    };
    std::int64_t x = 0;
    std::int64_t row = 0;
    auto put = [&](std::uint8_t entry) {
        if (x < view.width && row < view.height)
            view.row(view.height - 1 - static_cast<int>(row))[x] = layout.palette[entry];
        ++x;
    };
    std::size_t at = layout.pixelOffset;
    while (at + 2 <= size && row < view.height) {
        const std::uint8_t count = data[at];
        const std::uint8_t value = data[at + 1];
        at += 2;
        if (count > 0) {
            // A run: count pixels of one index (of two alternating ones at 4 bits).
            const std::uint8_t pair[2] = {value, value};
            for (std::size_t i = 0; i < count; ++i) put(fourBits ? index(pair, i % 2) : value);
        } else if (value == 0) {  // end of line
            x = 0;
            ++row;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // move right and up
            if (at + 2 > size) break;
            x += data[at];
            row += data[at + 1];
            at += 2;
        } else {  // value indices as they are, padded to a whole word
            const std::size_t bytes = fourBits ? (value + 1u) / 2 : value;
            if (at + bytes > size) break;
            for (std::size_t i = 0; i < value; ++i) put(index(data + at, i));
            at += (bytes + 1) & ~std::size_t{1};
        }
    }
}

}  // namespace

bool LooksLikeBmp(const std::uint8_t* data, std::size_t size) noexcept {
    return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

DecodeResult DecodeBmp(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept {
    Layout layout;
    if (!LooksLikeBmp(data, size) || !ReadLayout(data, size, layout)) return DecodeResult::NotDecodable;
    const kernels::ImageView view = target.Allocate(layout.width, layout.height);
    if (!view.pixels) return DecodeResult::OutOfMemory;
    if (layout.runLength) {
        DecodeRunLength(layout, data, size, view);
        return DecodeResult::Decoded;
    }
    for (int row = 0; row < layout.height; ++row) {
        const int y = layout.topDown ? row : layout.height - 1 - row;
        DecodeRow(layout, data + layout.pixelOffset + static_cast<std::size_t>(row) * layout.rowBytes, view.row(y));
    }
    return DecodeResult::Decoded;
}

}  // namespace rastelle::codecs
