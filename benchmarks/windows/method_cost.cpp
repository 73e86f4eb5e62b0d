// What a transform or effect method costs beyond its kernel, in copies of the
// image: each method is called on a fresh clone of a 4000 x 3000 picture, its
// kernel run alone on buffers of the same size, and a plain 48 MB copy into a
// reused buffer timed beside them, in alternating rounds in one process.
// Rotate and Equalize draw through GDI+, so their "kernel" is the transform
// object's own body (ApplyMe on a bitmap), and what is left is the raster
// object's share. Prints per method the medians and (call - kernel) / copy.
//
//   rastelle_method_cost.exe PHOTO.jpg
#include "codecs/jpeg_reader.h"
#include "com/automation.h"
#include "com/com_ptr.h"
#include "com/module_state.h"
#include "image/bitmap_lock.h"
#include "kernels/blur.h"
#include "kernels/fill_copy.h"
#include "kernels/effects/effects.h"
#include "kernels/rank_filter.h"
#include "kernels/resample.h"
#include "kernels/transparency.h"
#include "raster/raster_object.h"
#include "transforms/colour_transforms.h"
#include "transforms/geometric_transforms.h"
#include "rastelle_h.h"

#include "platform/gdiplus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using rastelle::com::ComPtr;
using rastelle::kernels::ConstImageView;
using rastelle::kernels::ImageView;
namespace effects = rastelle::kernels::effects;
using Clock = std::chrono::steady_clock;

double Milliseconds(const std::function<void()>& body) {
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Method {
    const char* name;
    std::function<HRESULT(IRasterObject*)> call;
    std::function<void(const ConstImageView&, const ImageView&)> kernel;
    // Drawn by GDI+ and slow under Wine: timed in rounds of their own, so that
    // their seconds do not leave the other methods' cached blocks idle long
    // enough to go back to the system.
    bool slow = false;
};

// A view of the first width x height pixels of a buffer, for outputs smaller
// than the photo.
ImageView Smaller(const ImageView& buffer, int width, int height) {
    return ImageView(buffer.pixels, width, height, width * 4);
}

// Runs a transform object's own body on a bitmap, as the raster object does;
// says so when it fails, since its time then means nothing.
template <class Itf>
void ApplyTransformObject(rastelle::com::CreateFunction create, rastelle::Bitmap& input,
                          const std::function<void(Itf*)>& configure) {
    ComPtr<Itf> transform;
    ComPtr<IGDIPlusTransform> body;
    rastelle::Bitmap* result = nullptr;
    HRESULT hr = create(nullptr, __uuidof(Itf), transform.put_void());
    if (SUCCEEDED(hr)) {
        configure(transform.get());
        hr = transform->QueryInterface(IID_IGDIPlusTransform, body.put_void());
    }
    if (SUCCEEDED(hr)) hr = body->ApplyMe(reinterpret_cast<LONG*>(&input), reinterpret_cast<LONG**>(&result));
    delete result;
    if (FAILED(hr)) std::printf("transform body failed: 0x%08lX\n", static_cast<unsigned long>(hr));
}

std::vector<Method> Methods(rastelle::Bitmap& photo) {
    constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
    using rastelle::kernels::ResampleMode;
    using rastelle::kernels::ResampleOver;
    return {
        {"Resize 400, 300, 4", [](IRasterObject* r) { return r->Resize(400, 300, rqtHighQualityBicubicMode, -1); },
         [](auto& in, auto& out) {
             ResampleOver(in, {0, 0, in.width, in.height}, Smaller(out, 400, 300), ResampleMode::HighQualityBicubic,
                          kWhite);
         }},
        {"Resize 2000, 1500, 2",
         [](IRasterObject* r) { return r->Resize(2000, 1500, rqtHighQualityBilinearMode, -1); },
         [](auto& in, auto& out) {
             ResampleOver(in, {0, 0, in.width, in.height}, Smaller(out, 2000, 1500),
                          ResampleMode::HighQualityBilinear, kWhite);
         }},
        {"Crop 1000, 750, 2000, 1500",
         [](IRasterObject* r) { return r->Crop(1000, 750, 2000, 1500, -1, VARIANT_FALSE, rqtHighQualityBilinearMode); },
         [](auto& in, auto& out) {
             ResampleOver(in, {1000, 750, 2000, 1500}, Smaller(out, 2000, 1500), ResampleMode::HighQualityBilinear,
                          kWhite);
         }},
        {"Transparentize", [](IRasterObject* r) { return r->Transparentize(0xFFFFFF, 40); },
         [](auto& in, auto& out) { rastelle::kernels::TransparencyKernel(in, out, 0xFFFFFFu, 40); }},
        {"Rotate 30", [](IRasterObject* r) { return r->Rotate(30.0f, -1); },
         [&photo](auto&, auto&) {
             ApplyTransformObject<ITransformRotate>(&rastelle::transforms::TransformRotate::Create, photo,
                                                    [](ITransformRotate* t) {
                                                        t->put_Angle(30.0f);
                                                        t->put_BackgroundColor(-1);
                                                    });
         },
         true},
        {"Equalize", [](IRasterObject* r) { return r->Equalize(10, 10, 10, 0, 1.1f, 1.1f, 1.1f, 1.0f); },
         [&photo](auto&, auto&) {
             ApplyTransformObject<ITransformEqualize>(&rastelle::transforms::TransformEqualize::Create, photo,
                                                      [](ITransformEqualize* t) {
                                                          for (auto put : {&ITransformEqualize::put_RedAddend,
                                                                           &ITransformEqualize::put_GreenAddend,
                                                                           &ITransformEqualize::put_BlueAddend})
                                                              (t->*put)(10.0f / 255.0f);
                                                          for (auto put : {&ITransformEqualize::put_RedMultiplier,
                                                                           &ITransformEqualize::put_GreenMultiplier,
                                                                           &ITransformEqualize::put_BlueMultiplier})
                                                              (t->*put)(1.1f);
                                                      });
         },
         true},
        {"FastBlur 2", [](IRasterObject* r) { return r->FastBlur(2); },
         [](auto& in, auto& out) { rastelle::kernels::FastBlurImage(in, out, 2); }},
        {"Glow 10, 2", [](IRasterObject* r) { return r->Glow(10, 2, -256); },
         [](auto& in, auto& out) { rastelle::kernels::GlowImage(in, out, 0xFFFFFF00u, 10, 2); }},
        {"Shadow 10, 10, 2", [](IRasterObject* r) { return r->Shadow(10, 10, 2, -8355712); },
         [](auto& in, auto& out) { rastelle::kernels::ShadowImage(in, out, 0xFF808080u, 2, 10, 10); }},
        {"RemoveNoise 1", [](IRasterObject* r) { return r->RemoveNoise(1); },
         [](auto& in, auto& out) { rastelle::kernels::NoiseRemoveImage(in, out, 1); }},
        {"Erosion 1", [](IRasterObject* r) { return r->Erosion(1); },
         [](auto& in, auto& out) { rastelle::kernels::ErosionImage(in, out, 1); }},
        {"Greyscale", [](IRasterObject* r) { return r->Greyscale(); },
         [](auto& in, auto& out) { effects::Greyscale(in, out); }},
        {"Lightness 20", [](IRasterObject* r) { return r->Lightness(20); },
         [](auto& in, auto& out) { effects::Lightness(in, out, 20); }},
        {"Solarize", [](IRasterObject* r) { return r->Solarize(0x808080); },
         [](auto& in, auto& out) { effects::Solarize(in, out, 0x808080u); }},
        {"SwapChannels 2, 1, 0, 3", [](IRasterObject* r) { return r->SwapChannels(2, 1, 0, 3); },
         [](auto& in, auto& out) { effects::SwapChannels(in, out, 2, 1, 0, 3); }},
        {"Sharpen 16", [](IRasterObject* r) { return r->Sharpen(16); },
         [](auto& in, auto& out) { effects::Sharpen(in, out, 16); }},
        {"Mosaic 8, 8", [](IRasterObject* r) { return r->Mosaic(8, 8); },
         [](auto& in, auto& out) { effects::Mosaic(in, out, 8, 8); }},
        {"Swirl 90", [](IRasterObject* r) { return r->Swirl(90); },
         [](auto& in, auto& out) { effects::Swirl(in, out, 90); }},
        {"EllipseCrop", [](IRasterObject* r) { return r->EllipseCrop(2000, 1500, 1500, 1000, -1); },
         [](auto& in, auto& out) { effects::EllipseCrop(in, out, 2000, 1500, 1500, 1000, kWhite); }},
        {"PageCurl 400, 300", [](IRasterObject* r) { return r->PageCurl(400, 300, 5, -52, -1); },
         [](auto& in, auto& out) { effects::PageCurl(in, out, 400, 300, 5, 0xFFFFFFCCu, kWhite); }},
    };
}

// The photo's pixels as LoadFile decodes them, for the kernels' input.
struct VectorTarget final : rastelle::codecs::DecodeTarget {
    std::vector<std::uint32_t>& pixels;
    explicit VectorTarget(std::vector<std::uint32_t>& into) : pixels(into) {}
    ImageView Allocate(int width, int height) noexcept override {
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        return ImageView(pixels.data(), width, height, width * 4);
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        std::puts("usage: rastelle_method_cost PHOTO.jpg");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    rastelle::com::SetModuleInstance(LoadLibraryW(L"Rastelle.dll"));
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    std::wstring photo(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, argv[1], -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, photo.data(), static_cast<int>(photo.size()));
    photo.resize(photo.size() - 1);

    ComPtr<IRasterObject> source;
    rastelle::com::UniqueBstr name{std::wstring_view(photo)};
    if (FAILED(rastelle::RasterObject::Create(nullptr, IID_IRasterObject, source.put_void())) ||
        source->LoadFile(name.get()) != S_OK) {
        std::puts("cannot load the photo");
        return 1;
    }
    LONG width = 0, height = 0;
    source->get_Width(&width);
    source->get_Height(&height);
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<std::uint32_t> in, out(pixels), copy(pixels);
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    VectorTarget target(in);
    if (rastelle::codecs::DecodeJpeg(bytes.data(), bytes.size(), target) != rastelle::codecs::DecodeResult::Decoded ||
        in.size() != pixels) {
        std::puts("cannot decode the photo");
        return 1;
    }
    const ConstImageView inView(in.data(), width, height, width * 4);
    const ImageView outView(out.data(), width, height, width * 4);
    std::unique_ptr<rastelle::Bitmap> photoBitmap(rastelle::Bitmap::CreateToOverwrite(width, height));
    {
        rastelle::PixelLock lock;
        if (!photoBitmap || lock.Lock(*photoBitmap, Gdiplus::ImageLockModeWrite) != Gdiplus::Ok) return 1;
        rastelle::kernels::CopyPixels(inView, lock.view());
    }

    constexpr int kRounds = 5;
    const std::vector<Method> methods = Methods(*photoBitmap);
    std::vector<std::vector<double>> calls(methods.size()), kernels(methods.size()), copies(methods.size());
    for (const bool slow : {false, true}) {
        for (int round = 0; round < kRounds; ++round) {
            for (size_t m = 0; m < methods.size(); ++m) {
                if (methods[m].slow != slow) continue;
                ComPtr<IRasterObject> clone;
                if (source->Clone(clone.put()) != S_OK) return 1;
                HRESULT hr = S_OK;
                calls[m].push_back(Milliseconds([&] { hr = methods[m].call(clone.get()); }));
                if (hr != S_OK) std::printf("%s failed: 0x%08lX\n", methods[m].name, static_cast<unsigned long>(hr));
                kernels[m].push_back(Milliseconds([&] { methods[m].kernel(inView, outView); }));
                copies[m].push_back(Milliseconds([&] { std::memcpy(copy.data(), in.data(), pixels * 4); }));
            }
        }
    }
    std::printf("%ld x %ld, medians of %d rounds (ms); extra copies per round: median (range)\n", width, height,
                kRounds);
    std::printf("%-26s %9s %9s %7s   %s\n", "method", "call", "kernel", "copy", "extra copies");
    for (size_t m = 0; m < methods.size(); ++m) {
        std::vector<double> extra;
        for (int r = 0; r < kRounds; ++r) extra.push_back((calls[m][r] - kernels[m][r]) / copies[m][r]);
        std::printf("%-26s %9.1f %9.1f %7.1f   %.2f (%.2f-%.2f)\n", methods[m].name, Median(calls[m]),
                    Median(kernels[m]), Median(copies[m]), Median(extra), *std::min_element(extra.begin(), extra.end()),
                    *std::max_element(extra.begin(), extra.end()));
    }
    source.reset();
    photoBitmap.reset();
    Gdiplus::GdiplusShutdown(token);
    CoUninitialize();
    return 0;
}
