// QueryInterface rules, aggregation and the free-threaded marshaler.
#include "test_support.h"

#include "test_interfaces.h"
#include "fake_com.h"

namespace rastelle::test {
namespace {

TEST(ComIdentity, InterfacesOfRasterObjectShareOneIdentity) {
    auto raster = NewRaster();
    ComPtr<IUnknown> unknown1, unknown2;
    ASSERT_EQ(raster->QueryInterface(IID_IUnknown, unknown1.put_void()), S_OK);
    ComPtr<IRasterObjectInternal> internal;
    ASSERT_EQ(raster.As(internal), S_OK);
    ASSERT_EQ(internal->QueryInterface(IID_IUnknown, unknown2.put_void()), S_OK);
    EXPECT_EQ(unknown1.get(), unknown2.get());

    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(raster->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(raster.get()))
        << "IDispatch is the dispatch side of IRasterObject";

    EXPECT_EQ(SupportsErrorInfo(raster.get(), {IID_IRasterObject, IID_IRasterObjectInternal, IID_IDispatch}),
              (std::vector<HRESULT>{S_OK, S_FALSE, S_FALSE}));
    EXPECT_EQ(Answers(raster.get(), {IID_IMarshal}), std::vector<HRESULT>{S_OK}) << "the free-threaded marshaler is aggregated";

    ComPtr<IUnknown> none;
    EXPECT_EQ(raster->QueryInterface(IID_IPersistStream, none.put_void()), E_NOINTERFACE);
    EXPECT_EQ(none.get(), nullptr);
    EXPECT_EQ(raster->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// A base interface is answered only when the class names it, and then with
// the pointer of the listed interface derived from it.
TEST(ComIdentity, NamedBaseInterfacesAreAnsweredByTheDerivedOne) {
    using Plain = TestSetters<>;
    using WithBase = TestSetters<com::AlsoAnswers<ITestSetters>, com::SupportErrorInfo<ITestMoreSetters, ITestSetters>>;

    ComPtr<ITestMoreSetters> plain;
    ASSERT_EQ(com::CreateComObject<Plain>(nullptr, __uuidof(ITestMoreSetters), plain.put_void()), S_OK);
    ComPtr<ITestSetters> base;
    EXPECT_EQ(plain->QueryInterface(__uuidof(ITestSetters), base.put_void()), E_NOINTERFACE);
    EXPECT_EQ(plain->QueryInterface(IID_IDispatch, base.put_void()), E_NOINTERFACE);

    ComPtr<ITestMoreSetters> derived;
    ASSERT_EQ(com::CreateComObject<WithBase>(nullptr, __uuidof(ITestMoreSetters), derived.put_void()), S_OK);
    ASSERT_EQ(derived->QueryInterface(__uuidof(ITestSetters), base.put_void()), S_OK);
    EXPECT_EQ(static_cast<void*>(base.get()), static_cast<void*>(derived.get()));
    ComPtr<IUnknown> identity1, identity2;
    ASSERT_EQ(base->QueryInterface(IID_IUnknown, identity1.put_void()), S_OK);
    ASSERT_EQ(derived->QueryInterface(IID_IUnknown, identity2.put_void()), S_OK);
    EXPECT_EQ(identity1.get(), identity2.get());
    EXPECT_NE(static_cast<void*>(identity1.get()), static_cast<void*>(base.get())) << "the inner unknown";

    EXPECT_EQ(SupportsErrorInfo(derived.get(), {__uuidof(ITestMoreSetters), __uuidof(ITestSetters), IID_IUnknown}),
              (std::vector<HRESULT>{S_OK, S_OK, S_FALSE}));
    EXPECT_EQ(Answers(derived.get(), {IID_IDispatch}), std::vector<HRESULT>{E_NOINTERFACE});
}

// Names are looked up only for the interface's own dispatch identifiers
// (riid is reserved and must be IID_NULL), as Invoke does.
TEST(ComDispatch, GetIDsOfNamesRefusesAnInterfaceOtherThanNull) {
    auto raster = NewRaster();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(raster.As(dispatch), S_OK);
    wchar_t widthName[] = L"Width";
    LPOLESTR names[] = {widthName};
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 7);
    id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_IRasterObject, names, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(id, 0);
}

// Unmarshals the object on a thread of the multithreaded apartment and uses
// it there; the thread's exit code is the width it read.
struct MarshaledUse {
    IStream* stream;
    IRasterObject* received = nullptr;
} shared;

DWORD UseMarshaledObject() {
    auto* s = &shared;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoGetInterfaceAndReleaseStream(s->stream, IID_IRasterObject, reinterpret_cast<void**>(&s->received));
    LONG width = 0;
    if (s->received) s->received->EmptyImage(3, 1, -1), s->received->get_Width(&width);
    if (s->received) s->received->Release();
    CoUninitialize();
    return static_cast<DWORD>(width);
}

TEST(ComIdentity, FreeThreadedMarshalerGivesTheSamePointerInAnotherApartment) {
    auto raster = NewRaster();
    ComPtr<IStream> stream;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IRasterObject, raster.get(), stream.put()), S_OK);
    shared = {stream.detach()};
    EXPECT_EQ(RunOnThreads(1, &UseMarshaledObject), std::vector<DWORD>{3});
    EXPECT_EQ(static_cast<void*>(shared.received), static_cast<void*>(raster.get())) << "no proxy in between";
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
    ASSERT_EQ(CoGetClassObject(CLSID_RasterObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.put_void()),
              S_OK);
    IUnknown* wrongIid = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IRasterObject, reinterpret_cast<void**>(&wrongIid)),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, reinterpret_cast<void**>(&outer->inner)), S_OK);
    ASSERT_NE(outer->inner, nullptr);

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

}  // namespace
}  // namespace rastelle::test
