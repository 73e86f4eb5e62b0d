// The blur family and the rank filters as COM objects: their frame, their
// results through RasterObject, and the guard around their kernels.
#include "test_support.h"

#include "allocation_failure.h"

#include "com/errors.h"
#include "image/bitmap_lock.h"
#include "platform/gdiplus_raii.h"
#include "transforms/kernel_transforms.h"

#include <memory>

namespace rastelle::test {
namespace {

TEST(KernelTransforms, DefaultsOfTheProperties) {
    double radius = 0, intensity = 0;
    LONG glowColour = 0, shadowColour = 0, offsetY = 0, precision = 0;
    NewObject<ITransformFastBlur>(CLSID_TransformFastBlur)->get_Radius(&radius);
    auto glow = NewObject<ITransformGlow>(CLSID_TransformGlow);
    auto shadow = NewObject<ITransformShadow>(CLSID_TransformShadow);
    glow->get_Intensity(&intensity), glow->get_Color(&glowColour);
    shadow->get_Color(&shadowColour), shadow->get_OffsetY(&offsetY);
    auto median = NewObject<ITransformNoiseRemove>(CLSID_TransformNoiseRemove);
    median->get_Precision(&precision);
    EXPECT_EQ(std::make_tuple(radius, intensity, glowColour, shadowColour, offsetY, precision),
              std::make_tuple(2.0, 10.0, -256L, -8355712L, 10L, 1L));
    EXPECT_EQ(median->get_Precision(nullptr), E_POINTER);
}

TEST(KernelTransforms, LateBindingSeesOnlyTheHandOverInterface) {
    auto blur = NewObject<ITransformFastBlur>(CLSID_TransformFastBlur);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(blur.As(dispatch), S_OK);
    wchar_t radius[] = L"Radius";
    wchar_t createsOutput[] = L"CreateOutputInsideTransform";
    LPOLESTR names[] = {radius};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    names[0] = createsOutput;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(blur->put_Radius(3.5), S_OK) << "early binding reaches the property";

    // Every kernel class answers IGDIPlusTransform, whatever its type
    // library entry lists.
    for (const CLSID* clsid : {&CLSID_TransformErosion, &CLSID_TransformExpand, &CLSID_TransformGlow}) {
        ComPtr<IUnknown> object;
        CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void());
        ComPtr<IGDIPlusTransform> transform;
        EXPECT_EQ(object.As(transform), S_OK);
    }
}

TEST(KernelTransforms, RasterMethodsRunEachKernel) {
    // A single opaque pixel in the middle of a transparent 9 x 9 image.
    std::vector<std::uint32_t> dot(81, 0);
    dot[40] = 0xFF0000FF;
    auto raster = RasterWith(9, 9, dot);
    ASSERT_EQ(raster->FastBlur(2.0), S_OK);
    auto blurred = PixelsOf(raster.get());
    EXPECT_EQ(blurred[40] >> 24, 0xFFu) << "the blur is laid over the image";
    EXPECT_GT(blurred[41] >> 24, 0u) << "the dot spreads";
    EXPECT_EQ(blurred[0], 0u) << "far corners stay clear";

    raster = RasterWith(9, 9, dot);
    ASSERT_EQ(raster->Shadow(2, 2, 1.0, -8355712), S_OK);
    EXPECT_EQ(PixelsOf(raster.get())[40], 0xFF0000FFu) << "the shadow lies under the image";
    EXPECT_GT(PixelsOf(raster.get())[60] >> 24, 0u) << "and shows two pixels right and down";

    raster = RasterWith(9, 9, dot);
    ASSERT_EQ(raster->Glow(10.0, 2.0, -256), S_OK);
    EXPECT_GT(PixelsOf(raster.get())[39] >> 24, 0u) << "glow around the dot";

    // An isolated speck is removed by the median; the maximum keeps it and
    // the minimum spreads a dark pixel.
    std::vector<std::uint32_t> white(81, 0xFFFFFFFF);
    white[40] = 0xFF000000;
    raster = RasterWith(9, 9, white);
    ASSERT_EQ(raster->RemoveNoise(1), S_OK);
    EXPECT_EQ(PixelsOf(raster.get())[40], 0xFFFFFFFFu);
    raster = RasterWith(9, 9, white);
    ASSERT_EQ(raster->Erosion(1), S_OK);
    EXPECT_EQ(PixelsOf(raster.get())[40], 0xFFFFFFFFu);
    raster = RasterWith(9, 9, white);
    ASSERT_EQ(raster->Expand(1), S_OK);
    EXPECT_EQ(PixelsOf(raster.get())[30], 0xFF000000u);
    EXPECT_EQ(PixelsOf(raster.get())[20], 0xFFFFFFFFu);
}

TEST(KernelTransforms, HugeAndOddParametersNeitherHangNorCrash) {
    auto raster = NewRaster();
    raster->EmptyImage(5, 3, 0x80FF8040);
    EXPECT_EQ(raster->FastBlur(1e300), S_OK);
    EXPECT_EQ(raster->FastBlur(std::numeric_limits<double>::quiet_NaN()), S_OK);
    EXPECT_EQ(raster->Glow(std::numeric_limits<double>::infinity(), -5.0, 0), S_OK);
    EXPECT_EQ(raster->Shadow(0x7FFFFFFF, -0x7FFFFFFF - 1, 0.5, -1), S_OK);
    EXPECT_EQ(raster->RemoveNoise(0x7FFFFFFF), S_OK);
    EXPECT_EQ(raster->Erosion(-0x7FFFFFFF - 1), S_OK);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{5, 3}));
}

const auto FaultingKernel = [](kernels::ConstImageView, kernels::ImageView) { Fault(); };

// The frame's guard, exercised directly with a kernel that faults.
TEST(KernelTransforms, FaultInAKernelRaisesTheClassMessageAndUnlocks) {
    std::unique_ptr<Bitmap> input(Bitmap::Create(4, 4));
    FillBitmap(*input, 0xFF00FF00);
    Bitmap* result = nullptr;
    const com::ErrorOrigin origin{CLSID_TransformFastBlur, IID_ITransformFastBlur};
    HRESULT hr = transforms::DoTransform(origin, "TransformFastBlur", L"FastBlur", *input, &result, FaultingKernel);
    std::unique_ptr<Bitmap> owned(result);
    ExpectError(hr, com::kErrInvalidCall,
                com::WithSupportAddress(L"Some exception occured in the FastBlur transform. If you see this message, "
                                   L"please contact "),
                "Rastelle.TransformFastBl.1", IID_ITransformFastBlur);
    ASSERT_NE(result, nullptr) << "the output is the caller's to delete";
    EXPECT_TRUE(Unlocked(*input));
    EXPECT_TRUE(Unlocked(*result));

    // Without memory for the message (the output's holder is the one
    // allocation allowed) the call still ends with a result.
    Bitmap* second = nullptr;
    {
        ScopedAllocationFailure messages(1);
        hr = transforms::DoTransform(origin, "TransformFastBlur", L"FastBlur", *input, &second, FaultingKernel);
    }
    std::unique_ptr<Bitmap> secondOwned(second);
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_NE(second, nullptr);
    EXPECT_TRUE(Unlocked(*input));
}

// Every bitmap body is noexcept: running out of memory anywhere in it, even
// before the frame starts, gives E_OUTOFMEMORY instead of ending the process.
TEST(KernelTransforms, OutOfMemoryInTheBodyGivesOutOfMemory) {
    std::unique_ptr<Bitmap> input(Bitmap::Create(4, 4));
    const struct {
        const char* name;
        HRESULT (*create)(IUnknown*, REFIID, void**);
    } classes[] = {
        {"FastBlur", &transforms::TransformFastBlur::Create},
        {"Glow", &transforms::TransformGlow::Create},
        {"Shadow", &transforms::TransformShadow::Create},
        {"NoiseRemove", &transforms::TransformNoiseRemove::Create},
        {"Erosion", &transforms::TransformErosion::Create},
        {"Expand", &transforms::TransformExpand::Create},
    };
    for (const auto& c : classes) {
        SCOPED_TRACE(c.name);
        ComPtr<IGDIPlusTransform> transform;
        ASSERT_EQ(c.create(nullptr, IID_IGDIPlusTransform, transform.put_void()), S_OK);
        Bitmap* result = nullptr;
        HRESULT hr;
        {
            ScopedAllocationFailure none(0);
            hr = transform->ApplyMe(reinterpret_cast<LONG*>(input.get()), reinterpret_cast<LONG**>(&result));
        }
        delete result;
        EXPECT_EQ(hr, E_OUTOFMEMORY);
    }
}

TEST(KernelTransforms, LockedInputFailsNamingDoTransform) {
    std::unique_ptr<Bitmap> input(Bitmap::Create(4, 4));
    BitmapLock elsewhere;
    ASSERT_EQ(elsewhere.Lock(input->native(), Gdiplus::GpRect(0, 0, 4, 4), Gdiplus::ImageLockModeWrite,
                             PixelFormat32bppARGB),
              Gdiplus::Ok);
    auto erosion = NewObject<IGDIPlusTransform>(CLSID_TransformErosion);
    Bitmap* result = nullptr;
    const HRESULT hr = erosion->ApplyMe(reinterpret_cast<LONG*>(input.get()), reinterpret_cast<LONG**>(&result));
    std::unique_ptr<Bitmap> owned(result);
    EXPECT_EQ(hr, com::kErrInvalidCall);
    const ThreadError error = TakeThreadError();
    EXPECT_NE(error.description.find(L"DoTransform method of the TransformErosion object"), std::wstring::npos)
        << Narrow(error.description);
    EXPECT_NE(result, nullptr) << "a new, unfilled bitmap for the caller to delete";
}

}  // namespace
}  // namespace rastelle::test
