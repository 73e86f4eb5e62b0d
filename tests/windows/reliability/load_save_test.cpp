// Loads and saves under hostile conditions and against peers: failure texts
// that name the real cause, the system's decoders against djpeg, Pillow,
// dwebp, libtiff's samples and Little CMS, the PNG writer against the
// platform's decoder, and the largest image this process can hold.
#include "test_support.h"

#include "icc_jpeg.h"
#include "platform/gdiplus.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace rastelle::test {
namespace {

// The description of the error a failed call left.
std::string ErrorText(HRESULT hr) {
    EXPECT_TRUE(FAILED(hr));
    return Narrow(TakeThreadError().description);
}

TEST(FailureTexts, DamagedFilesReportNoCodeLeftByEarlierCalls) {
    // An earlier call left "The system cannot find the drive specified." on
    // the thread: a load that fails on its own must not report it. Files of
    // every format cut short, an empty one and one of noise.
    std::vector<std::vector<std::uint8_t>> damaged = {{}, std::vector<std::uint8_t>(300, 0x5A)};
    for (const wchar_t* type : {L"image/png", L"image/jpeg", L"image/gif", L"image/tiff", L"image/bmp"}) {
        std::vector<std::uint8_t> bytes = EncodeWithGdiplus(16, 16, OpaqueGradient(16, 16), type);
        for (size_t size : {bytes.size() / 2, size_t{12}}) damaged.emplace_back(bytes.begin(), bytes.begin() + size);
    }
    const std::string stale = Narrow(SystemText(ERROR_INVALID_DRIVE));
    for (size_t i = 0; i < damaged.size(); ++i) {
        auto raster = NewRaster();
        SetLastError(ERROR_INVALID_DRIVE);
        const std::string fromFile =
            ErrorText(raster->LoadFile(Bstr(WriteFile(L"damaged" + std::to_wstring(i), damaged[i])).get()));
        SetLastError(ERROR_INVALID_DRIVE);
        const std::string fromStream = ErrorText(raster->LoadStream(StreamOver(damaged[i]).get()));
        EXPECT_EQ((fromFile + fromStream).find(stale), std::string::npos) << i << ": " << fromFile << " / " << fromStream;
    }
}

// A fixture file embedded in the program.
std::vector<std::uint8_t> Fixture(const std::wstring& name) {
    HRSRC found = FindResourceW(nullptr, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!found) return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
    return std::vector<std::uint8_t>(data, data + SizeofResource(nullptr, found));
}

// The pixels of a binary PPM (djpeg's output) as opaque ARGB, after its
// width and height.
std::vector<std::uint32_t> PpmPixels(const std::vector<std::uint8_t>& ppm) {
    int width = 0, height = 0, maximum = 0, used = 0;
    const std::string header(ppm.begin(), ppm.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(ppm.size(), 64)));
    if (std::sscanf(header.c_str(), "P6 %d %d %d%n", &width, &height, &maximum, &used) != 3 || maximum != 255) return {};
    const size_t start = static_cast<size_t>(used) + 1;
    if (ppm.size() < start + size_t(width) * height * 3) return {};
    std::vector<std::uint32_t> argb{std::uint32_t(width), std::uint32_t(height)};
    for (size_t i = start; i < start + size_t(width) * height * 3; i += 3)
        argb.push_back(0xFF000000u | std::uint32_t(ppm[i]) << 16 | std::uint32_t(ppm[i + 1]) << 8 | ppm[i + 2]);
    return argb;
}

TEST(JpegDecoding, GivesDjpegsPixelsForBaselineProgressiveAndArithmeticFiles) {
    for (const std::wstring name : {L"testorig.jpg", L"testimgint.jpg", L"testimgari.jpg"}) {
        SCOPED_TRACE(Narrow(name));
        const std::vector<std::uint8_t> bytes = Fixture(name);
        std::vector<std::uint32_t> expected = PpmPixels(Fixture(name + L".ppm"));
        ASSERT_FALSE(bytes.empty() || expected.empty()) << "the reference files were not made (djpeg missing?)";
        const std::pair<LONG, LONG> size{LONG(expected[0]), LONG(expected[1])};
        expected.erase(expected.begin(), expected.begin() + 2);
        const auto fromFile = LoadedFile(WriteFile(name, bytes), oftJPEG);
        EXPECT_EQ(SizeOf(fromFile.get()), size);
        EXPECT_TRUE(PixelsOf(fromFile.get()) == expected) << "the file's pixels differ from djpeg's";
        EXPECT_TRUE(PixelsOf(LoadedStream(bytes, oftJPEG).get()) == expected) << "the stream's pixels differ";
    }
}

// A reference file made at configure time: per image file its name, bytes,
// size and a peer's decoding of it as ARGB. Each file is loaded from a stream
// (and every third from a file); the result lists the files loaded as
// another type or with other pixels. files counts them.
std::vector<std::string> DifferencesFromReference(const std::vector<std::uint8_t>& suite, OutputFileTypes type,
                                                  size_t& files) {
    size_t at = 0;
    files = 0;
    const auto take = [&](size_t bytes) { return suite.data() + (at += bytes) - bytes; };
    const auto number = [&] {
        std::uint32_t value = 0;
        std::memcpy(&value, take(4), 4);
        return value;
    };
    std::vector<std::string> different;
    while (at < suite.size()) {
        const std::uint32_t nameLength = number();
        const std::string name(reinterpret_cast<const char*>(take(nameLength)), nameLength);
        const std::uint32_t length = number();
        const std::uint8_t* start = take(length);
        const std::vector<std::uint8_t> file(start, start + length);
        const std::uint32_t width = number(), height = number();
        std::vector<std::uint32_t> expected(size_t(width) * height);
        std::memcpy(expected.data(), take(expected.size() * 4), expected.size() * 4);
        auto raster = NewRaster();
        OutputFileTypes loadedType = oftUnknown;
        const HRESULT loaded = files % 3 == 2 ? raster->LoadFile(Bstr(WriteFile(L"reference.img", file)).get())
                                              : raster->LoadStream(StreamOver(file).get());
        raster->get_CurrentFileType(&loadedType);
        if (loaded != S_OK || loadedType != type) {
            different.push_back(name + " not loaded: " + std::to_string(loaded) + " type " + std::to_string(loadedType));
        } else if (const auto pixels = PixelsOf(raster.get()); pixels != expected) {
            size_t i = 0;
            while (i < pixels.size() && i < expected.size() && pixels[i] == expected[i]) ++i;
            char where[96];
            std::snprintf(where, sizeof where, " differs at pixel %zu: %08X, not %08X", i,
                          i < pixels.size() ? pixels[i] : 0u, i < expected.size() ? expected[i] : 0u);
            different.push_back(name + where);
        }
        ++files;
    }
    return different;
}

TEST(PngDecoding, GivesTheFilesSamplesForEveryFileOfThePngSuite) {
    // Pillow's pixels of every colour type, bit depth, interlacing, palette
    // and transparency chunk.
    const std::vector<std::uint8_t> suite = Fixture(L"pngsuite.bin");
    ASSERT_FALSE(suite.empty()) << "the reference file was not made (libspng's source or Pillow missing?)";
    size_t files = 0;
    EXPECT_EQ(DifferencesFromReference(suite, oftPNG, files), std::vector<std::string>{});
    EXPECT_GT(files, 150u);
}

TEST(WebPDecoding, GivesDwebpsPixelsForPillowsLossyLosslessAlphaAndAnimatedFiles) {
    // Of an animation, its first frame.
    const std::vector<std::uint8_t> suite = Fixture(L"webp_reference.bin");
    ASSERT_FALSE(suite.empty()) << "the reference file was not made (Pillow, dwebp or webpmux missing?)";
    size_t files = 0;
    EXPECT_EQ(DifferencesFromReference(suite, oftWebP, files), std::vector<std::string>{});
    EXPECT_EQ(files, 5u);
}

// Pixels of an encoded file as the platform's decoder reads them.
std::vector<std::uint32_t> PlatformPixels(const std::vector<std::uint8_t>& bytes) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromStream(StreamOver(bytes).get(), &bitmap) != Gdiplus::Ok) return {};
    UINT width = 0, height = 0;
    Gdiplus::DllExports::GdipGetImageWidth(bitmap, &width);
    Gdiplus::DllExports::GdipGetImageHeight(bitmap, &height);
    std::vector<std::uint32_t> pixels(size_t(width) * height);
    Gdiplus::BitmapData data{width, height, static_cast<INT>(width * 4), PixelFormat32bppARGB, pixels.data(), 0};
    const Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (Gdiplus::DllExports::GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                               PixelFormat32bppARGB, &data) == Gdiplus::Ok)
        Gdiplus::DllExports::GdipBitmapUnlockBits(bitmap, &data);
    Gdiplus::DllExports::GdipDisposeImage(bitmap);
    return pixels;
}

TEST(PngEncoding, ThePlatformsDecoderReadsOurFilesExactlyWithAndWithoutAlpha) {
    // Noise and smooth runs, so that every filter is chosen somewhere.
    std::vector<std::uint32_t> pixels(61 * 37);
    std::uint32_t seed = 7;
    for (size_t i = 0; i < pixels.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        pixels[i] = i % 61 < 30 ? seed : 0xFF000000u | static_cast<std::uint32_t>(i * 0x010203u);
    }
    for (const bool alpha : {true, false}) {
        if (!alpha)
            for (auto& p : pixels) p |= 0xFF000000u;
        auto raster = RasterWith(61, 37, pixels);
        raster->put_OutputFileType(oftPNG);
        ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"ours.png")).get()), S_OK);
        const auto bytes = ReadFileBytes(TempPath(L"ours.png"));
        ASSERT_GT(bytes.size(), 26u);
        EXPECT_EQ(bytes[25], alpha ? 6 : 2) << "colour type: truecolour, with alpha only when needed";
        EXPECT_EQ(PlatformPixels(bytes), pixels) << "alpha " << alpha;
    }
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
        const std::vector<std::uint8_t> bytes = Fixture(name), samples = Fixture(name + L".argb");
        ASSERT_FALSE(bytes.empty() || samples.size() < 8);
        std::vector<std::uint32_t> expected(samples.size() / 4);
        std::memcpy(expected.data(), samples.data(), samples.size());
        const int width = static_cast<int>(expected[0]), height = static_cast<int>(expected[1]);
        const auto fromFile = LoadedFile(WriteFile(name, bytes), oftTIFF);
        ASSERT_EQ(SizeOf(fromFile.get()), (std::pair<LONG, LONG>{width, height}));
        const std::vector<std::uint32_t> pixels = PixelsOf(fromFile.get());
        int largest = 0;
        size_t i = 2;
        for (int y = 0; y < height; y += 5)
            for (int x = 0; x < width; x += 5, ++i)
                for (int shift = 0; shift < 32; shift += 8)
                    largest = std::max(largest, std::abs(static_cast<int>(pixels[size_t(y) * width + x] >> shift & 0xFF) -
                                                         static_cast<int>(expected.at(i) >> shift & 0xFF)));
        EXPECT_LE(largest, 1);
        EXPECT_EQ(PixelsOf(LoadedStream(bytes, oftTIFF).get()), pixels);
    }
}

// A grey PNG of width x height black pixels: a few hundred kilobytes that
// decode to width x height x 4 bytes.
std::vector<std::uint8_t> BlackPng(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const auto put32 = [](std::vector<std::uint8_t>& out, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
    };
    auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        put32(png, static_cast<std::uint32_t>(data.size()));
        const size_t start = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        put32(png, static_cast<std::uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
    };
    std::vector<std::uint8_t> header;
    put32(header, width), put32(header, height);
    header.insert(header.end(), {8, 0, 0, 0, 0});
    chunk("IHDR", header);
    z_stream z{};
    deflateInit(&z, 9);
    const std::vector<std::uint8_t> row(width + 1, 0);  // filter byte and the samples
    std::vector<std::uint8_t> compressed, out(1 << 16);
    for (std::uint32_t y = 0; y < height; ++y) {
        z.next_in = const_cast<Bytef*>(row.data());
        z.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, flush);
            compressed.insert(compressed.end(), out.data(), out.data() + (out.size() - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    chunk("IDAT", compressed);
    chunk("IEND", {});
    return png;
}

// About 150 million pixels, within the pixel limit: on i686 the 2 GB address
// space cannot hold them with the decoder's own buffers, and the load fails
// with the out-of-memory text instead of crashing (a 64-bit process loads
// them, which takes seconds and 1.2 GB, so it is left to i686).
TEST(ResourceLimits, APictureTheAddressSpaceCannotHoldFailsCleanly) {
    if (sizeof(void*) == 8) GTEST_SKIP() << "a 64-bit process has the room";
    const std::wstring path = WriteFile(L"black-150mpx.png", BlackPng(12500, 12000));
    auto raster = NewRaster();
    const HRESULT hr = raster->LoadFile(Bstr(path).get());
    if (hr == S_OK) {
        EXPECT_EQ(SizeOf(raster.get()), std::make_pair(12500L, 12000L));
    } else {
        EXPECT_EQ(hr, E_FAIL);
        const std::wstring text = TakeThreadError().description;
        EXPECT_EQ(text.rfind(L"GDI+ error occured in LoadFile method of the RasterObject object", 0), 0u);
        EXPECT_NE(text.find(L"GDI+ status code 3"), std::wstring::npos) << Narrow(text);
    }
    std::printf("150 Mpx PNG on this architecture: 0x%08lX\n", static_cast<unsigned long>(hr));
}

TEST(JpegDecoding, AnEmbeddedProfileIsAppliedAsLittleCmsAppliesIt) {
    const ProfiledJpeg jpeg = MakeProfiledJpeg(48, 32);
    ASSERT_FALSE(jpeg.file.empty());
    ASSERT_NE(jpeg.converted, jpeg.decoded) << "the profile must change the pixels for the test to mean anything";
    EXPECT_TRUE(PixelsOf(LoadedFile(WriteFile(L"profiled.jpg", jpeg.file), oftJPEG).get()) == jpeg.converted);
    EXPECT_TRUE(PixelsOf(LoadedStream(jpeg.file, oftJPEG).get()) == jpeg.converted);
}

}  // namespace
}  // namespace rastelle::test
