// RastelleEffects.dll: its classes as the effect methods and scripts reach
// them, its exports and its registration.
#include "test_support.h"

#include "com/vtable_call.h"
#include "effects/effect_calls.h"
#include "transforms/external_effects.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <tuple>

namespace rastelle::test {
namespace {

using transforms::ExternalEffect;

// Each class, and which property each setter slot the effect methods call
// must reach: the setters take every other slot from the first one.
struct ClassLayout {
    ExternalEffect effect;
    const wchar_t* name;
    unsigned firstSetter;
    std::vector<const wchar_t*> properties;
};

using E = ExternalEffect;
const ClassLayout kClasses[] = {
    {E::AutoLevel, L"AutoLevel", 9, {}},
    {E::Antialiasing, L"Antialiasing", 9, {}},
    {E::Greyscale, L"Greyscale", 9, {}},
    {E::Waddle, L"Waddle", 9, {}},
    {E::Lightness, L"Lightness", 9, {L"Amount", L"AutoMode"}},
    {E::Contrast, L"Contrast", 9, {L"Amount", L"AutoMode"}},
    {E::AddNoise, L"AddNoise", 9, {L"Amount", L"IsMonochrome"}},
    {E::Spray, L"Spray", 9, {L"Amount", L"BackgroundColor", L"FrameWidth"}},
    {E::Mosaic, L"Mosaic", 9, {L"CellHeight", L"CellWidth"}},
    {E::Sinusize, L"Sinusize", 9, {L"HorizontalAmplitude", L"VerticalAmplitude", L"HorizontalWaveLength",
                                   L"VerticalWaveLength", L"HorizontalStartPhase", L"VerticalStartPhase",
                                   L"BackgroundColor"}},
    {E::Swirl, L"Swirl", 9, {L"Amount"}},
    {E::EllipseCrop, L"EllipseCrop", 9, {L"VerticalRadius", L"HorizontalRadius", L"BackgroundColor", L"X", L"Y"}},
    {E::Solarize, L"Solarize", 9, {L"ThresholdColor"}},
    {E::HSLColorize, L"HSLColorize", 9, {L"Hue", L"Saturation", L"Lightness"}},
    {E::Texturize, L"Texturize", 9, {L"Amount", L"Shift"}},
    {E::Sharpen, L"Sharpen", 9, {L"Strength"}},
    {E::Emboss, L"Emboss", 9, {L"Type"}},
    {E::EdgeDetect, L"EdgeDetect", 9, {L"Type"}},
    {E::SwapChannels, L"SwapChannels", 9, {L"Red", L"Green", L"Blue", L"Alpha"}},
    {E::Buttonize, L"Buttonize", 9, {L"FrameOpacity", L"FrameWidth", L"Type"}},
    {E::PageCurl, L"PageCurl", 8, {L"Width", L"Height", L"BackgroundColor", L"CurlColor", L"CurlMode"}},
};

const CLSID& ClsidOf(const ClassLayout& layout) { return transforms::ExternalEffectClassOf(layout.effect).clsid; }
const IID& IidOf(const ClassLayout& layout) { return transforms::ExternalEffectClassOf(layout.effect).iid; }

ComPtr<IDispatch> NewEffect(ExternalEffect effect) {
    const auto& info = transforms::ExternalEffectClassOf(effect);
    ComPtr<IDispatch> object;
    EXPECT_EQ(CoCreateInstance(info.clsid, nullptr, CLSCTX_INPROC_SERVER, info.iid, object.put_void()), S_OK);
    return object;
}
ComPtr<IDispatch> NewEffect(const ClassLayout& layout) { return NewEffect(layout.effect); }

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << Narrow(name);
    return id;
}

// A property read by name, as a script reads it (numbers only).
struct PropertyValue {
    VARTYPE vt;
    LONG lVal;
    float fltVal;
};

PropertyValue Get(IDispatch* object, const wchar_t* name) {
    com::UniqueVariant value;
    DISPPARAMS none{};
    EXPECT_EQ(object->Invoke(IdOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                             value.put(), nullptr, nullptr),
              S_OK)
        << Narrow(name);
    return {value->vt, value->vt == VT_I4 ? value->lVal : 0, value->vt == VT_R4 ? value->fltVal : 0.0f};
}

// Calls Apply by name as the array form (the RasterObject's): the input
// array itself and the address of an array variable.
HRESULT ApplyToArray(IDispatch* object, SAFEARRAY* input, SAFEARRAY** output) {
    VARIANT arguments[2]{};
    arguments[1].vt = VT_ARRAY | VT_I4, arguments[1].parray = input;
    arguments[0].vt = VT_BYREF | VT_ARRAY | VT_I4, arguments[0].pparray = output;
    DISPPARAMS params{arguments, nullptr, 2, 0};
    return object->Invoke(IdOf(object, L"Apply"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                          nullptr, nullptr);
}

TEST(EffectComponentClasses, SetterSlotsLandOnTheNamedProperties) {
    for (const ClassLayout& layout : kClasses) {
        SCOPED_TRACE(Narrow(layout.name));
        auto object = NewEffect(layout);
        ASSERT_TRUE(object);
        // The interface ends after its last property: Apply, then a pair per property.
        ComPtr<ITypeInfo> dispatchInfo;
        ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatchInfo.put()), S_OK);
        HREFTYPE vtableSide = 0;
        ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &vtableSide), S_OK) << "a dual interface";
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(dispatchInfo->GetRefTypeInfo(vtableSide, info.put()), S_OK);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
        EXPECT_EQ(attributes->guid, IidOf(layout));
        EXPECT_EQ(attributes->cbSizeVft, (8 + 2 * layout.properties.size()) * sizeof(void*));
        info->ReleaseTypeAttr(attributes);

        auto isShift = [](const wchar_t* property) { return property == std::wstring_view(L"Shift"); };
        for (unsigned i = 0; i < layout.properties.size(); ++i) {
            const unsigned slot = layout.firstSetter + 2 * i;
            EXPECT_EQ(isShift(layout.properties[i]) ? com::CallSlot(object.get(), slot, 2.5f)
                                                    : com::CallSlot(object.get(), slot, static_cast<LONG>(-1000 - i)),
                      S_OK);
        }
        for (unsigned i = 0; i < layout.properties.size(); ++i) {
            const auto value = Get(object.get(), layout.properties[i]);
            const bool shift = isShift(layout.properties[i]);
            EXPECT_EQ(std::make_tuple(value.vt, value.lVal, value.fltVal),
                      std::make_tuple(VARTYPE(shift ? VT_R4 : VT_I4), shift ? 0 : LONG(-1000 - i), shift ? 2.5f : 0.0f))
                << Narrow(layout.properties[i]);
        }
    }
}

TEST(EffectComponentClasses, StartWithTheDefaultsOfTheEffectMethods) {
    const struct {
        ExternalEffect effect;
        const wchar_t* property;
        LONG value;
    } defaults[] = {
        {E::Sharpen, L"Strength", 16},       {E::Emboss, L"Type", 1},          {E::EdgeDetect, L"Type", 0},
        {E::Buttonize, L"Type", 0},          {E::Buttonize, L"FrameWidth", 10}, {E::Buttonize, L"FrameOpacity", 70},
        {E::PageCurl, L"CurlMode", 5},       {E::PageCurl, L"CurlColor", -52},  {E::PageCurl, L"BackgroundColor", -1},
        {E::AddNoise, L"IsMonochrome", 0},   {E::SwapChannels, L"Blue", 2},    {E::Lightness, L"AutoMode", 0},
    };
    for (const auto& expected : defaults) {
        EXPECT_EQ(Get(NewEffect(expected.effect).get(), expected.property).lVal, expected.value)
            << Narrow(expected.property);
    }
}

TEST(EffectComponentClasses, ServeTheHandOverAndTheAutomationApply) {
    const auto pixels = OpaqueGradient(9, 7);
    for (const ClassLayout& layout : kClasses) {
        SCOPED_TRACE(Narrow(layout.name));
        auto object = NewEffect(layout);
        ASSERT_TRUE(object);
        EXPECT_EQ(Answers(object.get(), {__uuidof(IGDIPlusTransform), IID_IDispatch, IID_ISupportErrorInfo,
                                         IID_IMarshal}),
                  (std::vector<HRESULT>{S_OK, S_OK, S_OK, S_OK}));
        EXPECT_EQ(SupportsErrorInfo(object.get(), {IidOf(layout)}), std::vector<HRESULT>{S_OK});

        // ApplyTransform takes the hand-over; the image keeps its size.
        auto raster = RasterWith(9, 7, pixels);
        EXPECT_EQ(raster->ApplyTransform(object.get()), S_OK);
        EXPECT_EQ(SizeOf(raster.get()), std::make_pair(LONG{9}, LONG{7}));

        // Apply by name on a PixelArray, as a script calls it.
        com::UniqueSafeArray input(PixelArray(6, 4, OpaqueGradient(6, 4)));
        SAFEARRAY* output = nullptr;
        EXPECT_EQ(ApplyToArray(object.get(), input.get(), &output), S_OK);
        com::UniqueSafeArray result(output);
        ASSERT_NE(output, nullptr);
        EXPECT_EQ(output->rgsabound[0].cElements * output->rgsabound[1].cElements, 24u);
        EXPECT_EQ(ArrayValues(output).size(), 24u);
    }
}

// Scripts pass both arrays as VARIANT references; the result replaces what
// the output variable held and equals what the array form gives.
TEST(EffectComponentClasses, ApplyTakesTheVariantReferencesOfScripts) {
    auto object = NewEffect(kClasses[8]);  // Mosaic
    ASSERT_TRUE(object);
    const DISPID apply = IdOf(object.get(), L"Apply");
    com::UniqueSafeArray input(PixelArray(5, 3, OpaqueGradient(5, 3)));

    SAFEARRAY* direct = nullptr;
    ASSERT_EQ(ApplyToArray(object.get(), input.get(), &direct), S_OK);
    com::UniqueSafeArray directResult(direct);

    VARIANT inputVariable{};
    inputVariable.vt = VT_ARRAY | VT_I4, inputVariable.parray = input.get();
    com::UniqueVariant outputVariable;
    outputVariable->vt = VT_BSTR, outputVariable->bstrVal = SysAllocString(L"held before");
    VARIANT references[2]{};
    references[1].vt = references[0].vt = VT_BYREF | VT_VARIANT;
    references[1].pvarVal = &inputVariable, references[0].pvarVal = outputVariable.get();
    DISPPARAMS scriptParams{references, nullptr, 2, 0};
    auto invoke = [&] {
        return object->Invoke(apply, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &scriptParams, nullptr, nullptr,
                              nullptr);
    };
    ASSERT_EQ(invoke(), S_OK);
    ASSERT_EQ(outputVariable->vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(outputVariable->parray->rgsabound[0].cElements * outputVariable->parray->rgsabound[1].cElements, 15u);
    EXPECT_EQ(ArrayValues(outputVariable->parray), ArrayValues(direct));

    // Something other than a PixelArray is refused with the class's error.
    VARIANT notAnArray{};
    notAnArray.vt = VT_I4, notAnArray.lVal = 5;
    references[1].pvarVal = &notAnArray;
    ClearThreadError();
    EXPECT_EQ(invoke(), static_cast<HRESULT>(0xE0000205));
    EXPECT_EQ(Narrow(TakeThreadError().source), "RastelleEffects.Mosaic.1");
    EXPECT_EQ(outputVariable->vt, VT_ARRAY | VT_I4) << "a failure leaves the output";
}

TEST(EffectMethodsWithTheComponent, EverySucceedsAndKeepsTheSize) {
    for (const EffectCall& effect : EffectCalls()) {
        SCOPED_TRACE(effect.name);
        auto raster = RasterWith(11, 8, OpaqueGradient(11, 8));
        EXPECT_EQ(effect.call(raster.get()), S_OK);
        EXPECT_EQ(SizeOf(raster.get()), std::make_pair(LONG{11}, LONG{8}));
    }
    auto tiny = RasterWith(1, 1, {0x80402010});
    for (const EffectCall& effect : EffectCalls()) EXPECT_EQ(effect.call(tiny.get()), S_OK) << effect.name;
    EXPECT_EQ(SizeOf(tiny.get()), std::make_pair(LONG{1}, LONG{1}));
}

// Coarse checks of what each method does to an image (the kernels' own
// tests check them exactly).
std::uint32_t Channel(std::uint32_t argb, int shift) { return argb >> shift & 0xFF; }

// Opaque, colourful, of low contrast: every channel in 64..191.
std::vector<std::uint32_t> Dull(int width, int height) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(0xFF000000u | (64u + static_cast<std::uint32_t>(x * 37 % 128)) << 16 |
                             (64u + static_cast<std::uint32_t>(y * 53 % 128)) << 8 |
                             (64u + static_cast<std::uint32_t>(x * y * 11 % 128)));
    return pixels;
}

std::uint32_t Spread(const std::vector<std::uint32_t>& pixels, int shift) {
    std::uint32_t low = 255, high = 0;
    for (std::uint32_t p : pixels) low = std::min(low, Channel(p, shift)), high = std::max(high, Channel(p, shift));
    return high - low;
}

TEST(EffectMethodsWithTheComponent, ChangeTheImageAsDocumented) {
    constexpr int w = 16, h = 12;
    const auto dull = Dull(w, h);
    const std::vector<std::uint32_t> flat(w * h, 0xFF507090u);
    auto run = [&](const std::vector<std::uint32_t>& pixels, auto&& call) {
        auto raster = RasterWith(w, h, pixels);
        EXPECT_EQ(call(raster.get()), S_OK);
        return PixelsOf(raster.get());
    };
    auto changed = [&](const char* name, auto&& call) {
        EXPECT_NE(run(dull, call), dull) << name << " changes the image";
    };

    auto levelled = run(dull, [](IRasterObject* r) { return r->AutoLevel(); });
    EXPECT_GT(Spread(levelled, 16), 240u) << "AutoLevel stretches red to the full range";
    changed("Antialiasing", [](IRasterObject* r) { return r->Antialiasing(); });
    for (std::uint32_t p : run(dull, [](IRasterObject* r) { return r->Greyscale(); }))
        ASSERT_TRUE(Channel(p, 16) == Channel(p, 8) && Channel(p, 8) == Channel(p, 0)) << std::hex << p;
    changed("Waddle", [](IRasterObject* r) { return r->Waddle(); });

    const auto lighter = run(dull, [](IRasterObject* r) { return r->Lightness(50); });
    for (size_t i = 0; i < dull.size(); ++i) ASSERT_GT(Channel(lighter[i], 8), Channel(dull[i], 8)) << i;
    const auto darker = run(dull, [](IRasterObject* r) { return r->Lightness(-50); });
    for (size_t i = 0; i < dull.size(); ++i) ASSERT_LT(Channel(darker[i], 8), Channel(dull[i], 8)) << i;
    const std::vector<std::uint32_t> dark(w * h, 0xFF202020u);
    EXPECT_GT(Channel(run(dark, [](IRasterObject* r) { return r->AutoLightness(); })[0], 8), 0x40u);
    EXPECT_GT(Spread(run(dull, [](IRasterObject* r) { return r->Contrast(50); }), 16), Spread(dull, 16));
    EXPECT_GT(Spread(run(dull, [](IRasterObject* r) { return r->AutoContrast(); }), 16), Spread(dull, 16));

    auto noise = [](IRasterObject* r) { return r->AddNoise(50, 0); };
    EXPECT_NE(run(dull, noise), dull);
    EXPECT_EQ(run(dull, noise), run(dull, noise)) << "the same noise for the same image";

    EXPECT_EQ(run(dull, [](IRasterObject* r) { return r->Spray(2, 2, 0xFF00FF00); })[0], 0xFF00FF00u)
        << "Spray's frame";
    const auto cells = run(dull, [](IRasterObject* r) { return r->Mosaic(4, 3); });
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(cells[y * w + x], cells[(y / 3 * 3) * w + x / 4 * 4]) << x << "," << y;
    changed("Sinusize", [](IRasterObject* r) { return r->Sinusize(3, 8, 0, 3, 8, 0, -1); });
    const auto swirled = run(dull, [](IRasterObject* r) { return r->Swirl(180); });
    EXPECT_NE(swirled, dull);
    EXPECT_EQ(swirled[0], dull[0]) << "Swirl leaves the corners";
    const auto ellipse = run(dull, [](IRasterObject* r) { return r->EllipseCrop(8, 6, 4, 3, 0xFF0000FF); });
    EXPECT_EQ(ellipse[0], 0xFF0000FFu) << "background outside the ellipse";
    EXPECT_EQ(ellipse[6 * w + 8], dull[6 * w + 8]) << "the centre is kept";

    const auto solarized = run(dull, [](IRasterObject* r) { return r->Solarize(0x808080); });
    for (size_t i = 0; i < dull.size(); ++i) {
        std::uint32_t expected = 0xFF000000u;
        for (int shift : {16, 8, 0}) {
            const std::uint32_t c = Channel(dull[i], shift);
            expected |= (c > 0x80 ? 255 - c : c) << shift;
        }
        ASSERT_EQ(solarized[i], expected) << i;
    }
    for (std::uint32_t p : run(dull, [](IRasterObject* r) { return r->HSLColorize(120, 100, 0); }))
        ASSERT_TRUE(Channel(p, 8) >= Channel(p, 16) && Channel(p, 8) >= Channel(p, 0)) << std::hex << p;
    changed("Texturize", [](IRasterObject* r) { return r->Texturize(50, 8.0f); });

    EXPECT_EQ(run(flat, [](IRasterObject* r) { return r->Sharpen(32); }), flat) << "nothing to sharpen";
    changed("Sharpen", [](IRasterObject* r) { return r->Sharpen(32); });
    changed("Emboss", [](IRasterObject* r) { return r->Emboss(1); });
    for (std::uint32_t p : run(flat, [](IRasterObject* r) { return r->EdgeDetect(0); }))
        ASSERT_EQ(p & 0x00FFFFFF, 0u) << "no edge in a flat image";

    const auto swapped = run(dull, [](IRasterObject* r) { return r->SwapChannels(2, 1, 0, 3); });
    for (size_t i = 0; i < dull.size(); ++i)
        ASSERT_EQ(swapped[i], (dull[i] & 0xFF00FF00u) | Channel(dull[i], 16) | Channel(dull[i], 0) << 16) << i;

    const auto button = run(dull, [](IRasterObject* r) { return r->Buttonize(0, 3, 70); });
    EXPECT_EQ(button[6 * w + 8], dull[6 * w + 8]) << "Buttonize leaves the inside";
    EXPECT_NE(button[6 * w], dull[6 * w]) << "Buttonize draws on the left edge";
    const auto curled = run(dull, [](IRasterObject* r) { return r->PageCurl(6, 6, 5, -52, -1); });
    EXPECT_EQ(curled[0], dull[0]) << "mode 5 leaves the top left corner";
    EXPECT_NE(curled[h * w - 1], dull[h * w - 1]) << "mode 5 curls the bottom right corner";
}

// ---------------------------------------------------------------------------
// The DLL itself

HMODULE EffectsModule() {
    static HMODULE module =
        LoadLibraryW((std::filesystem::path(DllPath()).parent_path() / L"RastelleEffects.dll").c_str());
    return module;
}

template <class Fn>
Fn EffectsExport(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(EffectsModule(), name)));
}

using NoArgsFn = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

std::wstring RegistryValue(const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t data[1024] = {};
    DWORD bytes = sizeof(data);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

TEST(EffectComponentModule, ServesOnlyItsOwnClassesAndUnloadsWhenIdle) {
    auto getClassObject = EffectsExport<GetClassObjectFn>("DllGetClassObject");
    auto canUnload = EffectsExport<NoArgsFn>("DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnload, nullptr);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(CLSID_RasterObject, IID_IClassFactory, factory.put_void()), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(getClassObject(ClsidOf(kClasses[0]), IID_IClassFactory, nullptr), E_POINTER);
    ASSERT_EQ(getClassObject(ClsidOf(kClasses[15]), IID_IClassFactory, factory.put_void()), S_OK);
    ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    object.reset();
    factory.reset();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST(EffectComponentModule, UnregisteredTheEffectMethodsFailBareAndRegisteringAgainRestoresThem) {
    auto registerServer = EffectsExport<NoArgsFn>("DllRegisterServer");
    auto unregisterServer = EffectsExport<NoArgsFn>("DllUnregisterServer");
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);
    const std::wstring libKey = L"TypeLib\\{4B1B5914-1117-4055-8CFB-C8DD4298F821}\\1.0";

    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(RegistryValue(libKey), L"<missing>");
    for (const ClassLayout& layout : kClasses) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(ClsidOf(layout), nullptr, CLSCTX_ALL, IID_IUnknown, object.put_void()),
                  REGDB_E_CLASSNOTREG)
            << Narrow(layout.name);
        CLSID clsid{};
        EXPECT_TRUE(FAILED(CLSIDFromProgID((std::wstring(L"RastelleEffects.") + layout.name).c_str(), &clsid)));
    }
    const auto pixels = OpaqueGradient(6, 5);
    auto raster = RasterWith(6, 5, pixels);
    for (const EffectCall& effect : EffectCalls()) {
        ClearThreadError();
        EXPECT_EQ(effect.call(raster.get()), REGDB_E_CLASSNOTREG) << effect.name;
        EXPECT_FALSE(TakeThreadError().present) << effect.name;
    }
    EXPECT_EQ(PixelsOf(raster.get()), pixels);
    EXPECT_EQ(NewRaster()->Resize(2, 2, rqtBilinearMode, -1), static_cast<HRESULT>(0xE0000205))
        << "Rastelle.dll's own classes stay registered";

    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_NE(RegistryValue(libKey), L"<missing>");
    for (const ClassLayout& layout : kClasses) {
        const std::wstring progId = std::wstring(L"RastelleEffects.") + layout.name;
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &clsid), S_OK) << Narrow(progId);
        EXPECT_EQ(clsid, ClsidOf(layout));
        EXPECT_EQ(CLSIDFromProgID((progId + L".1").c_str(), &clsid), S_OK) << Narrow(progId);
        const std::wstring server = L"CLSID\\" + GuidText(ClsidOf(layout)) + L"\\InprocServer32";
        EXPECT_EQ(RegistryValue(server, L"ThreadingModel"), L"Both");
        EXPECT_TRUE(RegistryValue(server).ends_with(L"RastelleEffects.dll")) << Narrow(RegistryValue(server));
    }
    EXPECT_EQ(raster->Sharpen(16), S_OK);
}

}  // namespace
}  // namespace rastelle::test
