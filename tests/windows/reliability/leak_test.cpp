// Leak checks on this program's own copy of the system, registered as this
// process's class objects: every object the calls make comes from it, and
// the test reads its counts of live objects and of GDI and GDI+ objects.
#include "layers/layers_test_support.h"

#include "com/class_factory.h"
#include "com/module_state.h"
#include "module/class_table.h"
#include "platform/gdiplus_raii.h"

#include <cstdio>
#include <functional>
#include <memory>

namespace rastelle::test {
namespace {

// Registers every served class of the table as a class object of this
// process for as long as it lives.
struct OwnClassObjects {
    std::vector<std::unique_ptr<com::ClassFactory>> factories;
    std::vector<DWORD> cookies;
    OwnClassObjects() {
        for (const module::ClassEntry& entry : module::ClassTable()) {
            if (!entry.create || !entry.hasClassObject) continue;
            factories.push_back(std::make_unique<com::ClassFactory>(entry.create));
            DWORD cookie = 0;
            if (SUCCEEDED(CoRegisterClassObject(*entry.clsid, factories.back().get(), CLSCTX_INPROC_SERVER,
                                                REGCLS_MULTIPLEUSE, &cookie)))
                cookies.push_back(cookie);
        }
    }
    ~OwnClassObjects() {
        for (DWORD cookie : cookies) CoRevokeClassObject(cookie);
    }
};

// Counts what the holders of this program's copy take and let go of, from
// its first use on.
struct HolderCounts final : HolderObserver {
    std::atomic<long long> taken[2] = {0, 0};
    std::atomic<long long> letGo[2] = {0, 0};
    void Taken(HolderKind kind) noexcept override { taken[static_cast<int>(kind)].fetch_add(1); }
    void LetGo(HolderKind kind) noexcept override { letGo[static_cast<int>(kind)].fetch_add(1); }
    long long Held(HolderKind kind) const { return taken[static_cast<int>(kind)] - letGo[static_cast<int>(kind)]; }
};
HolderCounts& Counts() {
    static HolderCounts counts;
    HolderObserverSlot().store(&counts);
    return counts;
}

// Module locks, and GDI+ and GDI objects held now.
std::tuple<LONG, long long, long long> HeldNow() {
    return {com::ModuleLockCount(), Counts().Held(HolderKind::Gdiplus), Counts().Held(HolderKind::Gdi)};
}

// About thirty calls a round of every kind that makes GDI and GDI+ objects:
// loads, transforms, saves in every format, pictures, clones, layers.
int MixedOperations(const std::vector<std::uint8_t>& png, int rounds) {
    int calls = 0;
    auto call = [&](HRESULT) { ++calls; };
    for (int round = 0; round < rounds; ++round) {
        auto raster = NewRaster();
        auto layers = NewCollection();
        if (!raster || !layers) return -1;
        call(raster->LoadStream(StreamOver(png).get()));
        call(raster->Resize(40 + round % 7, 30, static_cast<ResizeQualityTypes>(round % 5), -1));
        call(raster->Rotate(static_cast<float>(round * 7), 0x40FFFFFF));
        call(raster->RemoveNoise(1 + round % 3));
        call(raster->FlipAndRotate(static_cast<FlipAndRotateTypes>(round % 8)));
        call(raster->Crop(3, 2, 20, 15, -1, round % 2 ? VARIANT_TRUE : VARIANT_FALSE, rqtHighQualityBilinearMode));
        call(raster->Equalize(10, -5, 0, 0, 1.0f, 0.8f, 1.2f, 1.0f));
        call(raster->Shadow(3, 2, 1.5, 0x80000000));
        for (OutputFileTypes type : {oftJPEG, oftBMP, oftPNG, oftTIFF, oftGIF, oftSWF}) {
            call(raster->put_OutputFileType(type));
            call(raster->SaveStream(StreamOver({}).get(), nullptr));
        }
        ComPtr<IPictureDisp> picture;
        ComPtr<IRasterObject> other, combined;
        call(raster->SavePicture(picture.put()));
        call(raster->Clone(other.put()));
        if (picture) call(other->LoadPicture(picture.get()));
        call(raster->LoadStream(StreamOver({1, 2, 3}).get()));  // a failing load
        for (IRasterObject* layer : {other.get(), raster.get()}) {
            ComPtr<IRasterItem> item;
            call(layers->Add(-1, item.put()));
            if (item) call(item->put_RasterObject(layer));
        }
        call(layers->Combine(combined.put()));
    }
    return calls;
}

TEST(Leaks, TenThousandCallsLeaveNoObjectBehind) {
    const std::vector<std::uint8_t> png = EncodeWithGdiplus(31, 23, OpaqueGradient(31, 23), L"image/png");
    const OwnClassObjects classes;
    Counts();
    ASSERT_GT(MixedOperations(png, 2), 0);  // runs every capability probe (which keep nothing)
    const auto before = HeldNow();
    const int calls = MixedOperations(png, 350);
    ASSERT_GT(calls, 10000);
    EXPECT_EQ(HeldNow(), before) << "module locks (live objects), GDI+ and GDI objects held after " << calls << " calls";
    const HolderCounts& counts = Counts();
    const int gdiplus = static_cast<int>(HolderKind::Gdiplus), gdi = static_cast<int>(HolderKind::Gdi);
    std::printf("leak check: %d calls; GDI+ objects taken %lld, let go %lld; GDI objects taken %lld, let go %lld\n", calls,
                counts.taken[gdiplus].load(), counts.letGo[gdiplus].load(), counts.taken[gdi].load(),
                counts.letGo[gdi].load());
    EXPECT_TRUE(counts.taken[gdiplus] > 5000 && counts.taken[gdi] > 100) << "the holders counted nothing";
}

// One operation of the layers, drawing, effects and multi-frame files,
// called 2000 times after a warm-up: the process may not grow by 2 MB, so
// that a leak names its operation.
TEST(Leaks, EveryOperationOnItsOwnStaysFlat) {
    auto layers = LayersOf({RasterWith(16, 12, OpaqueGradient(16, 12)), RasterWith(12, 9, OpaqueGradient(12, 9))});
    const std::wstring tiff = TempPath(L"leak-pages.tif"), gif = TempPath(L"leak-frames.gif");  // saved before loaded
    auto raster = RasterWith(16, 12, OpaqueGradient(16, 12));
    auto text = NewObject<ITextInfo>(CLSID_TextInfo);
    text->put_FontSize(9.0f);

    struct Operation {
        const char* name;
        std::function<HRESULT()> call;
    };
    const std::vector<Operation> operations = {
        {"Add, Combine, Remove",
         [&] {
             ComPtr<IRasterItem> item;
             HRESULT hr = layers->Add(-1, item.put());
             if (SUCCEEDED(hr)) hr = item->put_RasterObject(raster.get());
             ComPtr<IRasterObject> combined;
             if (SUCCEEDED(hr)) hr = layers->Combine(combined.put());
             if (SUCCEEDED(hr)) hr = layers->Remove(LongVariant(2));
             return hr;
         }},
        {"DrawingTool text and shapes on a raster object",
         [&] {
             auto tool = NewObject<IDrawingTool>(CLSID_DrawingTool);
             HRESULT hr = tool->put_AntialiasingOn(VARIANT_TRUE);
             if (SUCCEEDED(hr)) hr = tool->put_RasterObject(raster.get());
             if (SUCCEEDED(hr)) hr = tool->SetText(Bstr(L"Wave").get(), 1, 1, 10.0f, text.get());
             if (SUCCEEDED(hr)) hr = tool->SetEllipseViaRadius(8, 6, 5, 3, 20.0f, VARIANT_TRUE);
             return hr;
         }},
        {"effects (Mosaic, Sharpen)", [&] { return FAILED(raster->Mosaic(3, 3)) ? E_FAIL : raster->Sharpen(8); }},
        {"kernels (FastBlur, RemoveNoise)",
         [&] { return FAILED(raster->FastBlur(1.5)) ? E_FAIL : raster->RemoveNoise(1); }},
        {"SaveMultiframeImage TIFF",
         [&] { return layers->SaveMultiframeImage(Bstr(tiff).get(), LongVariant(oftTIFF), VARIANT_TRUE); }},
        {"SaveMultiframeImage GIF",
         [&] { return layers->SaveMultiframeImage(Bstr(gif).get(), LongVariant(oftGIF), VARIANT_TRUE); }},
        {"LoadMultiframeImage TIFF",
         [&] { return NewCollection()->LoadMultiframeImage(Bstr(tiff).get(), VARIANT_TRUE); }},
        {"LoadMultiframeImage GIF",
         [&] { return NewCollection()->LoadMultiframeImage(Bstr(gif).get(), VARIANT_TRUE); }},
    };
    for (const Operation& operation : operations) {
        for (int i = 0; i < 200; ++i) ASSERT_EQ(operation.call(), S_OK) << operation.name;
        const SIZE_T before = PrivateBytes();
        for (int i = 0; i < 2000; ++i) ASSERT_EQ(operation.call(), S_OK) << operation.name;
        const SIZE_T after = PrivateBytes();
        const long long growth = static_cast<long long>(after) - static_cast<long long>(before);
        std::printf("leak check: %s: %lld KB over 2000 calls\n", operation.name, growth / 1024);
        EXPECT_LT(growth, 2ll << 20) << operation.name;
    }
}

}  // namespace
}  // namespace rastelle::test
