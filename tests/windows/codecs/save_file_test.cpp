// SaveFile: formats chosen by OutputFileType or by an encoder object, what
// reaches the file, and the errors of a failing save.
#include "codecs/codecs_test_support.h"

#include "codecs/encode.h"
#include "codecs/encoder_choice.h"
#include "com/errors.h"

#include <tiffio.h>

#include <cstdlib>
#include <fstream>

namespace rastelle::test {
namespace {

HRESULT Save(IRasterObject* raster, const std::wstring& path, IDispatch* encoder = nullptr) {
    return raster->SaveFile(Bstr(path).get(), encoder);
}

ComPtr<IRasterObject> Load(const std::wstring& path) {
    auto raster = NewRaster();
    EXPECT_EQ(raster->LoadFile(Bstr(path).get()), S_OK) << Narrow(path);
    return raster;
}

OutputFileTypes CurrentType(IRasterObject* raster) {
    OutputFileTypes type = oftUnknown;
    raster->get_CurrentFileType(&type);
    return type;
}

void ExpectSize(IRasterObject* raster, LONG width, LONG height) {
    LONG w = 0;
    LONG h = 0;
    raster->get_Width(&w);
    raster->get_Height(&h);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
}

void ExpectClose(const std::vector<std::uint32_t>& actual, const std::vector<std::uint32_t>& expected, int tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>((actual[i] >> shift) & 0xFF);
            const int e = static_cast<int>((expected[i] >> shift) & 0xFF);
            ASSERT_LE(std::abs(a - e), tolerance) << "pixel " << i << " channel shift " << shift;
        }
        ASSERT_EQ(actual[i] >> 24, 0xFFu);
    }
}

// Pixels that use alpha: opaque, half and fully transparent.
std::vector<std::uint32_t> PixelsWithAlpha() {
    return {0xFFFF0000, 0x8000FF00, 0x00000000, 0xFF123456, 0x01FFFFFF, 0xC0ABCDEF,
            0xFF000000, 0xFFFFFFFF, 0x40102030, 0xFF808080, 0x7F7F7F7F, 0xFE010203};
}

// A smooth image, which JPEG reproduces closely.
std::vector<std::uint32_t> SmoothImage(int width, int height) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(0xFF000080u | static_cast<std::uint32_t>(x * 8) << 16 |
                             static_cast<std::uint32_t>(y * 8) << 8);
    return pixels;
}

std::vector<std::uint32_t> Noise(int count) {
    std::vector<std::uint32_t> pixels;
    std::uint32_t seed = 99;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        pixels.push_back(0xFF000000u | (seed >> 8));
    }
    return pixels;
}

// The first quantisation table of a JPEG file (64 values in zig-zag order).
std::vector<int> FirstQuantisationTable(const std::vector<std::uint8_t>& jpeg) {
    for (size_t i = 2; i + 4 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) {
            const size_t start = i + 5;  // marker, length, precision/id
            if ((jpeg[i + 4] >> 4) != 0 || start + 64 > jpeg.size()) return {};
            return std::vector<int>(jpeg.begin() + static_cast<std::ptrdiff_t>(start),
                                    jpeg.begin() + static_cast<std::ptrdiff_t>(start + 64));
        }
    }
    return {};
}

struct TiffTags {
    bool opened = false;
    std::uint16_t compression = 0, samples = 0, bits = 0, photometric = 0, extraCount = 0, extra = 0;
};

TiffTags ReadTiffTags(const std::wstring& path) {
    TiffTags tags;
    TIFF* tif = TIFFOpenW(path.c_str(), "r");
    if (!tif) return tags;
    tags.opened = true;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &tags.compression);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &tags.samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &tags.bits);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &tags.photometric);
    std::uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &tags.extraCount, &extra) && extra && tags.extraCount > 0)
        tags.extra = extra[0];
    TIFFClose(tif);
    return tags;
}

template <class Itf>
ComPtr<IDispatch> AsDispatch(const ComPtr<Itf>& object) {
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(object.As(dispatch), S_OK);
    return dispatch;
}

ComPtr<IDispatch> JpegEncoder(LONG quality) {
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    jpeg->put_Quality(quality);
    return AsDispatch(jpeg);
}

ComPtr<IDispatch> TiffEncoder(TIFFCompressionTypes compression, ColorDepths depth, ColorSpaces space = csRGB) {
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    tiff->put_CompressionType(compression);
    tiff->put_ColorDepth(depth);
    tiff->put_ColorSpace(space);
    return AsDispatch(tiff);
}

ComPtr<IDispatch> BmpEncoder(ColorDepths depth) {
    auto bmp = NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    bmp->put_ColorDepth(depth);
    return AsDispatch(bmp);
}

std::wstring SaveFileFailure(Status status, DWORD win32Error) {
    return com::FailureMessage(status, "RasterObject", "SaveFile", win32Error);
}

TEST(SaveFile, RoundTripsThroughEveryEncoderChosenByOutputFileType) {
    const auto alpha = PixelsWithAlpha();
    const auto opaque = OpaqueGradient(7, 5);
    const auto smooth = SmoothImage(16, 12);
    struct Case {
        OutputFileTypes type;
        const wchar_t* name;
        int width, height;
        const std::vector<std::uint32_t>* pixels;
        int tolerance;  // -1: exact
    } cases[] = {
        {oftPNG, L"round.png", 4, 3, &alpha, -1},
        {oftTIFF, L"round.tif", 4, 3, &alpha, -1},
        {oftBMP, L"round.bmp", 7, 5, &opaque, -1},
        {oftJPEG, L"round.jpg", 16, 12, &smooth, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        auto raster = RasterWith(c.width, c.height, *c.pixels);
        ASSERT_EQ(raster->put_OutputFileType(c.type), S_OK);
        ASSERT_EQ(Save(raster.get(), TempPath(c.name)), S_OK);
        auto loaded = Load(TempPath(c.name));
        EXPECT_EQ(CurrentType(loaded.get()), c.type);
        ExpectSize(loaded.get(), c.width, c.height);
        if (c.tolerance < 0)
            EXPECT_EQ(PixelsOf(loaded.get()), *c.pixels);
        else
            ExpectClose(PixelsOf(loaded.get()), *c.pixels, c.tolerance);
        EXPECT_EQ(PixelsOf(raster.get()), *c.pixels) << "saving leaves the object's image as it was";
    }
}

TEST(SaveFile, AnEncoderObjectOverridesOutputFileTypeAndTheFileName) {
    auto raster = RasterWith(7, 5, OpaqueGradient(7, 5));
    ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
    struct Case {
        ComPtr<IDispatch> encoder;
        OutputFileTypes type;
        std::vector<std::uint8_t> signature;
    } cases[] = {
        {JpegEncoder(90), oftJPEG, {0xFF, 0xD8, 0xFF}},
        {TiffEncoder(tctLZW, cd32bpp), oftTIFF, {'I', 'I', 42, 0}},
        {BmpEncoder(cd32bpp), oftBMP, {'B', 'M'}},
    };
    for (const Case& c : cases) {
        const std::wstring path = TempPath(L"decided-by-encoder.gif");
        ASSERT_EQ(Save(raster.get(), path, c.encoder.get()), S_OK);
        const auto bytes = ReadFileBytes(path);
        ASSERT_GE(bytes.size(), c.signature.size());
        EXPECT_TRUE(std::equal(c.signature.begin(), c.signature.end(), bytes.begin())) << c.type;
        EXPECT_EQ(CurrentType(Load(path).get()), c.type);
    }
    // Without encoder object the output file type decides, not the extension.
    ASSERT_EQ(raster->put_OutputFileType(oftBMP), S_OK);
    ASSERT_EQ(Save(raster.get(), TempPath(L"bitmap.jpg")), S_OK);
    EXPECT_EQ(CurrentType(Load(TempPath(L"bitmap.jpg")).get()), oftBMP);
}

TEST(SaveFile, JpegQualityChangesTheSizeAndTheQuantisationTables) {
    auto raster = RasterWith(32, 32, Noise(32 * 32));
    std::vector<size_t> sizes;
    std::vector<std::vector<int>> tables;
    for (LONG quality : {10, 50, 90}) {
        const std::wstring path = TempPath(L"quality" + std::to_wstring(quality) + L".jpg");
        ASSERT_EQ(Save(raster.get(), path, JpegEncoder(quality).get()), S_OK);
        const auto bytes = ReadFileBytes(path);
        sizes.push_back(bytes.size());
        tables.push_back(FirstQuantisationTable(bytes));
        ASSERT_EQ(tables.back().size(), 64u) << quality;
        EXPECT_EQ(CurrentType(Load(path).get()), oftJPEG);
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
    EXPECT_GT(tables[0][0], tables[1][0]);
    EXPECT_GT(tables[1][0], tables[2][0]);
    // The IJG scaling of the standard luminance table (first entry 16).
    EXPECT_EQ(tables[1][0], 16);
    EXPECT_EQ(tables[2][0], 3);
    EXPECT_EQ(tables[0][0], 80);
}

TEST(SaveFile, TiffCompressionAndColourDepthReachTheFile) {
    const auto pixels = PixelsWithAlpha();
    auto raster = RasterWith(4, 3, pixels);
    for (TIFFCompressionTypes compression : {tctNone, tctLZW}) {
        for (ColorDepths depth : {cd24bpp, cd32bpp}) {
            SCOPED_TRACE(testing::Message() << "compression " << compression << " depth " << depth);
            const std::wstring path = TempPath(L"options.tif");
            ASSERT_EQ(Save(raster.get(), path, TiffEncoder(compression, depth).get()), S_OK);
            const TiffTags tags = ReadTiffTags(path);
            ASSERT_TRUE(tags.opened);
            EXPECT_EQ(tags.compression, compression == tctLZW ? COMPRESSION_LZW : COMPRESSION_NONE);
            EXPECT_EQ(tags.bits, 8);
            EXPECT_EQ(tags.photometric, PHOTOMETRIC_RGB);
            EXPECT_EQ(tags.samples, depth == cd32bpp ? 4 : 3);
            if (depth == cd32bpp) {
                EXPECT_EQ(tags.extraCount, 1);
                EXPECT_EQ(tags.extra, EXTRASAMPLE_UNASSALPHA);
            }
            auto loaded = Load(path);
            EXPECT_EQ(CurrentType(loaded.get()), oftTIFF);
            std::vector<std::uint32_t> expected = pixels;
            if (depth == cd24bpp)
                for (auto& p : expected) p |= 0xFF000000u;  // alpha dropped, colours kept
            EXPECT_EQ(PixelsOf(loaded.get()), expected);
        }
    }
    // A colour depth the setter accepts but no encoder knows fails the save.
    const std::wstring kept = WriteFile(L"kept.tif", {1, 2, 3});
    ExpectError(Save(raster.get(), kept, TiffEncoder(tctLZW, static_cast<ColorDepths>(2)).get()), E_INVALIDARG,
                L"Wrong TIFF encoder parameters!", L"Rastelle.RasterObject.1", IID_IRasterObject);
    EXPECT_EQ(ReadFileBytes(kept).size(), 3u) << "the target is kept when the options are refused";
}

TEST(SaveFile, BmpEncoderObjectWith24BitsConvertsFirst) {
    auto raster = RasterWith(7, 5, OpaqueGradient(7, 5));
    const std::wstring path = TempPath(L"depth24.bmp");
    ASSERT_EQ(Save(raster.get(), path, BmpEncoder(cd24bpp).get()), S_OK);
    const auto bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 30u);
    EXPECT_EQ(bytes[28] | bytes[29] << 8, 24) << "bits per pixel of the header";
    EXPECT_EQ(PixelsOf(Load(path).get()), OpaqueGradient(7, 5));
}

TEST(SaveFile, TheObjectsResolutionIsWrittenBeforeEverySave) {
    auto raster = RasterWith(4, 3, PixelsWithAlpha());
    ASSERT_EQ(raster->put_HorizontalResolution(150.0f), S_OK);
    ASSERT_EQ(raster->put_VerticalResolution(200.0f), S_OK);
    struct Case {
        const wchar_t* name;
        OutputFileTypes type;
        ComPtr<IDispatch> encoder;
    } cases[] = {
        {L"res.png", oftPNG, nullptr},
        {L"res.bmp", oftBMP, nullptr},
        {L"res.tif", oftTIFF, nullptr},
        {L"res.jpg", oftJPEG, nullptr},
        {L"res-quality.jpg", oftPNG, JpegEncoder(80)},
        {L"res-options.tif", oftPNG, TiffEncoder(tctNone, cd24bpp)},
        {L"res-24.bmp", oftPNG, BmpEncoder(cd24bpp)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        raster->put_OutputFileType(c.type);
        ASSERT_EQ(Save(raster.get(), TempPath(c.name), c.encoder.get()), S_OK);
        const Resolution resolution = ResolutionOfFile(TempPath(c.name));
        EXPECT_NEAR(resolution.horizontal, 150.0f, 0.05f);
        EXPECT_NEAR(resolution.vertical, 200.0f, 0.05f);
    }
    // The loaded image has the new-bitmap resolution, not the file's.
    float loaded = 0;
    Load(TempPath(L"res.png"))->get_HorizontalResolution(&loaded);
    EXPECT_NE(loaded, 150.0f);
}

TEST(SaveFile, AResolutionThePlatformRefusesFailsBeforeTheTargetIsTouched) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    ASSERT_EQ(raster->put_HorizontalResolution(0.0f), S_OK);
    const std::wstring path = WriteFile(L"untouched.png", {1, 2, 3, 4});
    ExpectError(Save(raster.get(), path), E_FAIL, SaveFileFailure(Gdiplus::InvalidParameter, 0),
                L"Rastelle.RasterObject.1", IID_IRasterObject);
    EXPECT_EQ(ReadFileBytes(path).size(), 4u);
}

TEST(SaveFile, TheOldFileIsDeletedEvenWhenTheSaveThenFails) {
    auto raster = RasterWith(4, 3, PixelsWithAlpha());
    raster->put_OutputFileType(oftPNG);
    for (ComPtr<IDispatch> encoder : {ComPtr<IDispatch>(), JpegEncoder(60)}) {
        const std::wstring path = WriteFile(L"doomed.png", {9, 9, 9});
        // Another holder allows deletion but not writing: the delete goes
        // through (the file vanishes when the holder closes), the save fails.
        HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        ExpectErrorPrefix(Save(raster.get(), path, encoder.get()), com::kErrSaveFile,
                          L"Windows error in RasterObject.SaveFile: ");
        CloseHandle(holder);
        EXPECT_FALSE(FileExists(path));
    }
}

TEST(SaveFile, FileSystemFailuresGiveTheWindowsFormOfTheMessage) {
    auto raster = RasterWith(4, 3, PixelsWithAlpha());
    raster->put_OutputFileType(oftPNG);
    const std::wstring missingFolder = TempPath(L"no-such-folder\\image.png");
    // Through the platform's encoder and through the system's own.
    ExpectError(Save(raster.get(), missingFolder), com::kErrSaveFile,
                SaveFileFailure(Gdiplus::GenericError, ERROR_PATH_NOT_FOUND), L"Rastelle.RasterObject.1",
                IID_IRasterObject);
    ExpectError(Save(raster.get(), missingFolder, JpegEncoder(50).get()), com::kErrSaveFile,
                SaveFileFailure(Gdiplus::GenericError, ERROR_PATH_NOT_FOUND), L"Rastelle.RasterObject.1",
                IID_IRasterObject);

    // A name that is a folder cannot be written.
    const std::wstring folder = TempPath(L"a-folder.png");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ExpectError(Save(raster.get(), folder), com::kErrSaveFile,
                SaveFileFailure(Gdiplus::GenericError, ERROR_ACCESS_DENIED), L"Rastelle.RasterObject.1",
                IID_IRasterObject);
    ExpectError(Save(raster.get(), folder, TiffEncoder(tctLZW, cd32bpp).get()), com::kErrSaveFile,
                SaveFileFailure(Gdiplus::GenericError, ERROR_ACCESS_DENIED), L"Rastelle.RasterObject.1",
                IID_IRasterObject);

    // A file another program holds open without sharing.
    const std::wstring locked = WriteFile(L"locked.png", {1});
    HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ExpectError(Save(raster.get(), locked), com::kErrSaveFile,
                SaveFileFailure(Gdiplus::GenericError, ERROR_SHARING_VIOLATION), L"Rastelle.RasterObject.1",
                IID_IRasterObject);
    CloseHandle(holder);
}

TEST(SaveFile, WithoutImageItFailsWithTheNoDataMessage) {
    auto raster = NewRaster();
    const std::wstring path = WriteFile(L"no-data.png", {1});
    ExpectError(Save(raster.get(), path), com::kErrSaveFile,
                L"Cannot save image to file, because there is no any data. Create new image or load it first.",
                L"Rastelle.RasterObject.1", IID_IRasterObject);
    EXPECT_TRUE(FileExists(path));
}

TEST(SaveFile, EncoderObjectsAreRecognisedInTheirQueryOrder) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    const std::wstring path = TempPath(L"queries.png");

    // An object that answers none: every kind is asked, SWF first, and the
    // last query's result is returned.
    auto none = FakeEncoder::Create();
    none->refusal = static_cast<HRESULT>(0x80041234);
    ExpectError(Save(raster.get(), path, none.get()), static_cast<HRESULT>(0x80041234), L"Wrong Encoder object!",
                L"Rastelle.RasterObject.1", IID_IRasterObject);
    const std::vector<IID> order = {IID_ISWFEncoderInfo, IID_IJPEGEncoderInfo, IID_ITIFFEncoderInfo,
                                    IID_IGIFEncoderInfo, IID_IBMPEncoderInfo};
    ASSERT_EQ(none->queried.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) EXPECT_TRUE(IsEqualIID(none->queried[i], order[i])) << i;

    // JPEG is asked before TIFF, so an object that is both saves JPEG.
    auto both = FakeEncoder::Create();
    both->answers = {{IID_ITIFFEncoderInfo, NewObject<IUnknown>(CLSID_TIFFEncoderInfo)},
                     {IID_IJPEGEncoderInfo, NewObject<IUnknown>(CLSID_JPEGEncoderInfo)}};
    ASSERT_EQ(Save(raster.get(), path, both.get()), S_OK);
    EXPECT_EQ(CurrentType(Load(path).get()), oftJPEG);
    EXPECT_EQ(both->queried.size(), 2u) << "SWF, then JPEG, which answers";

    // A raster object is an IDispatch, but no encoder.
    ComPtr<IDispatch> notAnEncoder;
    ASSERT_EQ(raster.As(notAnEncoder), S_OK);
    ExpectError(Save(raster.get(), path, notAnEncoder.get()), E_NOINTERFACE, L"Wrong Encoder object!",
                L"Rastelle.RasterObject.1", IID_IRasterObject);
}

TEST(SaveFile, AnUnreadableJpegQualityIsReportedWithTheReadsResult) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    auto encoder = FakeEncoder::Create();
    encoder->answers = {{IID_IJPEGEncoderInfo, FailingJpegInfo::Create(static_cast<HRESULT>(0x80047777))}};
    ExpectError(Save(raster.get(), TempPath(L"unread.jpg"), encoder.get()), static_cast<HRESULT>(0x80047777),
                L"Cannot get JPEG quality. It is possible Encoder object is wrong.", L"Rastelle.RasterObject.1",
                IID_IRasterObject);
}

// GIF, CMYK TIFF and SWF are written by the system's own writers, which are
// not part of this build yet: each save that needs one stops with a message
// that names it.
TEST(SaveFile, OutputsOfWritersStillToComeFailClearly) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    const std::wstring swfText = L"Cannot save SWF: the SWF writer is not available in this build.";
    raster->put_OutputFileType(oftSWF);
    ExpectError(Save(raster.get(), TempPath(L"movie.swf")), E_NOTIMPL, swfText, L"Rastelle.RasterObject.1",
                IID_IRasterObject);
    // An SWF encoder object wins over the output file type.
    raster->put_OutputFileType(oftJPEG);
    ExpectError(Save(raster.get(), TempPath(L"movie.jpg"), AsDispatch(NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo)).get()),
                E_NOTIMPL, swfText, L"Rastelle.RasterObject.1", IID_IRasterObject);

    raster->put_OutputFileType(oftGIF);
    ExpectError(Save(raster.get(), TempPath(L"image.gif")), E_NOTIMPL,
                L"Cannot save GIF: the GIF writer is not available in this build.", L"Rastelle.RasterObject.1",
                IID_IRasterObject);
    ExpectError(Save(raster.get(), TempPath(L"image.tif"), TiffEncoder(tctLZW, cd32bpp, csCMYK).get()), E_NOTIMPL,
                L"Cannot save CMYK TIFF: the CMYK writer is not available in this build.", L"Rastelle.RasterObject.1",
                IID_IRasterObject);
    // Any colour space other than CMYK, the count member included, is RGB.
    raster->put_OutputFileType(oftJPEG);
    ASSERT_EQ(Save(raster.get(), TempPath(L"space2.tif"), TiffEncoder(tctLZW, cd32bpp, static_cast<ColorSpaces>(2)).get()),
              S_OK);
    EXPECT_EQ(ReadTiffTags(TempPath(L"space2.tif")).photometric, PHOTOMETRIC_RGB);
}

TEST(EncoderChoice, EncodersAreFoundByTheirExactMimeType) {
    StartGdiplus();
    CLSID clsid{};
    EXPECT_GE(codecs::GetEncoderClsid(L"image/png", &clsid), 0);
    EXPECT_FALSE(IsEqualCLSID(clsid, CLSID_NULL));
    CLSID untouched{};
    EXPECT_EQ(codecs::GetEncoderClsid(L"image/PNG", &untouched), -1) << "the comparison is case-sensitive";
    EXPECT_EQ(codecs::GetEncoderClsid(L"image/x-none", &untouched), -1);
    EXPECT_TRUE(IsEqualCLSID(untouched, CLSID_NULL));

    codecs::EncoderSelection selection;
    EXPECT_EQ(codecs::SelectEncoderForOutputType(FileType::TIFF, selection), S_OK);
    EXPECT_EQ(Narrow(selection.mimeType), "image/tiff");
    for (FileType type : {FileType::SWF, FileType::Unknown, FileType::EMF}) {
        codecs::EncoderSelection refused;
        EXPECT_EQ(codecs::SelectEncoderForOutputType(type, refused), E_FAIL);
        EXPECT_EQ(Narrow(refused.message),
                  Narrow(WithSupportAddress(L"Cannot save file: requested file type does not supported. If you "
                                            L"see this message, please contact ")));
    }
}

TEST(EncoderChoice, TiffOptionsAreReadAsGdiplusValues) {
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    com::UniqueBstr named(std::wstring_view(L"C:\\profiles\\press.icc"));
    tiff->put_ICCProfileFilename(named.get());
    LONG depth = 0;
    LONG compression = 0;
    ColorSpaces space{};
    com::UniqueBstr profile;
    ASSERT_EQ(codecs::ReadTiffEncoderOptions(tiff.get(), &depth, &compression, &space, profile.put()), S_OK);
    EXPECT_EQ(compression, 2);
    EXPECT_EQ(depth, 32);
    EXPECT_EQ(space, csRGB);
    EXPECT_EQ(profile.view(), L"") << "the profile is read only for a non-RGB colour space";

    tiff->put_CompressionType(tctNone);
    tiff->put_ColorDepth(cd24bpp);
    tiff->put_ColorSpace(csCMYK);
    ASSERT_EQ(codecs::ReadTiffEncoderOptions(tiff.get(), &depth, &compression, &space, profile.put()), S_OK);
    EXPECT_EQ(compression, 6);
    EXPECT_EQ(depth, 24);
    EXPECT_EQ(space, csCMYK);
    EXPECT_EQ(profile.view(), named.view());
}

}  // namespace
}  // namespace rastelle::test
