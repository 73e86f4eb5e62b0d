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
    DISPID saveStream = 0, resize = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"SaveStream"), const_cast<LPOLESTR>(L"Resize")};
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &names[0], 1, LOCALE_USER_DEFAULT, &saveStream), S_OK);
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &names[1], 1, LOCALE_USER_DEFAULT, &resize), S_OK);

    const ULONG before = References(other.get());
    for (int i = 0; i < 3; ++i) {
        VARIANT args[2];
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        args[0].vt = VT_I4;  // Encoder: no object
        args[0].lVal = 3;
        args[1].vt = VT_DISPATCH;  // OutputStream: an object, converted to IUnknown
        args[1].pdispVal = other.get();
        DISPPARAMS params{args, nullptr, 2, 0};
        UINT argError = 99;
        EXPECT_EQ(dispatch->Invoke(saveStream, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                   nullptr, &argError),
                  DISP_E_TYPEMISMATCH);
        EXPECT_EQ(argError, 0u) << "the encoder, last in rgvarg order first";
    }
    EXPECT_EQ(References(other.get()), before);

    // An object that is no picture, for LoadPicture's IPictureDisp parameter,
    // as VT_UNKNOWN and in a variant passed by reference (Wine's conversion
    // to the interface kept a reference of both), and as VT_DISPATCH.
    DISPID loadPicture = 0;
    LPOLESTR loadName[] = {const_cast<LPOLESTR>(L"LoadPicture")};
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, loadName, 1, LOCALE_USER_DEFAULT, &loadPicture), S_OK);
    for (VARTYPE vt : {VARTYPE{VT_UNKNOWN}, VARTYPE{VT_DISPATCH}, VARTYPE(VT_BYREF | VT_VARIANT)}) {
        VARIANT arg, referenced;
        VariantInit(&arg);
        VariantInit(&referenced);
        referenced.vt = VT_DISPATCH;  // a script variable holding the object
        referenced.punkVal = other.get();
        arg.vt = vt;
        arg.punkVal = other.get();
        if (vt == (VT_BYREF | VT_VARIANT)) arg.pvarVal = &referenced;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        EXPECT_TRUE(FAILED(dispatch->Invoke(loadPicture, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                            nullptr, nullptr, nullptr)));
        EXPECT_EQ(References(other.get()), before) << "LoadPicture with " << vt;
    }

    // A good call still goes through, its defaults filled in.
    VARIANT sizes[2];
    VariantInit(&sizes[0]);
    VariantInit(&sizes[1]);
    sizes[0].vt = VT_BSTR;  // NewHeight as text, converted
    sizes[0].bstrVal = SysAllocString(L"3");
    sizes[1].vt = VT_R8;
    sizes[1].dblVal = 5.0;
    DISPPARAMS params{sizes, nullptr, 2, 0};
    EXPECT_EQ(dispatch->Invoke(resize, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                               nullptr),
              S_OK);
    VariantClear(&sizes[0]);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{5, 3}));
}

}  // namespace
}  // namespace rastelle::test
