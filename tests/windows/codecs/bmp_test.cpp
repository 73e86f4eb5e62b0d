// BMP through our own decoder and encoder: every pixel layout a writer makes
// loads with its colours and opaque, both colour depths reach the file, and
// run-length encodings leave the pixels they skip transparent.
#include "test_support.h"

#include "kernels/flatten.h"

namespace rastelle::test {
namespace {

// A bitmap file: a 12-byte core header or a header of headerBytes with the
// given compression (and masks inside it, for the longer headers), then extra
// (masks or palette), then the rows as given.
std::vector<std::uint8_t> BmpFile(std::int32_t width, std::int32_t height, int bits, std::uint32_t headerBytes,
                                  std::uint32_t compression, const std::vector<std::uint8_t>& extra,
                                  const std::vector<std::uint8_t>& rows,
                                  const std::vector<std::uint32_t>& headerMasks = {}) {
    std::vector<std::uint8_t> info;
    PutLe(info, 4, {headerBytes});
    if (headerBytes == 12) {
        PutLe(info, 2, {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 1,
                        static_cast<std::uint32_t>(bits)});
    } else {
        PutLe(info, 4, {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)});
        PutLe(info, 2, {1, static_cast<std::uint32_t>(bits)});
        // Compression, data size, resolutions, palette entries.
        PutLe(info, 4, {compression, static_cast<std::uint32_t>(rows.size()), 0, 0,
                        bits <= 8 ? static_cast<std::uint32_t>(extra.size() / 4) : 0});
        info.resize(40);
        for (std::uint32_t mask : headerMasks) PutLe(info, 4, {mask});
        info.resize(headerBytes);
    }
    const std::uint32_t offset = static_cast<std::uint32_t>(14 + info.size() + extra.size());
    std::vector<std::uint8_t> file{'B', 'M'};
    PutLe(file, 4, {offset + static_cast<std::uint32_t>(rows.size()), 0, offset});
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), extra.begin(), extra.end());
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

std::vector<std::uint32_t> LoadedPixels(const std::vector<std::uint8_t>& file) {
    auto raster = NewRaster();
    EXPECT_EQ(raster->LoadStream(StreamOver(file).get()), S_OK);
    EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), oftBMP);
    return PixelsOf(raster.get());
}

TEST(BmpDecoding, EveryLayoutGivesItsColoursOpaque) {
    const std::vector<std::uint8_t> bgrxPalette = {0x00, 0x00, 0xFF, 0, 0x00, 0xFF, 0x00, 0, 0xFF, 0x00, 0x00, 0};
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        std::vector<std::uint32_t> expected;  // 3 x 2, top row first
    };
    const Case cases[] = {
        {"1 bit, top-down", BmpFile(3, -2, 1, 40, 0, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}),
         {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000}},
        {"4 bits, bottom-up, an index past the palette black",
         BmpFile(3, 2, 4, 40, 0, bgrxPalette, {0x01, 0x20, 0, 0, 0x21, 0xF0, 0, 0}),
         {0xFF0000FF, 0xFF00FF00, 0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF}},
        {"8 bits, core header with 3-byte entries",
         BmpFile(3, 2, 8, 12, 0, {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00}, {2, 1, 0, 0, 0, 0, 1, 0}),
         {0xFFFF0000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000}},
        {"16 bits 5-5-5, bits repeated into the low ones",
         BmpFile(3, 2, 16, 40, 0, {}, {0xFF, 0x7F, 0x10, 0x42, 0x00, 0x00, 0, 0, 0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C, 0, 0}),
         {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF, 0xFF848484, 0xFF000000}},
        {"16 bits 5-6-5 in bit fields",
         BmpFile(3, 2, 16, 40, 3, {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0},
                 {0x10, 0x84, 0x00, 0xF8, 0xE0, 0x07, 0, 0, 0xFF, 0xFF, 0x1F, 0x00, 0x00, 0x00, 0, 0}),
         {0xFFFFFFFF, 0xFF0000FF, 0xFF000000, 0xFF848284, 0xFFFF0000, 0xFF00FF00}},
        {"24 bits", BmpFile(3, 2, 24, 40, 0, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0}),
         {0xFF070809, 0xFF040506, 0xFF010203, 0xFF030201, 0xFF060504, 0xFF090807}},
        {"32 bits in a version 5 header with an alpha mask: the alpha is not read",
         BmpFile(3, 2, 32, 124, 3, {},
                 {1, 2, 3, 0x80, 4, 5, 6, 0, 7, 8, 9, 0xFF, 9, 8, 7, 0x10, 6, 5, 4, 0x20, 3, 2, 1, 0x30},
                 {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}),
         {0xFF070809, 0xFF040506, 0xFF010203, 0xFF030201, 0xFF060504, 0xFF090807}},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadedPixels(c.file), c.expected) << c.name;
}

TEST(BmpDecoding, RunLengthEncodingsRunDeltaAndAbsoluteBlocksAndSkippedPixelsAreTransparent) {
    const std::vector<std::uint8_t> palette = {0x00, 0x00, 0xFF, 0, 0x00, 0xFF, 0x00, 0, 0xFF, 0x00, 0x00, 0};
    constexpr std::uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, T = 0;
    // 8 bits, 4 x 3: a run of three 1s, end of line; an absolute block 2 0 1
    // (padded to a word), end of line; a delta of one right, a run of two 2s,
    // end of bitmap.
    EXPECT_EQ(LoadedPixels(BmpFile(4, 3, 8, 40, 1, palette,
                                   {3, 1, 0, 0, 0, 3, 2, 0, 1, 0, 0, 0, 0, 2, 1, 0, 2, 2, 0, 1})),
              (std::vector<std::uint32_t>{T, B, B, T, B, R, G, T, G, G, G, T}))
        << "RLE8";
    // 4 bits, 5 x 1: a run of five alternating 1 and 2, cut at the width.
    EXPECT_EQ(LoadedPixels(BmpFile(5, 1, 4, 40, 2, palette, {5, 0x12, 0, 1})),
              (std::vector<std::uint32_t>{G, B, G, B, G}))
        << "RLE4";
}

TEST(BmpEncoding, ThirtyTwoBitsKeepTheAlphaInTheFileAndTwentyFourDropIt) {
    const std::vector<std::uint32_t> pixels = {0x80FF0000, 0x00000000, 0xFF00FF00, 0x40123456};
    auto raster = RasterWith(2, 2, pixels);
    raster->put_OutputFileType(oftBMP);
    ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"alpha.bmp")).get(), nullptr), S_OK);
    const auto file = ReadFileBytes(TempPath(L"alpha.bmp"));
    ASSERT_EQ(file.size(), 54u + 16u);
    EXPECT_EQ(file[28], 32);
    // The bottom row first, each pixel BGRA with its straight alpha.
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 54, file.begin() + 62),
              (std::vector<std::uint8_t>{0x00, 0xFF, 0x00, 0xFF, 0x56, 0x34, 0x12, 0x40}));
    EXPECT_EQ(LoadedPixels(file), (std::vector<std::uint32_t>{0xFFFF0000, 0xFF000000, 0xFF00FF00, 0xFF123456}));

    // A stream at 24 bits is flattened against the white background first.
    auto bmp = NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    bmp->put_ColorDepth(cd24bpp);
    const auto flattened = LoadedPixels(SavedStream(raster.get(), AsDispatch(bmp).get()));
    EXPECT_EQ(flattened[1], kernels::kDefaultFlattenBackground) << "transparent black over the background";
    EXPECT_EQ(flattened[2], 0xFF00FF00u);
}

}  // namespace
}  // namespace rastelle::test
