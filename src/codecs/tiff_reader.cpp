#include "codecs/tiff_reader.h"

#include "codecs/tiff_handles.h"
#include "com/com_ptr.h"
#include "image/bitmap_lock.h"
#include "platform/bitmap_guard.h"
#include "platform/gdiplus_raii.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace rastelle::codecs {

namespace {

// --- libtiff over bytes in memory, read-only ---------------------------------

tmsize_t ReadProc(thandle_t handle, void* data, tmsize_t size) {
    auto* source = static_cast<MemorySource*>(handle);
    const std::uint64_t total = source->bytes->size();
    if (size < 0 || source->position >= total) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), total - source->position);
    std::memcpy(data, source->bytes->data() + source->position, static_cast<size_t>(n));
    source->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* source = static_cast<MemorySource*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) base = source->position;
    if (whence == SEEK_END) base = source->bytes->size();
    source->position = base + offset;
    return source->position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return static_cast<MemorySource*>(handle)->bytes->size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}


}  // namespace

UniqueTiff OpenTiff(MemorySource& source) {
    const UniqueTiffOptions options = QuietTiffOptions();
    if (!options) return nullptr;
    return UniqueTiff(TIFFClientOpenExt("memory", "r", &source, &ReadProc, &WriteProc, &SeekProc, &CloseProc,
                                        &SizeProc, &MapProc, &UnmapProc, options.get()));
}

namespace {

// --- The probe -----------------------------------------------------------------

// A 1 x 1 uncompressed RGB TIFF of 16-bit samples 0x1234, 0x5678, 0x9ABC in
// the given byte order.
std::vector<std::uint8_t> SixteenBitProbeTiff(bool bigEndian) {
    std::vector<std::uint8_t> bytes;
    auto put16 = [&](unsigned v) {
        if (bigEndian) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
        else bytes.insert(bytes.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    };
    auto put32 = [&](std::uint32_t v) {
        if (bigEndian) {
            put16(v >> 16);
            put16(v & 0xFFFF);
        } else {
            put16(v & 0xFFFF);
            put16(v >> 16);
        }
    };
    constexpr unsigned kShort = 3, kLong = 4, kEntries = 10;
    constexpr std::uint32_t kIfd = 8, kBitsAt = kIfd + 2 + kEntries * 12 + 4, kDataAt = kBitsAt + 6;
    auto entry = [&](unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
        put16(tag);
        put16(type);
        put32(count);
        if (type == kShort && count == 1) {  // left-justified in the value field
            put16(value);
            put16(0);
        } else {
            put32(value);
        }
    };
    bytes.insert(bytes.end(), {bigEndian ? std::uint8_t{'M'} : std::uint8_t{'I'}, bigEndian ? std::uint8_t{'M'} : std::uint8_t{'I'}});
    put16(42);
    put32(kIfd);
    put16(kEntries);
    entry(256, kShort, 1, 1);        // width
    entry(257, kShort, 1, 1);        // height
    entry(258, kShort, 3, kBitsAt);  // bits per sample
    entry(259, kShort, 1, 1);        // no compression
    entry(262, kShort, 1, 2);        // RGB
    entry(273, kLong, 1, kDataAt);   // strip offset
    entry(277, kShort, 1, 3);        // samples per pixel
    entry(278, kShort, 1, 1);        // rows per strip
    entry(279, kLong, 1, 6);         // strip bytes
    entry(284, kShort, 1, 1);        // interleaved
    put32(0);
    for (int i = 0; i < 3; ++i) put16(16);
    for (unsigned v : {0x1234u, 0x5678u, 0x9ABCu}) put16(v);
    return bytes;
}

// Whether the platform decodes the probe TIFF to the samples' high bytes
// (within one, for decoders that scale by 255 / 65535).
bool PlatformReadsSixteenBits(bool bigEndian) {
    const std::vector<std::uint8_t> tiff = SixteenBitProbeTiff(bigEndian);
    com::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return false;
    ULONG written = 0;
    if (FAILED(stream->Write(tiff.data(), static_cast<ULONG>(tiff.size()), &written))) return false;
    LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return false;
    UniqueImage image;
    if (gp::GdipLoadImageFromStream(stream.get(), image.put()) != Gdiplus::Ok) return false;
    Gdiplus::ARGB argb = 0;
    if (gp::GdipBitmapGetPixel(static_cast<Gdiplus::GpBitmap*>(image.get()), 0, 0, &argb) != Gdiplus::Ok) return false;
    auto withinOne = [](unsigned a, unsigned b) { return (a > b ? a - b : b - a) <= 1; };
    return withinOne(argb >> 16 & 0xFF, 0x12) && withinOne(argb >> 8 & 0xFF, 0x56) && withinOne(argb & 0xFF, 0x9A);
}

BOOL CALLBACK ProbeOnce(PINIT_ONCE, PVOID result, PVOID*) {
    auto* capabilities = static_cast<TiffDecoderCapabilities*>(result);
    capabilities->sixteenBitLittleEndian = PlatformReadsSixteenBits(false);
    capabilities->sixteenBitBigEndian = PlatformReadsSixteenBits(true);
    return TRUE;
}

// libtiff's RGBA pixels (red in the low byte, alpha premultiplied) as
// straight ARGB.
std::uint32_t StraightArgbOf(std::uint32_t abgr) {
    const std::uint32_t a = abgr >> 24;
    if (a == 0) return 0;
    std::uint32_t r = abgr & 0xFF, g = abgr >> 8 & 0xFF, b = abgr >> 16 & 0xFF;
    if (a < 255) {
        r = std::min(255u, (r * 255 + a / 2) / a);
        g = std::min(255u, (g * 255 + a / 2) / a);
        b = std::min(255u, (b * 255 + a / 2) / a);
    }
    return a << 24 | r << 16 | g << 8 | b;
}

}  // namespace

bool IsTiff(const platform::LeadingBytes& lead) noexcept {
    if (lead.size < 4) return false;
    const std::uint8_t* b = lead.bytes;
    return (b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) || (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42);
}

TiffDecoderCapabilities PlatformTiffDecoder() noexcept {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    static TiffDecoderCapabilities capabilities{};
    InitOnceExecuteOnce(&once, &ProbeOnce, &capabilities, nullptr);
    return capabilities;
}

bool PlatformMisreadsTiff(const std::vector<std::uint8_t>& tiff) noexcept {
    try {
        MemorySource source{&tiff};
        const UniqueTiff tif = OpenTiff(source);
        if (!tif) return false;
        std::uint16_t bits = 0;
        TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
        if (bits != 16) return false;
        const TiffDecoderCapabilities platform = PlatformTiffDecoder();
        return TIFFIsBigEndian(tif.get()) ? !platform.sixteenBitBigEndian : !platform.sixteenBitLittleEndian;
    } catch (...) {
        return false;
    }
}

Status DecodeTiff(const std::vector<std::uint8_t>& tiff, std::unique_ptr<Bitmap>& out) noexcept {
    out.reset();
    try {
        MemorySource source{&tiff};
        const UniqueTiff tif = OpenTiff(source);
        if (!tif) return Gdiplus::UnknownImageFormat;
        std::uint32_t width = 0, height = 0;
        TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
        constexpr std::uint32_t kMaxSide = std::numeric_limits<int>::max();
        if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return Gdiplus::UnknownImageFormat;
        const int w = static_cast<int>(width), h = static_cast<int>(height);
        if (!platform::BitmapSizeAllowed(w, h, 32)) return Gdiplus::OutOfMemory;
        char message[1024] = {};
        if (!TIFFRGBAImageOK(tif.get(), message)) return Gdiplus::UnknownImageFormat;

        std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
        if (!TIFFReadRGBAImageOriented(tif.get(), width, height, pixels.data(), ORIENTATION_TOPLEFT, 1))
            return Gdiplus::UnknownImageFormat;
        std::transform(pixels.begin(), pixels.end(), pixels.begin(), &StraightArgbOf);

        std::unique_ptr<Bitmap> bitmap(Bitmap::Create(w, h));
        if (!bitmap) return Gdiplus::OutOfMemory;
        if (bitmap->lastStatus() != Gdiplus::Ok) return bitmap->lastStatus();
        PixelLock lock;
        Status status = lock.LockFromBuffer(*bitmap, pixels.data(), w, h);
        if (status == Gdiplus::Ok) status = lock.Unlock();
        if (status != Gdiplus::Ok) return status;
        out = std::move(bitmap);
        return Gdiplus::Ok;
    } catch (const std::bad_alloc&) {
        return Gdiplus::OutOfMemory;
    } catch (...) {
        return Gdiplus::UnknownImageFormat;
    }
}

}  // namespace rastelle::codecs
