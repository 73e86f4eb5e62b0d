// GIF output with the system's palette (transparency, halftone, preprocessing,
// the nearest-entry search against the platform's), and GIF input: frames
// composed as a viewer shows them, interlaced rows, the screen as the canvas.
#include "layers/layers_test_support.h"

#include "com/errors.h"
#include "kernels/flatten.h"
#include "kernels/palette_search.h"
#include "platform/gdiplus_errors.h"

#include <gif_lib.h>

#include <random>

namespace rastelle::test {
namespace {

ComPtr<IDispatch> Gif(PaletteTypes type, bool transparent, bool preprocess = false) {
    auto gif = NewObject<IGIFEncoderInfo>(CLSID_GIFEncoderInfo);
    gif->put_PaletteType(type), gif->put_IsTransparent(transparent ? VARIANT_TRUE : VARIANT_FALSE);
    return gif->put_AntialiasingPreprocessOn(preprocess ? VARIANT_TRUE : VARIANT_FALSE), AsDispatch(gif);
}

// The alpha of each pixel.
std::vector<std::uint32_t> Alphas(const std::vector<std::uint32_t>& pixels) {
    std::vector<std::uint32_t> alphas;
    for (const std::uint32_t p : pixels) alphas.push_back(p >> 24);
    return alphas;
}

// Saves as GIF and reads the file back with giflib.
GifFile SaveGif(IRasterObject* raster, const std::wstring& name, IDispatch* encoder) {
    EXPECT_EQ(raster->SaveFile(Bstr(TempPath(name)).get(), encoder), S_OK) << Narrow(name);
    const auto bytes = ReadFileBytes(TempPath(name));
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min<size_t>(6, bytes.size())), "GIF89a");
    return ReadGif(TempPath(name));
}

std::vector<std::uint32_t> Reload(const std::wstring& name) { return PixelsOf(LoadedFile(TempPath(name), oftGIF).get()); }

TEST(GifSave, TransparentEntriesShareTheFilesOneIndexAndStreamsGetTheFileBytes) {
    // Without IsTransparent every pixel is opaque, its few colours exact.
    auto raster = RasterWith(3, 2, {0x01FF0000u, 0x0200FF00u, 0xFF0000FFu, 0xFFFF0000u, 0xFF0000FFu, 0xFFFF0000u});
    SaveGif(raster.get(), L"opaque.gif", Gif(ptOctree, false).get());
    const auto opaque = Reload(L"opaque.gif");
    EXPECT_EQ(Alphas(opaque), std::vector<std::uint32_t>(6, 0xFF));
    EXPECT_EQ(std::make_pair(opaque[2], opaque[3]), std::make_pair(0xFF0000FFu, 0xFFFF0000u));

    // Red at alpha 1 lands on the entry of opaque red, which so becomes
    // transparent for both; green at alpha 2 stays opaque.
    const GifFile gif = SaveGif(raster.get(), L"clear.gif", Gif(ptOctree, true).get());
    EXPECT_EQ(gif.colours.size(), 256u);
    const size_t transparent = static_cast<size_t>(gif.frames.at(0).transparentIndex);  // -1 wraps round
    ASSERT_LT(transparent, gif.colours.size());
    EXPECT_EQ(gif.colours[transparent], 0xFF0000u);
    const auto decoded = Reload(L"clear.gif");
    EXPECT_EQ(Alphas(decoded), (std::vector<std::uint32_t>{0, 0xFF, 0xFF, 0, 0xFF, 0}));
    EXPECT_EQ(decoded[2], 0xFF0000FFu);

    // Two entries become transparent; the file names one index, and the
    // pixels of the other are written with it.
    raster = RasterWith(3, 2, {0xFFFF0000u, 0x00FF0000u, 0xFF0000FFu, 0x010000FFu, 0xFF00FF00u, 0xFF0000FFu});
    EXPECT_GE(SaveGif(raster.get(), L"two.gif", Gif(ptOctree, true).get()).frames.at(0).transparentIndex, 0);
    const auto two = Reload(L"two.gif");
    EXPECT_EQ(Alphas(two), (std::vector<std::uint32_t>{0, 0, 0, 0, 0xFF, 0}));
    EXPECT_EQ(two[4], 0xFF00FF00u);

    raster = RasterWith(3, 2, OpaqueGradient(3, 2));  // opaque: a stream's copy is flattened
    raster->put_OutputFileType(oftGIF);
    ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"plain.gif")).get(), nullptr), S_OK);
    EXPECT_EQ(SavedStream(raster.get()), ReadFileBytes(TempPath(L"plain.gif")));
}

TEST(GifSave, HalftonePaletteIsThePlatformsAndPixelsTakeTheNearestEntry) {
    HPALETTE halftone = gp::GdipCreateHalftonePalette();
    HDC dc = CreateCompatibleDC(nullptr);
    if (!halftone) halftone = CreateHalftonePalette(dc);
    DeleteDC(dc);
    ASSERT_NE(halftone, nullptr);
    PALETTEENTRY entries[256] = {};
    const UINT count = GetPaletteEntries(halftone, 0, 256, entries);
    ASSERT_EQ(count, 256u);

    std::mt19937 random(4);
    std::vector<std::uint32_t> pixels(9 * 5);
    for (auto& p : pixels) p = 0xFF000000u | (random() & 0xFFFFFFu);
    auto raster = RasterWith(9, 5, pixels);
    const GifFile gif = SaveGif(raster.get(), L"halftone.gif", Gif(ptHalftone, false).get());
    std::vector<std::uint32_t> table, nearest;
    for (const PALETTEENTRY& e : entries) table.push_back(e.peRed << 16 | e.peGreen << 8 | e.peBlue);
    EXPECT_EQ(gif.colours, table);
    for (const std::uint32_t p : pixels)
        nearest.push_back(0xFF000000u | table[GetNearestPaletteIndex(halftone, RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF))]);
    EXPECT_EQ(Reload(L"halftone.gif"), nearest);
    DeleteObject(halftone);
}

TEST(GifSave, UnknownPaletteTypeFailsWithItsStatusAndPreprocessingFlattensTheObjectsOwnImage) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    ExpectError(raster->SaveFile(Bstr(TempPath(L"unknown.gif")).get(), Gif(static_cast<PaletteTypes>(5), false).get()),
                com::kErrSaveFile, platform::FailureMessage(static_cast<Status>(2), "RasterObject", "SaveFile", 0));

    const std::vector<std::uint32_t> pixels = {0xFF102030u, 0x80FF8040u, 0x01000000u, 0xFF00FF00u,
                                               0x40123456u, 0xFFFFFFFFu, 0x00ABCDEFu, 0xC0808080u};
    raster = RasterWith(4, 2, pixels);
    std::vector<std::uint32_t> expected = pixels;
    kernels::FlattenAgainstBackground(kernels::PackedView(expected.data(), 4, 2));
    ASSERT_NE(expected, pixels);
    SaveGif(raster.get(), L"flat.gif", Gif(ptOctree, false, true).get());
    EXPECT_EQ(PixelsOf(raster.get()), expected);
    // Without it the object's image is left alone.
    auto untouched = RasterWith(4, 2, pixels);
    SaveGif(untouched.get(), L"plain.gif", Gif(ptOctree, false).get());
    EXPECT_EQ(PixelsOf(untouched.get()), pixels);
}

// The platform's rule, measured: least squared distance, the first of equal
// entries. The search (proven against that rule in the kernel tests) must
// give GetNearestPaletteIndex's answer everywhere.
TEST(NearestPaletteSearch, AgreesWithGetNearestPaletteIndex) {
    std::mt19937 random(21);
    for (int round = 0; round < 30; ++round) {
        const int range = round % 3 == 0 ? 3 : round % 3 == 1 ? 32 : 256;  // few values: many ties
        const unsigned size = 1 + random() % 256;
        std::vector<kernels::PaletteColour> colours(size);
        std::vector<std::uint8_t> block(sizeof(LOGPALETTE) + size * sizeof(PALETTEENTRY));
        auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
        logical->palVersion = 0x300, logical->palNumEntries = static_cast<WORD>(size);
        for (unsigned i = 0; i < size; ++i) {
            const auto r = std::uint8_t(random() % range), g = std::uint8_t(random() % range), b = std::uint8_t(random() % range);
            colours[i] = {r, g, b};
            logical->palPalEntry[i] = {r, g, b, 0};
        }
        HPALETTE palette = CreatePalette(logical);
        ASSERT_NE(palette, nullptr);
        kernels::NearestPaletteSearch search(colours, 0);
        std::vector<std::uint32_t> row(2000);
        for (std::uint32_t& rgb : row)
            rgb = random() % (range + 3) << 16 | random() % (range + 3) << 8 | random() % (range + 3);
        std::vector<std::uint8_t> indices(row.size());
        search.FindRow(row.data(), indices.data(), static_cast<int>(row.size()));
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::uint32_t rgb = row[i];
            const UINT expected = GetNearestPaletteIndex(palette, RGB(rgb >> 16, rgb >> 8 & 0xFF, rgb & 0xFF));
            ASSERT_EQ(std::make_pair(UINT{indices[i]}, UINT{search.Find(rgb)}), std::make_pair(expected, expected))
                << "round " << round << " colour " << std::hex << rgb;
        }
        DeleteObject(palette);
    }
}

using Pixels = std::vector<std::uint32_t>;

struct FrameToWrite {
    int left, top, width, height;
    std::vector<GifPixelType> indices;  // in the order the file holds the rows
    int disposal;
    int transparent = NO_TRANSPARENT_COLOR;
    bool interlaced = false;
};

int Append(GifFileType* gif, const GifByteType* bytes, int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + length);
    return length;
}

// A GIF89a of the frames over a screen of width x height with the palette
// red, green, blue, white, black, grey, yellow, cyan.
std::vector<std::uint8_t> WriteGif(int width, int height, const std::vector<FrameToWrite>& frames) {
    std::vector<std::uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, &Append, &error);
    const GifColorType colours[8] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255},
                                     {0, 0, 0},   {128, 128, 128}, {255, 255, 0}, {0, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(8, colours);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, width, height, 8, 0, map), GIF_OK);
    for (const FrameToWrite& frame : frames) {
        GraphicsControlBlock control{frame.disposal, false, 10, frame.transparent};
        GifByteType block[4];
        EGifGCBToExtension(&control, block);
        EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block), GIF_OK);
        EXPECT_EQ(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced, nullptr),
                  GIF_OK);
        std::vector<GifPixelType> indices = frame.indices;
        for (int y = 0; y < frame.height; ++y) EGifPutLine(gif, indices.data() + y * frame.width, frame.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

constexpr std::uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, T = 0;

TEST(GifDecoding, FramesAreComposedWithTheirPlaceTransparencyAndDisposal) {
    // A red 2 x 2 kept; green and a transparent index at (1, 0) and (2, 0),
    // put back afterwards; blue at (2, 1) and (3, 1), cleared afterwards;
    // green at (0, 0).
    const auto file = WriteGif(4, 2, {{0, 0, 2, 2, {0, 0, 0, 0}, DISPOSE_DO_NOT},
                                      {1, 0, 2, 1, {1, 3}, DISPOSE_PREVIOUS, 3},
                                      {2, 1, 2, 1, {2, 2}, DISPOSE_BACKGROUND},
                                      {0, 0, 1, 1, {1}, DISPOSAL_UNSPECIFIED}});
    const std::wstring path = WriteFile(L"composed.gif", file);
    auto collection = NewCollection();
    ASSERT_EQ(collection->LoadMultiframeImage(Bstr(path).get(), VARIANT_TRUE), S_OK);
    const std::vector<Pixels> expected = {
        {R, R, T, T, R, R, T, T}, {R, G, T, T, R, R, T, T}, {R, R, T, T, R, R, B, B}, {G, R, T, T, R, R, T, T}};
    ASSERT_EQ(CountOf(collection.get()), 4);
    for (LONG i = 0; i < 4; ++i)
        EXPECT_EQ(PixelsOf(RasterOf(ItemAt(collection.get(), Var(i)).get()).get()), expected[size_t(i)]) << "frame " << i;
    // LoadFile gives the first frame.
    EXPECT_EQ(PixelsOf(LoadedFile(path, oftGIF).get()), expected[0]);
}

TEST(GifDecoding, InterlacedRowsComeBackInOrderAndTheScreenIsTheCanvas) {
    // Rows 0 to 4 hold indices 0 to 4; interlaced, the file holds 0, 4, 2, 1, 3.
    const auto interlaced = WriteGif(1, 5, {{0, 0, 1, 5, {0, 4, 2, 1, 3}, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR, true}});
    EXPECT_EQ(PixelsOf(LoadedFile(WriteFile(L"interlaced.gif", interlaced), oftGIF).get()),
              (Pixels{R, G, B, 0xFFFFFFFF, 0xFF000000}));
    // A frame smaller than the screen: the rest of the canvas is clear.
    const auto placed = WriteGif(3, 2, {{2, 1, 1, 1, {2}, DISPOSE_DO_NOT}});
    EXPECT_EQ(PixelsOf(LoadedFile(WriteFile(L"placed.gif", placed), oftGIF).get()), (Pixels{T, T, T, T, T, B}));
}

}  // namespace
}  // namespace rastelle::test
