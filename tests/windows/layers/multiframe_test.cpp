// Multi-frame files through the collection: TIFF pages and GIF frames
// loaded as items, items saved as pages and frames, the refusals. TIFF inputs
// are written, and outputs read back, with libtiff and giflib directly.
#include "layers/layers_test_support.h"

#include "com/errors.h"

#include <tiffio.h>

#include <memory>

namespace rastelle::test {
namespace {

using Pixels = std::vector<std::uint32_t>;

using Page = TiffPageToWrite;

// width x height pixels of one colour with a marker colour at (1, 0).
Pixels Marked(int width, int height, std::uint32_t colour, std::uint32_t marker) {
    Pixels pixels(static_cast<size_t>(width * height), colour);
    pixels[1] = marker;
    return pixels;
}

ComPtr<IRasterObject> RasterAt(IRasterCollection* collection, LONG position) {
    return RasterOf(ItemAt(collection, Var(position)).get());
}

HRESULT Load(IRasterCollection* collection, const std::wstring& path, bool clear) {
    return collection->LoadMultiframeImage(Bstr(path).get(), clear ? VARIANT_TRUE : VARIANT_FALSE);
}

// A collection whose items hold the given images.
ComPtr<IRasterCollection> CollectionOf(int width, int height, const std::vector<Pixels>& images) {
    auto collection = NewCollection();
    for (const Pixels& image : images)
        EXPECT_EQ(AddItem(collection.get())->put_RasterObject(RasterWith(width, height, image).get()), S_OK);
    return collection;
}

HRESULT Save(IRasterCollection* collection, const std::wstring& path, const VARIANT& encoder, bool ignoreVisible = true) {
    return collection->SaveMultiframeImage(Bstr(path).get(), encoder, ignoreVisible ? VARIANT_TRUE : VARIANT_FALSE);
}

// ---------------------------------------------------------------------------
// Loading

TEST(MultiframeLoad, ThreeTiffPagesAppendToTwoItemsWithTheirPixelsAndResolutions) {
    const std::vector<Page> pages = {
        {5, 3, NumberedPixels(5, 3), 72, 72},
        {4, 6, Marked(4, 6, 0xFF0000FFu, 0xFFFF0000u), 300, 150},
        {2, 2, OpaqueGradient(2, 2), 100, 40, RESUNIT_CENTIMETER},
    };
    const std::wstring path = WriteTiff(L"three.tif", pages);
    auto collection = CollectionOf(2, 1, {{0xFF111111u, 0xFF222222u}, {0xFF333333u, 0xFF444444u}});

    ASSERT_EQ(Load(collection.get(), path, false), S_OK);
    ASSERT_EQ(CountOf(collection.get()), 5);
    EXPECT_EQ(PixelsOf(RasterAt(collection.get(), 0).get()), (Pixels{0xFF111111u, 0xFF222222u}));
    EXPECT_EQ(PixelsOf(RasterAt(collection.get(), 1).get()), (Pixels{0xFF333333u, 0xFF444444u}));
    const std::pair<float, float> resolutions[] = {{72.0f, 72.0f}, {300.0f, 150.0f}, {254.0f, 101.6f}};
    for (LONG i = 0; i < 3; ++i) {
        auto item = ItemAt(collection.get(), Var(i + 2));
        auto raster = RasterOf(item.get());
        // Pure red stays red: the channels and the row order come out as stored.
        EXPECT_EQ(std::make_tuple(KeyOf(item.get()), SizeOf(raster.get()), PixelsOf(raster.get())),
                  std::make_tuple(L"RasterObject" + std::to_wstring(i + 2),
                                  std::make_pair(LONG{pages[i].width}, LONG{pages[i].height}), pages[i].argb));
        const auto [x, y, output, current] = SettingsOf(raster.get());
        EXPECT_NEAR(x, resolutions[i].first, 0.01) << "page " << i;
        EXPECT_NEAR(y, resolutions[i].second, 0.01) << "page " << i;
        EXPECT_EQ(output, oftJPEG);
    }
}

TEST(MultiframeLoad, ClearBeforeLoadEmptiesFirstAndReadingStopsSilentlyAtAnUnreadablePage) {
    const std::wstring path = WriteTiff(L"two.tif", {{3, 2, NumberedPixels(3, 2)}, {2, 2, OpaqueGradient(2, 2)}});
    auto collection = NewCollection();
    AddItem(collection.get()), AddItem(collection.get()), AddItem(collection.get());

    ASSERT_EQ(Load(collection.get(), path, true), S_OK);
    ASSERT_EQ(CountOf(collection.get()), 2);
    // Numbering starts again from the emptied collection's count.
    EXPECT_EQ(KeyOf(ItemAt(collection.get(), Var(0L)).get()) + KeyOf(ItemAt(collection.get(), Var(1L)).get()),
              L"RasterObject0RasterObject1");
    EXPECT_EQ(PixelsOf(RasterAt(collection.get(), 0).get()), NumberedPixels(3, 2));

    // Reading stops silently at the page that cannot be read.
    const Page good{2, 2, OpaqueGradient(2, 2)}, unreadable{2, 2, OpaqueGradient(2, 2), 0, 0, RESUNIT_INCH, 1};
    ASSERT_EQ(Load(collection.get(), WriteTiff(L"second-bad.tif", {good, unreadable, good}), true), S_OK);
    ASSERT_EQ(CountOf(collection.get()), 1);
    EXPECT_EQ(PixelsOf(RasterAt(collection.get(), 0).get()), good.argb);
    // No readable page at all still succeeds, after emptying the collection.
    EXPECT_EQ(Load(collection.get(), WriteTiff(L"first-bad.tif", {unreadable, good}), true), S_OK);
    EXPECT_EQ(CountOf(collection.get()), 0);
}

TEST(MultiframeLoad, FilesThatCannotBeOpenedFailWithoutEmptyingTheCollection) {
    auto collection = NewCollection();
    AddItem(collection.get());
    const std::wstring text = WriteFile(L"not-an-image.gif", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    EXPECT_EQ(Load(collection.get(), text, true), E_FAIL);
    const ThreadError error = TakeThreadError();
    EXPECT_NE(error.description.find(L"LoadMultiframeImage"), std::wstring::npos) << Narrow(error.description);
    EXPECT_EQ(Narrow(error.source), "Rastelle.RasterCollection.1");
    EXPECT_EQ(Load(collection.get(), TempPath(L"missing.tif"), true), E_FAIL);
    EXPECT_EQ(TakeThreadError().description.rfind(L"Windows error in RasterCollection.LoadMultiframeImage: ", 0), 0u);
    EXPECT_EQ(CountOf(collection.get()), 1);
}

// ---------------------------------------------------------------------------
// Saving

TEST(MultiframeSave, AnimatedGifCarriesEveryFrameWithItsDelayAndTransparentIndex) {
    Pixels clear = Marked(5, 3, 0xFF336699u, 0x00000000u);
    clear[7] = 0x01000000u;  // alpha 1 is transparent too
    const std::vector<Pixels> images = {NumberedPixels(5, 3), Marked(5, 3, 0xFFFF0000u, 0xFF00FF00u), clear,
                                        Marked(5, 3, 0xFFFEFDFCu, 0xFF010203u)};
    auto collection = CollectionOf(5, 3, images);
    const std::wstring path = TempPath(L"saved.gif");
    ASSERT_EQ(Save(collection.get(), path, *Var(LONG{oftGIF})), S_OK);

    const GifFile gif = ReadGif(path);
    const std::vector<GifFrame>& frames = gif.frames;
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_TRUE(gif.loops);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(frames[i].delay == 100 && frames[i].localTable) << "frame " << i;
        Pixels expected;
        for (const std::uint32_t p : images[i]) expected.push_back((p >> 24) <= 1 ? 0x1000000u : p & 0xFFFFFFu);
        EXPECT_EQ(frames[i].rgb, expected) << "frame " << i;
    }
    EXPECT_EQ(frames[0].transparentIndex, -1);
    EXPECT_NE(frames[2].transparentIndex, -1);

    // And the collection reads its own file back frame by frame. (What shows
    // through a transparent pixel of a later frame is the decoder's choice.)
    auto reloaded = NewCollection();
    ASSERT_EQ(Load(reloaded.get(), path, true), S_OK);
    ASSERT_EQ(CountOf(reloaded.get()), 4);
    for (const LONG i : {0L, 1L, 3L}) EXPECT_EQ(PixelsOf(RasterAt(reloaded.get(), i).get()), images[i]) << i;
    EXPECT_EQ(PixelsOf(RasterAt(reloaded.get(), 2).get())[0], clear[0]);
}

TEST(MultiframeSave, TiffPagesHaveTheCompressionDepthAndResolutionsAsked) {
    const std::vector<Pixels> images = {NumberedPixels(4, 3), OpaqueGradient(4, 3)};
    auto collection = CollectionOf(4, 3, images);
    const std::pair<float, float> resolutions[] = {{150.0f, 75.0f}, {300.0f, 300.0f}};
    // A page carries its image's resolution, which a save writes into it.
    for (LONG i = 0; i < 2; ++i) {
        auto raster = RasterAt(collection.get(), i);
        raster->put_HorizontalResolution(resolutions[i].first), raster->put_VerticalResolution(resolutions[i].second);
        ASSERT_EQ(raster->SaveStream(StreamOver({}).get(), nullptr), S_OK);
    }
    using U16 = std::uint16_t;
    for (auto [compression, depth, tiffCompression, samples] :
         {std::tuple{tctLZW, cd24bpp, U16{COMPRESSION_LZW}, U16{3}}, {tctNone, cd32bpp, U16{COMPRESSION_NONE}, U16{4}}}) {
        const std::wstring path = TempPath(L"pages" + std::to_wstring(samples) + L".tif");
        ASSERT_EQ(Save(collection.get(), path, *Var(TiffOptions(compression, depth).get())), S_OK);
        const std::vector<TiffPage> pages = ReadTiffPages(path);
        ASSERT_EQ(pages.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(std::tie(pages[i].compression, pages[i].samples, pages[i].bits, pages[i].argb),
                      std::make_tuple(tiffCompression, samples, U16{8}, images[i]));
            EXPECT_EQ(std::make_pair(pages[i].xResolution, pages[i].yResolution), resolutions[i]);
        }
    }
}

TEST(MultiframeSave, IgnoreVisiblePropertyDecidesWhichItemsAreWritten) {
    const std::vector<Pixels> images = {Pixels(4, 0xFFFF0000u), Pixels(4, 0xFF00FF00u), Pixels(4, 0xFF0000FFu)};
    auto collection = CollectionOf(2, 2, images);
    ItemAt(collection.get(), Var(1L))->put_IsVisible(VARIANT_FALSE);

    const std::wstring visible = TempPath(L"visible.tif"), all = TempPath(L"all.tif");
    ASSERT_EQ(Save(collection.get(), visible, *Var(LONG{oftTIFF}), false), S_OK);
    const std::vector<TiffPage> two = ReadTiffPages(visible);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].argb, images[2]);
    ASSERT_EQ(Save(collection.get(), all, *Var(LONG{oftTIFF})), S_OK);
    EXPECT_EQ(ReadTiffPages(all).size(), 3u);

    ItemAt(collection.get(), Var(0L))->put_IsVisible(VARIANT_FALSE), ItemAt(collection.get(), Var(2L))->put_IsVisible(0);
    ExpectCollectionClassError(Save(collection.get(), TempPath(L"none.tif"), *Var(LONG{oftTIFF}), false),
                               DISP_E_EXCEPTION, L"No data to save the multiframe image!");
}

// A failed pixel call is reported by that call and leaves no error state on
// the image for the save to trip over.
TEST(MultiframeSave, OutOfBoundsPixelCallsLeaveTheImageSavable) {
    auto collection = CollectionOf(2, 2, {Pixels(4, 0xFFFF0000u)});
    auto item = ItemAt(collection.get(), Var(0L));
    LONG value = 0;
    EXPECT_EQ(item->put_Pixels(5, 5, 1), E_FAIL);
    EXPECT_EQ(item->get_Pixels(-1, 0, &value), E_FAIL);
    ClearThreadError();
    EXPECT_EQ(Save(collection.get(), TempPath(L"after_pixels.tif"), *Var(LONG{oftTIFF})), S_OK);
}

TEST(MultiframeSave, EncoderInfoOtherThanTiffOrGifIsRefusedBeforeAnythingIsWritten) {
    auto collection = CollectionOf(2, 1, {{0xFF000000u, 0xFFFFFFFFu}});
    const std::wstring path = TempPath(L"refused.img");
    ExpectCollectionClassError(Save(collection.get(), path, *Var(LONG{oftJPEG})), E_INVALIDARG, L"Only TIFF and GIF multiframe file formats are supported!");
    ExpectCollectionClassError(Save(collection.get(), path, *Var(AsDispatch(NewObject<IJPEGEncoderInfo>(
                                                                CLSID_JPEGEncoderInfo)).get())),
                               E_NOINTERFACE, L"You must pass only TIFFEncoderInfo object (or OutputFileTypes members)!");
    ExpectCollectionClassError(Save(collection.get(), path, *Var(3.0)), E_INVALIDARG,
                               L"You should pass OutputFileTypes members or TIFFEncoderInfo object!");
    EXPECT_FALSE(FileExists(path));

    // Only the low 16 bits of a number count; a script's variable arrives by reference.
    ASSERT_EQ(Save(collection.get(), path, *Var(LONG{0x10000 + oftTIFF})), S_OK);
    EXPECT_EQ(ReadTiffPages(path).size(), 1u);
    Var gif(LONG{oftGIF});
    VARIANT byReference;
    V_VT(&byReference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&byReference) = gif.get();
    const std::wstring gifPath = TempPath(L"byref.gif");
    ASSERT_EQ(Save(collection.get(), gifPath, byReference), S_OK);
    const std::vector<std::uint8_t> bytes = ReadFileBytes(gifPath);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min<size_t>(6, bytes.size())), "GIF89a");
}

TEST(MultiframeSave, ItemsWithoutImageAndWriteFailuresAreReported) {
    auto collection = CollectionOf(2, 1, {{0xFF000000u, 0xFFFFFFFFu}});
    AddItem(collection.get());
    const std::wstring path = TempPath(L"hole.gif");
    ExpectCollectionClassError(Save(collection.get(), path, *Var(LONG{oftGIF})), E_FAIL,
                               L"Cannot save the multiframe image: item 1 has no image. Load or create one first.");
    EXPECT_FALSE(FileExists(path));
    // Only the written items need an image.
    ItemAt(collection.get(), Var(1L))->put_IsVisible(VARIANT_FALSE);
    EXPECT_EQ(Save(collection.get(), path, *Var(LONG{oftGIF}), false), S_OK);

    const std::wstring noFolder = TempDir() + L"\\no-such-folder\\file.tif";
    EXPECT_EQ(Save(collection.get(), noFolder, *Var(LONG{oftTIFF}), false), E_FAIL);
    const ThreadError error = TakeThreadError();
    EXPECT_NE(error.description.find(L"SaveMultiframeImage"), std::wstring::npos) << Narrow(error.description);
    EXPECT_EQ(Narrow(error.source), "Rastelle.RasterCollection.1");
}

}  // namespace
}  // namespace rastelle::test
