// QueryInterface rules, aggregation, the dispatch identifiers, late-bound
// arguments that cannot be converted, calls through a virtual table slot
// (CallSlot), error objects and failure texts.
#include "test_support.h"

#include "com/errors.h"
#include "com/vtable_call.h"
#include "fake_com.h"
#include "platform/gdiplus_errors.h"
#include "test_interfaces.h"

#include <bit>
#include <climits>

namespace rastelle::test {
namespace {

TEST(ComIdentity, InterfacesOfRasterObjectShareOneIdentity) {
    auto raster = NewRaster();
    ComPtr<IUnknown> unknown1, unknown2;
    ComPtr<IRasterObjectInternal> internal;
    ASSERT_EQ(raster.As(internal), S_OK);
    ASSERT_EQ(raster->QueryInterface(IID_IUnknown, unknown1.put_void()), S_OK);
    ASSERT_EQ(internal->QueryInterface(IID_IUnknown, unknown2.put_void()), S_OK);
    EXPECT_EQ(unknown1.get(), unknown2.get());
    EXPECT_EQ(static_cast<void*>(AsDispatch(raster).get()), static_cast<void*>(raster.get()))
        << "IDispatch is the dispatch side of IRasterObject";
    EXPECT_EQ(SupportsErrorInfo(raster.get(), {IID_IRasterObject, IID_IRasterObjectInternal, IID_IDispatch}),
              (std::vector<HRESULT>{S_OK, S_FALSE, S_FALSE}));
    EXPECT_EQ(Answers(raster.get(), {IID_IMarshal, IID_IPersistStream}), (std::vector<HRESULT>{S_OK, E_NOINTERFACE}))
        << "the free-threaded marshaler is aggregated; a refusal leaves null";
    ComPtr<IMarshal> marshal;
    CLSID unmarshaler{}, freeMarshaler{0x0000033A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};  // CLSID_InProcFreeMarshaler
    ASSERT_EQ(raster.As(marshal), S_OK);
    marshal->GetUnmarshalClass(IID_IRasterObject, raster.get(), MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL, &unmarshaler);
    EXPECT_TRUE(IsEqualCLSID(unmarshaler, freeMarshaler)) << "no proxy between apartments";
    EXPECT_EQ(raster->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// Names are looked up only for the interface's own dispatch identifiers
// (riid is reserved and must be IID_NULL), as Invoke does.
TEST(ComDispatch, GetIDsOfNamesRefusesAnInterfaceOtherThanNull) {
    auto dispatch = AsDispatch(NewRaster());
    wchar_t widthName[] = L"Width";
    LPOLESTR names[] = {widthName};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_IRasterObject, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 7);
}

// A minimal outer object for aggregation tests: it owns the inner unknown and
// hands every interface but IPersist to it.
struct Outer : Fake<IUnknown> {
    IUnknown* inner = nullptr;
    Outer() {
        otherwise = [this](REFIID iid, void** out) {
            return inner && !IsEqualIID(iid, IID_IPersist) ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
        };
    }
};

TEST(ComAggregation, InnerObjectDelegatesToTheOuterUnknown) {
    auto outer = MakeFake<Outer>();
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_RasterObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void()),
              S_OK);
    void* wrongIid = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IRasterObject, &wrongIid), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, reinterpret_cast<void**>(&outer->inner)), S_OK);

    IRasterObject* raster = nullptr;
    ASSERT_EQ(outer->QueryInterface(IID_IRasterObject, reinterpret_cast<void**>(&raster)), S_OK);
    const ULONG before = outer->refs;
    raster->AddRef();
    EXPECT_EQ(outer->refs, before + 1) << "AddRef goes to the outer object";
    raster->Release();
    // QueryInterface from an inner interface reaches the outer object.
    IUnknown* identity = nullptr;
    ASSERT_EQ(raster->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(outer.get()));
    identity->Release();
    void* persist = nullptr;
    EXPECT_EQ(raster->QueryInterface(IID_IPersist, &persist), E_NOINTERFACE);
    EXPECT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
    raster->Release();
    outer->inner->Release();  // destroys the inner object
    outer->inner = nullptr;
    EXPECT_EQ(outer->refs, 1u);
}

using namespace rastelle::com;
using namespace rastelle::platform;

// The GDI+ form is checked in full as Combine reports a lock it cannot get.
TEST(ErrorTexts, AnUnknownStatusAndAWindowsCodeWithoutText) {
    EXPECT_STREQ(GdiplusStatusText(static_cast<Status>(21)), "GDI+ error which is not provided during coding this software.");
    // The Windows form: nothing after the colon for a code the system has no text for.
    EXPECT_EQ(Narrow(FailureMessage(Gdiplus::Ok, "A", "B", 0x3FFFFFFF)), "Windows error in A.B: ");
}

TEST(ErrorObjects, RaiseComErrorNamesTheProgIdAndNeverAnswersSuccess) {
    ExpectError(RaiseComError(CLSID_RasterObject, L"Something failed", IID_IRasterObject, S_OK), DISP_E_EXCEPTION,
                L"Something failed");
    // The 8-bit form, and a class without a ProgID: no source.
    const CLSID unregistered = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    ExpectError(RaiseComErrorA(unregistered, "Eight-bit text", IID_NULL, kErrInvalidCall), kErrInvalidCall,
                L"Eight-bit text", "", IID_NULL);
}

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

TEST(VtableCall, ArgumentsArriveExactlyAndOnlyAtTheInterfacesOwnSlots) {
    ComPtr<ITestMoreSetters> object;
    ASSERT_EQ(com::CreateComObject<TestSetters>(nullptr, __uuidof(ITestMoreSetters), object.put_void()), S_OK);
    auto& recorded = *static_cast<TestSetters*>(object.get());
    // A quiet NaN with a payload, compared as bits, must not change on the way.
    EXPECT_EQ(std::make_tuple(com::CallSlot(object.get(), 3, std::int32_t{INT_MIN}), com::CallSlot(object.get(), 6, -1L),
                              com::CallSlot(object.get(), 4, std::bit_cast<float>(0x7FC12345u))),
              std::make_tuple(3, 6, 4));
    EXPECT_EQ(std::make_tuple(recorded.longValue, recorded.otherValue, std::bit_cast<std::uint32_t>(recorded.floatValue)),
              std::make_tuple(LONG{INT_MIN}, -1L, 0x7FC12345u));
    EXPECT_EQ(com::CallSlot(object.get(), 5, std::int32_t{-7}, 1e30f), 5);
    EXPECT_EQ(std::make_pair(recorded.longValue, recorded.floatValue), std::make_pair(-7L, 1e30f));

    EXPECT_EQ(com::CallSlot(object.get(), 2, 1), E_INVALIDARG) << "Release";
    EXPECT_EQ(com::CallSlot(object.get(), {7, 7}, 1), E_INVALIDARG);
    EXPECT_EQ(com::CallSlot(object.get(), {6, 7}, 1), 6);
    EXPECT_EQ(com::CallSlot(nullptr, 3, 1), E_POINTER);
    EXPECT_EQ(recorded.calls, 5);
    object->AddRef();
    EXPECT_EQ(object->Release(), 1u) << "no reference count was touched";
}

}  // namespace
}  // namespace rastelle::test
