// Loads refuse frames beyond the pixel limit or beyond any bitmap, going by
// the sizes the headers declare, before the platform's decoder sees them.
#include "layers/layers_test_support.h"

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

void Put16(std::vector<std::uint8_t>& b, unsigned v, bool bigEndian = false) {
    if (bigEndian) b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
    else b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v, bool bigEndian = false) {
    if (bigEndian) Put16(b, v >> 16, true), Put16(b, v & 0xFFFF, true);
    else Put16(b, v & 0xFFFF), Put16(b, v >> 16);
}

std::vector<std::uint8_t> PngHeader(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    Put32(b, width, true), Put32(b, height, true);
    b.insert(b.end(), {8, 0, 0, 0, 0, 0, 0, 0, 0});  // grey, 8 bits; a CRC nobody checks first
    return b;
}

std::vector<std::uint8_t> JpegHeader(unsigned width, unsigned height) {
    std::vector<std::uint8_t> b = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8};
    Put16(b, height, true), Put16(b, width, true);
    b.insert(b.end(), {1, 1, 0x11, 0, 0xFF, 0xD9});
    return b;
}

// A GIF with a logical screen and `frames` image descriptors of the given
// size, each with a one-byte LZW block.
std::vector<std::uint8_t> Gif(unsigned screenWidth, unsigned screenHeight, unsigned frames, unsigned frameWidth,
                              unsigned frameHeight) {
    std::vector<std::uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(b, screenWidth), Put16(b, screenHeight);
    b.insert(b.end(), {0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF});  // a two-colour global table
    for (unsigned i = 0; i < frames; ++i) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0});  // a graphic control extension
        b.push_back(0x2C), Put16(b, 0), Put16(b, 0), Put16(b, frameWidth), Put16(b, frameHeight), b.push_back(0);
        b.insert(b.end(), {2, 1, 0x44, 0});
    }
    b.push_back(0x3B);
    return b;
}

// A TIFF of `pages` directories of width x height, strips that point nowhere.
std::vector<std::uint8_t> TiffPages(std::uint32_t width, std::uint32_t height, unsigned pages) {
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0};
    Put32(b, 8);
    for (unsigned page = 0; page < pages; ++page) {
        const std::uint32_t start = static_cast<std::uint32_t>(b.size());
        Put16(b, 4);
        for (auto [tag, value] : {std::pair{256u, width}, std::pair{257u, height}, std::pair{258u, 8u}, std::pair{273u, 8u}})
            Put16(b, tag), Put16(b, 4), Put32(b, 1), Put32(b, value);
        Put32(b, page + 1 < pages ? start + 2 + 4 * 12 + 4 : 0);
    }
    return b;
}

std::vector<std::uint8_t> BmpHeader(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> b = {'B', 'M'};
    Put32(b, 54), Put32(b, 0), Put32(b, 54), Put32(b, 40), Put32(b, std::uint32_t(width)), Put32(b, std::uint32_t(height));
    Put16(b, 1), Put16(b, 32);
    b.resize(54 + 64);
    return b;
}

// Small files that declare more pixels than the limit (by default about 179
// million) or than any bitmap can hold (Wine's icon decoder computes an
// image's bytes in 32 bits and overruns its buffer at 2^32; its JPEG decoder
// crashes at 2^31): each load is refused as out of memory from the headers,
// before anything is decoded (a stream is read once, to its end), and the
// collection's loads count every frame. Sound files of those kinds load.
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
    const auto jpeg = EncodeWithGdiplus(4, 4, OpaqueGradient(4, 4), L"image/jpeg");
    EXPECT_EQ(NewRaster()->LoadFile(Bstr(WriteFile(L"sound.jpg", jpeg)).get()), S_OK);
    const std::wstring icon = WriteFile(L"sound.ico", MakeIcon());
    EXPECT_EQ(NewCollection()->LoadMultiframeImage(Bstr(icon).get(), VARIANT_TRUE), S_OK);
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

}  // namespace
}  // namespace rastelle::test
