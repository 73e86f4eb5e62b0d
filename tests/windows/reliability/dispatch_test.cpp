// Late-bound calls with arguments of the wrong type, as scripts make them.
#include "test_support.h"

namespace rastelle::test {
namespace {

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST(LateBoundCalls, ArgumentsThatCannotBeConvertedKeepNoReference) {
    // SaveStream(OutputStream As IUnknown, Encoder As IDispatch) with an
    // object first and a number for the encoder: the call fails with a type
    // mismatch on the encoder, after the object was converted for the first
    // parameter. The conversion's reference must not outlive the call (a
    // web server's scripts would leak an object a call), nor a string's
    // copy its memory.
    auto raster = NewRaster();
    ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
    auto dispatch = AsDispatch(raster);
    auto other = NewObject<IDispatch>(CLSID_JPEGEncoderInfo);
    const ULONG before = References(other.get());
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = other.get();
    for (int i = 0; i < 3; ++i) {
        UINT argError = 99;  // the encoder, last in rgvarg order first
        EXPECT_EQ(CallByName(dispatch.get(), L"SaveStream", DISPATCH_METHOD, {object, LongVariant(3)}, nullptr, &argError),
                  DISP_E_TYPEMISMATCH);
        EXPECT_EQ(argError, 0u);
    }
    EXPECT_EQ(References(other.get()), before);

    // An object that is no picture, for LoadPicture's IPictureDisp parameter,
    // as VT_UNKNOWN and in a variant passed by reference (Wine's conversion
    // to the interface kept a reference of both), and as VT_DISPATCH.
    for (VARTYPE vt : {VARTYPE{VT_UNKNOWN}, VARTYPE{VT_DISPATCH}, VARTYPE(VT_BYREF | VT_VARIANT)}) {
        VARIANT arg = object;  // `object` stands for the script variable holding it
        arg.vt = vt;
        if (vt == (VT_BYREF | VT_VARIANT)) arg.pvarVal = &object;
        EXPECT_TRUE(FAILED(CallByName(dispatch.get(), L"LoadPicture", DISPATCH_METHOD, {arg})));
        EXPECT_EQ(References(other.get()), before) << "LoadPicture with " << vt;
    }

    // A good call still goes through, its defaults filled in: NewHeight as
    // text, converted.
    VARIANT width = LongVariant(0), height;
    width.vt = VT_R8;
    width.dblVal = 5.0;
    VariantInit(&height);
    height.vt = VT_BSTR;
    height.bstrVal = SysAllocString(L"3");
    EXPECT_EQ(CallByName(dispatch.get(), L"Resize", DISPATCH_METHOD, {width, height}), S_OK);
    VariantClear(&height);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{5, 3}));
}

}  // namespace
}  // namespace rastelle::test
