// RastelleEffects.dll: its classes as the effect methods and scripts reach
// them, its exports and its registration; and the effect methods as seen
// from the effect class (a recorder registered for this process).
#include "test_support.h"

#include "RastelleEffects_h.h"
#include "com/vtable_call.h"
#include "fake_com.h"
#include "kernels/effects/effects.h"
#include "transforms/external_effects.h"

#include <filesystem>
#include <tuple>

namespace rastelle::test {
namespace {

using transforms::ExternalEffect;

// Each class with its CLSID and IID, and which property each setter slot
// must reach: the setters take every other slot from the first one (8 for
// PageCurl, else 9).
struct ClassLayout {
    ExternalEffect effect;
    const wchar_t* clsid;
    const wchar_t* iid;
    std::vector<const wchar_t*> properties;
};

using E = ExternalEffect;
const ClassLayout kClasses[] = {
    {E::AutoLevel, L"{6A6A15E8-4A7A-4148-85E7-451040843112}", L"{EC6A12ED-9635-47F7-ABD2-07B0240736C1}", {}},
    {E::Antialiasing, L"{CE4E0204-CDC9-4E87-B7C8-9E2D1B50B397}", L"{B8A19AE9-9E93-4E9C-8139-9AA0F57A2B15}", {}},
    {E::Greyscale, L"{5153C576-E488-4F62-BB29-FDA785227107}", L"{EC413265-38B8-4FC4-A78A-BE69DE67B3A2}", {}},
    {E::Waddle, L"{9D6478D8-61E8-47D2-A4DE-DE56C206DD6D}", L"{9FD2850C-2827-43D8-91A4-F6967D787ECD}", {}},
    {E::Lightness, L"{E1F7B8C5-1013-4526-AFEF-4AF14198D613}", L"{F357BEED-1955-45BE-A9E7-765B7ADDB397}",
     {L"Amount", L"AutoMode"}},
    {E::Contrast, L"{BF8ACCF8-F3E5-4FA2-A3D9-3A8830617A6F}", L"{C8B236AB-196F-471B-8C1D-B94A02F5E8DE}",
     {L"Amount", L"AutoMode"}},
    {E::AddNoise, L"{94EFC591-6D42-4939-A95F-FEBF948D3D9A}", L"{B804547B-5EA6-4686-9C49-EFECAA460220}",
     {L"Amount", L"IsMonochrome"}},
    {E::Spray, L"{06AA0B64-79E1-4FED-A9DD-615F869D2781}", L"{A991B0D6-F613-4A07-A385-747B803EC8D2}",
     {L"Amount", L"BackgroundColor", L"FrameWidth"}},
    {E::Mosaic, L"{ADA26DED-87E5-4B50-80FD-7DD0289A7666}", L"{267B361F-80E2-45F3-B0B4-825D0CD6AE5F}",
     {L"CellHeight", L"CellWidth"}},
    {E::Sinusize, L"{1F9E1584-6751-475D-B42D-FAFABCF23AF1}", L"{2015C0F4-C438-4A7F-9055-30DB950AAD0D}",
     {L"HorizontalAmplitude", L"VerticalAmplitude", L"HorizontalWaveLength", L"VerticalWaveLength",
      L"HorizontalStartPhase", L"VerticalStartPhase", L"BackgroundColor"}},
    {E::Swirl, L"{DB29675A-3AAD-4BA4-A6AF-11BB18551C35}", L"{8EE37FB4-82A6-4ECB-954C-DD8B7EB4DCB7}", {L"Amount"}},
    {E::EllipseCrop, L"{E102D8BB-43A5-44CC-BD05-B6B84246B9DC}", L"{F5FADD2C-EE29-4157-B207-36FF1E3DCA63}",
     {L"VerticalRadius", L"HorizontalRadius", L"BackgroundColor", L"X", L"Y"}},
    {E::Solarize, L"{AF40871E-F7D2-405D-ACE6-BF8216134F93}", L"{1DF0E343-DF10-44DC-8D90-83053D2473B5}",
     {L"ThresholdColor"}},
    {E::HSLColorize, L"{7B065ECF-3989-42E9-8821-24DC3050C3C6}", L"{0EC4F78F-09A0-4585-B455-C9AD9C8FFF59}",
     {L"Hue", L"Saturation", L"Lightness"}},
    {E::Texturize, L"{539C253D-B3FD-40AE-A91A-64976A3C2291}", L"{A2281B5B-D7E2-4A42-BD90-A3E0668ADEE8}",
     {L"Amount", L"Shift"}},
    {E::Sharpen, L"{849025F3-B713-45F5-B9ED-A3639CF9EFE0}", L"{1373AF95-15D2-41FC-9C54-0AA2536C7A52}", {L"Strength"}},
    {E::Emboss, L"{808AEC9C-76F0-479C-B433-84476ECD1A42}", L"{39E89BF8-707D-4043-BB6E-5FF003C75B1E}", {L"Type"}},
    {E::EdgeDetect, L"{0CA7DF4A-9DD6-4E90-B817-826C57B222B8}", L"{1B85D3C3-0299-4A05-9550-94E5A6BDC5E8}", {L"Type"}},
    {E::SwapChannels, L"{124E0DBA-3EBE-49F1-9AE5-E83F1FD375B7}", L"{8BF15D75-6055-462E-AD51-052B0B7E5B5F}",
     {L"Red", L"Green", L"Blue", L"Alpha"}},
    {E::Buttonize, L"{D31CABF6-1311-4B20-AD93-8B4274CB1C19}", L"{978E26E6-AA6B-475A-BA63-A8C089DB20E2}",
     {L"FrameOpacity", L"FrameWidth", L"Type"}},
    {E::PageCurl, L"{C720302D-4634-479F-A958-96AB5D66CB83}", L"{9E64D23B-CB1A-45EB-8360-8BF84F25A37D}",
     {L"Width", L"Height", L"BackgroundColor", L"CurlColor", L"CurlMode"}},
};

const CLSID& ClsidOf(const ClassLayout& layout) { return transforms::ExternalEffectClassOf(layout.effect).clsid; }
const IID& IidOf(const ClassLayout& layout) { return transforms::ExternalEffectClassOf(layout.effect).iid; }

ComPtr<IDispatch> NewEffect(ExternalEffect effect) {
    const auto& info = transforms::ExternalEffectClassOf(effect);
    ComPtr<IDispatch> object;
    EXPECT_EQ(CoCreateInstance(info.clsid, nullptr, CLSCTX_INPROC_SERVER, info.iid, object.put_void()), S_OK);
    return object;
}

// A property read by name, as a script reads it: its type and value.
std::tuple<VARTYPE, LONG, float> Get(IDispatch* object, const wchar_t* name) {
    com::UniqueVariant value;
    EXPECT_EQ(CallByName(object, name, DISPATCH_PROPERTYGET, {}, value.put()), S_OK) << Narrow(name);
    return {value->vt, value->vt == VT_I4 ? value->lVal : 0, value->vt == VT_R4 ? value->fltVal : 0.0f};
}

// Each class serves the hand-over and error information; its interface ends
// after its last property (Apply, then a pair per property), and each setter
// slot reaches its named property.
TEST(EffectComponentClasses, ServeTheHandOverAndSetterSlotsLandOnTheNamedProperties) {
    for (const ClassLayout& layout : kClasses) {
        SCOPED_TRACE(Narrow(layout.clsid));
        auto object = NewEffect(layout.effect);
        EXPECT_EQ(Answers(object.get(), {__uuidof(IGDIPlusTransform), IID_ISupportErrorInfo, IID_IMarshal}),
                  (std::vector<HRESULT>{S_OK, S_OK, S_OK}));
        EXPECT_EQ(SupportsErrorInfo(object.get(), {IidOf(layout)}), std::vector<HRESULT>{S_OK});
        ComPtr<ITypeInfo> dispatchInfo, info;
        HREFTYPE vtableSide = 0;
        ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatchInfo.put()), S_OK);
        ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &vtableSide), S_OK) << "a dual interface";
        ASSERT_EQ(dispatchInfo->GetRefTypeInfo(vtableSide, info.put()), S_OK);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
        GUID clsid{}, iid{};
        CLSIDFromString(layout.clsid, &clsid), CLSIDFromString(layout.iid, &iid);
        EXPECT_TRUE(clsid == ClsidOf(layout) && iid == IidOf(layout) && attributes->guid == iid);
        EXPECT_EQ(attributes->cbSizeVft, (8 + 2 * layout.properties.size()) * sizeof(void*));
        info->ReleaseTypeAttr(attributes);
        for (unsigned i = 0; i < layout.properties.size(); ++i) {
            const bool shift = layout.properties[i] == std::wstring_view(L"Shift");
            const unsigned slot = (layout.effect == E::PageCurl ? 8 : 9) + 2 * i;
            EXPECT_EQ(shift ? com::CallSlot(object.get(), slot, 2.5f) : com::CallSlot(object.get(), slot, LONG(-1000 - i)),
                      S_OK);
            EXPECT_EQ(Get(object.get(), layout.properties[i]),
                      std::make_tuple(VARTYPE(shift ? VT_R4 : VT_I4), shift ? 0 : LONG(-1000 - i), shift ? 2.5f : 0.0f))
                << Narrow(layout.properties[i]);
        }
    }
}

// Apply by name, as the array form (the RasterObject's) and as scripts pass
// both arrays, as VARIANT references: the result replaces what the output
// variable held and equals what the array form gives.
TEST(EffectComponentClasses, ApplyTakesTheVariantReferencesOfScripts) {
    auto object = NewEffect(E::Mosaic);
    com::UniqueSafeArray input(PixelArray(5, 3, OpaqueGradient(5, 3))), direct;
    VARIANT inputVariable{}, directOutput{};
    inputVariable.vt = VT_ARRAY | VT_I4, inputVariable.parray = input.get();
    directOutput.vt = VT_BYREF | VT_ARRAY | VT_I4, directOutput.pparray = direct.put();
    ASSERT_EQ(CallByName(object.get(), L"Apply", DISPATCH_METHOD, {inputVariable, directOutput}), S_OK);

    com::UniqueVariant outputVariable;
    outputVariable->vt = VT_BSTR, outputVariable->bstrVal = SysAllocString(L"held before");
    VARIANT references[2]{};
    references[0].vt = references[1].vt = VT_BYREF | VT_VARIANT;
    references[0].pvarVal = &inputVariable, references[1].pvarVal = outputVariable.get();
    const auto apply = [&] {
        return CallByName(object.get(), L"Apply", DISPATCH_METHOD, {references[0], references[1]});
    };
    ASSERT_EQ(apply(), S_OK);
    ASSERT_EQ(outputVariable->vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(ArrayValues(outputVariable->parray), ArrayValues(direct.get()));
    EXPECT_EQ(ArrayValues(direct.get()).size(), 15u);

    // Something other than a PixelArray is refused with the class's error.
    VARIANT notAnArray{};
    notAnArray.vt = VT_I4, notAnArray.lVal = 5;
    references[0].pvarVal = &notAnArray;
    ClearThreadError();
    EXPECT_EQ(apply(), static_cast<HRESULT>(0xE0000205));
    EXPECT_EQ(Narrow(TakeThreadError().source), "RastelleEffects.Mosaic.1");
    EXPECT_EQ(outputVariable->vt, VT_ARRAY | VT_I4) << "a failure leaves the output";
}

namespace K = kernels::effects;
using In = const kernels::ConstImageView&;
using Out = const kernels::ImageView&;

// Every effect method with arguments that matter, and its kernel with the same.
const struct EffectCall {
    const char* name;
    HRESULT (*method)(IRasterObject*);
    void (*kernel)(In, Out);
} kEffects[] = {
    {"AutoLevel", [](IRasterObject* r) { return r->AutoLevel(); }, &K::AutoLevel},
    {"Antialiasing", [](IRasterObject* r) { return r->Antialiasing(); }, &K::Antialias},
    {"Greyscale", [](IRasterObject* r) { return r->Greyscale(); }, &K::Greyscale},
    {"Waddle", [](IRasterObject* r) { return r->Waddle(); }, &K::Waddle},
    {"Lightness", [](IRasterObject* r) { return r->Lightness(40); }, [](In i, Out o) { K::Lightness(i, o, 40); }},
    {"AutoLightness", [](IRasterObject* r) { return r->AutoLightness(); }, &K::AutoLightness},
    {"Contrast", [](IRasterObject* r) { return r->Contrast(30); }, [](In i, Out o) { K::Contrast(i, o, 30); }},
    {"AutoContrast", [](IRasterObject* r) { return r->AutoContrast(); }, &K::AutoContrast},
    {"AddNoise", [](IRasterObject* r) { return r->AddNoise(50, 1); }, [](In i, Out o) { K::AddNoise(i, o, 50, true); }},
    {"Spray", [](IRasterObject* r) { return r->Spray(3, 2, 0xFF00FF00); },
     [](In i, Out o) { K::Spray(i, o, 3, 2, 0xFF00FF00); }},
    {"Mosaic", [](IRasterObject* r) { return r->Mosaic(4, 3); }, [](In i, Out o) { K::Mosaic(i, o, 4, 3); }},
    {"Sinusize", [](IRasterObject* r) { return r->Sinusize(3, 8, 0, 2, 6, 5, -1); },
     [](In i, Out o) { K::Sinusize(i, o, {3, 8, 0, 2, 6, 5, 0xFFFFFFFF}); }},
    {"Swirl", [](IRasterObject* r) { return r->Swirl(180); }, [](In i, Out o) { K::Swirl(i, o, 180); }},
    {"EllipseCrop", [](IRasterObject* r) { return r->EllipseCrop(8, 6, 5, 3, 0xFF0000FF); },
     [](In i, Out o) { K::EllipseCrop(i, o, 8, 6, 5, 3, 0xFF0000FF); }},
    {"Solarize", [](IRasterObject* r) { return r->Solarize(0x808080); }, [](In i, Out o) { K::Solarize(i, o, 0x808080); }},
    {"HSLColorize", [](IRasterObject* r) { return r->HSLColorize(120, 60, 10); },
     [](In i, Out o) { K::HslColorize(i, o, 120, 60, 10); }},
    {"Texturize", [](IRasterObject* r) { return r->Texturize(50, 8.0f); }, [](In i, Out o) { K::Texturize(i, o, 50, 8.0f); }},
    {"Sharpen", [](IRasterObject* r) { return r->Sharpen(32); }, [](In i, Out o) { K::Sharpen(i, o, 32); }},
    {"Emboss", [](IRasterObject* r) { return r->Emboss(2); }, [](In i, Out o) { K::Emboss(i, o, 2); }},
    {"EdgeDetect", [](IRasterObject* r) { return r->EdgeDetect(1); }, [](In i, Out o) { K::EdgeDetect(i, o, 1); }},
    {"SwapChannels", [](IRasterObject* r) { return r->SwapChannels(2, 0, 1, 3); },
     [](In i, Out o) { K::SwapChannels(i, o, 2, 0, 1, 3); }},
    {"Buttonize", [](IRasterObject* r) { return r->Buttonize(0, 3, 70); }, [](In i, Out o) { K::Buttonize(i, o, 0, 3, 70); }},
    {"PageCurl", [](IRasterObject* r) { return r->PageCurl(7, 5, 5, -52, -1); },
     [](In i, Out o) { K::PageCurl(i, o, 7, 5, 5, 0xFFFFFFCC, 0xFFFFFFFF); }},
};

// Each method, through the component, gives what its kernel gives with the
// same arguments: the arguments reach the kernel's parameters in order.
TEST(EffectMethodsWithTheComponent, GiveTheirKernelsResult) {
    constexpr int w = 17, h = 12;  // colourful, of low contrast: every channel in 64..191
    std::vector<std::uint32_t> dull;
    for (int i = 0; i < w * h; ++i)
        dull.push_back(0xFF000000u | (64u + i % w * 37 % 128) << 16 | (64u + i / w * 53 % 128) << 8 | (64u + i * 11 % 128));
    for (const EffectCall& effect : kEffects) {
        auto raster = RasterWith(w, h, dull);
        EXPECT_EQ(effect.method(raster.get()), S_OK) << effect.name;
        std::vector<std::uint32_t> expected(dull.size()), source = dull;
        effect.kernel(kernels::PackedView(source.data(), w, h), kernels::PackedView(expected.data(), w, h));
        EXPECT_NE(expected, dull) << effect.name;
        EXPECT_EQ(PixelsOf(raster.get()), expected) << effect.name;
    }
}

// ---------------------------------------------------------------------------
// The DLL itself

template <class Fn>
Fn EffectsExport(const char* name) {
    static HMODULE module = LoadLibraryW((std::filesystem::path(DllPath()).parent_path() / L"RastelleEffects.dll").c_str());
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
using NoArgsFn = HRESULT(STDAPICALLTYPE*)();

TEST(EffectComponentModule, ServesOnlyItsOwnClassesAndUnloadsWhenIdle) {
    auto getClassObject = EffectsExport<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    auto canUnload = EffectsExport<NoArgsFn>("DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnload);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(CLSID_RasterObject, IID_IClassFactory, factory.put_void()), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(getClassObject(ClsidOf(kClasses[0]), IID_IClassFactory, nullptr), E_POINTER);
    ASSERT_EQ(getClassObject(ClsidOf(kClasses[15]), IID_IClassFactory, factory.put_void()), S_OK);
    ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    object.reset(), factory.reset();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST(EffectComponentModule, UnregisteredTheEffectMethodsFailBareAndRegisteringAgainRestoresThem) {
    auto registerServer = EffectsExport<NoArgsFn>("DllRegisterServer");
    auto unregisterServer = EffectsExport<NoArgsFn>("DllUnregisterServer");
    ASSERT_TRUE(registerServer && unregisterServer);
    const std::wstring libKey = L"TypeLib\\{4B1B5914-1117-4055-8CFB-C8DD4298F821}\\1.0";

    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(RegistryText(libKey), L"<missing>");
    for (const ClassLayout& layout : kClasses) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(ClsidOf(layout), nullptr, CLSCTX_ALL, IID_IUnknown, object.put_void()),
                  REGDB_E_CLASSNOTREG) << Narrow(layout.clsid);
    }
    const auto pixels = OpaqueGradient(6, 5);
    auto raster = RasterWith(6, 5, pixels);
    for (const EffectCall& effect : kEffects) {
        ClearThreadError();
        EXPECT_EQ(effect.method(raster.get()), REGDB_E_CLASSNOTREG) << effect.name;
        EXPECT_FALSE(TakeThreadError().present) << effect.name;
    }
    EXPECT_EQ(PixelsOf(raster.get()), pixels);
    EXPECT_EQ(NewRaster()->Resize(2, 2, rqtBilinearMode, -1), static_cast<HRESULT>(0xE0000205))
        << "Rastelle.dll's own classes stay registered";

    // Registered again (the script suite creates every class by its ProgIDs).
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_NE(RegistryText(libKey), L"<missing>");
    for (const ClassLayout& layout : kClasses) {
        wchar_t guid[40] = {};
        StringFromGUID2(ClsidOf(layout), guid, 40);
        const std::wstring server = L"CLSID\\" + std::wstring(guid) + L"\\InprocServer32";
        EXPECT_EQ(RegistryText(server, L"ThreadingModel"), L"Both");
        EXPECT_TRUE(RegistryText(server).ends_with(L"RastelleEffects.dll")) << Narrow(RegistryText(server));
    }
    EXPECT_EQ(raster->Sharpen(16), S_OK);
}

// ---------------------------------------------------------------------------
// The effect methods as the effect class sees them: a recording Sinusize,
// registered for this process, receives the creation, setters and Apply.

const CLSID kSinusize = {0x1F9E1584, 0x6751, 0x475D, {0xB4, 0x2D, 0xFA, 0xFA, 0xBC, 0xF2, 0x3A, 0xF1}};

// Records its setter calls as (vtable slot, value), faulting in the one at
// `faultingSlot`; its automation Apply inverts the colours it gets.
class RecordingSinusize final : public FakeDispatch<ISinusize> {
public:
    std::vector<std::pair<unsigned, LONG>> calls;
    int applied = 0;
    bool appliedAfterSetters = true;
    unsigned faultingSlot = 0;

    RecordingSinusize() {
        names = [](const wchar_t* name, DISPID* id) { return wcscmp(name, L"Apply") ? DISP_E_UNKNOWNNAME : (*id = 7, S_OK); };
        invoke = [this](DISPID, WORD, DISPPARAMS* params) {
            ++applied;
            SAFEARRAY* copy = nullptr;
            if (FAILED(SafeArrayCopy(params->rgvarg[1].parray, &copy))) return E_FAIL;
            com::SafeArrayDataLock data(copy);
            auto* pixels = static_cast<LONG*>(data.data());
            for (ULONG i = 0; i < copy->rgsabound[0].cElements * copy->rgsabound[1].cElements; ++i) pixels[i] ^= 0x00FFFFFF;
            *params->rgvarg[0].pparray = copy;
            return S_OK;
        };
    }
    STDMETHODIMP put_HorizontalAmplitude(LONG value) override { return Set(9, value); }
    STDMETHODIMP put_VerticalAmplitude(LONG value) override { return Set(11, value); }
    STDMETHODIMP put_HorizontalWaveLength(LONG value) override { return Set(13, value); }
    STDMETHODIMP put_VerticalWaveLength(LONG value) override { return Set(15, value); }
    STDMETHODIMP put_HorizontalStartPhase(LONG value) override { return Set(17, value); }
    STDMETHODIMP put_VerticalStartPhase(LONG value) override { return Set(19, value); }
    STDMETHODIMP put_BackgroundColor(LONG value) override { return Set(21, value); }
    STDMETHODIMP get_HorizontalAmplitude(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_VerticalAmplitude(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_HorizontalWaveLength(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_VerticalWaveLength(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_HorizontalStartPhase(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_VerticalStartPhase(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_BackgroundColor(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP Apply(SAFEARRAY*, SAFEARRAY**) override { return E_NOTIMPL; }

private:
    HRESULT Set(unsigned slot, LONG value) {
        if (slot == faultingSlot) Fault();
        calls.emplace_back(slot, value);
        appliedAfterSetters = applied == 0;
        return S_OK;
    }
};

// A class object for this process, registered while it lives, that hands
// out one recorder (or fails with `result`) and notes what it was asked for.
class RecorderFactory final : public Fake<IClassFactory> {
public:
    RecorderFactory(RecordingSinusize* recorder, HRESULT result) : recorder_(recorder), result_(result) {
        EXPECT_EQ(CoRegisterClassObject(kSinusize, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_), S_OK);
    }
    ~RecorderFactory() override { CoRevokeClassObject(cookie_); }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        requested = iid, aggregated = outer != nullptr;
        return FAILED(result_) ? (*out = nullptr, result_) : recorder_->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    IID requested = IID_NULL;
    bool aggregated = false;

private:
    RecordingSinusize* recorder_;
    HRESULT result_;
    DWORD cookie_ = 0;
};

// A recorder and its class object for one test.
struct Registered {
    com::ComPtr<RecordingSinusize> recorder = MakeFake<RecordingSinusize>();
    RecorderFactory factory;
    explicit Registered(HRESULT result = S_OK) : factory(recorder.get(), result) {}
};

TEST(EffectMethods, CreateTheClassSetBySlotInOrderThenApplyAndRelease) {
    Registered effect;
    const auto pixels = OpaqueGradient(5, 3);
    auto raster = RasterWith(5, 3, pixels);
    EXPECT_EQ(raster->Sinusize(101, 102, 103, 104, 105, 106, 107), S_OK);
    EXPECT_EQ(effect.factory.requested, __uuidof(ISinusize));
    EXPECT_FALSE(effect.factory.aggregated);
    EXPECT_EQ(effect.recorder->calls, (std::vector<std::pair<unsigned, LONG>>{
                                          {9, 101}, {13, 102}, {17, 103}, {11, 104}, {15, 105}, {19, 106}, {21, 107}}));
    EXPECT_EQ(effect.recorder->applied, 1);
    EXPECT_TRUE(effect.recorder->appliedAfterSetters);
    EXPECT_EQ(effect.recorder->refs, 1u) << "every reference taken is released";
    std::vector<std::uint32_t> inverted = pixels;
    for (auto& p : inverted) p ^= 0x00FFFFFF;
    EXPECT_EQ(PixelsOf(raster.get()), inverted) << "the transform's result is the image";
}

TEST(EffectMethods, CreationFailureIsReturnedBareAndLeavesTheImage) {
    Registered effect(E_ACCESSDENIED);
    const auto pixels = OpaqueGradient(4, 4);
    auto raster = RasterWith(4, 4, pixels);
    ClearThreadError();
    EXPECT_EQ(raster->Sinusize(1, 2, 3, 4, 5, 6, 7), E_ACCESSDENIED);
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_TRUE(effect.recorder->calls.empty());
    EXPECT_EQ(PixelsOf(raster.get()), pixels);
}

// A fault in a setter is not seen: the other setters and Apply run. Without
// an image, the Apply failure is returned after the setters.
TEST(EffectMethods, AFaultInASetterIsNotSeenAndWithoutAnImageTheApplyFailureIsReturned) {
    Registered effect;
    effect.recorder->faultingSlot = 13;
    EXPECT_EQ(RasterWith(3, 2, OpaqueGradient(3, 2))->Sinusize(1, 2, 3, 4, 5, 6, 7), S_OK);
    EXPECT_EQ(effect.recorder->calls,
              (std::vector<std::pair<unsigned, LONG>>{{9, 1}, {17, 3}, {11, 4}, {15, 5}, {19, 6}, {21, 7}}))
        << "the setters after the fault ran";
    EXPECT_EQ(effect.recorder->applied, 1);
    effect.recorder->faultingSlot = 0;
    effect.recorder->calls.clear();
    ExpectError(NewRaster()->Sinusize(1, 2, 3, 4, 5, 6, 7), static_cast<HRESULT>(0xE0000205),
                L"Cannot apply the transform, because there is no any data. Create new image or load it first.");
    EXPECT_EQ(effect.recorder->calls.size(), 7u) << "the setters ran before ApplyTransform";
    EXPECT_EQ(effect.recorder->refs, 1u);
}

}  // namespace
}  // namespace rastelle::test
