// Thread stress: the classes are free-threaded, and hosts (web servers) call
// them from many threads for as long as they run. Workers, in the
// multi-threaded apartment, never touch GoogleTest (built without thread
// support here): they return what they saw and the main thread checks it.
#include "test_support.h"

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
    ComPtr<IStream> saved;
    CreateStreamOnHGlobal(nullptr, TRUE, saved.put());
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
