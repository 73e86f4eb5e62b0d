// Loading and saving under hostile conditions: failure texts that name the
// real cause, TIFFs the platform's decoder misreads, images too large to
// hold.
#include "test_support.h"

#include "codecs/tiff_reader.h"
#include "tiff_expected.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace rastelle::test {
namespace {

std::wstring SystemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = text ? text : L"";
    LocalFree(text);
    return result;
}

HRESULT PutProperty(IDispatch* object, const wchar_t* name, LONG value) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = value;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &put, 1, 1};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

// The description of the error a failed call left.
std::wstring ErrorText(HRESULT hr) {
    EXPECT_TRUE(FAILED(hr));
    return TakeThreadError().description;
}

TEST(FailureTexts, SavesToAMissingFolderNameThePathWhateverTheEncoder) {
    auto raster = RasterWith(3, 2, OpaqueGradient(3, 2));
    const std::wstring target = TempPath(L"no such folder\\out.bmp");
    const std::wstring expected = L"Windows error in RasterObject.SaveFile: " + SystemText(ERROR_PATH_NOT_FOUND);

    auto bmp = NewObject<IDispatch>(CLSID_BMPEncoderInfo);
    ASSERT_EQ(PutProperty(bmp.get(), L"ColorDepth", 0), S_OK);  // cd24bpp: saved from a 24-bit clone
    EXPECT_EQ(Narrow(ErrorText(raster->SaveFile(Bstr(target).get(), bmp.get()))), Narrow(expected));
    ASSERT_EQ(PutProperty(bmp.get(), L"ColorDepth", 1), S_OK);
    EXPECT_EQ(Narrow(ErrorText(raster->SaveFile(Bstr(target).get(), bmp.get()))), Narrow(expected));
    auto gif = NewObject<IDispatch>(CLSID_GIFEncoderInfo);
    EXPECT_EQ(Narrow(ErrorText(raster->SaveFile(Bstr(TempPath(L"no such folder\\out.gif")).get(), gif.get()))),
              Narrow(expected));
    auto tiff = NewObject<IDispatch>(CLSID_TIFFEncoderInfo);  // LZW: the system's own encoder under Wine
    EXPECT_EQ(Narrow(ErrorText(raster->SaveFile(Bstr(TempPath(L"no such folder\\out.tif")).get(), tiff.get()))),
              Narrow(expected));
}

TEST(FailureTexts, DamagedFilesReportNoCodeLeftByEarlierCalls) {
    // An earlier call left "Not enough memory." (or "The system cannot find
    // the drive specified.") on the thread: a load that fails on its own must
    // not report it. Files of every format cut short, an empty one and one of
    // noise. (Wine's own code for a BMP cut in half is "Invalid handle.", set
    // by the load itself, so that one cannot serve as the stale code.)
    std::vector<std::vector<std::uint8_t>> damaged;
    for (const wchar_t* type : {L"image/png", L"image/jpeg", L"image/gif", L"image/tiff", L"image/bmp"}) {
        std::vector<std::uint8_t> bytes = EncodeWithGdiplus(16, 16, OpaqueGradient(16, 16), type);
        bytes.resize(bytes.size() / 2);
        damaged.push_back(bytes);
        bytes.resize(12);
        damaged.push_back(bytes);
    }
    damaged.push_back({});
    damaged.push_back(std::vector<std::uint8_t>(300, 0x5A));
    for (DWORD stale : {DWORD{ERROR_NOT_ENOUGH_MEMORY}, DWORD{ERROR_INVALID_DRIVE}}) {
        const std::string staleText = Narrow(SystemText(stale));
        for (size_t i = 0; i < damaged.size(); ++i) {
            const std::wstring path = WriteFile(L"damaged" + std::to_wstring(stale) + L"_" + std::to_wstring(i), damaged[i]);
            auto raster = NewRaster();
            SetLastError(stale);
            const std::string fromFile = Narrow(ErrorText(raster->LoadFile(Bstr(path).get())));
            EXPECT_EQ(fromFile.find(staleText), std::string::npos) << "file " << i << ": " << fromFile;
            SetLastError(stale);
            const std::string fromStream = Narrow(ErrorText(raster->LoadStream(StreamOver(damaged[i]).get())));
            EXPECT_EQ(fromStream.find(staleText), std::string::npos) << "stream " << i << ": " << fromStream;
        }
    }
}

// A fixture file embedded in the program.
std::vector<std::uint8_t> Fixture(const wchar_t* name) {
    HRSRC found = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!found) return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
    return std::vector<std::uint8_t>(data, data + SizeofResource(nullptr, found));
}

// How far a decoded image is from the expected samples: the largest channel
// difference, or -1 when the size differs.
int LargestDifference(IRasterObject* raster, const ExpectedTiff& expected) {
    if (SizeOf(raster) != std::pair<LONG, LONG>{expected.width, expected.height}) return -1;
    const std::vector<std::uint32_t> pixels = PixelsOf(raster);
    int largest = 0;
    size_t i = 0;
    for (int y = 0; y < expected.height; y += kTiffSampleStep)
        for (int x = 0; x < expected.width; x += kTiffSampleStep, ++i) {
            const std::uint32_t a = pixels[static_cast<size_t>(y) * expected.width + x], b = expected.samples[i];
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(largest, std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)));
        }
    return largest;
}

TEST(TiffDecoding, SixteenBitAndJpegTiffsGiveTheRightPixels) {
    // 16-bit samples (big-endian files) and old-style JPEG and JPEG-tiled
    // TIFFs, from files and from streams, against the build machine's decoding:
    // within one level (16-bit to 8-bit rounding and JPEG's inverse DCT may
    // differ by that).
    for (const ExpectedTiff& expected : kExpectedTiffs) {
        const std::vector<std::uint8_t> bytes = Fixture(expected.name);
        ASSERT_FALSE(bytes.empty()) << Narrow(expected.name);
        const std::wstring path = WriteFile(expected.name, bytes);
        auto fromFile = NewRaster();
        ASSERT_EQ(fromFile->LoadFile(Bstr(path).get()), S_OK) << Narrow(expected.name);
        EXPECT_EQ(std::get<3>(SettingsOf(fromFile.get())), oftTIFF);
        EXPECT_LE(LargestDifference(fromFile.get(), expected), 1) << Narrow(expected.name);
        EXPECT_GE(LargestDifference(fromFile.get(), expected), 0) << Narrow(expected.name);

        auto fromStream = NewRaster();
        ComPtr<IStream> stream = StreamOver(bytes);
        ASSERT_EQ(fromStream->LoadStream(stream.get()), S_OK) << Narrow(expected.name);
        EXPECT_EQ(PixelsOf(fromStream.get()), PixelsOf(fromFile.get())) << Narrow(expected.name);
    }
}

TEST(TiffDecoding, TheProbeFindsWhereThePlatformReadsSixteenBitsWrong) {
    // Wine reads big-endian 16-bit samples as their low bytes; its little-
    // endian ones are right. (On Windows both are right.)
    const codecs::TiffDecoderCapabilities platform = codecs::PlatformTiffDecoder();
    EXPECT_TRUE(platform.sixteenBitLittleEndian);
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        EXPECT_FALSE(platform.sixteenBitBigEndian);
    }
}

TEST(TiffDecoding, DamagedTiffsFailCleanly) {
    // Cut short, or with a page claiming 100000 x 100000 pixels: a failure
    // with an error object, never a crash or a huge allocation.
    std::vector<std::uint8_t> bytes = Fixture(L"quad-tile.jpg.tiff");
    ASSERT_FALSE(bytes.empty());
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 3));
    auto raster = NewRaster();
    EXPECT_TRUE(FAILED(raster->LoadStream(StreamOver(cut).get())));
    EXPECT_TRUE(TakeThreadError().present);

    std::vector<std::uint8_t> huge = Fixture(L"rgb-3c-16b.tiff");
    ASSERT_FALSE(huge.empty());
    // The first entries of the first directory are width and height (SHORT or
    // LONG, big-endian here): both become 100000 as LONGs.
    const std::uint32_t ifd = huge[4] << 24 | huge[5] << 16 | huge[6] << 8 | huge[7];
    for (int entry = 0; entry < 2; ++entry) {
        std::uint8_t* e = &huge[ifd + 2 + static_cast<size_t>(entry) * 12];
        const std::uint8_t longEntry[10] = {0, 4, 0, 0, 0, 1, 0, 0x01, 0x86, 0xA0};  // LONG, 1, 100000
        std::copy(std::begin(longEntry), std::end(longEntry), e + 2);
    }
    EXPECT_TRUE(FAILED(raster->LoadStream(StreamOver(huge).get())));
    EXPECT_TRUE(TakeThreadError().present);
}

TEST(ResourceLimits, ImagesTooLargeToHoldFailWithTheOutOfMemoryText) {
    // Over 2^31 - 1 bytes of pixels, or sizes whose byte count overflows.
    auto raster = NewRaster();
    for (auto [w, h] : {std::pair{40000, 40000}, std::pair{INT_MAX, INT_MAX}, std::pair{INT_MAX, 1},
                        std::pair{65536, 8193}}) {
        const std::string text = Narrow(ErrorText(raster->EmptyImage(w, h, -1)));
        EXPECT_NE(text.find("Out of memory"), std::string::npos) << w << "x" << h << ": " << text;
    }
    ASSERT_EQ(raster->EmptyImage(300, 200, -1), S_OK);
    EXPECT_TRUE(FAILED(raster->Resize(46341, 46341, rqtHighQualityBilinearMode, -1)));
    EXPECT_NE(Narrow(TakeThreadError().description).find("Out of memory"), std::string::npos);
}

// A measurement, not a check (run with --gtest_also_run_disabled_tests):
// the largest square image EmptyImage accepts in this process, found by
// bisection on the side.
TEST(ResourceLimits, DISABLED_LargestSquareImage) {
    auto raster = NewRaster();
    LONG accepted = 1, refused = 46341;  // 46341^2 * 4 bytes is over the limit
    while (refused - accepted > 1) {
        const LONG side = accepted + (refused - accepted) / 2;
        const bool ok = SUCCEEDED(raster->EmptyImage(side, side, 0));
        TakeThreadError();
        (ok ? accepted : refused) = side;
        raster->EmptyImage(1, 1, 0);  // let the big one go before the next try
    }
    std::printf("largest square image: %ld x %ld (%.0f MB)\n", static_cast<long>(accepted), static_cast<long>(accepted),
                4.0 * accepted * accepted / 1048576.0);
}

}  // namespace
}  // namespace rastelle::test
