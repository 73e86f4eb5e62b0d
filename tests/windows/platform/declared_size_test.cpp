// Sizes read from image headers before a decoder sees them, and the loads
// that refuse a frame no bitmap can hold.
#include "platform/file_signature.h"
#include "test_support.h"

#include <algorithm>
#include <cstring>

namespace rastelle::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutBe(Bytes& b, std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * (n - 1 - i)));
}

platform::DeclaredSize Declared(const Bytes& data) {
    const auto size = platform::LargestDeclaredFrame([&](std::uint64_t offset, std::uint8_t* into, std::size_t n) {
        if (offset >= data.size()) return std::size_t{0};
        n = std::min<std::size_t>(n, data.size() - static_cast<std::size_t>(offset));
        std::memcpy(into, data.data() + offset, n);
        return n;
    });
    return size;
}

Bytes Png(std::uint32_t width, std::uint32_t height) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    b.resize(33);
    PutBe(b, 16, width, 4);
    PutBe(b, 20, height, 4);
    return b;
}

// A JPEG with an APP0 segment, fill bytes and a progressive frame header.
Bytes Jpeg(std::uint32_t width, std::uint32_t height) {
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 6, 'J', 'F', 'I', 'F', 0xFF, 0xFF, 0xC2, 0, 11, 8, 0, 0, 0, 0, 1, 1, 0x11, 0};
    PutBe(b, 16, height, 2);
    PutBe(b, 18, width, 2);
    return b;
}

// An icon whose images are a DIB (height counted twice for its mask) and a PNG.
Bytes Icon(std::int32_t dibWidth, std::int32_t dibHeight, std::uint32_t pngWidth) {
    Bytes b(6 + 2 * 16 + 40);
    PutLe(b, 2, 1, 2);
    PutLe(b, 4, 2, 2);
    PutLe(b, 6 + 12, 38, 4);
    PutLe(b, 6 + 16 + 12, static_cast<std::uint32_t>(b.size()), 4);
    PutLe(b, 38, 40, 4);
    PutLe(b, 42, static_cast<std::uint32_t>(dibWidth), 4);
    PutLe(b, 46, static_cast<std::uint32_t>(dibHeight), 4);
    const Bytes png = Png(pngWidth, 1);
    b.insert(b.end(), png.begin(), png.end());
    return b;
}

TEST(DeclaredSize, ReadsEachFormatsHeaders) {
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    PutLe(gif, 6, 640, 2);
    PutLe(gif, 8, 480, 2);
    Bytes bmp(14 + 40);
    bmp[0] = 'B', bmp[1] = 'M';
    PutLe(bmp, 14, 40, 4);
    PutLe(bmp, 18, 300, 4);
    PutLe(bmp, 22, static_cast<std::uint32_t>(-200), 4);  // top-down
    Bytes coreBmp(14 + 12);
    coreBmp[0] = 'B', coreBmp[1] = 'M';
    PutLe(coreBmp, 14, 12, 4);
    PutLe(coreBmp, 18, 7, 2);
    PutLe(coreBmp, 20, 9, 2);
    Bytes cutJpeg = Jpeg(5, 5);
    cutJpeg.resize(14);
    const struct {
        const char* name;
        Bytes data;
        std::uint64_t width, height;
    } cases[] = {
        {"progressive JPEG", Jpeg(27838, 19005), 27838, 19005},
        {"JPEG cut before its frame", cutJpeg, 0, 0},
        {"PNG", Png(70000, 3), 70000, 3},
        {"GIF", gif, 640, 480},
        {"BMP", bmp, 300, 200},
        {"BMP with a core header", coreBmp, 7, 9},
        {"icon, DIB the larger", Icon(32, 0x10000040, 16), 32, 0x8000020},
        {"icon, PNG the larger", Icon(16, 32, 4000), 4000, 1},
        {"unknown data", Bytes(64, 0x42), 0, 0},
    };
    for (const auto& c : cases) {
        const auto size = Declared(c.data);
        EXPECT_EQ(std::make_pair(size.width, size.height), std::make_pair(c.width, c.height)) << c.name;
    }
}

// Wine's icon decoder computes an image's bytes in 32 bits and overruns its
// buffer at 2^32; its JPEG decoder crashes at 2^31. Each load refuses such a
// file as out of memory, leaves the stream where it was, and loads a sound
// file of the same kind as before.
TEST(DeclaredSize, LoadsRefuseFramesNoBitmapCanHold) {
    StartGdiplus();
    const std::wstring oversizedIcon = WriteFile(L"oversized.ico", Icon(32, 0x10000040, 16));
    const std::wstring oversizedJpeg = WriteFile(L"oversized.jpg", Jpeg(65535, 65535));
    for (const std::wstring& path : {oversizedIcon, oversizedJpeg}) {
        auto raster = NewRaster();
        EXPECT_EQ(raster->LoadFile(Bstr(path).get()), E_FAIL);
        EXPECT_NE(TakeThreadError().description.find(L"LoadFile method of the RasterObject object"), std::wstring::npos);

        auto stream = StreamOver(ReadFileBytes(path));
        EXPECT_EQ(raster->LoadStream(stream.get()), E_FAIL);
        EXPECT_NE(TakeThreadError().description.find(L"GDI+ status code 3"), std::wstring::npos);
        ULARGE_INTEGER position{};
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position);
        EXPECT_EQ(position.QuadPart, 0u);

        auto collection = NewObject<IRasterCollection>(CLSID_RasterCollection);
        EXPECT_EQ(collection->LoadMultiframeImage(Bstr(path).get(), VARIANT_TRUE), E_FAIL);
        EXPECT_NE(TakeThreadError().description.find(L"LoadMultiframeImage method"), std::wstring::npos);
    }
    const std::vector<std::uint32_t> pixels(4 * 4, 0xFF336699u);
    auto raster = NewRaster();
    EXPECT_EQ(raster->LoadFile(Bstr(WriteFile(L"sound.jpg", EncodeWithGdiplus(4, 4, pixels, L"image/jpeg"))).get()),
              S_OK);
    auto collection = NewObject<IRasterCollection>(CLSID_RasterCollection);
    EXPECT_EQ(collection->LoadMultiframeImage(Bstr(WriteFile(L"sound.ico", MakeIcon())).get(), VARIANT_TRUE), S_OK);
}

}  // namespace
}  // namespace rastelle::test
