// Throughput of the typical page (LoadFile a JPEG, Resize 400 x 300 high
// quality bicubic, SaveFile JPEG quality 85) on one thread and on two at once,
// each thread with its own objects, in alternating rounds in one process.
// Prints each round, the median ratio of two threads' pages per second to
// one thread's, what a fresh 48 MB buffer costs beside a reused one, what
// Clone, FlipAndRotate and Transparentize cost in copies of the image, and
// what GdipBitmapLockBits does on a bitmap over our memory.
//
//   rastelle_page_throughput.exe PHOTO.jpg OUTPUT_FOLDER
#include "codecs/encoder_options.h"
#include "com/com_ptr.h"
#include "com/module_state.h"
#include "com/unique_any.h"
#include "image/bitmap.h"
#include "image/pixel_memory.h"
#include "raster/raster_object.h"
#include "rastelle_h.h"

#include "platform/gdiplus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using rastelle::com::ComPtr;
using Clock = std::chrono::steady_clock;

double Seconds(auto&& body) {
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Pages made one after another on the calling thread; false on any failure.
bool MakePages(const std::wstring& photo, const std::wstring& output, int pages) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComPtr<IJPEGEncoderInfo> jpeg;
    bool ok = SUCCEEDED(rastelle::codecs::JPEGEncoderInfo::Create(nullptr, IID_IJPEGEncoderInfo, jpeg.put_void())) &&
              SUCCEEDED(jpeg->put_Quality(85));
    rastelle::com::UniqueBstr in{std::wstring_view(photo)}, out{std::wstring_view(output)};
    for (int i = 0; ok && i < pages; ++i) {
        ComPtr<IRasterObject> raster;
        ok = SUCCEEDED(rastelle::RasterObject::Create(nullptr, IID_IRasterObject, raster.put_void())) &&
             raster->LoadFile(in.get()) == S_OK && raster->Resize(400, 300, rqtHighQualityBicubicMode, -1) == S_OK &&
             raster->SaveFile(out.get(), jpeg.get()) == S_OK;
    }
    jpeg.reset();
    CoUninitialize();
    return ok;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 3) {
        std::puts("usage: rastelle_page_throughput PHOTO.jpg OUTPUT_FOLDER");
        return 2;
    }
    rastelle::com::SetModuleInstance(LoadLibraryW(L"Rastelle.dll"));
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    const auto wide = [](const char* text) {
        std::wstring result(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0)), L'\0');
        MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), static_cast<int>(result.size()));
        result.resize(result.size() - 1);
        return result;
    };
    const std::wstring photo = wide(argv[1]), folder = wide(argv[2]);
    constexpr int kPages = 12;
    if (!MakePages(photo, folder + L"\\warm.jpg", 2)) {
        std::puts("the page failed");
        return 1;
    }
    std::vector<double> ratios;
    for (int round = 0; round < 5; ++round) {
        const double one = Seconds([&] { MakePages(photo, folder + L"\\one.jpg", kPages); });
        const double two = Seconds([&] {
            std::thread first([&] { MakePages(photo, folder + L"\\first.jpg", kPages); });
            std::thread second([&] { MakePages(photo, folder + L"\\second.jpg", kPages); });
            first.join();
            second.join();
        });
        const double ratio = (2 * kPages / two) / (kPages / one);
        ratios.push_back(ratio);
        std::printf("round %d: one thread %.1f pages/s, two threads %.1f pages/s, ratio %.2f\n", round,
                    kPages / one, 2 * kPages / two, ratio);
    }
    std::printf("two threads' throughput over one thread's: median %.2f (range %.2f .. %.2f)\n", Median(ratios),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));

    // A fresh 48 MB buffer written once against the same size reused.
    constexpr size_t kBytes = 48u << 20;
    std::vector<double> fresh, reused;
    for (int round = 0; round < 5; ++round) {
        fresh.push_back(Seconds([&] {
            void* block = VirtualAlloc(nullptr, kBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            std::memset(block, 1, kBytes);
            VirtualFree(block, 0, MEM_RELEASE);
        }));
        rastelle::PixelMemory first = rastelle::PixelMemory::Acquire(kBytes);
        std::memset(first.data(), 1, kBytes);
        first = {};
        reused.push_back(Seconds([&] {
            rastelle::PixelMemory again = rastelle::PixelMemory::Acquire(kBytes);
            std::memset(again.data(), 1, kBytes);
        }));
    }
    std::printf("48 MB written once: fresh %.1f ms, from the block cache %.1f ms (medians of 5)\n",
                1000 * Median(fresh), 1000 * Median(reused));

    // Calls that touch every pixel once or twice, in copies of the image: a
    // plain copy of its 48 MB into a reused buffer measured in the same rounds.
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ComPtr<IRasterObject> raster;
        rastelle::RasterObject::Create(nullptr, IID_IRasterObject, raster.put_void());
        rastelle::com::UniqueBstr in{std::wstring_view(photo)};
        raster->LoadFile(in.get());
        std::vector<std::uint32_t> from(4000 * 3000, 0x80402010u), to(from.size());
        std::vector<double> copy, clone, flip, transparentize;
        for (int round = 0; round < 7; ++round) {
            copy.push_back(Seconds([&] { std::memcpy(to.data(), from.data(), from.size() * 4); }));
            clone.push_back(Seconds([&] {
                ComPtr<IRasterObject> copyOf;
                raster->Clone(copyOf.put());
            }));
            flip.push_back(Seconds([&] { raster->FlipAndRotate(fartNoRotateFlipXY); }));
            transparentize.push_back(Seconds([&] { raster->Transparentize(0xFF808080, 20); }));
        }
        const double one = Median(copy);
        std::printf("a 48 MB copy %.1f ms; Clone %.2f, FlipAndRotate 2 %.2f, Transparentize %.2f copies (medians of 7)\n",
                    1000 * one, Median(clone) / one, Median(flip) / one, Median(transparentize) / one);
        raster.reset();
        CoUninitialize();
    }

    // GdipBitmapLockBits of a whole 12 Mpx 32-bit ARGB bitmap for reading and
    // writing, made over our memory and made by GDI+: whether the lock hands
    // out the bitmap's own memory, and what a lock and unlock cost.
    for (const bool own : {true, false}) {
        std::unique_ptr<rastelle::Bitmap> bitmap;
        if (own) {
            bitmap.reset(rastelle::Bitmap::Create(4000, 3000));
        } else {
            Gdiplus::GpBitmap* native = nullptr;
            rastelle::gp::GdipCreateBitmapFromScan0(4000, 3000, 0, PixelFormat32bppARGB, nullptr, &native);
            bitmap.reset(rastelle::Bitmap::Adopt(native, Gdiplus::Ok));
        }
        const Gdiplus::GpRect all(0, 0, 4000, 3000);
        Gdiplus::BitmapData first{};
        rastelle::gp::GdipBitmapLockBits(bitmap->native(), &all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite,
                               PixelFormat32bppARGB, &first);
        rastelle::gp::GdipBitmapUnlockBits(bitmap->native(), &first);
        std::vector<double> times;
        bool same = true;
        for (int i = 0; i < 9; ++i) {
            Gdiplus::BitmapData data{};
            times.push_back(Seconds([&] {
                rastelle::gp::GdipBitmapLockBits(bitmap->native(), &all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite,
                                       PixelFormat32bppARGB, &data);
                rastelle::gp::GdipBitmapUnlockBits(bitmap->native(), &data);
            }));
            same = same && data.Scan0 == first.Scan0;
        }
        std::printf("LockBits and UnlockBits of 4000 x 3000, %s: %.1f us (median of 9), %s\n",
                    own ? "over our memory" : "GDI+'s memory", 1e6 * Median(times),
                    same ? "the bitmap's own memory every time" : "a copy");
    }
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
