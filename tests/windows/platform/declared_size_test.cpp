// Loads refuse a frame no bitmap can hold, going by the sizes the headers
// declare, before the platform's decoder sees them.
#include "test_support.h"

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

// Wine's icon decoder computes an image's bytes in 32 bits and overruns its
// buffer at 2^32; its JPEG decoder crashes at 2^31. Each load refuses such a
// file as out of memory (a stream is read once, to its end, before anything
// looks at it), and loads a sound file of the same kind as before.
TEST(DeclaredSize, LoadsRefuseFramesNoBitmapCanHold) {
    for (const std::wstring& path : {WriteFile(L"oversized.ico", kHugeIcon), WriteFile(L"oversized.jpg", kHugeJpeg)}) {
        auto raster = NewRaster();
        ExpectError(raster->LoadFile(Bstr(path).get()), E_FAIL,
                    L"GDI+ error occured in LoadFile method of the RasterObject object*");
        const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
        auto stream = StreamOver(bytes);
        EXPECT_EQ(raster->LoadStream(stream.get()), E_FAIL);
        EXPECT_NE(TakeThreadError().description.find(L"GDI+ status code 3"), std::wstring::npos);
        ULARGE_INTEGER position{};
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position);
        EXPECT_EQ(position.QuadPart, bytes.size());
        auto collection = NewObject<IRasterCollection>(CLSID_RasterCollection);
        EXPECT_EQ(collection->LoadMultiframeImage(Bstr(path).get(), VARIANT_TRUE), E_FAIL);
        EXPECT_NE(TakeThreadError().description.find(L"LoadMultiframeImage method"), std::wstring::npos);
    }
    const std::vector<std::uint32_t> pixels(4 * 4, 0xFF336699u);
    EXPECT_EQ(NewRaster()->LoadFile(Bstr(WriteFile(L"sound.jpg", EncodeWithGdiplus(4, 4, pixels, L"image/jpeg"))).get()),
              S_OK);
    auto collection = NewObject<IRasterCollection>(CLSID_RasterCollection);
    EXPECT_EQ(collection->LoadMultiframeImage(Bstr(WriteFile(L"sound.ico", MakeIcon())).get(), VARIANT_TRUE), S_OK);
}

}  // namespace
}  // namespace rastelle::test
