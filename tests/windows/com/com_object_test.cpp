// QueryInterface rules, aggregation and the dispatch identifiers.
#include "test_support.h"

#include "fake_com.h"

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

}  // namespace
}  // namespace rastelle::test
