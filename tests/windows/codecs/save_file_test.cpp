// SaveFile: the format chosen by OutputFileType or an encoder object, what
// reaches the file (pixels, options, resolution) and the failures; as SWF, the
// movie chosen and the options that reach it (the native tests check its bytes).
#include "test_support.h"
#include "fake_com.h"

#include "com/errors.h"
#include "platform/gdiplus_errors.h"
#include "../../support/swf_tags.h"

#include <tiffio.h>

namespace rastelle::test {
namespace {

// An IDispatch that logs the interfaces asked of it and answers those in
// `answers` with the object given for each.
struct FakeEncoder final : FakeDispatch<IDispatch> {
    std::vector<IID> queried;
    std::vector<std::pair<IID, ComPtr<IUnknown>>> answers;
    HRESULT refusal = E_NOINTERFACE;

    FakeEncoder() {
        otherwise = [this](REFIID iid, void** out) {
            queried.push_back(iid);
            for (auto& [answered, object] : answers)
                if (IsEqualIID(iid, answered)) return object->QueryInterface(iid, out);
            return refusal;
        };
    }
};

HRESULT Save(IRasterObject* raster, const std::wstring& name, IDispatch* encoder = nullptr) {
    return raster->SaveFile(Bstr(TempPath(name)).get(), encoder);
}

ComPtr<IRasterObject> Load(const std::wstring& name, OutputFileTypes type) { return LoadedFile(TempPath(name), type); }

ComPtr<IDispatch> Jpeg(LONG quality) {
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    return jpeg->put_Quality(quality), AsDispatch(jpeg);
}
ComPtr<IDispatch> Bmp(ColorDepths depth) {
    auto bmp = NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    return bmp->put_ColorDepth(depth), AsDispatch(bmp);
}

std::wstring SaveFailure(Status status, DWORD win32Error) {
    return platform::FailureMessage(status, "RasterObject", "SaveFile", win32Error);
}

// Opaque, half and fully transparent pixels (4 x 3).
const std::vector<std::uint32_t> kAlphaPixels = {0xFFFF0000, 0x8000FF00, 0x00000000, 0xFF123456,
                                                 0x01FFFFFF, 0xC0ABCDEF, 0xFF000000, 0xFFFFFFFF,
                                                 0x40102030, 0xFF808080, 0x7F7F7F7F, 0xFE010203};

// PNG keeps every alpha (TIFF's defaults, LZW at 32 bits, are checked with
// the TIFF options); an encoder object decides over the output type and the
// file name, and the output type over the file name.
TEST(SaveFile, RoundTripsAndAnEncoderObjectDecidesTheFormat) {
    auto raster = RasterWith(4, 3, kAlphaPixels);
    raster->put_OutputFileType(oftPNG);
    ASSERT_EQ(Save(raster.get(), L"round.png"), S_OK);
    EXPECT_EQ(PixelsOf(Load(L"round.png", oftPNG).get()), kAlphaPixels);
    raster = RasterWith(4, 3, OpaqueGradient(4, 3));
    raster->put_OutputFileType(oftPNG);
    ASSERT_EQ(Save(raster.get(), L"jpeg.gif", Jpeg(90).get()), S_OK);
    Load(L"jpeg.gif", oftJPEG);
    ASSERT_EQ(Save(raster.get(), L"bmp24.gif", Bmp(cd24bpp).get()), S_OK);
    EXPECT_EQ(PixelsOf(Load(L"bmp24.gif", oftBMP).get()), OpaqueGradient(4, 3));
    EXPECT_EQ(ReadFileBytes(TempPath(L"bmp24.gif"))[28], 24) << "24 bits per pixel";
    raster->put_OutputFileType(oftBMP);
    ASSERT_EQ(Save(raster.get(), L"bitmap.jpg"), S_OK);
    Load(L"bitmap.jpg", oftBMP);
}

// The luminance table of a JPEG file: its first value is the IJG scaling of
// the standard table's 16 at the quality.
TEST(SaveFile, JpegQualityScalesTheQuantisationTables) {
    auto raster = RasterWith(8, 8, OpaqueGradient(8, 8));
    std::vector<int> firstValues;
    for (LONG quality : {10, 50, 90}) {
        ASSERT_EQ(Save(raster.get(), L"q.jpg", Jpeg(quality).get()), S_OK);
        const auto jpeg = ReadFileBytes(TempPath(L"q.jpg"));
        for (size_t i = 2; i + 5 < jpeg.size(); ++i)
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) {
                firstValues.push_back(jpeg[i + 5]);
                break;
            }
    }
    EXPECT_EQ(firstValues, (std::vector<int>{80, 16, 3}));
}

TEST(SaveFile, TiffCompressionAndColourDepthReachTheFile) {
    auto raster = RasterWith(4, 3, kAlphaPixels);
    for (auto [compression, depth] : {std::pair{tctNone, cd24bpp}, std::pair{tctLZW, cd32bpp}}) {
        ASSERT_EQ(Save(raster.get(), L"options.tif", TiffOptions(compression, depth).get()), S_OK);
        const auto pages = ReadTiffPages(TempPath(L"options.tif"));
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(std::make_tuple(pages[0].compression, pages[0].bits, pages[0].samples, pages[0].unassociatedAlpha),
                  std::make_tuple(compression == tctLZW ? COMPRESSION_LZW : COMPRESSION_NONE, 8, depth == cd32bpp ? 4 : 3,
                                  depth == cd32bpp));
        auto expected = kAlphaPixels;
        if (depth == cd24bpp)
            for (auto& p : expected) p |= 0xFF000000u;  // alpha dropped, colours kept
        EXPECT_EQ(PixelsOf(Load(L"options.tif", oftTIFF).get()), expected);
    }
    // A depth the setter accepts but no encoder knows fails before the target
    // is touched; any colour space but CMYK is RGB.
    WriteFile(L"kept.tif", {1, 2, 3});
    ExpectError(Save(raster.get(), L"kept.tif", TiffOptions(tctLZW, static_cast<ColorDepths>(2)).get()), E_INVALIDARG,
                L"Wrong TIFF encoder parameters!");
    EXPECT_EQ(ReadFileBytes(TempPath(L"kept.tif")).size(), 3u);
    EXPECT_EQ(Save(raster.get(), L"space2.tif", TiffOptions(tctLZW, cd32bpp, static_cast<ColorSpaces>(2)).get()), S_OK);
}

TEST(SaveFile, TheObjectsResolutionIsWrittenBeforeEverySave) {
    auto raster = RasterWith(4, 3, kAlphaPixels);
    raster->put_HorizontalResolution(150.0f);
    raster->put_VerticalResolution(200.0f);
    // The platform's encoders, and the system's own JPEG and TIFF writers.
    for (auto [type, encoder] : {std::pair{oftPNG, ComPtr<IDispatch>()}, std::pair{oftBMP, ComPtr<IDispatch>()},
                                 std::pair{oftPNG, Jpeg(80)}, std::pair{oftPNG, TiffOptions(tctNone, cd24bpp)}}) {
        raster->put_OutputFileType(type);
        ASSERT_EQ(Save(raster.get(), L"resolution", encoder.get()), S_OK);
        const auto [horizontal, vertical] = ResolutionOf(ReadFileBytes(TempPath(L"resolution")));
        EXPECT_NEAR(horizontal, 150.0f, 0.05f) << type << (encoder ? " with encoder" : "");
        EXPECT_NEAR(vertical, 200.0f, 0.05f);
    }
    // A resolution the platform refuses stops the save before the target.
    raster->put_HorizontalResolution(0.0f);
    WriteFile(L"untouched.png", {1, 2, 3, 4});
    ExpectError(Save(raster.get(), L"untouched.png"), E_FAIL, SaveFailure(Gdiplus::InvalidParameter, 0));
    EXPECT_EQ(ReadFileBytes(TempPath(L"untouched.png")).size(), 4u);
}

TEST(SaveFile, FileSystemFailuresGiveTheWindowsFormOfTheMessageAndTheOldFileIsGone) {
    auto raster = RasterWith(4, 3, kAlphaPixels);
    raster->put_OutputFileType(oftPNG);
    // The old file is deleted even when the save then fails.
    for (ComPtr<IDispatch> encoder : {ComPtr<IDispatch>(), Jpeg(60)}) {
        const std::wstring path = WriteFile(L"doomed.png", {9, 9, 9});
        // A holder that allows deletion but not writing: the delete goes
        // through (the file vanishes when the holder closes), the save fails.
        HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        ExpectError(Save(raster.get(), L"doomed.png", encoder.get()), com::kErrSaveFile,
                    L"Windows error in RasterObject.SaveFile: *");
        CloseHandle(holder);
        EXPECT_FALSE(FileExists(path));
    }

    ASSERT_TRUE(CreateDirectoryW(TempPath(L"a-folder.png").c_str(), nullptr));
    const std::wstring locked = WriteFile(L"locked.png", {1});
    HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    // Through the platform's encoder and through the system's own.
    ExpectError(Save(raster.get(), L"a-folder.png"), com::kErrSaveFile, SaveFailure(Gdiplus::GenericError, ERROR_ACCESS_DENIED));
    ExpectError(Save(raster.get(), L"locked.png", Jpeg(50).get()), com::kErrSaveFile,
                SaveFailure(Gdiplus::GenericError, ERROR_SHARING_VIOLATION));
    CloseHandle(holder);

    // A missing folder, whatever writes the file: BMP at 24 bits (saved from
    // a 24-bit copy) and 32, GIF, and TIFF (the system's own LZW writer).
    for (const ComPtr<IDispatch>& encoder : {Bmp(cd24bpp), Bmp(cd32bpp), AsDispatch(NewObject<IGIFEncoderInfo>(CLSID_GIFEncoderInfo)),
                                             TiffOptions(tctLZW, cd32bpp)})
        ExpectError(Save(raster.get(), L"no such folder\\out", encoder.get()), com::kErrSaveFile,
                    SaveFailure(Gdiplus::Ok, ERROR_PATH_NOT_FOUND));

    ExpectError(Save(NewRaster().get(), L"locked.png"), com::kErrSaveFile,
                L"Cannot save image to file, because there is no any data. Create new image or load it first.");
    EXPECT_TRUE(FileExists(locked));
}

TEST(SaveFile, EncoderObjectsAreRecognisedInTheirQueryOrder) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    // An object that answers none is asked every kind, SWF first and WebP
    // last, and the last query's result is returned.
    auto none = MakeFake<FakeEncoder>();
    none->refusal = static_cast<HRESULT>(0x80041234);
    ExpectError(Save(raster.get(), L"queries.png", none.get()), none->refusal, L"Wrong Encoder object!");
    EXPECT_TRUE(none->queried == (std::vector<IID>{IID_ISWFEncoderInfo, IID_IJPEGEncoderInfo, IID_ITIFFEncoderInfo,
                                                   IID_IGIFEncoderInfo, IID_IBMPEncoderInfo, IID_IWebPEncoderInfo}));

    // JPEG is asked before TIFF, so an object that is both writes JPEG.
    auto both = MakeFake<FakeEncoder>();
    both->answers = {{IID_ITIFFEncoderInfo, NewObject<IUnknown>(CLSID_TIFFEncoderInfo)},
                     {IID_IJPEGEncoderInfo, NewObject<IUnknown>(CLSID_JPEGEncoderInfo)}};
    ASSERT_EQ(Save(raster.get(), L"both.png", both.get()), S_OK);
    Load(L"both.png", oftJPEG);
    EXPECT_EQ(both->queried.size(), 2u);
}

using Bytes = std::vector<std::uint8_t>;

// The tags of a movie file, code and body, up to End.
std::vector<std::pair<int, Bytes>> Tags(const std::wstring& name) {
    const Bytes file = ReadFileBytes(TempPath(name));
    EXPECT_TRUE(file.size() > 21 && file[0] == 'F' && file[1] == 'W' && file[2] == 'S');
    std::vector<std::pair<int, Bytes>> tags;
    for (const SwfTagSpan& t : WalkSwfTags(file))
        tags.emplace_back(t.code, Bytes(file.begin() + std::ptrdiff_t(t.body), file.begin() + std::ptrdiff_t(t.body + t.length)));
    return tags;
}

std::vector<int> Codes(const std::vector<std::pair<int, Bytes>>& tags) {
    std::vector<int> codes;
    for (const auto& tag : tags) codes.push_back(tag.first);
    return codes;
}

// A bitmap tag holds its size in 16 bits: a wider image is refused before
// the file is opened, with the text of a file that cannot be opened.
TEST(SaveSwf, OutputTypeGivesALosslessMovieOfTheImageOnWhiteOrRefusesWhatItCannotWrite) {
    auto raster = RasterWith(7, 5, NumberedPixels(7, 5));
    raster->put_OutputFileType(oftSWF);
    ASSERT_EQ(Save(raster.get(), L"lossless.swf"), S_OK);
    const auto tags = Tags(L"lossless.swf");
    ASSERT_EQ(Codes(tags), (std::vector<int>{9, 36, 32, 26, 1, 0}));
    EXPECT_EQ(tags[0].second, (Bytes{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(tags[1].second.begin(), tags[1].second.begin() + 7), (Bytes{1, 0, 5, 7, 0, 5, 0}))
        << "bitmap 1, 32-bit, 7 x 5";

    const wchar_t* text = L"Cannot save SWF file. It is possible permissions problem or wrong path.";
    ExpectError(Save(raster.get(), L"no such folder\\movie.swf"), com::kErrSaveFile, text);
    ASSERT_EQ(raster->EmptyImage(65536, 1, -1), S_OK);
    ExpectError(Save(raster.get(), L"too_wide.swf"), com::kErrSaveFile, text);
    EXPECT_FALSE(FileExists(TempPath(L"too_wide.swf")));
}

TEST(SaveSwf, EncoderObjectGivesAJpegMovieWhateverTheOutputType) {
    auto raster = RasterWith(40, 24, OpaqueGradient(40, 24));
    raster->put_OutputFileType(oftPNG);
    auto options = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    options->put_CompressionType(swfctJPEG), options->put_BackgroundColor(static_cast<LONG>(0xFF102030));
    options->put_JPEGQuality(90);
    ASSERT_EQ(Save(raster.get(), L"photo.png", AsDispatch(options).get()), S_OK);
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
    ASSERT_EQ(Save(raster.get(), L"rough.swf", AsDispatch(options).get()), S_OK);
    EXPECT_LT(Tags(L"rough.swf").at(1).second.size(), body.size());
}

}  // namespace
}  // namespace rastelle::test
