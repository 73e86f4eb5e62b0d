// WebP: the encoder object, still files through files and streams, animated
// files through the collection, and damaged files.
#include "layers/layers_test_support.h"

#include "com/errors.h"

#include <cmath>

namespace rastelle::test {
namespace {

using Pixels = std::vector<std::uint32_t>;

ComPtr<IWebPEncoderInfo> WebP(LONG quality, bool lossless, LONG effort = 4) {
    auto webp = NewObject<IWebPEncoderInfo>(CLSID_WebPEncoderInfo);
    webp->put_Quality(quality), webp->put_Lossless(lossless ? VARIANT_TRUE : VARIANT_FALSE), webp->put_Effort(effort);
    return webp;
}

// Every alpha, colours in smooth runs and noise.
Pixels Translucent(int width, int height) {
    Pixels pixels(size_t(width) * height);
    std::uint32_t seed = 17;
    for (size_t i = 0; i < pixels.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        pixels[i] = ((i % 5 ? static_cast<std::uint32_t>(i * 0x00030507u) : seed) & 0x00FFFFFFu) |
                    static_cast<std::uint32_t>(i * 7 % 256) << 24;
    }
    return pixels;
}

// Peak signal-to-noise ratio of the colour channels, in dB.
double Psnr(const Pixels& a, const Pixels& b) {
    double squared = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift : {0, 8, 16}) {
            const double d = double((a[i] >> shift) & 0xFF) - double((b[i] >> shift) & 0xFF);
            squared += d * d;
        }
    return 10 * std::log10(255.0 * 255.0 / (squared / double(a.size() * 3)));
}

TEST(WebPEncoderInfo, DefaultsAndClampedProperties) {
    auto webp = NewObject<IWebPEncoderInfo>(CLSID_WebPEncoderInfo);
    LONG quality = 0, effort = 0;
    VARIANT_BOOL lossless = VARIANT_TRUE;
    ASSERT_EQ(webp->get_Quality(&quality), S_OK);
    webp->get_Lossless(&lossless), webp->get_Effort(&effort);
    EXPECT_EQ(std::make_tuple(quality, lossless, effort), std::make_tuple(75L, VARIANT_FALSE, 4L));
    for (auto [set, expected] : {std::pair{-5L, 0L}, {101L, 100L}, {90L, 90L}}) {
        webp->put_Quality(set), webp->get_Quality(&quality);
        EXPECT_EQ(quality, expected);
    }
    for (auto [set, expected] : {std::pair{-1L, 0L}, {7L, 6L}, {2L, 2L}}) {
        webp->put_Effort(set), webp->get_Effort(&effort);
        EXPECT_EQ(effort, expected);
    }
    webp->put_Lossless(1), webp->get_Lossless(&lossless);
    EXPECT_EQ(lossless, VARIANT_TRUE) << "any true value reads back as True";
    EXPECT_EQ(webp->get_Quality(nullptr), E_POINTER);
}

TEST(WebPSave, LosslessKeepsEveryPixelThroughFilesAndStreamsAndTheEncoderDecides) {
    const Pixels pixels = Translucent(37, 23);
    auto raster = RasterWith(37, 23, pixels);
    raster->put_OutputFileType(oftBMP);  // the encoder object wins over it
    const auto encoder = AsDispatch(WebP(10, true));
    ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"lossless.png")).get(), encoder.get()), S_OK);
    EXPECT_EQ(PixelsOf(LoadedFile(TempPath(L"lossless.png"), oftWebP).get()), pixels);

    // A stream keeps the alpha too: WebP is not flattened as JPEG is.
    EXPECT_EQ(PixelsOf(LoadedStream(SavedStream(raster.get(), encoder.get()), oftWebP).get()), pixels);

    // WebP is written through its encoder object only.
    EXPECT_EQ(raster->put_OutputFileType(oftWebP), E_INVALIDARG);
    TakeThreadError();
}

TEST(WebPSave, LossyFollowsQualityAndOpaqueImagesCarryNoAlpha) {
    // A smooth picture: lossy WebP keeps it well at quality 90.
    Pixels pixels(96 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            pixels[size_t(y) * 96 + x] = 0xFF000000u | std::uint32_t(x * 2) << 16 | std::uint32_t(y * 3) << 8 | (x + y);
    auto raster = RasterWith(96, 64, pixels);
    std::vector<size_t> sizes;
    for (LONG quality : {20L, 90L}) {
        ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"lossy.webp")).get(), AsDispatch(WebP(quality, false)).get()), S_OK);
        const auto bytes = ReadFileBytes(TempPath(L"lossy.webp"));
        sizes.push_back(bytes.size());
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("ALPH"), std::string::npos)
            << "opaque pixels need no alpha";
        const Pixels decoded = PixelsOf(LoadedStream(bytes, oftWebP).get());
        ASSERT_EQ(decoded.size(), pixels.size());
        if (quality == 90) {
            EXPECT_GT(Psnr(decoded, pixels), 35.0);
        }
    }
    EXPECT_LT(sizes[0], sizes[1]);
}

TEST(WebPFrames, ItemsBecomeAnAnimationThatLoadsBackFrameByFrame) {
    // Items of two sizes: the canvas is the larger, a smaller frame sits at
    // its top left with transparency around it.
    auto collection = NewCollection();
    const std::vector<std::pair<int, int>> sizes = {{12, 8}, {7, 5}, {12, 8}};
    std::vector<Pixels> frames;
    for (auto [width, height] : sizes) {
        frames.push_back(Translucent(width, height));
        for (auto& p : frames.back()) p ^= std::uint32_t(frames.size()) * 0x00102030u;
        ASSERT_EQ(AddItem(collection.get())->put_RasterObject(RasterWith(width, height, frames.back()).get()), S_OK);
    }
    const std::wstring path = TempPath(L"animated.webp");
    ASSERT_EQ(collection->SaveMultiframeImage(Bstr(path).get(), *Var(AsDispatch(WebP(75, true)).get()), VARIANT_TRUE),
              S_OK);
    auto loaded = NewCollection();
    ASSERT_EQ(loaded->LoadMultiframeImage(Bstr(path).get(), VARIANT_TRUE), S_OK);
    ASSERT_EQ(CountOf(loaded.get()), 3);
    for (LONG i = 0; i < 3; ++i) {
        auto raster = RasterOf(ItemAt(loaded.get(), Var(i)).get());
        ASSERT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{12, 8}));
        const Pixels shown = PixelsOf(raster.get());
        const auto [width, height] = sizes[size_t(i)];
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x) {
                // A frame replaces the canvas where it lies; lossless keeps
                // its colours exactly where it is not fully transparent.
                const std::uint32_t expected = x < width && y < height ? frames[size_t(i)][size_t(y * width + x)] : 0;
                const std::uint32_t got = shown[size_t(y) * 12 + x];
                const bool clear = (expected >> 24) == 0;
                ASSERT_EQ(clear ? got >> 24 : got, clear ? 0u : expected) << i << " at " << x << "," << y;
            }
    }
    // LoadFile reads the first frame.
    EXPECT_EQ(SizeOf(LoadedFile(path, oftWebP).get()), (std::pair<LONG, LONG>{12, 8}));
}

TEST(WebPLoad, DamagedFilesFailCleanly) {
    const auto bytes = SavedStream(RasterWith(40, 30, Translucent(40, 30)).get(), AsDispatch(WebP(60, false)).get());
    std::vector<std::vector<std::uint8_t>> damaged = {{bytes.begin(), bytes.begin() + 12},
                                                      {bytes.begin(), bytes.begin() + bytes.size() / 2}};
    auto flipped = bytes;
    for (size_t i = 40; i < flipped.size(); i += 3) flipped[i] ^= 0x5A;
    damaged.push_back(flipped);
    for (size_t i = 0; i < damaged.size(); ++i) {
        const auto& file = damaged[i];
        auto target = NewRaster();
        const HRESULT hr = target->LoadStream(StreamOver(file).get());
        // Cut files must fail; flipped bits in lossy data may still decode to some picture.
        if (i == 2 && SUCCEEDED(hr)) continue;
        EXPECT_EQ(hr, E_FAIL) << file.size();
        EXPECT_NE(Narrow(TakeThreadError().description).find("LoadStream"), std::string::npos);
        LONG width = 0;
        EXPECT_NE(target->get_Width(&width), S_OK) << "no image is left";
        TakeThreadError();
    }
    auto collection = NewCollection();
    ASSERT_EQ(collection->LoadMultiframeImage(Bstr(WriteFile(L"cut.webp", damaged[1])).get(), VARIANT_TRUE), E_FAIL);
    TakeThreadError();
}

}  // namespace
}  // namespace rastelle::test
