// One object shared by many threads: ASP keeps objects in Application scope
// and calls them from every worker thread at once. Workers run in the
// multi-threaded apartment and never touch GoogleTest; they count what they
// did and the main thread checks it.
#include "fake_com.h"
#include "test_support.h"

#include <atomic>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace rastelle::test {
namespace {

// A client's transform whose Apply calls back into the raster object from
// another thread (as an object of another apartment would) before copying
// its input to its output.
struct CallingBackTransform : FakeDispatch<IDispatch> {
    IRasterObject* raster = nullptr;
    std::shared_ptr<std::atomic<bool>> answered = std::make_shared<std::atomic<bool>>(false);

    CallingBackTransform() {
        names = [](const wchar_t* name, DISPID* id) {
            return _wcsicmp(name, L"Apply") != 0 ? DISP_E_UNKNOWNNAME : (*id = 1, S_OK);
        };
        invoke = [this](DISPID, WORD, DISPPARAMS* params) {
            auto done = std::make_shared<std::atomic<bool>>(false);
            std::thread other([raster = raster, answered = answered, done] {
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                LONG width = 0;
                if (SUCCEEDED(raster->get_Width(&width))) *answered = true;
                CoUninitialize();
                *done = true;
            });
            // A deadlock shows as no answer; the thread is then left behind.
            for (int waited = 0; !*done && waited < 200; ++waited) Sleep(100);
            if (*done) other.join();
            else other.detach();
            return SafeArrayCopy(params->rgvarg[1].parray, params->rgvarg[0].pparray);
        };
    }
};

TEST(SharedObjects, AClientTransformMayCallBackFromAnotherThread) {
    auto raster = RasterWith(3, 2, NumberedPixels(3, 2));
    auto client = MakeFake<CallingBackTransform>();
    client->raster = raster.get();
    EXPECT_EQ(raster->ApplyTransform(client.get()), S_OK);
    EXPECT_TRUE(*client->answered) << "the call back from another thread was not answered";
    EXPECT_EQ(PixelsOf(raster.get()), NumberedPixels(3, 2));
}

struct Shared {
    IRasterObject* raster;
    IRasterCollection* layers;
    IDrawingTool* tool;
    std::vector<std::uint8_t> png;
};

// One of a mix of calls on the shared objects. Any of them may fail when
// another thread got there first (an item removed, a pixel outside an image
// just made smaller); none may crash or block.
void MixedCall(const Shared& shared, std::mt19937& random, int thread) {
    IRasterObject* raster = shared.raster;
    const LONG w = 8 + static_cast<LONG>(random() % 24), h = 8 + static_cast<LONG>(random() % 24);
    LONG value = 0;
    switch (random() % 16) {
    case 0: raster->EmptyImage(w, h, 0x80FF0000); break;
    case 1: raster->Resize(w, h, rqtHighQualityBicubicMode, -1); break;
    case 2: raster->FastBlur(1.0); break;
    case 3: raster->get_Width(&value), raster->get_Height(&value); break;
    case 4: raster->get_Pixels(1, 1, &value), raster->put_Pixels(2, 2, 0x12345678); break;
    case 5: {
        ComPtr<IStream> stream;
        CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
        raster->SaveStream(stream.get(), nullptr);
        break;
    }
    case 6: {
        ComPtr<IRasterObject> copy;
        raster->Clone(copy.put());
        break;
    }
    case 7: raster->LoadStream(StreamOver(shared.png).get()); break;
    case 8: raster->FlipAndRotate(static_cast<FlipAndRotateTypes>(random() % 8)); break;
    case 9: {
        ComPtr<IRasterItem> item;
        ComPtr<IRasterObject> inner;
        if (SUCCEEDED(shared.layers->Add(-1, item.put())) && SUCCEEDED(item->get_RasterObject(inner.put())))
            inner->EmptyImage(w, h, 0xFF00FF00);
        break;
    }
    case 10: {
        LONG count = 0;
        shared.layers->get_Count(&count);
        if (count > 4) shared.layers->Remove(LongVariant(static_cast<LONG>(random() % count)));
        break;
    }
    case 11: {
        ComPtr<IRasterObject> combined;
        shared.layers->Combine(combined.put());
        break;
    }
    case 12: {
        // An item showing the shared object, under a new key.
        ComPtr<IRasterItem> item;
        if (SUCCEEDED(shared.layers->get_Item(LongVariant(0), item.put()))) {
            item->put_RasterObject(raster);
            item->put_Key(Bstr(L"key" + std::to_wstring(thread) + L"-" + std::to_wstring(random())).get());
        }
        break;
    }
    case 13: {
        LONG count = 0;
        shared.layers->get_Count(&count);
        if (count > 1) shared.layers->Move(LongVariant(0), count - 1);
        break;
    }
    case 14: shared.tool->put_RasterObject(raster), shared.tool->SetLine(0, 0, w, h, nullptr); break;
    default: {
        ComPtr<IUnknown> enumerator;
        ComPtr<IEnumVARIANT> items;
        VARIANT item;
        if (SUCCEEDED(shared.layers->get__NewEnum(enumerator.put())) && SUCCEEDED(enumerator.As(items)))
            while (items->Next(1, &item, nullptr) == S_OK) VariantClear(&item);
        break;
    }
    }
}

TEST(SharedObjects, EightThreadsCallingOneObjectAndOneCollectionEndWithBothSane) {
    constexpr int kThreads = 8, kCalls = 300;
    auto raster = RasterWith(16, 12, OpaqueGradient(16, 12));
    auto layers = NewObject<IRasterCollection>(CLSID_RasterCollection);
    auto tool = NewObject<IDrawingTool>(CLSID_DrawingTool);
    const Shared shared{raster.get(), layers.get(), tool.get(), EncodeWithGdiplus(20, 10, OpaqueGradient(20, 10), L"image/png")};
    std::mt19937 warmUp(9);
    for (int i = 0; i < 3; ++i) MixedCall(shared, warmUp, 0);

    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
        workers.emplace_back([&, t] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            std::mt19937 random(static_cast<unsigned>(t) * 7919u + 1u);
            for (int call = 0; call < kCalls; ++call) MixedCall(shared, random, t);
            CoUninitialize();
            ++finished;
        });
    // A deadlock shows as threads that never finish: fail rather than hang.
    for (int waited = 0; finished < kThreads && waited < 600; ++waited) Sleep(500);
    ASSERT_EQ(finished, kThreads) << "threads still blocked after five minutes";
    for (auto& worker : workers) worker.join();

    // The object: an image whose every pixel can be read, saved and loaded back.
    const auto [width, height] = SizeOf(raster.get());
    ASSERT_GT(width, 0);
    LONG corner = 0;
    EXPECT_EQ(raster->get_Pixels(width - 1, height - 1, &corner), S_OK);
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
    ASSERT_EQ(raster->SaveStream(stream.get(), nullptr), S_OK);
    auto reloaded = NewRaster();
    ASSERT_EQ(reloaded->LoadStream(StreamOver(BytesOf(stream.get())).get()), S_OK);
    EXPECT_EQ(SizeOf(reloaded.get()), SizeOf(raster.get()));

    // The collection: positions numbered 0 .. count - 1, and combinable.
    LONG count = 0;
    ASSERT_EQ(layers->get_Count(&count), S_OK);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IRasterItem> item;
        LONG index = -1;
        ASSERT_EQ(layers->get_Item(LongVariant(i), item.put()), S_OK);
        item->get_Index(&index);
        EXPECT_EQ(index, i);
    }
    if (count > 0) {
        ComPtr<IRasterObject> combined;
        EXPECT_EQ(layers->Combine(combined.put()), S_OK);
    }
}

}  // namespace
}  // namespace rastelle::test
