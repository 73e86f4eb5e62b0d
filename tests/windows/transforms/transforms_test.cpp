// The transform classes: the interface map, hand-over, getters and Apply route
// they share; and the properties and arguments of the colour transforms,
// resize, crop, rotation and quarter turns, which must reach their kernels.
#include "test_support.h"

#include "com/errors.h"
#include "kernels/rotate_flip.h"
#include "platform/gdiplus_errors.h"

namespace rastelle::test {
namespace {

TEST(TransformFrame, InterfaceMapOfEveryClass) {
    // The class, its interface, and whether IDispatch is that interface (else IGDIPlusTransform).
    const std::tuple<const CLSID*, const IID*, bool> classes[] = {
        {&CLSID_TransformResize, &IID_ITransformResize, true},
        {&CLSID_TransformCrop, &IID_ITransformCrop, true},
        {&CLSID_TransformRotate, &IID_ITransformRotate, true},
        {&CLSID_TransformFlipAndRotate, &IID_ITransformFlipAndRotate, true},
        {&CLSID_TransformEqualize, &IID_ITransformEqualize, true},
        {&CLSID_TransformTransparentize, &IID_ITransformTransparentize, true},
        {&CLSID_TransformFastBlur, &IID_ITransformFastBlur, false},
        {&CLSID_TransformGlow, &IID_ITransformGlow, false},
        {&CLSID_TransformShadow, &IID_ITransformShadow, false},
        {&CLSID_TransformNoiseRemove, &IID_ITransformNoiseRemove, false},
        {&CLSID_TransformErosion, &IID_ITransformErosion, false},
        {&CLSID_TransformExpand, &IID_ITransformExpand, false},
    };
    int row = 0;
    for (const auto& [clsid, iid, dispatchIsOwn] : classes) {
        SCOPED_TRACE(row++);
        auto object = NewObject<IUnknown>(*clsid);
        ASSERT_TRUE(object);
        ComPtr<IUnknown> own, dispatch;
        ComPtr<IGDIPlusTransform> transform;
        ASSERT_EQ(object->QueryInterface(*iid, own.put_void()), S_OK);
        ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
        ASSERT_EQ(object.As(transform), S_OK);
        EXPECT_EQ(dispatch.get(), dispatchIsOwn ? own.get() : static_cast<IUnknown*>(transform.get()));
        EXPECT_EQ(SupportsErrorInfo(object.get(), {*iid, IID_IGDIPlusTransform}), (std::vector<HRESULT>{S_OK, S_FALSE}));
        VARIANT_BOOL inside = 0;
        EXPECT_EQ(std::make_tuple(transform->get_CreateOutputInsideTransform(&inside), inside,
                                  transform->get_CreateOutputInsideTransform(nullptr)),
                  std::make_tuple(S_OK, VARIANT_BOOL{1}, E_POINTER))
            << "1, not VARIANT_TRUE";
    }
    // Null out pointers of the getters: each class's own code.
    EXPECT_EQ((std::vector<HRESULT>{NewObject<ITransformResize>(CLSID_TransformResize)->get_NewWidth(nullptr),
                                    NewObject<ITransformCrop>(CLSID_TransformCrop)->get_BackgroundColor(nullptr),
                                    NewObject<ITransformRotate>(CLSID_TransformRotate)->get_Angle(nullptr)}),
              (std::vector<HRESULT>{E_POINTER, E_INVALIDARG, E_INVALIDARG}));
}

TEST(TransformFrame, ApplyTakesAndGivesPixelArrays) {
    auto flip = NewObject<ITransformFlipAndRotate>(CLSID_TransformFlipAndRotate);
    flip->put_FlipType(fartRotate90NoFlip);
    com::UniqueSafeArray input(PixelArray(3, 2, NumberedPixels(3, 2))), output, bad;
    ASSERT_EQ(flip->Apply(input.get(), output.put()), S_OK);
    LONG rows = 0;
    SafeArrayGetUBound(output.get(), 1, &rows);
    EXPECT_EQ(rows, 2) << "three rows after a quarter turn";
    // A quarter turn clockwise: the bottom-left pixel comes to the top left.
    EXPECT_EQ(ArrayValues(output.get()),
              (std::vector<std::uint32_t>{0xFF000100u, 0xFF000000u, 0xFF000101u, 0xFF000001u, 0xFF000102u, 0xFF000002u}));
    const char* const flipId = "Rastelle.TransformFlipAndRotate.1";
    ExpectError(flip->Apply(nullptr, bad.put()), com::kErrInvalidCall, L"Cannot retrieve bitmap data to the flip Transform",
                flipId, IID_ITransformFlipAndRotate);
    ExpectError(flip->Apply(input.get(), nullptr), com::kErrInvalidCall,
                L"Cannot retrieve bitmap data from the flip Transform", flipId, IID_ITransformFlipAndRotate);
    SAFEARRAYBOUND flat{4, 0};
    com::UniqueSafeArray oneDimension(SafeArrayCreate(VT_I4, 1, &flat));
    ExpectError(NewObject<ITransformResize>(CLSID_TransformResize)->Apply(oneDimension.get(), bad.put()),
                com::kErrInvalidCall, L"Cannot retrieve bitmap data to the resize Transform",
                "Rastelle.TransformResize.1", IID_ITransformResize);
}

TEST(Equalize, DefaultsChangeNothingAddendsAreClampedAndTheMethodWiresEachChannel) {
    auto raster = RasterWith(1, 1, {0xFF408080});
    auto equalize = NewObject<ITransformEqualize>(CLSID_TransformEqualize);
    ASSERT_EQ(raster->ApplyTransform(equalize.get()), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>{0xFF408080});
    float high = 0, low = 0, multiplier = 0;
    equalize->put_GreenAddend(5.0f), equalize->get_GreenAddend(&high);
    equalize->put_GreenAddend(-3.0f), equalize->get_GreenAddend(&low);
    equalize->put_BlueMultiplier(-7.5f), equalize->get_BlueMultiplier(&multiplier);
    EXPECT_EQ(std::make_tuple(high, low, multiplier), std::make_tuple(1.0f, -1.0f, -7.5f));
    EXPECT_EQ(equalize->get_AlphaAddend(nullptr), E_POINTER);
    // The raster method takes addends in colour levels.
    ASSERT_EQ(raster->Equalize(255, -51, 0, 0, 1.0f, 1.0f, 0.5f, 1.0f), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>{0xFFFF4D40});
    // Fully transparent results draw nothing onto the new, transparent black output.
    ASSERT_EQ(raster->Equalize(0, 0, 0, -255, 1.0f, 1.0f, 1.0f, 1.0f), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>{0});
}

TEST(Transparentize, PropertiesMethodAndArrays) {
    // Apply works on the arrays directly, with the default colour, white.
    auto transparentize = NewObject<ITransformTransparentize>(CLSID_TransformTransparentize);
    com::UniqueSafeArray input(PixelArray(2, 1, {0xFFFFFFFF, 0xFF000000})), output;
    ASSERT_EQ(transparentize->Apply(input.get(), output.put()), S_OK);
    EXPECT_EQ(ArrayValues(output.get()), (std::vector<std::uint32_t>{0x00FFFFFFu, 0xFF000000u}));
    SAFEARRAYBOUND flat{3, 0};
    com::UniqueSafeArray oneDimension(SafeArrayCreate(VT_I4, 1, &flat));
    SAFEARRAY* untouched = reinterpret_cast<SAFEARRAY*>(0x1234);
    EXPECT_EQ(transparentize->Apply(oneDimension.get(), &untouched), E_INVALIDARG);
    EXPECT_EQ(untouched, reinterpret_cast<SAFEARRAY*>(0x1234));
    EXPECT_EQ(std::make_pair(transparentize->Apply(nullptr, output.put()), transparentize->Apply(input.get(), nullptr)),
              std::make_pair(E_POINTER, E_POINTER));

    LONG colour = 0;
    BYTE threshold = 0;
    transparentize->put_TransparentColor(0x12345678), transparentize->get_TransparentColor(&colour);
    transparentize->get_Threshold(&threshold);
    EXPECT_EQ(std::make_pair(colour, threshold), std::make_pair(LONG(0xFF345678), BYTE{50})) << "read back opaque";
    EXPECT_EQ(std::make_pair(transparentize->get_TransparentColor(nullptr), transparentize->get_Threshold(nullptr)),
              std::make_pair(E_INVALIDARG, E_INVALIDARG));

    // Distance 0, 5 and 50 (the threshold) from the colour.
    auto raster = RasterWith(3, 1, {0xFF102030, 0xFF15252B, 0xFF425262});
    ASSERT_EQ(raster->Transparentize(0x102030, 50), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0x00102030u, 0x1915252Bu, 0xFF425262u}));
}

// The kernel is checked pixel by pixel against a plain reference in the
// native tests; here each of the eight types must reach it as that type.
TEST(FlipAndRotate, AllEightTypesReachTheKernel) {
    const auto source = NumberedPixels(3, 2);
    for (int type = 0; type < 8; ++type) {
        auto raster = RasterWith(3, 2, source);
        ASSERT_EQ(raster->FlipAndRotate(static_cast<FlipAndRotateTypes>(type)), S_OK);
        const auto kind = static_cast<kernels::RotateFlip>(type);
        const int width = kernels::SwapsAxes(kind) ? 2 : 3;
        std::vector<std::uint32_t> expected(6);
        kernels::RotateFlipImage({source.data(), 3, 2, 12}, kernels::PackedView(expected.data(), width, 5 - width), kind);
        EXPECT_EQ(std::make_pair(SizeOf(raster.get()).first, PixelsOf(raster.get())), std::make_pair(LONG{width}, expected))
            << "type " << type;
    }
    auto flip = NewObject<ITransformFlipAndRotate>(CLSID_TransformFlipAndRotate);
    EXPECT_EQ((std::vector<HRESULT>{flip->put_FlipType(fartRotate90FlipY), flip->put_FlipType(FlipAndRotateTypes(8)),
                                    flip->put_FlipType(FlipAndRotateTypes(-1))}),
              (std::vector<HRESULT>{S_OK, E_INVALIDARG, E_INVALIDARG}));
    FlipAndRotateTypes type{};
    flip->get_FlipType(&type);
    EXPECT_EQ(type, fartRotate90FlipY) << "a refused value keeps the old one";
}

TEST(Rotate, CanvasFollowsTheWholeDegreeAngleAndUncoveredPartsShowTheBackground) {
    // 45 degrees: 70 + 70; 725.9 degrees counts as 5: cos 5 = 0.99619, sin 5 = 0.08716.
    auto raster = NewRaster();
    for (auto [w, h, angle, size] : {std::tuple{200, 100, -90.0f, std::pair{100L, 200L}},
                                     {200, 100, 725.9f, std::pair{207L, 116L}}, {200, 100, 95.0f, std::pair{116L, 207L}},
                                     {100, 100, 45.0f, std::pair{140L, 140L}}}) {
        raster->EmptyImage(w, h, 0xFFFF0000);
        ASSERT_EQ(raster->Rotate(angle, 0x00FFFFFF), S_OK);
        EXPECT_EQ(SizeOf(raster.get()), size) << angle;
    }
    // The turned square's corners lie at (70, 0), (140.7, 70.7), (70, 141.4)
    // and (-0.7, 70.7): the canvas corners are bare, exactly the background.
    const auto pixels = PixelsOf(raster.get());
    EXPECT_EQ(std::make_tuple(pixels[0], pixels[139 * 140 + 139], pixels[70 * 140 + 70]),
              std::make_tuple(0x00FFFFFFu, 0x00FFFFFFu, 0xFFFF0000u));
}

TEST(Resize, MinimumBackgroundAlphaAndSizesRefused) {
    // A fully transparent image over a fully transparent background: alpha 1.
    auto raster = NewRaster();
    raster->EmptyImage(4, 4, 0);
    ASSERT_EQ(raster->Resize(9, 6, rqtBilinearMode, 0), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(54, 0x01000000u));
    // A zero size, and one whose pixels would exceed 2^31 - 1 bytes.
    for (auto [w, h, status] : {std::tuple{0, 10, Gdiplus::InvalidParameter}, {46341, 46341, Gdiplus::OutOfMemory}})
        ExpectError(raster->Resize(w, h, rqtBilinearMode, -1), com::kErrInvalidCall,
                    platform::FailureMessage(status, "TransformResize", "Apply", 0), "Rastelle.TransformResize.1",
                    IID_ITransformResize);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{9, 6}));
}

TEST(Crop, CutsOrStretchesTheRectangleAndRefusesAnEmptyOne) {
    const auto pixels = NumberedPixels(20, 10);
    auto raster = RasterWith(20, 10, pixels);
    ASSERT_EQ(raster->Crop(3, 2, 5, 1, -1, VARIANT_FALSE, rqtNearestNeighborMode), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(pixels.begin() + 43, pixels.begin() + 48));
    raster = RasterWith(20, 10, pixels);
    ASSERT_EQ(raster->Crop(3, 2, 5, 4, -1, VARIANT_TRUE, rqtBilinearMode), S_OK);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{20, 10})) << "stretched to the input's size";
    // Outside the input the background shows, with at least alpha 1.
    raster->EmptyImage(4, 4, 0xFF0000FF);
    ASSERT_EQ(raster->Crop(10, 10, 3, 3, 0x00808080, VARIANT_FALSE, rqtBilinearMode), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(9, 0x01808080u));
    ExpectError(raster->Crop(0, 0, 0, 3, -1, VARIANT_FALSE, rqtBilinearMode), com::kErrInvalidCall,
                L"Cannot make crop. Possible wrong Width or Height properties (less or equal 0) or not enough memory.",
                "Rastelle.TransformCrop.1", IID_ITransformCrop);
}

// Each quality mode must reach its own resampling kernel: on an irregular
// image reduced by a fractional factor every mode differs.
TEST(Resampling, EachQualityModeReachesItsKernel) {
    std::vector<std::uint32_t> noise;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 17 * 13; ++i) noise.push_back(0xFF000000u | ((seed = seed * 1103515245u + 12345u) >> 8));
    std::vector<std::vector<std::uint32_t>> results;
    for (int q = 0; q <= 4; ++q) {
        auto raster = RasterWith(17, 13, noise);
        ASSERT_EQ(raster->Resize(5, 4, static_cast<ResizeQualityTypes>(q), -1), S_OK);
        for (const auto& earlier : results) EXPECT_NE(PixelsOf(raster.get()), earlier) << "mode " << q;
        results.push_back(PixelsOf(raster.get()));
    }
}

}  // namespace
}  // namespace rastelle::test
