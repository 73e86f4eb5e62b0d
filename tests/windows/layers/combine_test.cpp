// Combine through COM: layer stacks with offsets, opacities and modes
// checked against pixels the test computes itself, and the failures.
#include "layers/layers_test_support.h"

#include "com/errors.h"
#include "image/bitmap.h"
#include "image/bitmap_lock.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace rastelle::test {
namespace {

using Pixels = std::vector<std::uint32_t>;

// A layer as the test describes it; the item is made from it.
struct Layer {
    int width = 0;
    int height = 0;
    Pixels pixels;
    LONG offsetX = 0;
    LONG offsetY = 0;
    CombineModes mode = cmAlphaBlend;
    BYTE opacity = 255;
    bool visible = true;
};

// Pixels from a small generator of the test's own, with every alpha.
Pixels Noise(int count, std::uint32_t seed) {
    Pixels pixels;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        pixels.push_back(seed ^ (seed >> 15) * 2654435761u);
    }
    return pixels;
}

std::uint32_t ByteOf(std::uint32_t pixel, int byte) { return (pixel >> (8 * byte)) & 0xFF; }

// One background pixel after a layer pixel s lands on it. Dissolve's choice
// of pixel is made by the caller.
std::uint32_t Landed(CombineModes mode, std::uint32_t s, std::uint32_t d, int opacity) {
    const std::int64_t a = s >> 24;
    const double k = std::bit_cast<float>(0x37810182u);  // the float nearest 1/65025
    std::uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        const std::int64_t sc = ByteOf(s, c);
        const std::int64_t dc = ByteOf(d, c);
        const std::int64_t logic = mode == cmXORBlend ? sc ^ dc : mode == cmANDBlend ? sc & dc : sc | dc;
        const std::int64_t r = mode == cmAlphaBlend ? dc + opacity * a * (sc - dc) / 65025  // truncates toward zero
                               : mode == cmDissolve ? (sc * a + dc * (255 - a)) / 255
                                                    : dc + static_cast<std::int64_t>(std::trunc((logic - dc) * (opacity * a * k)));
        out |= static_cast<std::uint32_t>(r) << (8 * c);
    }
    return out;
}

// The stack flattened by walking every background pixel under every layer.
Pixels Flattened(const std::vector<Layer>& layers) {
    const Layer& first = layers.front();
    Pixels background = first.pixels;
    for (size_t i = 1; i < layers.size(); ++i) {
        const Layer& layer = layers[i];
        if (!layer.visible || layer.pixels.empty()) continue;
        std::uint32_t state = 17;  // the C runtime's rand() after srand(17)
        for (int y = 0; y < first.height; ++y) {
            for (int x = 0; x < first.width; ++x) {
                const int sx = x - layer.offsetX;
                const int sy = y - layer.offsetY;
                if (sx < 0 || sy < 0 || sx >= layer.width || sy >= layer.height) continue;
                const std::uint32_t s = layer.pixels[static_cast<size_t>(sy * layer.width + sx)];
                std::uint32_t& d = background[static_cast<size_t>(y * first.width + x)];
                if (layer.mode == cmDissolve) {
                    state = state * 214013u + 2531011u;
                    const int n = static_cast<int>((state >> 16) & 0x7FFF);
                    if (layer.opacity * 32767 > n * 255) d = Landed(cmDissolve, s, d, layer.opacity);
                } else {
                    d = Landed(layer.mode, s, d, layer.opacity);
                }
            }
        }
    }
    return background;
}

ComPtr<IRasterCollection> CollectionOf(const std::vector<Layer>& layers) {
    auto collection = NewCollection();
    for (const Layer& layer : layers) {
        auto item = AddItem(collection.get());
        if (!layer.pixels.empty()) {
            EXPECT_EQ(item->put_RasterObject(RasterWith(layer.width, layer.height, layer.pixels).get()), S_OK);
        }
        item->put_OffsetX(layer.offsetX), item->put_OffsetY(layer.offsetY), item->put_Mode(layer.mode);
        item->put_Opacity(layer.opacity), item->put_IsVisible(layer.visible ? VARIANT_TRUE : VARIANT_FALSE);
    }
    return collection;
}

ComPtr<IRasterObject> Combined(IRasterCollection* collection) {
    ComPtr<IRasterObject> result;
    EXPECT_EQ(collection->Combine(result.put()), S_OK);
    return result;
}

TEST(CombineLayers, StackWithOffsetsOpacitiesAndModes) {
    Layer background{9, 7, Noise(63, 1)};
    background.mode = static_cast<CombineModes>(7);  // a visible first item's mode and offsets are not used
    background.offsetX = 3;
    std::vector<Layer> layers{
        background,
        {4, 3, Noise(12, 2), -2, -1, cmAlphaBlend, 200},  // loses two columns and a row
        {5, 4, Noise(20, 3), 6, 5, cmXORBlend, 255},      // runs over the right and bottom edges
        {6, 5, Noise(30, 4), 2, 1, cmDissolve, 128},
        {3, 3, Noise(9, 5), 1, 1, cmORBlend, 90},
        {3, 2, Noise(6, 6), 0, 4, cmANDBlend, 255},
        {2, 2, Noise(4, 7), 0, 0, static_cast<CombineModes>(7), 255, false},  // invisible: even its mode is ignored
        {2, 2, Noise(4, 8), 9, 0, cmORBlend, 255},    // wholly outside
        {2, 2, Noise(4, 9), -2, -2, cmORBlend, 255},  // touches the corner from outside
        {0, 0, {}, 0, 0, cmXORBlend, 255},            // no image: skipped
    };
    auto collection = CollectionOf(layers);
    auto first = RasterOf(ItemAt(collection.get(), Var(0L)).get());
    first->put_HorizontalResolution(150.0f);
    first->put_VerticalResolution(200.5f);
    first->put_OutputFileType(oftPNG);

    auto result = Combined(collection.get());
    ASSERT_TRUE(result);
    EXPECT_NE(result.get(), first.get());
    EXPECT_EQ(SizeOf(result.get()), std::make_pair(LONG{9}, LONG{7}));
    EXPECT_EQ(PixelsOf(result.get()), Flattened(layers));
    EXPECT_EQ(PixelsOf(first.get()), layers[0].pixels) << "the items are not changed";
    EXPECT_EQ(SettingsOf(result.get()), Settings(150.0f, 200.5f, oftJPEG, oftUnknown));

    // Dissolve reseeds per layer: a second call gives the same image.
    EXPECT_EQ(PixelsOf(Combined(collection.get()).get()), Flattened(layers));
}

TEST(CombineLayers, ExactValuesOfTheModes) {
    struct Case {
        CombineModes mode;
        BYTE opacity;
        std::uint32_t layer, background, expected;
    } cases[] = {
        {cmORBlend, 255, 0xFFFFFFFF, 0xFF000000, 0xFFFEFEFE},
        {cmANDBlend, 255, 0xFF000000, 0xFFFFFFFF, 0xFF010101},
        {cmAlphaBlend, 128, 0xFFFFFFFF, 0x00000000, 0x80808080},
        {cmAlphaBlend, 255, 0x00FFFFFF, 0xFF102030, 0xFF102030},  // a transparent layer pixel changes nothing
        {cmXORBlend, 255, 0xFF00FF00, 0xFFFFFFFF, 0x01FF01FF},  // equal bytes XOR to 0: 255 - 254
        {cmDissolve, 0, 0xFFFFFFFF, 0xFF000000, 0xFF000000},
        {cmDissolve, 255, 0x80FFFFFF, 0xFF000000, 0xBF808080},  // the first draw, 94, is taken
    };
    for (const Case& c : cases) {
        auto collection = CollectionOf({{1, 1, {c.background}}, {1, 1, {c.layer}, 0, 0, c.mode, c.opacity}});
        EXPECT_EQ(PixelsOf(Combined(collection.get()).get()), Pixels{c.expected})
            << "mode " << c.mode << " opacity " << int{c.opacity};
    }
}

TEST(CombineLayers, InvisibleFirstItemGivesItsSizeInTheBackgroundColour) {
    auto collection = CollectionOf({{30, 20, Pixels(600, 0xFF00FF00), 0, 0, cmAlphaBlend, 255, false},
                                    {5, 4, Pixels(20, 0xFF0000FF), 10, 10}});
    ASSERT_EQ(collection->put_BackgroundColor(static_cast<LONG>(0x80FF0000)), S_OK);
    Pixels expected(600, 0x80FF0000u);
    for (int y = 10; y < 14; ++y) std::fill_n(expected.begin() + y * 30 + 10, 5, 0xFF0000FFu);
    EXPECT_EQ(PixelsOf(Combined(collection.get()).get()), expected);
}

std::wstring LockFailureText(const char* object) {
    return L"GDI+ error occured in Combine method of the " + com::Widen(object) +
           L" object. If you get this error, please contact " + com::Widen(com::kSupportAddress) +
           L". Error message: GDI+ object is in an invalid state. GDI+ status code 8";
}

TEST(CombineLayers, FailuresAndTheirTexts) {
    ComPtr<IRasterObject> result;
    auto empty = NewCollection();
    ClearThreadError();
    EXPECT_EQ(empty->Combine(nullptr), E_INVALIDARG);
    EXPECT_FALSE(TakeThreadError().present);
    ExpectCollectionClassError(empty->Combine(result.put()), DISP_E_EXCEPTION,
                               L"Cannot combine: collection does not contain any items!", IID_NULL);

    const std::wstring noBackground = L"Cannot combine! Background data is not loaded!";
    auto imageless = NewCollection();
    auto first = AddItem(imageless.get());
    ExpectCollectionClassError(imageless->Combine(result.put()), E_FAIL, noBackground);
    first->put_IsVisible(VARIANT_FALSE);  // no image means no size either
    ExpectCollectionClassError(imageless->Combine(result.put()), E_FAIL, noBackground);
    EXPECT_EQ(result.get(), nullptr);

    auto collection = CollectionOf({{2, 2, Pixels(4, 0xFF000000)}, {1, 1, {0xFFFFFFFF}}});
    auto layer = ItemAt(collection.get(), Var(1L));
    layer->put_Mode(static_cast<CombineModes>(7));
    ExpectCollectionClassError(collection->Combine(result.put()), E_FAIL, L"Rastelle does not support such a mode!");
    layer->put_IsVisible(VARIANT_FALSE);
    EXPECT_EQ(collection->Combine(result.put()), S_OK) << "an invisible layer's mode is not looked at";
    layer->put_IsVisible(VARIANT_TRUE);

    // A lock the layer cannot get fails with the mode's prefix.
    const wchar_t* const prefixes[] = {L"Cannot combine (alpha blend): ", L"Cannot combine (XOR blend): ",
                                       L"Cannot combine (AND blend): ", L"Cannot combine (OR blend): ",
                                       L"Cannot combine (dissolve): "};
    // A read lock held on an item's bitmap, so that the collection's own lock fails.
    auto hold = [](PixelLock& held, IRasterItem* item) {
        ASSERT_EQ(held.Lock(BitmapOf(RasterOf(item).get())->native(), 1, 1, Gdiplus::ImageLockModeRead), Gdiplus::Ok);
    };
    {
        PixelLock held;
        hold(held, layer.get());
        for (int mode = cmAlphaBlend; mode <= cmDissolve; ++mode) {
            layer->put_Mode(static_cast<CombineModes>(mode));
            ExpectCollectionClassError(collection->Combine(result.put()), E_FAIL,
                                       prefixes[mode] + LockFailureText("RasterCollection"));
        }
    }
    {
        PixelLock held;
        hold(held, ItemAt(collection.get(), Var(0L)).get());
        ExpectCollectionClassError(collection->Combine(result.put()), E_FAIL, LockFailureText("ObjectCollection"));
    }
    EXPECT_EQ(collection->Combine(result.put()), S_OK) << "the items are usable after the failures";

    // A layer whose raster object gives no access to its bitmap: that
    // HRESULT, no error object.
    auto plain = NewCollection();
    AddItem(plain.get())->EmptyImage(1, 1, -1);
    auto foreign = AddItem(plain.get());
    ComPtr<IRasterObject> asRaster;
    ASSERT_EQ(AddItem(NewCollection().get()).As(asRaster), S_OK);  // an item is a raster object without that access
    ASSERT_EQ(foreign->put_RasterObject(asRaster.get()), S_OK);
    ClearThreadError();
    EXPECT_EQ(plain->Combine(result.put()), E_NOINTERFACE);
    EXPECT_FALSE(TakeThreadError().present);
}

}  // namespace
}  // namespace rastelle::test
