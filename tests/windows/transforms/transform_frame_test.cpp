// What every transform class shares: identity, interface map, the bitmap
// hand-over interface, property getters and the Apply route.
#include "test_support.h"

#include "com/errors.h"

namespace rastelle::test {
namespace {

struct TransformClass {
    const CLSID* clsid;
    const IID* iid;
    const char* progId;
    bool dispatchIsOwnInterface;  // else IDispatch is IGDIPlusTransform
};

const TransformClass kClasses[] = {
    {&CLSID_TransformResize, &IID_ITransformResize, "Rastelle.TransformResize.1", true},
    {&CLSID_TransformCrop, &IID_ITransformCrop, "Rastelle.TransformCrop.1", true},
    {&CLSID_TransformRotate, &IID_ITransformRotate, "Rastelle.TransformRotate.1", true},
    {&CLSID_TransformFlipAndRotate, &IID_ITransformFlipAndRotate, "Rastelle.TransformFlipAndRotate.1", true},
    {&CLSID_TransformEqualize, &IID_ITransformEqualize, "Rastelle.TransformEquali.1", true},
    {&CLSID_TransformTransparentize, &IID_ITransformTransparentize, "Rastelle.TransformTransparentize.1", true},
    {&CLSID_TransformFastBlur, &IID_ITransformFastBlur, "Rastelle.TransformFastBl.1", false},
    {&CLSID_TransformGlow, &IID_ITransformGlow, "Rastelle.TransformGlow.1", false},
    {&CLSID_TransformShadow, &IID_ITransformShadow, "Rastelle.TransformShadow.1", false},
    {&CLSID_TransformNoiseRemove, &IID_ITransformNoiseRemove, "Rastelle.TransformNoiseRemove.1", false},
    {&CLSID_TransformErosion, &IID_ITransformErosion, "Rastelle.TransformErosio.1", false},
    {&CLSID_TransformExpand, &IID_ITransformExpand, "Rastelle.TransformExpand.1", false},
};

ComPtr<IUnknown> Create(const TransformClass& c) {
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()), S_OK)
        << c.progId;
    return object;
}

TEST(TransformFrame, InterfaceMapOfEveryClass) {
    for (const TransformClass& c : kClasses) {
        SCOPED_TRACE(c.progId);
        auto object = Create(c);
        ASSERT_TRUE(object);
        ComPtr<IUnknown> own, dispatch, gdiplus;
        ASSERT_EQ(object->QueryInterface(*c.iid, own.put_void()), S_OK);
        ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
        ASSERT_EQ(object->QueryInterface(IID_IGDIPlusTransform, gdiplus.put_void()), S_OK);
        EXPECT_EQ(Answers(object.get(), {IID_IMarshal}), std::vector<HRESULT>{S_OK});
        EXPECT_EQ(dispatch.get(), c.dispatchIsOwnInterface ? own.get() : gdiplus.get());
        EXPECT_EQ(SupportsErrorInfo(object.get(), {*c.iid, IID_IGDIPlusTransform}), (std::vector<HRESULT>{S_OK, S_FALSE}));

        ComPtr<IGDIPlusTransform> transform;
        object.As(transform);
        VARIANT_BOOL inside = 0;
        EXPECT_EQ(transform->get_CreateOutputInsideTransform(&inside), S_OK);
        EXPECT_EQ(inside, 1) << "1, not VARIANT_TRUE";
        EXPECT_EQ(transform->get_CreateOutputInsideTransform(nullptr), E_POINTER);

        // Found by ProgID too.
        CLSID byName{};
        const std::wstring wide(c.progId, c.progId + strlen(c.progId));
        EXPECT_EQ(CLSIDFromProgID(wide.c_str(), &byName), S_OK);
        EXPECT_TRUE(IsEqualCLSID(byName, *c.clsid));
    }
}

TEST(TransformFrame, GettersAnswerNullPointersWithTheirClassCodes) {
    auto resize = NewObject<ITransformResize>(CLSID_TransformResize);
    auto crop = NewObject<ITransformCrop>(CLSID_TransformCrop);
    auto rotate = NewObject<ITransformRotate>(CLSID_TransformRotate);
    auto flip = NewObject<ITransformFlipAndRotate>(CLSID_TransformFlipAndRotate);
    EXPECT_EQ((std::vector<HRESULT>{resize->get_NewWidth(nullptr), resize->get_NewHeight(nullptr),
                                    resize->get_Quality(nullptr), resize->get_BackgroundColor(nullptr),
                                    crop->get_Width(nullptr), crop->get_ResizeToTheOriginal(nullptr),
                                    crop->get_BackgroundColor(nullptr), rotate->get_Angle(nullptr),
                                    rotate->get_BackgroundColor(nullptr), flip->get_FlipType(nullptr)}),
              (std::vector<HRESULT>{E_POINTER, E_POINTER, E_POINTER, E_INVALIDARG, E_POINTER, E_POINTER, E_INVALIDARG,
                                    E_INVALIDARG, E_INVALIDARG, E_INVALIDARG}));
}

TEST(TransformFrame, ApplyTakesAndGivesPixelArrays) {
    auto flip = NewObject<ITransformFlipAndRotate>(CLSID_TransformFlipAndRotate);
    flip->put_FlipType(fartRotate90NoFlip);
    com::UniqueSafeArray input(PixelArray(3, 2, NumberedPixels(3, 2)));
    com::UniqueSafeArray output;
    ASSERT_EQ(flip->Apply(input.get(), output.put()), S_OK);
    LONG rows = 0, columns = 0;
    SafeArrayGetUBound(output.get(), 1, &rows);
    SafeArrayGetUBound(output.get(), 2, &columns);
    EXPECT_EQ(std::make_pair(rows + 1, columns + 1), std::make_pair(3L, 2L));
    // A quarter turn clockwise: the bottom-left pixel comes to the top left.
    EXPECT_EQ(ArrayValues(output.get()),
              (std::vector<std::uint32_t>{0xFF000100u, 0xFF000000u, 0xFF000101u, 0xFF000001u, 0xFF000102u, 0xFF000002u}));

    com::UniqueSafeArray bad;
    ExpectError(flip->Apply(nullptr, bad.put()), com::kErrInvalidCall,
                L"Cannot retrieve bitmap data to the flip Transform", "Rastelle.TransformFlipAndRotate.1",
                IID_ITransformFlipAndRotate);
    ExpectError(flip->Apply(input.get(), nullptr), com::kErrInvalidCall,
                L"Cannot retrieve bitmap data from the flip Transform", "Rastelle.TransformFlipAndRotate.1",
                IID_ITransformFlipAndRotate);

    auto resize = NewObject<ITransformResize>(CLSID_TransformResize);
    SAFEARRAYBOUND flat{4, 0};
    com::UniqueSafeArray oneDimension(SafeArrayCreate(VT_I4, 1, &flat));
    ExpectError(resize->Apply(oneDimension.get(), bad.put()), com::kErrInvalidCall,
                L"Cannot retrieve bitmap data to the resize Transform", "Rastelle.TransformResize.1",
                IID_ITransformResize);
    ASSERT_EQ(resize->Apply(input.get(), output.put()), S_OK);
    SafeArrayGetUBound(output.get(), 1, &rows);
    EXPECT_EQ(rows + 1, 100) << "the default size";
}

TEST(TransformFrame, LateBindingSeesTheOwnInterfaceOfGeometricClasses) {
    auto resize = NewObject<IDispatch>(CLSID_TransformResize);
    wchar_t name[] = L"NewWidth";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    EXPECT_EQ(resize->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 2);
}

}  // namespace
}  // namespace rastelle::test
