// Leak checks on this program's own copy of the system: its classes are
// registered as this process's class objects, so every object the calls
// make (transforms, combined layers) comes from the same copy, whose counts
// of live objects and of GDI and GDI+ objects held the test can read.
#include "test_support.h"

#include "com/class_factory.h"
#include "com/module_state.h"
#include "image/gdi_handles.h"
#include "module/class_table.h"
#include "platform/gdiplus_raii.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace rastelle::test {
namespace {

// Registers every served class of the table as a class object of this
// process for as long as it lives.
class OwnClassObjects {
public:
    OwnClassObjects() {
        for (const module::ClassEntry& entry : module::ClassTable()) {
            if (!entry.create || !entry.hasClassObject) continue;
            factories_.push_back(std::make_unique<com::ClassFactory>(entry.create));
            DWORD cookie = 0;
            if (SUCCEEDED(CoRegisterClassObject(*entry.clsid, factories_.back().get(), CLSCTX_INPROC_SERVER,
                                                REGCLS_MULTIPLEUSE, &cookie)))
                cookies_.push_back(cookie);
        }
    }
    ~OwnClassObjects() {
        for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
    }

private:
    std::vector<std::unique_ptr<com::ClassFactory>> factories_;
    std::vector<DWORD> cookies_;
};

struct Held {
    long long gdiplus, gdi;
};

Held HeldNow() {
    const HolderCounts& gdiplus = GdiplusHolderCounts();
    const HolderCounts& gdi = GdiHolderCounts();
    return {gdiplus.taken.load() - gdiplus.letGo.load(), gdi.taken.load() - gdi.letGo.load()};
}

// About a hundred calls of every kind that makes GDI and GDI+ objects:
// loads, transforms, saves in every format, pictures, clones, layers.
int MixedOperations(const std::vector<std::uint8_t>& png, int rounds) {
    int calls = 0;
    auto call = [&](HRESULT) { ++calls; };
    for (int round = 0; round < rounds; ++round) {
        ComPtr<IRasterObject> raster;
        CoCreateInstance(CLSID_RasterObject, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, raster.put_void());
        if (!raster) return -1;
        call(raster->LoadStream(StreamOver(png).get()));
        call(raster->Resize(40 + round % 7, 30, static_cast<ResizeQualityTypes>(round % 5), -1));
        call(raster->Rotate(static_cast<float>(round * 7), 0x40FFFFFF));
        call(raster->RemoveNoise(1 + round % 3));
        call(raster->FlipAndRotate(static_cast<FlipAndRotateTypes>(round % 8)));
        call(raster->Crop(3, 2, 20, 15, -1, round % 2 ? VARIANT_TRUE : VARIANT_FALSE, rqtHighQualityBilinearMode));
        call(raster->Equalize(10, -5, 0, 0, 1.0f, 0.8f, 1.2f, 1.0f));
        call(raster->Shadow(3, 2, 1.5, 0x80000000));
        for (OutputFileTypes type : {oftJPEG, oftBMP, oftPNG, oftTIFF, oftGIF, oftSWF}) {
            ComPtr<IStream> out;
            CreateStreamOnHGlobal(nullptr, TRUE, out.put());
            call(raster->put_OutputFileType(type));
            call(raster->SaveStream(out.get(), nullptr));
        }
        ComPtr<IPictureDisp> picture;
        call(raster->SavePicture(picture.put()));
        ComPtr<IRasterObject> other;
        call(raster->Clone(other.put()));
        if (picture) call(other->LoadPicture(picture.get()));
        call(raster->LoadStream(StreamOver({1, 2, 3}).get()));  // a failing load

        ComPtr<IRasterCollection> layers;
        CoCreateInstance(CLSID_RasterCollection, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterCollection,
                         layers.put_void());
        if (!layers) return -1;
        for (int i = 0; i < 2; ++i) {
            ComPtr<IRasterItem> item;
            call(layers->Add(-1, item.put()));
            if (item) call(item->put_RasterObject(i ? raster.get() : other.get()));
        }
        ComPtr<IRasterObject> combined;
        call(layers->Combine(combined.put()));
    }
    return calls;
}

TEST(Leaks, TenThousandCallsLeaveNoObjectBehind) {
    const std::vector<std::uint8_t> png = EncodeWithGdiplus(31, 23, OpaqueGradient(31, 23), L"image/png");
    const OwnClassObjects classes;
    // The warm-up runs every capability probe (which keep nothing).
    ASSERT_GT(MixedOperations(png, 2), 0);
    const Held before = HeldNow();
    const LONG locksBefore = com::ModuleLockCount();

    const int calls = MixedOperations(png, 350);
    ASSERT_GT(calls, 10000);
    EXPECT_EQ(com::ModuleLockCount(), locksBefore) << "objects alive after " << calls << " calls";
    const Held after = HeldNow();
    EXPECT_EQ(after.gdiplus, before.gdiplus) << "GDI+ objects held";
    EXPECT_EQ(after.gdi, before.gdi) << "GDI objects held";
    std::printf("leak check: %d calls; GDI+ objects taken %lld, let go %lld; GDI objects taken %lld, let go %lld\n",
                calls, GdiplusHolderCounts().taken.load(), GdiplusHolderCounts().letGo.load(),
                GdiHolderCounts().taken.load(), GdiHolderCounts().letGo.load());
    EXPECT_GT(GdiplusHolderCounts().taken.load(), 5000) << "the holders counted nothing";
    EXPECT_GT(GdiHolderCounts().taken.load(), 100) << "the GDI holders counted nothing";
}

}  // namespace
}  // namespace rastelle::test
