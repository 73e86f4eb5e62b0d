// The module's exports: class objects, unloading and registration.
#include "test_support.h"

#include "allocation_failure.h"

#include "module/class_table.h"
#include "module/registration.h"

#include <iterator>

namespace rastelle::test {
namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using NoArgsFn = HRESULT(STDAPICALLTYPE*)();

template <class Fn>
Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(DllModule(), name)));
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

TEST(ModuleExports, ClassObjectsAndUnloading) {
    auto getClassObject = Export<GetClassObjectFn>("DllGetClassObject");
    auto canUnload = Export<NoArgsFn>("DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnload);
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(getClassObject(CLSID_RasterObject, IID_IClassFactory, factory.put_void()), S_OK);
    ASSERT_EQ(getClassObject(CLSID_RasterObject, IID_IUnknown, unknown.put_void()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(factory.get()), unknown.get()) << "one class object per class";
    // Only built, creatable classes are served.
    void* out = reinterpret_cast<void*>(1);
    for (REFCLSID clsid : {CLSID_RasterItem, CLSID_GDIplusCodec, IID_IRasterObject})
        EXPECT_EQ(getClassObject(clsid, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    // A class object alone does not lock the module; objects and locks do.
    EXPECT_EQ(canUnload(), S_OK);
    factory->LockServer(TRUE);
    EXPECT_EQ(canUnload(), S_FALSE);
    factory->LockServer(FALSE);
    auto raster = NewRaster();
    EXPECT_EQ(canUnload(), S_FALSE);
    raster.reset();
    EXPECT_EQ(canUnload(), S_OK);
}

// The 28 classes as clients know them, written out independently of the
// module's own class table: ProgID Rastelle.<name>.1 (<cut>.1 where the name
// is cut), version-independent Rastelle.<name>, description "<named> Class".
struct KnownClass {
    const wchar_t* name;
    const wchar_t* clsid;
    const wchar_t* cut = nullptr;
    const wchar_t* named = nullptr;
    std::wstring ProgId() const { return std::wstring(L"Rastelle.") + (cut ? cut : name) + L".1"; }
    std::wstring Independent() const { return std::wstring(L"Rastelle.") + name; }
    std::wstring Description() const { return std::wstring(named ? named : name) + L" Class"; }
};

const KnownClass kKnownClasses[] = {
    {L"RasterObject", L"{A6670551-2F7E-46A9-B5D0-3F25C25E9B29}"},
    {L"TransformFlipAndRotate", L"{4EB8951C-2D2C-4E02-AB07-D8AAB1F2F6A8}"},
    {L"RasterCollection", L"{271AD987-96A0-4643-88D8-11220DF0A159}"},
    {L"RasterItem", L"{E8EAB500-51F3-4989-9340-7A3057939A6C}"},
    {L"TransformResize", L"{CFC7D428-4BA4-4998-9D7A-8467AAAE8121}"},
    {L"TransformCrop", L"{1C135F65-E11F-4A43-96E1-010E30D51CD1}"},
    {L"TransformEqualize", L"{9A5B2C47-DEB8-4ED3-8720-64355DB1AF5C}", L"TransformEquali"},
    {L"TransformRotate", L"{1F1FEC93-BEC7-4548-B4F1-07D234A69FC2}"},
    {L"JPEGEncoderInfo", L"{3721B7C7-B48D-4F46-92AA-86F3D9B0689D}"},
    {L"TIFFEncoderInfo", L"{869B5A4D-CD1E-43CF-AC5F-BBF4413CDE0E}"},
    {L"DrawingTool", L"{C582D7AB-EC41-42C1-9993-6072F971CA48}"},
    {L"Pen", L"{CFACD5F5-1720-4067-A8EF-E23B1D781689}", nullptr, L"DrawingPen"},
    {L"SolidBrush", L"{2C44F8DB-4C13-49A8-BFA3-1976EB45755D}"},
    {L"HatchBrush", L"{E68715CA-45E1-4720-BABB-6633896A7265}"},
    {L"TextureBrush", L"{A1E366B8-5269-4406-B94F-DAA349789598}"},
    {L"TextInfo", L"{CA7E173C-AD5E-4301-AC6D-7F8A505F8FC4}"},
    {L"TransformTransparentize", L"{519607F8-FD9B-4A42-B64F-8BCC14E54AD4}"},
    {L"SWFEncoderInfo", L"{EFB9CA16-4B9C-474B-84D4-B6984DA19959}"},
    {L"GIFEncoderInfo", L"{05EC364C-B5C3-4360-9DA2-68440D71F649}"},
    {L"GDIplusCodec", L"{D56E9950-F223-4480-89C7-9C8EE4A6CE6F}"},
    {L"TransformFastBlur", L"{37DE67C8-9268-4F60-B1A9-373DAEC95565}", L"TransformFastBl"},
    {L"TransformGlow", L"{722DF2E5-B752-45CC-8601-FEC3B472844F}"},
    {L"TransformShadow", L"{6B3EDC16-3E63-4DF9-97CB-F8664D3A093E}"},
    {L"TransformNoiseRemove", L"{793FB755-9431-449B-BFF5-FBC257ECBA5C}"},
    {L"TransformErosion", L"{1FF6037D-B69B-4223-997F-5552180D75B4}", L"TransformErosio"},
    {L"TransformExpand", L"{1EE0261A-19A4-4752-BF22-D4208668A1C9}"},
    {L"BMPEncoderInfo", L"{68980056-E2DE-4BD2-AFC2-E4D59FEF6C8D}"},
    {L"WebPEncoderInfo", L"{7CD4A670-D8A5-450E-9DF9-827BBDBF7A6C}"},
};
constexpr const wchar_t kCodecCategoryKey[] = L"{FDCDC031-CDD1-4C61-BE20-866C367B1A0D}";

// Checks every key of one class's registration.
void ExpectRegistered(const KnownClass& known) {
    SCOPED_TRACE(Narrow(known.ProgId()));
    const std::wstring clsidKey = std::wstring(L"CLSID\\") + known.clsid;
    const bool codec = std::wstring(known.name) == L"GDIplusCodec";
    const std::wstring expected[][3] = {
        {known.ProgId(), L"", known.Description()},
        {known.ProgId() + L"\\CLSID", L"", known.clsid},
        {known.Independent(), L"", known.Description()},
        {known.Independent() + L"\\CLSID", L"", known.clsid},
        {known.Independent() + L"\\CurVer", L"", known.ProgId()},
        {clsidKey, L"", known.Description()},
        {clsidKey + L"\\ProgID", L"", known.ProgId()},
        {clsidKey + L"\\VersionIndependentProgID", L"", known.Independent()},
        {clsidKey + L"\\InprocServer32", L"", DllPath()},
        {clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Both"},
        {clsidKey + L"\\TypeLib", L"", L"{9AAC3E0E-8B1D-4D3A-9EF9-465BA8D31B12}"}};
    for (const auto& [key, name, value] : expected)
        EXPECT_EQ(Narrow(RegistryText(key, name.empty() ? nullptr : name.c_str())), Narrow(value)) << Narrow(key);
    EXPECT_EQ(KeyExists(clsidKey + L"\\Programmable"), !codec);
    EXPECT_EQ(KeyExists(clsidKey + L"\\Implemented Categories\\" + kCodecCategoryKey), codec);
}

TEST(ModuleRegistration, RegisterWritesEveryScriptAndUnregisterRemovesThem) {
    auto registerServer = Export<NoArgsFn>("DllRegisterServer");
    auto unregisterServer = Export<NoArgsFn>("DllUnregisterServer");
    ASSERT_TRUE(registerServer && unregisterServer);
    ASSERT_EQ(module::ClassTable().size(), std::size(kKnownClasses)) << "no class more, none less";

    ASSERT_EQ(registerServer(), S_OK);
    for (const auto& known : kKnownClasses) ExpectRegistered(known);
    EXPECT_TRUE(KeyExists(L"TypeLib\\{9AAC3E0E-8B1D-4D3A-9EF9-465BA8D31B12}\\1.0"));
    EXPECT_EQ(RegistryText(std::wstring(L"Component Categories\\") + kCodecCategoryKey, L"409"),
              L"Image Codecs for Quillmark Rastelle");
    EXPECT_FALSE(KeyExists(L"Rastelle.TransformEqualize.1") || KeyExists(L"Rastelle.DrawingPen"))
        << "cut and renamed classes have no full-name ProgID";

    // A stale key under a class is dropped by re-registration.
    const std::wstring stale = std::wstring(L"CLSID\\") + kKnownClasses[0].clsid + L"\\Stale";
    HKEY key = nullptr;
    RegCreateKeyW(HKEY_CLASSES_ROOT, stale.c_str(), &key);
    RegCloseKey(key);
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_FALSE(KeyExists(stale));

    ASSERT_EQ(unregisterServer(), S_OK);
    for (const auto& known : kKnownClasses)
        for (const std::wstring& key : {known.ProgId(), known.Independent(), std::wstring(L"CLSID\\") + known.clsid})
            EXPECT_FALSE(KeyExists(key)) << Narrow(key);
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_FALSE(KeyExists(L"TypeLib\\{9AAC3E0E-8B1D-4D3A-9EF9-465BA8D31B12}\\1.0"));
    EXPECT_TRUE(KeyExists(std::wstring(L"Component Categories\\") + kCodecCategoryKey)) << "the category stays";

    // Leave the machine as the other tests expect it.
    ASSERT_EQ(registerServer(), S_OK);
    ExpectRegistered(kKnownClasses[0]);
}

// Registration from a thread already in the multithreaded apartment leaves
// that thread's COM initialisation as it was.
TEST(ModuleRegistration, KeepsTheCallersApartment) {
    const auto fromMultithreadedApartment = []() -> DWORD {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
        const HRESULT registered = Export<NoArgsFn>("DllRegisterServer")();
        ComPtr<IUnknown> object;
        const HRESULT created =
            CoCreateInstance(CLSID_RasterObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void());
        object.reset();
        CoUninitialize();
        return registered != S_OK ? 2 : created == S_OK ? 0 : 3;
    };
    EXPECT_EQ(RunOnThreads(1, fromMultithreadedApartment), std::vector<DWORD>{0})
        << "2: registration failed; 3: COM was uninitialised under the caller";
}

TEST(ModuleRegistration, RunningOutOfMemoryGivesAnHresult) {
    // Each allocation in turn fails: the call ends in E_OUTOFMEMORY, not in an
    // exception. The code runs as linked into the test program, so that its
    // allocations fail; the DLL registers itself again afterwards.
    int refusals = 0;
    for (int allowed = 0; allowed < 400; allowed += 7) {
        for (auto call : {&module::RegisterServer, &module::UnregisterServer}) {
            ScopedAllocationFailure failure(allowed);
            const HRESULT hr = call();
            if (failure.Refused()) {
                ++refusals;
                EXPECT_EQ(hr, E_OUTOFMEMORY) << allowed;
            }
        }
    }
    EXPECT_GT(refusals, 0);
    ASSERT_EQ(Export<NoArgsFn>("DllRegisterServer")(), S_OK);
}

}  // namespace
}  // namespace rastelle::test
