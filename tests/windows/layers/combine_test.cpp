// Combine through COM: layer stacks with offsets, opacities, modes and
// visibility reaching the layer kernel, and the failures.
#include "layers/layers_test_support.h"

#include "com/errors.h"
#include "image/bitmap.h"
#include "image/bitmap_lock.h"
#include "kernels/combine.h"

#include <algorithm>
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

// The stack flattened by the layer kernel (proven against its reference in
// the kernel tests), each visible layer clipped at its offset.
Pixels Flattened(const std::vector<Layer>& layers) {
    Pixels background = layers[0].pixels;
    const auto view = kernels::PackedView(background.data(), layers[0].width, layers[0].height);
    for (size_t i = 1; i < layers.size(); ++i) {
        const Layer& l = layers[i];
        const auto o = kernels::ClipLayer(l.width, l.height, view.width, view.height, l.offsetX, l.offsetY);
        if (!l.visible || o.width <= 0 || o.height <= 0) continue;
        const kernels::ConstImageView source(l.pixels.data() + o.sourceY * l.width + o.sourceX, o.width, o.height, l.width * 4);
        const kernels::ImageView target{view.row(o.backgroundY) + o.backgroundX, o.width, o.height, view.strideBytes};
        kernels::CombineLayer(static_cast<kernels::CombineMode>(l.mode), source, target, l.opacity);
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
    EXPECT_EQ(SizeOf(result.get()), std::make_pair(LONG{9}, LONG{7}));
    EXPECT_EQ(PixelsOf(result.get()), Flattened(layers));
    EXPECT_EQ(PixelsOf(first.get()), layers[0].pixels) << "the items are not changed";
    EXPECT_EQ(SettingsOf(result.get()), Settings(150.0f, 200.5f, oftJPEG, oftUnknown));

    // Dissolve reseeds per layer: a second call gives the same image.
    EXPECT_EQ(PixelsOf(Combined(collection.get()).get()), Flattened(layers));
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
    AddItem(imageless.get())->put_IsVisible(VARIANT_FALSE);  // no image means no size either
    ExpectCollectionClassError(imageless->Combine(result.put()), E_FAIL, noBackground);
    EXPECT_EQ(result.get(), nullptr);

    auto collection = CollectionOf({{2, 2, Pixels(4, 0xFF000000)}, {1, 1, {0xFFFFFFFF}}});
    auto layer = ItemAt(collection.get(), Var(1L));
    layer->put_Mode(static_cast<CombineModes>(7));
    ExpectCollectionClassError(collection->Combine(result.put()), E_FAIL, L"Rastelle does not support such a mode!");

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
}

}  // namespace
}  // namespace rastelle::test
