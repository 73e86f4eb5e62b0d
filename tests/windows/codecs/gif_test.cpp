// GIF output with the system's palette: exact colours, transparency in the
// file, the halftone palette, preprocessing, and the nearest-entry search
// against the platform's GetNearestPaletteIndex.
#include "test_support.h"

#include "com/errors.h"
#include "kernels/flatten.h"
#include "kernels/palette_search.h"
#include "platform/gdiplus_errors.h"

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

}  // namespace
}  // namespace rastelle::test
