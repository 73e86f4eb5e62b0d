// SaveFile as SWF: the movie read back by a small reader of its own (tags
// walked, lossless pixels inflated and compared, the JPEG tag's framing and
// image checked), the options of an SWFEncoderInfo and the failures.
#include "test_support.h"

#include "com/errors.h"

#include <zlib.h>

namespace rastelle::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct SwfTagRecord {
    int code;
    Bytes body;
};

struct SwfFile {
    std::uint32_t declaredLength = 0;
    int frameCount = 0;
    std::vector<SwfTagRecord> tags;
};

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | b.at(at + static_cast<std::size_t>(i));
    return value;
}

// Header checks that hold for every saved movie, then the tags up to End.
SwfFile ReadSwf(const Bytes& file) {
    SwfFile swf;
    EXPECT_GE(file.size(), 23u);
    if (file.size() < 23) return swf;
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{'F', 'W', 'S', 5}));
    swf.declaredLength = Le(file, 4, 4);
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 19),
              (Bytes{0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x0C}));
    swf.frameCount = static_cast<int>(Le(file, 19, 2));
    std::size_t at = 21;
    while (at + 2 <= file.size()) {
        const std::uint32_t word = Le(file, at, 2);
        std::size_t length = word & 63;
        at += 2;
        if (length == 63) {
            length = Le(file, at, 4);
            at += 4;
        }
        if (at + length > file.size()) {
            ADD_FAILURE() << "tag runs past the end of the file";
            break;
        }
        swf.tags.push_back({static_cast<int>(word >> 6), Bytes(file.begin() + static_cast<std::ptrdiff_t>(at),
                                                               file.begin() + static_cast<std::ptrdiff_t>(at + length))});
        at += length;
        if (word >> 6 == 0) break;
    }
    EXPECT_EQ(at, file.size());
    return swf;
}

std::vector<int> Codes(const SwfFile& swf) {
    std::vector<int> codes;
    for (const auto& tag : swf.tags) codes.push_back(tag.code);
    return codes;
}

HRESULT SaveSwf(IRasterObject* raster, const std::wstring& name, IDispatch* encoder = nullptr) {
    return raster->SaveFile(Bstr(TempPath(name)).get(), encoder);
}

TEST(SaveSwf, LosslessMovieCarriesTheImagePixelsAsArgb) {
    std::vector<std::uint32_t> pixels = NumberedPixels(7, 5);
    pixels[3] = 0x80FF0000;  // semi-transparent: written with straight alpha
    pixels[9] = 0x00000000;
    auto raster = RasterWith(7, 5, pixels);
    raster->put_OutputFileType(oftSWF);
    ASSERT_EQ(SaveSwf(raster.get(), L"lossless.swf"), S_OK);

    const Bytes file = ReadFileBytes(TempPath(L"lossless.swf"));
    const SwfFile swf = ReadSwf(file);
    EXPECT_EQ(swf.declaredLength, file.size());
    EXPECT_EQ(swf.frameCount, 1);
    ASSERT_EQ(Codes(swf), (std::vector<int>{9, 36, 32, 26, 1, 0}));
    EXPECT_EQ(swf.tags[0].body, (Bytes{0xFF, 0xFF, 0xFF}));

    const Bytes& bitmap = swf.tags[1].body;
    ASSERT_GT(bitmap.size(), 7u);
    EXPECT_EQ(Bytes(bitmap.begin(), bitmap.begin() + 7), (Bytes{1, 0, 5, 7, 0, 5, 0}));
    Bytes inflated(7 * 5 * 4 + 16);
    uLongf size = static_cast<uLongf>(inflated.size());
    ASSERT_EQ(uncompress(inflated.data(), &size, bitmap.data() + 7, static_cast<uLong>(bitmap.size() - 7)), Z_OK);
    ASSERT_EQ(size, 7u * 5 * 4);
    std::vector<std::uint32_t> argb;  // stored A, R, G, B
    for (std::size_t i = 0; i < 4 * pixels.size(); i += 4)
        argb.push_back(std::uint32_t{inflated[i]} << 24 | inflated[i + 1] << 16 | inflated[i + 2] << 8 | inflated[i + 3]);
    EXPECT_EQ(argb, pixels);

    EXPECT_EQ(Le(swf.tags[2].body, 0, 2), 2u);  // the shape, filled with bitmap 1
    EXPECT_EQ(swf.tags[3].body, (Bytes{0x02, 0x00, 0x00, 0x02, 0x00}));
}

// Gentle shading that JPEG keeps within a few levels.
std::vector<std::uint32_t> Shading(int width, int height) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(0xFF000080u | static_cast<std::uint32_t>(x * 6) << 16 | static_cast<std::uint32_t>(y * 10) << 8);
    return pixels;
}

TEST(SaveSwf, EncoderObjectGivesAJpegMovieWhateverTheOutputType) {
    const std::vector<std::uint32_t> pixels = Shading(40, 24);
    auto raster = RasterWith(40, 24, pixels);
    raster->put_OutputFileType(oftPNG);
    auto options = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    options->put_CompressionType(swfctJPEG), options->put_BackgroundColor(static_cast<LONG>(0xFF102030));
    options->put_JPEGQuality(90);
    ASSERT_EQ(SaveSwf(raster.get(), L"photo.png", AsDispatch(options).get()), S_OK);

    const SwfFile swf = ReadSwf(ReadFileBytes(TempPath(L"photo.png")));
    ASSERT_EQ(Codes(swf), (std::vector<int>{9, 21, 32, 26, 1, 0}));
    EXPECT_EQ(swf.tags[0].body, (Bytes{0x10, 0x20, 0x30}));
    const Bytes& body = swf.tags[1].body;
    ASSERT_GT(body.size(), 12u);
    EXPECT_EQ(Bytes(body.begin(), body.begin() + 8), (Bytes{1, 0, 0xFF, 0xD9, 0xFF, 0xD8, 0xFF, 0xD8}));
    EXPECT_EQ(Bytes(body.end() - 4, body.end()), (Bytes{0xFF, 0xD9, 0xFF, 0xD9}));

    // The JPEG inside is a complete file of the image's size.
    const Bytes jpeg(body.begin() + 6, body.end() - 2);
    auto loaded = LoadedFile(WriteFile(L"inner.jpg", jpeg), oftJPEG);
    EXPECT_EQ(SizeOf(loaded.get()), std::make_pair(40L, 24L));
    const std::uint32_t centre = PixelsOf(loaded.get())[12 * 40 + 20], expected = pixels[12 * 40 + 20];
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(static_cast<int>((centre >> shift) & 0xFF), static_cast<int>((expected >> shift) & 0xFF), 12);

    // The quality reaches the encoder.
    options->put_JPEGQuality(5);
    ASSERT_EQ(SaveSwf(raster.get(), L"rough.swf", AsDispatch(options).get()), S_OK);
    EXPECT_LT(ReadSwf(ReadFileBytes(TempPath(L"rough.swf"))).tags.at(1).body.size(), body.size());
}

TEST(SaveSwf, UnopenableFileFailsAndTheNextMovieNumbersOn) {
    auto raster = RasterWith(3, 2, OpaqueGradient(3, 2));
    raster->put_OutputFileType(oftSWF);
    ExpectError(SaveSwf(raster.get(), L"no such folder\\movie.swf"), com::kErrSaveFile,
                L"Cannot save SWF file. It is possible permissions problem or wrong path.");
    // The bitmap's and the shape's ids, and the shape's fill.
    auto ids = [&] {
        EXPECT_EQ(SaveSwf(raster.get(), L"after_failure.swf"), S_OK);
        const SwfFile swf = ReadSwf(ReadFileBytes(TempPath(L"after_failure.swf")));
        EXPECT_EQ(swf.tags.size(), 6u);
        return swf.tags.size() < 4 ? std::make_tuple(0u, 0u, Bytes{})
                                   : std::make_tuple(Le(swf.tags[1].body, 0, 2), Le(swf.tags[2].body, 0, 2), swf.tags[3].body);
    };
    EXPECT_EQ(ids(), std::make_tuple(3u, 4u, Bytes{0x02, 0x00, 0x00, 0x04, 0x00}));
    EXPECT_EQ(std::get<0>(ids()), 1u);
}

// A bitmap tag holds its size in 16 bits: a wider image is refused before
// the file is opened.
TEST(SaveSwf, ImagesOverSixteenBitSizesAreRefused) {
    auto raster = NewRaster();
    ASSERT_EQ(raster->EmptyImage(65536, 1, -1), S_OK);
    raster->put_OutputFileType(oftSWF);
    ExpectError(SaveSwf(raster.get(), L"too_wide.swf"), com::kErrSaveFile,
                L"Cannot save SWF file. It is possible permissions problem or wrong path.");
    EXPECT_FALSE(FileExists(TempPath(L"too_wide.swf")));
}

}  // namespace
}  // namespace rastelle::test
