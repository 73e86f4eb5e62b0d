// RasterObject's effect methods as seen from the effect class: a recording
// stand-in registered for this process under each effect's CLSID receives
// the creation, the setter calls by slot and the Apply call.
#include "test_support.h"

#include "effects/effect_calls.h"

#include <array>
#include <bit>
#include <cstdint>
#include <iterator>

namespace rastelle::test {
namespace {

struct SlotCall {
    unsigned slot;
    std::uint32_t bits;  // the 32-bit argument; a float's bit pattern
    bool isFloat = false;
    bool operator==(const SlotCall&) const = default;
};

void PrintTo(const SlotCall& call, std::ostream* os) {
    *os << "slot " << call.slot << (call.isFloat ? " <- float bits " : " <- ") << static_cast<LONG>(call.bits);
}

// An object known only by its function table: IUnknown and IDispatch (whose
// "Apply" inverts the colours of the PixelArray it gets), then slots 7 to 24
// that record their argument, an integer or (for the slots named) a float.
class SlotRecorder {
public:
    static constexpr unsigned kSlots = 25;

    SlotRecorder(REFIID iid, std::initializer_list<unsigned> floatSlots,
                 std::initializer_list<unsigned> faultingSlots = {})
        : iid_(iid) {
        table_ = {reinterpret_cast<const void*>(&QueryInterface), reinterpret_cast<const void*>(&AddRef),
                  reinterpret_cast<const void*>(&Release), reinterpret_cast<const void*>(&GetTypeInfoCount),
                  reinterpret_cast<const void*>(&GetTypeInfo), reinterpret_cast<const void*>(&GetIDsOfNames),
                  reinterpret_cast<const void*>(&Invoke)};
        FillRecorders(std::make_index_sequence<kSlots - 7>{});
        for (unsigned slot : floatSlots) table_[slot] = floatRecorders_[slot - 7];
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
    static HRESULT STDMETHODCALLTYPE RecordInteger(SlotRecorder* self, LONG value) {
        self->calls.push_back({slot, static_cast<std::uint32_t>(value)});
        self->appliedAfterSetters = self->applied == 0;
        return S_OK;
    }
    template <unsigned slot>
    static HRESULT STDMETHODCALLTYPE RecordFloat(SlotRecorder* self, float value) {
        self->calls.push_back({slot, std::bit_cast<std::uint32_t>(value), true});
        self->appliedAfterSetters = self->applied == 0;
        return S_OK;
    }
    static HRESULT STDMETHODCALLTYPE Faulting(SlotRecorder*, LONG) {
        Fault();
        return S_OK;
    }
    template <size_t... index>
    void FillRecorders(std::index_sequence<index...>) {
        ((table_[7 + index] = reinterpret_cast<const void*>(&RecordInteger<7 + index>)), ...);
        floatRecorders_ = {reinterpret_cast<const void*>(&RecordFloat<7 + index>)...};
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
        if (wcscmp(names[0], L"Apply") != 0) return DISP_E_UNKNOWNNAME;
        *id = 7;
        return S_OK;
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
    std::array<const void*, kSlots - 7> floatRecorders_{};
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
        requested = iid;
        aggregated = outer != nullptr;
        if (FAILED(result_)) return *out = nullptr, result_;
        return reinterpret_cast<IUnknown*>(&recorder_)->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    IID requested = IID_NULL;
    bool aggregated = false;

private:
    SlotRecorder& recorder_;
    HRESULT result_;
};

// Registers factory for clsid in this process while it lives.
class ScopedClassObject {
public:
    ScopedClassObject(REFCLSID clsid, IClassFactory* factory) {
        EXPECT_EQ(CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_), S_OK);
    }
    ~ScopedClassObject() { CoRevokeClassObject(cookie_); }

private:
    DWORD cookie_ = 0;
};

GUID Guid(const wchar_t* text) {
    GUID guid{};
    CLSIDFromString(text, &guid);
    return guid;
}

constexpr std::uint32_t kFloat2_5 = 0x40200000;  // 2.5f

struct ExpectedEffect {
    const wchar_t* clsid;
    const wchar_t* iid;
    std::vector<SlotCall> calls;
};

// In the order of EffectCalls(); the arguments there are 101, 102, ...
const ExpectedEffect kExpected[] = {
    {L"{6A6A15E8-4A7A-4148-85E7-451040843112}", L"{EC6A12ED-9635-47F7-ABD2-07B0240736C1}", {}},
    {L"{CE4E0204-CDC9-4E87-B7C8-9E2D1B50B397}", L"{B8A19AE9-9E93-4E9C-8139-9AA0F57A2B15}", {}},
    {L"{5153C576-E488-4F62-BB29-FDA785227107}", L"{EC413265-38B8-4FC4-A78A-BE69DE67B3A2}", {}},
    {L"{9D6478D8-61E8-47D2-A4DE-DE56C206DD6D}", L"{9FD2850C-2827-43D8-91A4-F6967D787ECD}", {}},
    {L"{E1F7B8C5-1013-4526-AFEF-4AF14198D613}", L"{F357BEED-1955-45BE-A9E7-765B7ADDB397}", {{11, 0}, {9, 101}}},
    {L"{E1F7B8C5-1013-4526-AFEF-4AF14198D613}", L"{F357BEED-1955-45BE-A9E7-765B7ADDB397}", {{11, 1}}},
    {L"{BF8ACCF8-F3E5-4FA2-A3D9-3A8830617A6F}", L"{C8B236AB-196F-471B-8C1D-B94A02F5E8DE}", {{11, 0}, {9, 101}}},
    {L"{BF8ACCF8-F3E5-4FA2-A3D9-3A8830617A6F}", L"{C8B236AB-196F-471B-8C1D-B94A02F5E8DE}", {{11, 1}}},
    {L"{94EFC591-6D42-4939-A95F-FEBF948D3D9A}", L"{B804547B-5EA6-4686-9C49-EFECAA460220}", {{9, 101}, {11, 102}}},
    {L"{06AA0B64-79E1-4FED-A9DD-615F869D2781}", L"{A991B0D6-F613-4A07-A385-747B803EC8D2}",
     {{11, 103}, {9, 101}, {13, 102}}},
    {L"{ADA26DED-87E5-4B50-80FD-7DD0289A7666}", L"{267B361F-80E2-45F3-B0B4-825D0CD6AE5F}", {{11, 101}, {9, 102}}},
    {L"{1F9E1584-6751-475D-B42D-FAFABCF23AF1}", L"{2015C0F4-C438-4A7F-9055-30DB950AAD0D}",
     {{9, 101}, {13, 102}, {17, 103}, {11, 104}, {15, 105}, {19, 106}, {21, 107}}},
    {L"{DB29675A-3AAD-4BA4-A6AF-11BB18551C35}", L"{8EE37FB4-82A6-4ECB-954C-DD8B7EB4DCB7}", {{9, 101}}},
    {L"{E102D8BB-43A5-44CC-BD05-B6B84246B9DC}", L"{F5FADD2C-EE29-4157-B207-36FF1E3DCA63}",
     {{15, 101}, {17, 102}, {11, 103}, {9, 104}, {13, 105}}},
    {L"{AF40871E-F7D2-405D-ACE6-BF8216134F93}", L"{1DF0E343-DF10-44DC-8D90-83053D2473B5}", {{9, 101}}},
    {L"{7B065ECF-3989-42E9-8821-24DC3050C3C6}", L"{0EC4F78F-09A0-4585-B455-C9AD9C8FFF59}",
     {{9, 101}, {11, 102}, {13, 103}}},
    {L"{539C253D-B3FD-40AE-A91A-64976A3C2291}", L"{A2281B5B-D7E2-4A42-BD90-A3E0668ADEE8}",
     {{9, 101}, {11, kFloat2_5, true}}},
    {L"{849025F3-B713-45F5-B9ED-A3639CF9EFE0}", L"{1373AF95-15D2-41FC-9C54-0AA2536C7A52}", {{9, 101}}},
    {L"{808AEC9C-76F0-479C-B433-84476ECD1A42}", L"{39E89BF8-707D-4043-BB6E-5FF003C75B1E}", {{9, 101}}},
    {L"{0CA7DF4A-9DD6-4E90-B817-826C57B222B8}", L"{1B85D3C3-0299-4A05-9550-94E5A6BDC5E8}", {{9, 101}}},
    {L"{124E0DBA-3EBE-49F1-9AE5-E83F1FD375B7}", L"{8BF15D75-6055-462E-AD51-052B0B7E5B5F}",
     {{9, 101}, {11, 102}, {13, 103}, {15, 104}}},
    {L"{D31CABF6-1311-4B20-AD93-8B4274CB1C19}", L"{978E26E6-AA6B-475A-BA63-A8C089DB20E2}",
     {{13, 101}, {9, 103}, {11, 102}}},
    {L"{C720302D-4634-479F-A958-96AB5D66CB83}", L"{9E64D23B-CB1A-45EB-8360-8BF84F25A37D}",
     {{8, 101}, {10, 102}, {16, 103}, {14, 104}, {12, 105}}},
};

static_assert(std::size(kExpected) == 23);

TEST(EffectMethods, CreateTheClassSetBySlotInOrderThenApplyAndRelease) {
    ASSERT_EQ(EffectCalls().size(), std::size(kExpected));
    const auto pixels = OpaqueGradient(5, 3);
    for (size_t i = 0; i < std::size(kExpected); ++i) {
        SCOPED_TRACE(EffectCalls()[i].name);
        const ExpectedEffect& expected = kExpected[i];
        const bool texturize = std::string_view(EffectCalls()[i].name) == "Texturize";
        SlotRecorder recorder(Guid(expected.iid), texturize ? std::initializer_list<unsigned>{11}
                                                            : std::initializer_list<unsigned>{});
        RecorderFactory factory(recorder);
        ScopedClassObject registered(Guid(expected.clsid), &factory);
        auto raster = RasterWith(5, 3, pixels);

        EXPECT_EQ(EffectCalls()[i].call(raster.get()), S_OK);
        EXPECT_EQ(factory.requested, Guid(expected.iid));
        EXPECT_FALSE(factory.aggregated);
        EXPECT_EQ(recorder.calls, expected.calls);
        EXPECT_EQ(recorder.applied, 1);
        EXPECT_TRUE(recorder.appliedAfterSetters);
        EXPECT_EQ(recorder.refs, 1u) << "every reference taken is released";
        std::vector<std::uint32_t> inverted = pixels;
        for (auto& p : inverted) p ^= 0x00FFFFFF;
        EXPECT_EQ(PixelsOf(raster.get()), inverted) << "the transform's result is the image";
    }
}

TEST(EffectMethods, CreationFailureIsReturnedBareAndLeavesTheImage) {
    const auto pixels = OpaqueGradient(4, 4);
    SlotRecorder recorder(Guid(kExpected[11].iid), {});
    RecorderFactory factory(recorder, E_ACCESSDENIED);
    ScopedClassObject registered(Guid(kExpected[11].clsid), &factory);
    auto raster = RasterWith(4, 4, pixels);
    ClearThreadError();

    EXPECT_EQ(raster->Sinusize(1, 2, 3, 4, 5, 6, 7), E_ACCESSDENIED);
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(PixelsOf(raster.get()), pixels);
}

TEST(EffectMethods, AFaultInASetterIsNotSeen) {
    SlotRecorder recorder(Guid(kExpected[9].iid), {}, {11});  // Spray sets 11, 9, 13
    RecorderFactory factory(recorder);
    ScopedClassObject registered(Guid(kExpected[9].clsid), &factory);
    auto raster = RasterWith(3, 2, OpaqueGradient(3, 2));

    EXPECT_EQ(raster->Spray(1, 2, 3), S_OK);
    EXPECT_EQ(recorder.calls, (std::vector<SlotCall>{{9, 1}, {13, 2}})) << "the setters after the fault ran";
    EXPECT_EQ(recorder.applied, 1);
    EXPECT_EQ(recorder.refs, 1u);
}

TEST(EffectMethods, WithoutAnImageTheApplyFailureIsReturned) {
    SlotRecorder recorder(Guid(kExpected[17].iid), {});
    RecorderFactory factory(recorder);
    ScopedClassObject registered(Guid(kExpected[17].clsid), &factory);
    auto raster = NewRaster();

    ExpectError(raster->Sharpen(3), static_cast<HRESULT>(0xE0000205),
                L"Cannot apply the transform, because there is no any data. Create new image or load it first.");
    EXPECT_EQ(recorder.calls, (std::vector<SlotCall>{{9, 3}})) << "the setters ran before ApplyTransform";
    EXPECT_EQ(recorder.refs, 1u);
}

}  // namespace
}  // namespace rastelle::test
