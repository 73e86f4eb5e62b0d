// The module's exports: class objects, unloading and registration.
#include "test_support.h"

#include "module/class_table.h"
#include "module/registration.h"

#include <comcat.h>

namespace rastelle::test {
namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using NoArgsFn = HRESULT(STDAPICALLTYPE*)();

template <class Fn>
Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(DllModule(), name)));
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring Value(const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t data[1024] = {};
    DWORD bytes = sizeof(data);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

TEST(ModuleExports, ClassObjectsAreServedOnlyForBuiltCreatableClasses) {
    auto getClassObject = Export<GetClassObjectFn>("DllGetClassObject");
    ASSERT_NE(getClassObject, nullptr);
    IClassFactory* first = nullptr;
    IClassFactory* second = nullptr;
    ASSERT_EQ(getClassObject(CLSID_RasterObject, IID_IClassFactory, reinterpret_cast<void**>(&first)), S_OK);
    ASSERT_EQ(getClassObject(CLSID_RasterObject, IID_IUnknown, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first), static_cast<IUnknown*>(second)) << "one class object per class";
    first->Release();
    second->Release();

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(CLSID_RasterItem, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(getClassObject(CLSID_GDIplusCodec, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(getClassObject(IID_IRasterObject, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(getClassObject(CLSID_RasterObject, IID_IClassFactory, nullptr), E_POINTER);
}

TEST(ModuleExports, CanUnloadOnlyWhenNoObjectOrLockIsAlive) {
    auto canUnload = Export<NoArgsFn>("DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
    CoFreeUnusedLibraries();
    EXPECT_EQ(canUnload(), S_OK);
    {
        auto raster = NewRaster();
        EXPECT_EQ(canUnload(), S_FALSE);
        ComPtr<IRasterObject> clone;
        raster->EmptyImage(1, 1, -1);
        raster->Clone(clone.put());
        raster.reset();
        EXPECT_EQ(canUnload(), S_FALSE) << "the clone still lives";
    }
    EXPECT_EQ(canUnload(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_RasterObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.put_void()),
              S_OK);
    EXPECT_EQ(canUnload(), S_OK) << "a class object alone does not lock the module";
    factory->LockServer(TRUE);
    EXPECT_EQ(canUnload(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnload(), S_OK);
}

TEST(ModuleExports, EveryProgIdFormCreatesItsClass) {
    CLSID clsid{};
    for (const wchar_t* progId : {L"Rastelle.RasterObject", L"Rastelle.RasterObject.1"}) {
        ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_RasterObject));
    }
    // Three version-dependent ProgIDs carry a cut class name.
    ASSERT_EQ(CLSIDFromProgID(L"Rastelle.TransformEquali.1", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TransformEqualize));
    ASSERT_EQ(CLSIDFromProgID(L"Rastelle.TransformEqualize", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TransformEqualize));
    EXPECT_NE(CLSIDFromProgID(L"Rastelle.TransformEqualize.1", &clsid), S_OK);
    ASSERT_EQ(CLSIDFromProgID(L"Rastelle.Pen", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_DrawingPen));
    EXPECT_NE(CLSIDFromProgID(L"Rastelle.DrawingPen", &clsid), S_OK);
}

// Checks every key of one class's registration.
void ExpectRegistered(const module::ClassEntry& entry) {
    SCOPED_TRACE(Narrow(entry.progId));
    const std::wstring clsid = GuidText(*entry.clsid);
    const std::wstring clsidKey = L"CLSID\\" + clsid;
    EXPECT_EQ(Value(entry.progId), entry.description);
    EXPECT_EQ(Value(std::wstring(entry.progId) + L"\\CLSID"), clsid);
    EXPECT_EQ(Value(entry.versionIndependentProgId), entry.description);
    EXPECT_EQ(Value(std::wstring(entry.versionIndependentProgId) + L"\\CLSID"), clsid);
    EXPECT_EQ(Value(std::wstring(entry.versionIndependentProgId) + L"\\CurVer"), entry.progId);
    EXPECT_EQ(Value(clsidKey), entry.description);
    EXPECT_EQ(Value(clsidKey + L"\\ProgID"), entry.progId);
    EXPECT_EQ(Value(clsidKey + L"\\VersionIndependentProgID"), entry.versionIndependentProgId);
    EXPECT_EQ(KeyExists(clsidKey + L"\\Programmable"), entry.programmable);
    EXPECT_EQ(Narrow(Value(clsidKey + L"\\InprocServer32")), Narrow(DllPath()));
    EXPECT_EQ(Value(clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Both");
    EXPECT_EQ(Value(clsidKey + L"\\TypeLib"), L"{9AAC3E0E-8B1D-4D3A-9EF9-465BA8D31B12}");
    EXPECT_EQ(KeyExists(clsidKey + L"\\Implemented Categories\\{FDCDC031-CDD1-4C61-BE20-866C367B1A0D}"),
              entry.implementsCategory);
}

void ExpectUnregistered(const module::ClassEntry& entry) {
    SCOPED_TRACE(Narrow(entry.progId));
    EXPECT_FALSE(KeyExists(entry.progId));
    EXPECT_FALSE(KeyExists(entry.versionIndependentProgId));
    EXPECT_FALSE(KeyExists(L"CLSID\\" + GuidText(*entry.clsid)));
}

TEST(ModuleRegistration, RegisterWritesEveryScriptAndUnregisterRemovesThem) {
    auto registerServer = Export<NoArgsFn>("DllRegisterServer");
    auto unregisterServer = Export<NoArgsFn>("DllUnregisterServer");
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);
    ASSERT_EQ(module::ClassTable().size(), 27u);

    ASSERT_EQ(registerServer(), S_OK);
    for (const auto& entry : module::ClassTable()) ExpectRegistered(entry);
    EXPECT_TRUE(KeyExists(L"TypeLib\\{9AAC3E0E-8B1D-4D3A-9EF9-465BA8D31B12}\\1.0"));
    EXPECT_EQ(Value(L"Component Categories\\{FDCDC031-CDD1-4C61-BE20-866C367B1A0D}", L"409"),
              L"Image Codecs for Quillmark Rastelle");

    // A stale key under a class is dropped by re-registration.
    HKEY stale = nullptr;
    RegCreateKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(CLSID_RasterObject) + L"\\Stale").c_str(), &stale);
    RegCloseKey(stale);
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_FALSE(KeyExists(L"CLSID\\" + GuidText(CLSID_RasterObject) + L"\\Stale"));

    ASSERT_EQ(unregisterServer(), S_OK);
    for (const auto& entry : module::ClassTable()) ExpectUnregistered(entry);
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_FALSE(KeyExists(L"TypeLib\\{9AAC3E0E-8B1D-4D3A-9EF9-465BA8D31B12}\\1.0"));
    EXPECT_TRUE(KeyExists(L"Component Categories\\{FDCDC031-CDD1-4C61-BE20-866C367B1A0D}"))
        << "the category stays";

    // Leave the machine as the other tests expect it.
    ASSERT_EQ(registerServer(), S_OK);
    ExpectRegistered(module::ClassTable()[0]);
}

}  // namespace
}  // namespace rastelle::test
