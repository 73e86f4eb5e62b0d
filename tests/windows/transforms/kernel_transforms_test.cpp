// The blur family and the rank filters as COM objects: their frame, their
// results through RasterObject, and the guard around their kernels; and the
// blur's register buffers as built for Windows.
#include "test_support.h"

#include "allocation_failure.h"

#include "com/errors.h"
#include "kernels/blur.h"
#include "transforms/kernel_transforms.h"

#include <memory>

namespace rastelle::test {
namespace {

// One pixel check a method: the arguments reach their kernel.
TEST(KernelTransforms, RasterMethodsRunEachKernel) {
    std::vector<std::uint32_t> dot(81, 0);  // one opaque pixel amid transparent ones
    dot[40] = 0xFF0000FF;
    auto raster = RasterWith(9, 9, dot);
    ASSERT_EQ(raster->FastBlur(2.0), S_OK);
    auto blurred = PixelsOf(raster.get());
    EXPECT_EQ(std::make_tuple(blurred[40] >> 24, blurred[41] >> 24 > 0, blurred[0]), std::make_tuple(0xFFu, true, 0u))
        << "the blur is laid over the image and spreads, but not to the corners";
    raster = RasterWith(9, 9, dot);
    ASSERT_EQ(raster->Shadow(2, 2, 1.0, -8355712), S_OK);
    const auto shadowed = PixelsOf(raster.get());
    EXPECT_EQ(std::make_pair(shadowed[40], shadowed[60] >> 24 > 0), std::make_pair(0xFF0000FFu, true))
        << "the shadow lies under the image and shows two pixels right and down";
    raster = RasterWith(9, 9, dot);
    ASSERT_EQ(raster->Glow(10.0, 2.0, -256), S_OK);
    EXPECT_GT(PixelsOf(raster.get())[39] >> 24, 0u) << "glow around the dot";

    // The median removes an isolated speck, the maximum too; the minimum spreads it.
    std::vector<std::uint32_t> white(81, 0xFFFFFFFF);
    white[40] = 0xFF000000;
    for (auto [method, at, expected] : {std::tuple{&IRasterObject::RemoveNoise, 40, 0xFFFFFFFFu},
                                        {&IRasterObject::Erosion, 40, 0xFFFFFFFFu},
                                        {&IRasterObject::Expand, 30, 0xFF000000u}}) {
        raster = RasterWith(9, 9, white);
        ASSERT_EQ((raster.get()->*method)(1), S_OK);
        EXPECT_EQ(PixelsOf(raster.get())[size_t(at)], expected);
    }
}

// The frame's guard, exercised directly with a kernel that faults; and every
// bitmap body is noexcept: running out of memory anywhere in it, even before
// the frame starts, gives E_OUTOFMEMORY instead of ending the process.
TEST(KernelTransforms, AFaultInAKernelRaisesTheClassMessageAndRunningOutOfMemoryGivesOutOfMemory) {
    const auto faulting = [](kernels::ConstImageView, kernels::ImageView) { Fault(); };
    std::unique_ptr<Bitmap> input(Bitmap::Create(4, 4));
    FillBitmap(*input, 0xFF00FF00);
    Bitmap* result = nullptr;
    const com::ErrorOrigin origin{CLSID_TransformFastBlur, IID_ITransformFastBlur};
    HRESULT hr = transforms::DoTransform(origin, "TransformFastBlur", L"FastBlur", *input, &result, faulting);
    std::unique_ptr<Bitmap> owned(result);
    ExpectError(hr, com::kErrInvalidCall,
                com::WithSupportAddress(L"Some exception occured in the FastBlur transform. If you see this message, "
                                        L"please contact "),
                "Rastelle.TransformFastBl.1", IID_ITransformFastBlur);
    ASSERT_NE(result, nullptr) << "the output is the caller's to delete";
    EXPECT_TRUE(Unlocked(*input) && Unlocked(*result));

    // Without memory for the message (the output's holder is the one
    // allocation allowed) the call still ends with a result.
    Bitmap* second = nullptr;
    {
        ScopedAllocationFailure messages(1);
        hr = transforms::DoTransform(origin, "TransformFastBlur", L"FastBlur", *input, &second, faulting);
    }
    std::unique_ptr<Bitmap> secondOwned(second);
    EXPECT_EQ(std::make_tuple(hr, second != nullptr, Unlocked(*input)), std::make_tuple(E_OUTOFMEMORY, true, true));

    for (auto create : {&transforms::TransformFastBlur::Create, &transforms::TransformGlow::Create,
                        &transforms::TransformShadow::Create, &transforms::TransformNoiseRemove::Create,
                        &transforms::TransformErosion::Create, &transforms::TransformExpand::Create}) {
        ComPtr<IGDIPlusTransform> transform;
        ASSERT_EQ(create(nullptr, IID_IGDIPlusTransform, transform.put_void()), S_OK);
        Bitmap* made = nullptr;
        {
            ScopedAllocationFailure none(0);
            hr = transform->ApplyMe(reinterpret_cast<LONG*>(input.get()), reinterpret_cast<LONG**>(&made));
        }
        delete made;
        EXPECT_EQ(hr, E_OUTOFMEMORY);
    }
}

using namespace rastelle::kernels;

// The running and direct blur passes keep a row of registers per column:
// widths and radii across both paths, each image blurred and glowed, with
// blocks of varying size in between, must all finish.
TEST(SimdBuffers, BlurPassesRunAtEveryWidth) {
    std::vector<char> padding;
    for (int w = 1; w <= 48; ++w) {
        padding.resize(static_cast<std::size_t>(w) * 12 + 4);  // varies where the next blocks land
        const int h = 5 + w % 7;
        std::vector<std::uint32_t> in(static_cast<std::size_t>(w) * h), out;
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<std::uint32_t>(i * 2654435761u) | (i % 3 == 0 ? 0xFF000000u : 0u);
        const ConstImageView src{in.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4};
        for (double radius : {1.0, 2.5, 3.0, 7.25}) {
            out = in;
            FastBlurImage(src, ImageView{out.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4}, radius);
            out = in;
            GlowImage(src, ImageView{out.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4}, 0x80FF2010u, 2.0, radius);
        }
    }
}

}  // namespace
}  // namespace rastelle::test
