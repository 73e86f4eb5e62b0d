// Late-bound calls with arguments of the wrong type, as scripts make them.
#include "test_support.h"

namespace rastelle::test {
namespace {

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST(LateBoundCalls, ArgumentsThatCannotBeConvertedKeepNoReference) {
    // SaveStream(OutputStream As IUnknown, Encoder As IDispatch) with an object
    // and a number fails on the encoder after converting the object: the
    // conversion's reference must not outlive the call (a web server's
    // scripts would leak an object a call).
    auto raster = NewRaster();
    ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
    auto dispatch = AsDispatch(raster);
    auto other = NewObject<IDispatch>(CLSID_JPEGEncoderInfo);
    const ULONG before = References(other.get());
    VARIANT object{};
    object.vt = VT_DISPATCH, object.pdispVal = other.get();
    UINT argError = 99;
    EXPECT_EQ(CallByName(dispatch.get(), L"SaveStream", DISPATCH_METHOD, {object, LongVariant(3)}, nullptr, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 0u) << "the encoder, last in rgvarg order first";
    EXPECT_EQ(References(other.get()), before);

    // An object that is no picture, for LoadPicture's IPictureDisp parameter,
    // as VT_UNKNOWN and in a variant passed by reference: Wine's conversion
    // to the interface kept a reference of both.
    VARIANT unknown = object, byReference{};
    unknown.vt = VT_UNKNOWN;
    byReference.vt = VT_BYREF | VT_VARIANT, byReference.pvarVal = &object;
    for (const VARIANT& arg : {unknown, byReference}) {
        EXPECT_TRUE(FAILED(CallByName(dispatch.get(), L"LoadPicture", DISPATCH_METHOD, {arg})));
        EXPECT_EQ(References(other.get()), before) << "LoadPicture with " << arg.vt;
    }
}

}  // namespace
}  // namespace rastelle::test
