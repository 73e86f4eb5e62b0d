// SaveFile as SWF: which movie the output type and an SWFEncoderInfo choose,
// the options that reach it, and the failures. (The native SWF writer tests
// check the movie's bytes, the bitmap tags and the character numbering.)
#include "test_support.h"

#include "com/errors.h"

namespace rastelle::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The tags of a movie file, code and body, up to End.
std::vector<std::pair<int, Bytes>> Tags(const std::wstring& name) {
    const Bytes file = ReadFileBytes(TempPath(name));
    std::vector<std::pair<int, Bytes>> tags;
    EXPECT_TRUE(file.size() > 21 && file[0] == 'F' && file[1] == 'W' && file[2] == 'S');
    for (std::size_t at = 21; at + 2 <= file.size();) {
        const unsigned word = file[at] | file[at + 1] << 8;
        std::size_t length = word & 63;
        at += 2;
        if (length == 63) length = file.at(at) | file.at(at + 1) << 8 | file.at(at + 2) << 16 | file.at(at + 3) << 24, at += 4;
        if (at + length > file.size()) {
            ADD_FAILURE() << "a tag runs past the end";
            break;
        }
        tags.emplace_back(word >> 6, Bytes(file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(at + length)));
        at += length;
    }
    return tags;
}

std::vector<int> Codes(const std::vector<std::pair<int, Bytes>>& tags) {
    std::vector<int> codes;
    for (const auto& tag : tags) codes.push_back(tag.first);
    return codes;
}

HRESULT SaveSwf(IRasterObject* raster, const std::wstring& name, IDispatch* encoder = nullptr) {
    return raster->SaveFile(Bstr(TempPath(name)).get(), encoder);
}

// A bitmap tag holds its size in 16 bits: a wider image is refused before
// the file is opened, with the text of a file that cannot be opened.
TEST(SaveSwf, OutputTypeGivesALosslessMovieOfTheImageOnWhiteOrRefusesWhatItCannotWrite) {
    auto raster = RasterWith(7, 5, NumberedPixels(7, 5));
    raster->put_OutputFileType(oftSWF);
    ASSERT_EQ(SaveSwf(raster.get(), L"lossless.swf"), S_OK);
    const auto tags = Tags(L"lossless.swf");
    ASSERT_EQ(Codes(tags), (std::vector<int>{9, 36, 32, 26, 1, 0}));
    EXPECT_EQ(tags[0].second, (Bytes{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(tags[1].second.begin(), tags[1].second.begin() + 7), (Bytes{1, 0, 5, 7, 0, 5, 0}))
        << "bitmap 1, 32-bit, 7 x 5";

    const wchar_t* text = L"Cannot save SWF file. It is possible permissions problem or wrong path.";
    ExpectError(SaveSwf(raster.get(), L"no such folder\\movie.swf"), com::kErrSaveFile, text);
    ASSERT_EQ(raster->EmptyImage(65536, 1, -1), S_OK);
    ExpectError(SaveSwf(raster.get(), L"too_wide.swf"), com::kErrSaveFile, text);
    EXPECT_FALSE(FileExists(TempPath(L"too_wide.swf")));
}

TEST(SaveSwf, EncoderObjectGivesAJpegMovieWhateverTheOutputType) {
    auto raster = RasterWith(40, 24, OpaqueGradient(40, 24));
    raster->put_OutputFileType(oftPNG);
    auto options = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    options->put_CompressionType(swfctJPEG), options->put_BackgroundColor(static_cast<LONG>(0xFF102030));
    options->put_JPEGQuality(90);
    ASSERT_EQ(SaveSwf(raster.get(), L"photo.png", AsDispatch(options).get()), S_OK);
    const auto tags = Tags(L"photo.png");
    ASSERT_EQ(Codes(tags), (std::vector<int>{9, 21, 32, 26, 1, 0}));
    EXPECT_EQ(tags[0].second, (Bytes{0x10, 0x20, 0x30}));
    // The JPEG inside (after the id and the empty tables' markers) is the image.
    const Bytes& body = tags[1].second;
    ASSERT_GT(body.size(), 12u);
    auto loaded = LoadedFile(WriteFile(L"inner.jpg", Bytes(body.begin() + 6, body.end() - 2)), oftJPEG);
    EXPECT_EQ(SizeOf(loaded.get()), std::make_pair(40L, 24L));

    // The quality reaches the encoder.
    options->put_JPEGQuality(5);
    ASSERT_EQ(SaveSwf(raster.get(), L"rough.swf", AsDispatch(options).get()), S_OK);
    EXPECT_LT(Tags(L"rough.swf").at(1).second.size(), body.size());
}

}  // namespace
}  // namespace rastelle::test
