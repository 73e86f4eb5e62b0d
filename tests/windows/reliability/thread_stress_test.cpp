// Thread stress and leak checks: the classes are free-threaded, and hosts
// (web servers) call them from many threads for as long as they run.
//
// Workers run on threads of the multi-threaded apartment and never touch
// GoogleTest (built without thread support here): they return what they saw
// and the main thread checks it.
#include "test_support.h"

#include "layers/layers_test_support.h"

#include <psapi.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace rastelle::test {
namespace {

// What one job produced: the saved PNG, the combined layers' pixels, or the
// first failing step.
struct Output {
    std::vector<std::uint8_t> png;
    std::vector<std::uint32_t> combined;
    std::string failure;
    bool operator==(const Output&) const = default;
};

template <class Itf>
ComPtr<Itf> Create(REFCLSID clsid) {
    ComPtr<Itf> object;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Itf), object.put_void());
    return object;
}

// One mixed job: load, a transform picked by `kind`, the shared transform
// object (only read by the calls), a save into memory, and two layers
// combined.
Output Job(const std::vector<std::uint8_t>& png, IDispatch* sharedTransform, int kind) {
    Output out;
    auto step = [&](HRESULT hr, const char* what) {
        if (FAILED(hr) && out.failure.empty()) out.failure = what + std::string(" failed");
        return SUCCEEDED(hr);
    };
    ComPtr<IRasterObject> raster = Create<IRasterObject>(CLSID_RasterObject);
    if (!raster) return {{}, {}, "create failed"};
    if (!step(raster->LoadStream(StreamOver(png).get()), "LoadStream")) return out;
    HRESULT hr = S_OK;
    switch (kind % 5) {
        case 0: hr = raster->Resize(37, 23, rqtHighQualityBicubicMode, -1); break;
        case 1: hr = raster->RemoveNoise(2); break;
        case 2: hr = raster->FlipAndRotate(static_cast<FlipAndRotateTypes>(3)); break;
        case 3: hr = raster->FastBlur(1.5); break;
        default: hr = raster->Rotate(30.0f, 0x80FF0000); break;
    }
    if (!step(hr, "transform")) return out;
    if (!step(raster->ApplyTransform(sharedTransform), "ApplyTransform")) return out;
    ComPtr<IStream> saved;
    CreateStreamOnHGlobal(nullptr, TRUE, saved.put());
    if (!step(raster->put_OutputFileType(oftPNG), "OutputFileType") ||
        !step(raster->SaveStream(saved.get(), nullptr), "SaveStream"))
        return out;
    out.png = BytesOf(saved.get());

    ComPtr<IRasterCollection> layers = Create<IRasterCollection>(CLSID_RasterCollection);
    if (!layers) return {{}, {}, "collection create failed"};
    for (int i = 0; i < 2; ++i) {
        ComPtr<IRasterItem> item;
        if (!step(layers->Add(-1, item.put()), "Add")) return out;
        ComPtr<IRasterObject> inner;
        if (!step(item->get_RasterObject(inner.put()), "RasterObject")) return out;
        if (!step(inner->LoadStream(StreamOver(png).get()), "item LoadStream")) return out;
        if (i == 1 && !step(item->put_Opacity(128), "Opacity")) return out;
    }
    ComPtr<IRasterObject> combined;
    if (!step(layers->Combine(combined.put()), "Combine")) return out;
    const auto [width, height] = SizeOf(combined.get());
    for (LONG y = 0; y < height; y += 3)
        for (LONG x = 0; x < width; x += 3) {
            LONG argb = 0;
            combined->get_Pixels(x, y, &argb);
            out.combined.push_back(static_cast<std::uint32_t>(argb));
        }
    return out;
}

class ThreadStress : public testing::Test {
protected:
    void SetUp() override {
        png_ = EncodeWithGdiplus(29, 19, OpaqueGradient(29, 19), L"image/png");
        transform_ = NewObject<IDispatch>(CLSID_TransformFlipAndRotate);
        ASSERT_TRUE(transform_);
        for (int kind = 0; kind < kKinds; ++kind) {
            expected_.push_back(Job(png_, transform_.get(), kind));
            ASSERT_EQ(expected_.back().failure, "") << "single-threaded job " << kind;
        }
    }

    // Runs `threads` threads of `jobs` jobs each; returns the jobs whose output
    // differed from the single-threaded one, as "thread/job: failure".
    std::vector<std::string> RunThreads(int threads, int jobs) {
        std::vector<std::string> mismatches(static_cast<size_t>(threads));
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                for (int j = 0; j < jobs && mismatches[static_cast<size_t>(t)].empty(); ++j) {
                    const int kind = (t + j) % kKinds;
                    const Output out = Job(png_, transform_.get(), kind);
                    if (!(out == expected_[static_cast<size_t>(kind)]))
                        mismatches[static_cast<size_t>(t)] = std::to_string(t) + "/" + std::to_string(j) + ": " +
                                                             (out.failure.empty() ? "different output" : out.failure);
                }
                CoUninitialize();
            });
        for (auto& w : workers) w.join();
        std::erase(mismatches, std::string());
        return mismatches;
    }

    static constexpr int kKinds = 5;
    std::vector<std::uint8_t> png_;
    ComPtr<IDispatch> transform_;  // shared by every thread
    std::vector<Output> expected_;
};

TEST_F(ThreadStress, EightThreadsGiveTheSingleThreadedOutputs) {
    EXPECT_EQ(RunThreads(8, 12), std::vector<std::string>{});
}

// The process's committed private memory. Windows reports it as both
// PrivateUsage and PagefileUsage; Wine fills in only PagefileUsage.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

TEST_F(ThreadStress, ManyOperationsLeaveNoObjectAndNoGrowth) {
    // Objects alive and private bytes (the process's committed private
    // memory, as GetProcessMemoryInfo reports it) after a warm-up of the
    // same work, and after 8 x 60 jobs more (about 10^4 calls: a job makes
    // some twenty); a leak of one bitmap a job would be several megabytes.
    const auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(DllModule(), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    ASSERT_EQ(RunThreads(8, 10), std::vector<std::string>{});
    const SIZE_T before = PrivateBytes();
    ASSERT_GT(before, 0u) << "the platform reports no committed memory";
    ASSERT_EQ(RunThreads(8, 60), std::vector<std::string>{});
    const SIZE_T after = PrivateBytes();
    EXPECT_LT(after, before + 8 * 1024 * 1024) << "private bytes " << before << " -> " << after;

    transform_.reset();
    EXPECT_EQ(canUnload(), S_OK) << "objects still alive after every one was released";
}

}  // namespace
}  // namespace rastelle::test
