// Free-threaded classes as web servers call them: one object shared by every
// worker thread (ASP's Application scope), and many threads each with objects
// of its own. Workers run in the multi-threaded apartment and never touch
// GoogleTest (built without thread support): the main thread checks their results.
#include "fake_com.h"
#include "layers/layers_test_support.h"

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
    case 5: raster->SaveStream(StreamOver({}).get(), nullptr); break;
    case 6: raster->Clone(ComPtr<IRasterObject>().put()); break;
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
    case 11: shared.layers->Combine(ComPtr<IRasterObject>().put()); break;
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
    auto layers = NewCollection();
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
    ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
    EXPECT_EQ(SizeOf(LoadedStream(SavedStream(raster.get()), oftPNG).get()), SizeOf(raster.get()));

    // The collection: positions numbered 0 .. count - 1, and combinable.
    const LONG count = CountOf(layers.get());
    for (LONG i = 0; i < count; ++i) EXPECT_EQ(IndexOf(ItemAt(layers.get(), Var(i)).get()), i);
    if (count > 0) {
        ComPtr<IRasterObject> combined;
        EXPECT_EQ(layers->Combine(combined.put()), S_OK);
    }
}

// What one job produced: the saved PNG, the combined layers' pixels, or the
// first failing step.
struct Output {
    std::vector<std::uint8_t> png;
    std::vector<std::uint32_t> combined;
    std::string failure;
    bool operator==(const Output&) const = default;
};

// One mixed job: load, a transform picked by `kind`, the shared transform
// object (only read by the calls), a save into memory, and two layers
// combined.
Output Job(const std::vector<std::uint8_t>& png, IDispatch* sharedTransform, int kind) {
    Output out;
    auto ok = [&](HRESULT hr, const char* what) {
        if (FAILED(hr) && out.failure.empty()) out.failure = what + std::string(" failed");
        return SUCCEEDED(hr);
    };
    ComPtr<IRasterObject> raster, combined;
    ComPtr<IRasterCollection> layers;
    const auto create = [&](REFCLSID clsid, REFIID iid, auto& object) {
        return ok(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.put_void()), "create");
    };
    if (!create(CLSID_RasterObject, IID_IRasterObject, raster) ||
        !create(CLSID_RasterCollection, IID_IRasterCollection, layers) ||
        !ok(raster->LoadStream(StreamOver(png).get()), "LoadStream"))
        return out;
    const HRESULT hr = kind == 0   ? raster->Resize(37, 23, rqtHighQualityBicubicMode, -1)
                       : kind == 1 ? raster->RemoveNoise(2)
                       : kind == 2 ? raster->FlipAndRotate(static_cast<FlipAndRotateTypes>(3))
                       : kind == 3 ? raster->FastBlur(1.5)
                                   : raster->Rotate(30.0f, 0x80FF0000);
    const ComPtr<IStream> saved = StreamOver({});
    if (!ok(hr, "transform") || !ok(raster->ApplyTransform(sharedTransform), "ApplyTransform") ||
        !ok(raster->put_OutputFileType(oftPNG), "OutputFileType") ||
        !ok(raster->SaveStream(saved.get(), nullptr), "SaveStream"))
        return out;
    out.png = BytesOf(saved.get());
    for (int i = 0; i < 2; ++i) {
        ComPtr<IRasterItem> item;
        ComPtr<IRasterObject> inner;
        if (!ok(layers->Add(-1, item.put()), "Add") || !ok(item->get_RasterObject(inner.put()), "RasterObject") ||
            !ok(inner->LoadStream(StreamOver(png).get()), "item LoadStream") ||
            (i == 1 && !ok(item->put_Opacity(128), "Opacity")))
            return out;
    }
    if (!ok(layers->Combine(combined.put()), "Combine")) return out;
    for (LONG i = 0, argb = 0; i < 29 * 19; i += 7)  // a sample of the combined pixels
        combined->get_Pixels(i % 29, i / 29, &argb), out.combined.push_back(static_cast<std::uint32_t>(argb));
    return out;
}

constexpr int kKinds = 5;

// Runs `threads` threads of `jobs` jobs each, against the single-threaded
// outputs; returns the jobs whose output differed, as "thread/job: failure".
std::vector<std::string> RunThreads(int threads, int jobs, const std::vector<std::uint8_t>& png,
                                    IDispatch* transform, const std::vector<Output>& expected) {
    std::vector<std::string> mismatches(static_cast<size_t>(threads));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            std::string& mismatch = mismatches[static_cast<size_t>(t)];
            for (int j = 0; j < jobs && mismatch.empty(); ++j) {
                const Output out = Job(png, transform, (t + j) % kKinds);
                if (!(out == expected[static_cast<size_t>((t + j) % kKinds)]))
                    mismatch = std::to_string(t) + "/" + std::to_string(j) + ": " +
                               (out.failure.empty() ? "different output" : out.failure);
            }
            CoUninitialize();
        });
    for (auto& w : workers) w.join();
    std::erase(mismatches, std::string());
    return mismatches;
}

TEST(ThreadStress, EightThreadsGiveTheSingleThreadedOutputsAndLeaveNoObjectAndNoGrowth) {
    // Objects alive and private bytes after a warm-up of the same work, and
    // after 8 x 60 jobs more (about 10^4 calls: a job makes some twenty); a
    // leak of one bitmap a job would be several megabytes.
    const auto png = EncodeWithGdiplus(29, 19, OpaqueGradient(29, 19), L"image/png");
    auto transform = NewObject<IDispatch>(CLSID_TransformFlipAndRotate);  // shared by every thread
    std::vector<Output> expected;
    for (int kind = 0; kind < kKinds; ++kind) {
        expected.push_back(Job(png, transform.get(), kind));
        ASSERT_EQ(expected.back().failure, "") << "single-threaded job " << kind;
    }
    const auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(DllModule(), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    ASSERT_EQ(RunThreads(8, 10, png, transform.get(), expected), std::vector<std::string>{});
    const SIZE_T before = PrivateBytes();
    ASSERT_GT(before, 0u) << "the platform reports no committed memory";
    ASSERT_EQ(RunThreads(8, 60, png, transform.get(), expected), std::vector<std::string>{});
    EXPECT_LT(PrivateBytes(), before + 8 * 1024 * 1024) << "private bytes before: " << before;
    transform.reset();
    EXPECT_EQ(canUnload(), S_OK) << "objects still alive after every one was released";
}

}  // namespace
}  // namespace rastelle::test
