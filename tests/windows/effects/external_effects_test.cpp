// RasterObject's effect methods as seen from the effect class: a recording
// stand-in registered for this process under an effect's CLSID receives the
// creation, the setter calls by slot and the Apply call. (Each method's
// arguments reaching its kernel are checked with the effect component.)
#include "test_support.h"

#include <array>
#include <cstdint>

namespace rastelle::test {
namespace {

struct SlotCall {
    unsigned slot;
    LONG value;
    bool operator==(const SlotCall&) const = default;
};

// An object known only by its function table: IUnknown and IDispatch (whose
// "Apply" inverts the colours of the PixelArray it gets), then slots 7 to 24
// that record their integer argument, or fault.
class SlotRecorder {
public:
    static constexpr unsigned kSlots = 25;

    explicit SlotRecorder(REFIID iid, std::initializer_list<unsigned> faultingSlots = {}) : iid_(iid) {
        table_ = {reinterpret_cast<const void*>(&QueryInterface), reinterpret_cast<const void*>(&AddRef),
                  reinterpret_cast<const void*>(&Release), reinterpret_cast<const void*>(&GetTypeInfoCount),
                  reinterpret_cast<const void*>(&GetTypeInfo), reinterpret_cast<const void*>(&GetIDsOfNames),
                  reinterpret_cast<const void*>(&Invoke)};
        FillRecorders(std::make_index_sequence<kSlots - 7>{});
        for (unsigned slot : faultingSlots) table_[slot] = reinterpret_cast<const void*>(&Faulting);
        vtable_ = table_.data();
    }

    const void* const* vtable_;  // first: the object's address is the interface pointer
    std::vector<SlotCall> calls;
    int applied = 0;
    bool appliedAfterSetters = true;
    ULONG refs = 1;

private:
    template <unsigned slot>
    static HRESULT STDMETHODCALLTYPE Record(SlotRecorder* self, LONG value) {
        self->calls.push_back({slot, value});
        self->appliedAfterSetters = self->applied == 0;
        return S_OK;
    }
    static HRESULT STDMETHODCALLTYPE Faulting(SlotRecorder*, LONG) { return Fault(), S_OK; }
    template <size_t... index>
    void FillRecorders(std::index_sequence<index...>) {
        ((table_[7 + index] = reinterpret_cast<const void*>(&Record<7 + index>)), ...);
    }

    static HRESULT STDMETHODCALLTYPE QueryInterface(SlotRecorder* self, REFIID iid, void** out) {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, self->iid_))
            return E_NOINTERFACE;
        *out = self;
        ++self->refs;
        return S_OK;
    }
    static ULONG STDMETHODCALLTYPE AddRef(SlotRecorder* self) { return ++self->refs; }
    static ULONG STDMETHODCALLTYPE Release(SlotRecorder* self) { return --self->refs; }  // owned by the test
    static HRESULT STDMETHODCALLTYPE GetTypeInfoCount(SlotRecorder*, UINT* count) { return *count = 0, S_OK; }
    static HRESULT STDMETHODCALLTYPE GetTypeInfo(SlotRecorder*, UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
    static HRESULT STDMETHODCALLTYPE GetIDsOfNames(SlotRecorder*, REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) {
        return wcscmp(names[0], L"Apply") != 0 ? DISP_E_UNKNOWNNAME : (*id = 7, S_OK);
    }
    static HRESULT STDMETHODCALLTYPE Invoke(SlotRecorder* self, DISPID, REFIID, LCID, WORD, DISPPARAMS* params,
                                            VARIANT*, EXCEPINFO*, UINT*) {
        ++self->applied;
        SAFEARRAY* copy = nullptr;
        if (FAILED(SafeArrayCopy(params->rgvarg[1].parray, &copy))) return E_FAIL;
        LONG* pixels = nullptr;
        SafeArrayAccessData(copy, reinterpret_cast<void**>(&pixels));
        for (ULONG i = 0; i < copy->rgsabound[0].cElements * copy->rgsabound[1].cElements; ++i)
            pixels[i] ^= 0x00FFFFFF;
        SafeArrayUnaccessData(copy);
        *params->rgvarg[0].pparray = copy;
        return S_OK;
    }

    IID iid_;
    std::array<const void*, kSlots> table_{};
};

// A class object for this process that hands out one recorder and notes
// what it was asked for.
class RecorderFactory final : public IClassFactory {
public:
    explicit RecorderFactory(SlotRecorder& recorder, HRESULT result = S_OK) : recorder_(recorder), result_(result) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        requested = iid, aggregated = outer != nullptr;
        return FAILED(result_) ? (*out = nullptr, result_) : reinterpret_cast<IUnknown*>(&recorder_)->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    IID requested = IID_NULL;
    bool aggregated = false;

private:
    SlotRecorder& recorder_;
    HRESULT result_;
};

// Registers factory for clsid in this process while it lives.
struct ScopedClassObject {
    DWORD cookie = 0;
    ScopedClassObject(REFCLSID clsid, IClassFactory* factory) {
        EXPECT_EQ(CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    }
    ~ScopedClassObject() { CoRevokeClassObject(cookie); }
};

GUID Guid(const wchar_t* text) {
    GUID guid{};
    return CLSIDFromString(text, &guid), guid;
}

const GUID kSinusize = Guid(L"{1F9E1584-6751-475D-B42D-FAFABCF23AF1}");
const GUID kISinusize = Guid(L"{2015C0F4-C438-4A7F-9055-30DB950AAD0D}");
const GUID kSpray = Guid(L"{06AA0B64-79E1-4FED-A9DD-615F869D2781}");
const GUID kISpray = Guid(L"{A991B0D6-F613-4A07-A385-747B803EC8D2}");
const GUID kSharpen = Guid(L"{849025F3-B713-45F5-B9ED-A3639CF9EFE0}");
const GUID kISharpen = Guid(L"{1373AF95-15D2-41FC-9C54-0AA2536C7A52}");

TEST(EffectMethods, CreateTheClassSetBySlotInOrderThenApplyAndRelease) {
    const auto pixels = OpaqueGradient(5, 3);
    SlotRecorder recorder(kISinusize);
    RecorderFactory factory(recorder);
    ScopedClassObject registered(kSinusize, &factory);
    auto raster = RasterWith(5, 3, pixels);

    EXPECT_EQ(raster->Sinusize(101, 102, 103, 104, 105, 106, 107), S_OK);
    EXPECT_EQ(factory.requested, kISinusize);
    EXPECT_FALSE(factory.aggregated);
    EXPECT_EQ(recorder.calls,
              (std::vector<SlotCall>{{9, 101}, {13, 102}, {17, 103}, {11, 104}, {15, 105}, {19, 106}, {21, 107}}));
    EXPECT_EQ(recorder.applied, 1);
    EXPECT_TRUE(recorder.appliedAfterSetters);
    EXPECT_EQ(recorder.refs, 1u) << "every reference taken is released";
    std::vector<std::uint32_t> inverted = pixels;
    for (auto& p : inverted) p ^= 0x00FFFFFF;
    EXPECT_EQ(PixelsOf(raster.get()), inverted) << "the transform's result is the image";
}

TEST(EffectMethods, CreationFailureIsReturnedBareAndLeavesTheImage) {
    const auto pixels = OpaqueGradient(4, 4);
    SlotRecorder recorder(kISinusize);
    RecorderFactory factory(recorder, E_ACCESSDENIED);
    ScopedClassObject registered(kSinusize, &factory);
    auto raster = RasterWith(4, 4, pixels);
    ClearThreadError();
    EXPECT_EQ(raster->Sinusize(1, 2, 3, 4, 5, 6, 7), E_ACCESSDENIED);
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(PixelsOf(raster.get()), pixels);
}

TEST(EffectMethods, AFaultInASetterIsNotSeen) {
    SlotRecorder recorder(kISpray, {11});  // Spray sets 11, 9, 13
    RecorderFactory factory(recorder);
    ScopedClassObject registered(kSpray, &factory);
    auto raster = RasterWith(3, 2, OpaqueGradient(3, 2));
    EXPECT_EQ(raster->Spray(1, 2, 3), S_OK);
    EXPECT_EQ(recorder.calls, (std::vector<SlotCall>{{9, 1}, {13, 2}})) << "the setters after the fault ran";
    EXPECT_EQ(recorder.applied, 1);
    EXPECT_EQ(recorder.refs, 1u);
}

TEST(EffectMethods, WithoutAnImageTheApplyFailureIsReturned) {
    SlotRecorder recorder(kISharpen);
    RecorderFactory factory(recorder);
    ScopedClassObject registered(kSharpen, &factory);
    ExpectError(NewRaster()->Sharpen(3), static_cast<HRESULT>(0xE0000205),
                L"Cannot apply the transform, because there is no any data. Create new image or load it first.");
    EXPECT_EQ(recorder.calls, (std::vector<SlotCall>{{9, 3}})) << "the setters ran before ApplyTransform";
    EXPECT_EQ(recorder.refs, 1u);
}

}  // namespace
}  // namespace rastelle::test
