// Loading and saving under hostile conditions: failure texts that name the
// real cause, TIFFs the platform's decoder misreads, images too large to
// hold.
#include "test_support.h"

#include "codecs/tiff_reader.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The description of the error a failed call left.
std::wstring ErrorText(HRESULT hr) {
    EXPECT_TRUE(FAILED(hr));
    return TakeThreadError().description;
}

TEST(FailureTexts, SavesToAMissingFolderNameThePathWhateverTheEncoder) {
    auto raster = RasterWith(3, 2, OpaqueGradient(3, 2));
    const std::string expected = Narrow(L"Windows error in RasterObject.SaveFile: " + SystemText(ERROR_PATH_NOT_FOUND));
    // BMP at 24 bits (saved from a 24-bit clone) and 32, GIF, and TIFF (LZW:
    // the system's own encoder under Wine).
    for (auto [clsid, depth, name] : {std::tuple{&CLSID_BMPEncoderInfo, 0, L"out.bmp"}, {&CLSID_BMPEncoderInfo, 1, L"out.bmp"},
                                      {&CLSID_GIFEncoderInfo, -1, L"out.gif"}, {&CLSID_TIFFEncoderInfo, -1, L"out.tif"}}) {
        auto encoder = NewObject<IDispatch>(*clsid);
        if (depth >= 0) {
            ASSERT_EQ(CallByName(encoder.get(), L"ColorDepth", DISPATCH_PROPERTYPUT, {LongVariant(depth)}), S_OK);
        }
        const std::wstring target = TempPath(std::wstring(L"no such folder\\") + name);
        EXPECT_EQ(Narrow(ErrorText(raster->SaveFile(Bstr(target).get(), encoder.get()))), expected) << Narrow(name);
    }
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

TEST(TiffDecoding, SixteenBitAndJpegTiffsGiveTheRightPixels) {
    // 16-bit samples (big-endian files) and old-style JPEG and JPEG-tiled
    // TIFFs, from files and from streams, against the build machine's decoding
    // (<name>.argb: width, height, then every 5th pixel of every 5th row):
    // within one level (16-bit to 8-bit rounding and JPEG's inverse DCT may
    // differ by that).
    for (const std::wstring name : {L"rgb-3c-16b.tiff", L"minisblack-1c-16b.tiff",
                                    L"ojpeg_zackthecat_subsamp22_single_strip.tiff", L"quad-tile.jpg.tiff"}) {
        SCOPED_TRACE(Narrow(name));
        const std::vector<std::uint8_t> bytes = Fixture(name.c_str()), samples = Fixture((name + L".argb").c_str());
        ASSERT_FALSE(bytes.empty() || samples.size() < 8);
        std::vector<std::uint32_t> expected(samples.size() / 4);
        std::memcpy(expected.data(), samples.data(), samples.size());
        const int width = static_cast<int>(expected[0]), height = static_cast<int>(expected[1]);
        ASSERT_EQ(expected.size(), 2 + (size_t(width) + 4) / 5 * ((size_t(height) + 4) / 5));
        auto fromFile = NewRaster();
        ASSERT_EQ(fromFile->LoadFile(Bstr(WriteFile(name, bytes)).get()), S_OK);
        EXPECT_EQ(std::get<3>(SettingsOf(fromFile.get())), oftTIFF);
        ASSERT_EQ(SizeOf(fromFile.get()), (std::pair<LONG, LONG>{width, height}));
        const std::vector<std::uint32_t> pixels = PixelsOf(fromFile.get());
        int largest = 0;
        size_t i = 2;
        for (int y = 0; y < height; y += 5)
            for (int x = 0; x < width; x += 5, ++i)
                for (int shift = 0; shift < 32; shift += 8)
                    largest = std::max(largest, std::abs(static_cast<int>(pixels[size_t(y) * width + x] >> shift & 0xFF) -
                                                         static_cast<int>(expected[i] >> shift & 0xFF)));
        EXPECT_LE(largest, 1);
        auto fromStream = NewRaster();
        ASSERT_EQ(fromStream->LoadStream(StreamOver(bytes).get()), S_OK);
        EXPECT_EQ(PixelsOf(fromStream.get()), pixels);
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
