// GIF through our own decoder: frames composed as a viewer shows them (place,
// transparent index, each disposal), interlaced rows put back in order, the
// logical screen as the canvas, in LoadFile and in LoadMultiframeImage.
#include "test_support.h"

#include <gif_lib.h>

namespace rastelle::test {
namespace {

using Pixels = std::vector<std::uint32_t>;

struct GifFrame {
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
std::vector<std::uint8_t> WriteGif(int width, int height, const std::vector<GifFrame>& frames) {
    std::vector<std::uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, &Append, &error);
    const GifColorType colours[8] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255},
                                     {0, 0, 0},   {128, 128, 128}, {255, 255, 0}, {0, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(8, colours);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, width, height, 8, 0, map), GIF_OK);
    for (const GifFrame& frame : frames) {
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
    auto collection = NewObject<IRasterCollection>(CLSID_RasterCollection);
    ASSERT_EQ(collection->LoadMultiframeImage(Bstr(path).get(), VARIANT_TRUE), S_OK);
    const std::vector<Pixels> expected = {
        {R, R, T, T, R, R, T, T}, {R, G, T, T, R, R, T, T}, {R, R, T, T, R, R, B, B}, {G, R, T, T, R, R, T, T}};
    LONG count = 0;
    ASSERT_EQ(collection->get_Count(&count), S_OK);
    ASSERT_EQ(count, 4);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IRasterItem> item;
        VARIANT index = LongVariant(i);
        ASSERT_EQ(collection->get_Item(index, item.put()), S_OK);
        ComPtr<IRasterObject> raster;
        ASSERT_EQ(item->get_RasterObject(raster.put()), S_OK);
        EXPECT_EQ(PixelsOf(raster.get()), expected[static_cast<std::size_t>(i)]) << "frame " << i;
    }
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
