// What every transform class shares: interface map, the bitmap hand-over
// interface, property getters and the Apply route.
#include "test_support.h"

#include "com/errors.h"

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

}  // namespace
}  // namespace rastelle::test
