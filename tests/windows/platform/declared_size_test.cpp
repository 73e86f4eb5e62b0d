// Loads refuse frames beyond the pixel limit or beyond any bitmap, going by
// the sizes the headers declare, before the platform's decoder sees them; and
// sizes no bitmap may have never reach GDI+.
#include "layers/layers_test_support.h"

#include "platform/bitmap_guard.h"

namespace rastelle::test {
namespace {

// An icon whose one DIB image claims 32 x 0x8000020 pixels (its height counts
// colour and mask), and a progressive JPEG of 65535 x 65535 after an APP0
// segment and fill bytes.
const std::vector<std::uint8_t> kHugeIcon = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 22, 0, 0, 0, 40,
                                             0, 0, 0, 32, 0, 0, 0, 0x40, 0, 0, 0x10, 1, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const std::vector<std::uint8_t> kHugeJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 6, 'J', 'F', 'I', 'F', 0xFF, 0xFF,
                                             0xC2, 0, 11, 8, 0xFF, 0xFF, 0xFF, 0xFF, 1, 1, 0x11, 0};

// Big-endian 16 and 32-bit values, as PNG and JPEG headers hold them.
void PutBe(std::vector<std::uint8_t>& b, int bytes, std::uint32_t v) {
    for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::uint8_t> PngHeader(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    PutBe(b, 4, width), PutBe(b, 4, height);
    b.insert(b.end(), {8, 0, 0, 0, 0, 0, 0, 0, 0});  // grey, 8 bits; a CRC nobody checks first
    return b;
}

std::vector<std::uint8_t> JpegHeader(unsigned width, unsigned height) {
    std::vector<std::uint8_t> b = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8};
    PutBe(b, 2, height), PutBe(b, 2, width);
    b.insert(b.end(), {1, 1, 0x11, 0, 0xFF, 0xD9});
    return b;
}

// A GIF with a logical screen and `frames` image descriptors of the given
// size, each with a one-byte LZW block.
std::vector<std::uint8_t> Gif(unsigned screenWidth, unsigned screenHeight, unsigned frames, unsigned frameWidth,
                              unsigned frameHeight) {
    std::vector<std::uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe(b, 2, {screenWidth, screenHeight});
    b.insert(b.end(), {0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF});  // a two-colour global table
    for (unsigned i = 0; i < frames; ++i) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0, 0x2C});  // a graphic control extension, a descriptor
        PutLe(b, 2, {0, 0, frameWidth, frameHeight});
        b.insert(b.end(), {0, 2, 1, 0x44, 0});
    }
    b.push_back(0x3B);
    return b;
}

// A TIFF of `pages` directories of width x height, strips that point nowhere.
std::vector<std::uint8_t> TiffPages(std::uint32_t width, std::uint32_t height, unsigned pages) {
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0};
    PutLe(b, 4, {8});
    for (unsigned page = 0; page < pages; ++page) {
        const std::uint32_t start = static_cast<std::uint32_t>(b.size());
        PutLe(b, 2, {4});
        for (auto [tag, value] : {std::pair{256u, width}, std::pair{257u, height}, std::pair{258u, 8u}, std::pair{273u, 8u}})
            PutLe(b, 2, {tag, 4}), PutLe(b, 4, {1, value});
        PutLe(b, 4, {page + 1 < pages ? start + 2 + 4 * 12 + 4 : 0});
    }
    return b;
}

std::vector<std::uint8_t> BmpHeader(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> b = {'B', 'M'};
    PutLe(b, 4, {54, 0, 54, 40, std::uint32_t(width), std::uint32_t(height)});
    PutLe(b, 2, {1, 32});
    b.resize(54 + 64);
    return b;
}

// Small files that declare more pixels than the limit (by default about 179
// million) or than any bitmap can hold (Wine's icon decoder computes an
// image's bytes in 32 bits and overruns its buffer at 2^32; its JPEG decoder
// crashes at 2^31): each load is refused as out of memory from the headers,
// before anything is decoded (a stream is read once, to its end), and the
// collection's loads count every frame. A sound icon loads.
TEST(DeclaredSize, DecompressionBombsAreRefusedFromTheirHeaders) {
    const std::vector<std::pair<const wchar_t*, std::vector<std::uint8_t>>> bombs = {
        {L"bomb.png", PngHeader(20000, 20000)},       {L"bomb.jpg", JpegHeader(14000, 14000)},
        {L"canvas.gif", Gif(20000, 20000, 1, 1, 1)},   {L"frame.gif", Gif(16, 16, 1, 20000, 20000)},
        {L"strips.tif", TiffPages(20000, 20000, 1)}, {L"huge.bmp", BmpHeader(30000, -30000)},
        {L"oversized.ico", kHugeIcon},               {L"oversized.jpg", kHugeJpeg}};
    for (const auto& [name, bytes] : bombs) {
        SCOPED_TRACE(Narrow(name));
        const std::wstring path = WriteFile(name, bytes);
        ExpectError(NewRaster()->LoadFile(Bstr(path).get()), E_FAIL,
                    L"GDI+ error occured in LoadFile method of the RasterObject object*");
        auto stream = StreamOver(bytes);
        EXPECT_EQ(NewRaster()->LoadStream(stream.get()), E_FAIL);
        EXPECT_NE(TakeThreadError().description.find(L"GDI+ status code 3"), std::wstring::npos);
        ULARGE_INTEGER position{};
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position);
        EXPECT_EQ(position.QuadPart, bytes.size());
        EXPECT_EQ(NewCollection()->LoadMultiframeImage(Bstr(path).get(), VARIANT_TRUE), E_FAIL);
        EXPECT_NE(TakeThreadError().description.find(L"GDI+ status code 3"), std::wstring::npos);
    }
    EXPECT_EQ(NewCollection()->LoadMultiframeImage(Bstr(WriteFile(L"good.ico", MakeIcon())).get(), VARIANT_TRUE), S_OK);
    // Frames and pages each within the limit, together beyond it.
    for (const auto& [name, bytes] : {std::pair{L"animation.gif", Gif(4000, 4000, 300, 4000, 4000)},
                                      std::pair{L"pages.tif", TiffPages(6000, 6000, 8)}}) {
        SCOPED_TRACE(Narrow(name));
        auto collection = NewCollection();
        ExpectError(collection->LoadMultiframeImage(Bstr(WriteFile(name, bytes)).get(), VARIANT_TRUE), E_FAIL,
                    L"GDI+ error occured in LoadMultiframeImage method of the RasterCollection object*",
                    "Rastelle.RasterCollection.1", IID_IRasterCollection);
        EXPECT_EQ(CountOf(collection.get()), 0);
    }
}

TEST(BitmapGuard, SizesOverTheLimitFailBeforeGdiplusIsCalled) {
    // 23170 x 23170 at 32 bits is 2 147 395 600 bytes; 65536 x 8193 x 4 overflows an int.
    using platform::BitmapSizeAllowed;
    EXPECT_EQ((std::vector<bool>{BitmapSizeAllowed(23170, 23170, 32), BitmapSizeAllowed(23171, 23171, 32),
                                 BitmapSizeAllowed(65536, 8193, 32), BitmapSizeAllowed(0x7FFFFFFF, 0x7FFFFFFF, 8),
                                 BitmapSizeAllowed(40000, 40000, 8)}),
              (std::vector<bool>{true, false, false, false, true}));
    Gdiplus::GpBitmap* bitmap = reinterpret_cast<Gdiplus::GpBitmap*>(1);
    EXPECT_EQ(platform::CreateBitmap(40000, 40000, PixelFormat32bppARGB, &bitmap), Gdiplus::OutOfMemory);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(platform::CreateBitmap(8, 8, 0x12345, &bitmap), Gdiplus::InvalidParameter)
        << "only the formats the system uses are made";
}

}  // namespace
}  // namespace rastelle::test
