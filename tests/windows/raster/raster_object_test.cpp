// RasterObject through COM: state, loading, pixels, cloning and the errors a
// client sees.
#include "test_support.h"

#include "image/bitmap.h"
#include "platform/gdiplus_errors.h"
#include "raster/raster_object.h"
#include "raster/raster_object_methods.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <cwchar>

namespace rastelle::test {
namespace {

constexpr wchar_t kNoData[] = L"Cannot get image width, because there is no any data. Create new image or load it first.";
constexpr wchar_t kNoPixels[] = L"Cannot get access to the pixels: no data loaded";

// Whether the object holds an image (Width answers); leaves no error behind.
bool HasImage(IRasterObject* raster) {
    LONG width = 0;
    const bool has = raster->get_Width(&width) == S_OK;
    return ClearThreadError(), has;
}

TEST(RasterObjectState, NewObjectHasNoImageDefaultsAndRefusals) {
    auto raster = NewRaster();
    LONG value = 0;
    ComPtr<IRasterObject> clone;
    ExpectError(raster->get_Width(&value), E_FAIL, kNoData);
    ExpectError(raster->get_Height(&value), E_FAIL, kNoData);
    ExpectError(raster->get_Pixels(0, 0, &value), E_FAIL, kNoPixels);
    ExpectError(raster->put_Pixels(0, 0, 1), E_FAIL, kNoPixels);
    ExpectError(raster->Clone(clone.put()), E_FAIL, L"Cannot clone the object: there is no raster any data to be cloned!");
    for (int bad : {-1, 6})
        ExpectError(raster->put_OutputFileType(static_cast<OutputFileTypes>(bad)), E_INVALIDARG,
                    L"This output file type is unsupported!");
    EXPECT_EQ(SettingsOf(raster.get()), Settings(0.0f, 0.0f, oftJPEG, oftUnknown)) << "defaults, not refused values";
    // Null out pointers: E_INVALIDARG without an error object; with an image,
    // Width and Height check the pointer after the data.
    ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
    EXPECT_EQ((std::vector<HRESULT>{raster->get_OutputFileType(nullptr), raster->get_CurrentFileType(nullptr),
                                    raster->get_HorizontalResolution(nullptr), raster->Clone(nullptr),
                                    raster->get_Pixels(0, 0, nullptr), raster->LoadStream(nullptr),
                                    raster->get_Width(nullptr), raster->get_Height(nullptr)}),
              std::vector<HRESULT>(8, E_INVALIDARG));
    EXPECT_FALSE(TakeThreadError().present);
}

TEST(RasterObjectEmptyImage, FillsWithTheColourAsGivenAt72DpiAndRefusesBadAndHugeSizes) {
    auto raster = NewRaster();
    ASSERT_EQ(raster->EmptyImage(3, 2, 0x80FF4020), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(6, 0x80FF4020u)) << "not premultiplied";
    EXPECT_EQ(std::bit_cast<std::uint32_t>(std::get<0>(SettingsOf(raster.get()))), 0x42900000u) << "72 dpi exactly";
    EXPECT_EQ(std::get<1>(SettingsOf(raster.get())), 72.0f);
    LONG value = 0;
    for (auto [x, y] : {std::pair{3, 0}, std::pair{0, 2}, std::pair{-1, 0}}) {
        ExpectError(raster->get_Pixels(x, y, &value), E_FAIL,
                    L"Cannot get pixel at this coordinates. It possible they are out of bounds!");
        ExpectError(raster->put_Pixels(x, y, 5), E_FAIL,
                    L"Cannot put pixel at this coordinates. It possible they are out of bounds!");
    }
    // A new image keeps the current file type.
    ASSERT_EQ(raster->LoadStream(StreamOver(MakeBmp(1, 1, {0})).get()), S_OK);
    ASSERT_EQ(raster->EmptyImage(4, 5, -1), S_OK);
    EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), oftBMP);

    raster->put_HorizontalResolution(300.0f);
    for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}})
        ExpectError(raster->EmptyImage(w, h, -1), E_FAIL, L"Width and Height must be > 0.");
    EXPECT_EQ(std::make_tuple(SizeOf(raster.get()), std::get<0>(SettingsOf(raster.get()))),
              std::make_tuple(std::make_pair(4L, 5L), 300.0f)) << "a refused size keeps the previous image";
    ExpectError(raster->EmptyImage(40000, 40000, -1), E_FAIL,
                platform::FailureMessage(Gdiplus::OutOfMemory, "RasterObject", "EmptyImage", 0));
    EXPECT_FALSE(HasImage(raster.get())) << "a failed creation leaves no image";
}

// Counts the files the DLL itself opens with a given name part, through its
// import of CreateFileW, for as long as the counter lives.
class OpenCounter {
public:
    explicit OpenCounter(const wchar_t* namePart) {
        part_ = namePart;
        opens_ = 0;
        slot_ = ImportSlot(DllModule(), "CreateFileW");
        if (!slot_) return;
        original_ = reinterpret_cast<CreateFileFunction>(*slot_);
        Patch(reinterpret_cast<void*>(&Counting));
    }
    ~OpenCounter() {
        if (slot_) Patch(reinterpret_cast<void*>(original_));
    }
    bool hooked() const { return slot_ != nullptr; }
    int opens() const { return opens_; }

private:
    using CreateFileFunction = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);

    static HANDLE WINAPI Counting(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE model) {
        if (name && std::wcsstr(name, part_)) ++opens_;
        return original_(name, access, share, security, disposition, flags, model);
    }

    // The import address table entry of kernel32's function in module.
    static void** ImportSlot(HMODULE module, const char* function) {
        auto* base = reinterpret_cast<std::uint8_t*>(module);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
            if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), "kernel32.dll") != 0) continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
        return nullptr;
    }

    void Patch(void* value) {
        DWORD old = 0;
        VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
        *slot_ = value;
        VirtualProtect(slot_, sizeof(void*), old, &old);
    }

    void** slot_ = nullptr;
    static inline CreateFileFunction original_ = nullptr;
    static inline const wchar_t* part_ = nullptr;
    static inline std::atomic<int> opens_{0};
};

TEST(RasterObjectLoad, LoadsEveryFormatIntoArgbReportsItsTypeAndOpensAFileOnce) {
    // (GIF: the platform's encoder cannot write one from 32-bit pixels; the
    // GIF tests write theirs with giflib.)
    const auto pixels = OpaqueGradient(5, 4);
    for (auto [mime, type] : {std::pair{L"image/png", oftPNG}, {L"image/bmp", oftBMP}, {L"image/tiff", oftTIFF},
                              {L"image/jpeg", oftJPEG}}) {
        const auto bytes = type == oftBMP ? MakeBmp(5, 4, pixels) : EncodeWithGdiplus(5, 4, pixels, mime);
        const std::wstring path = WriteFile(L"counted.img", bytes);
        auto fromFile = NewRaster(), fromStream = NewRaster();
        {
            OpenCounter counter(L"counted.img");
            ASSERT_TRUE(counter.hooked());
            fromFile->put_OutputFileType(oftPNG);
            ASSERT_EQ(fromFile->LoadFile(Bstr(path).get()), S_OK) << Narrow(mime);
            EXPECT_EQ(counter.opens(), 1) << Narrow(mime);
        }
        ASSERT_EQ(fromStream->LoadStream(StreamOver(bytes).get()), S_OK) << Narrow(mime);
        // The output type stays; the resolution is a new bitmap's, not the file's 72 dpi.
        EXPECT_EQ(SettingsOf(fromFile.get()), Settings(96.0f, 96.0f, oftPNG, type)) << Narrow(mime);
        EXPECT_EQ(SettingsOf(fromStream.get()), Settings(96.0f, 96.0f, oftJPEG, type)) << Narrow(mime);
        EXPECT_TRUE(type == oftJPEG || (PixelsOf(fromFile.get()) == pixels && PixelsOf(fromStream.get()) == pixels))
            << Narrow(mime);
    }
}

TEST(RasterObjectLoad, RefusedLoadsLeaveNoImage) {
    auto raster = NewRaster();
    const auto icon = MakeIcon();
    for (bool fromStream : {false, true}) {
        ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
        ExpectError(fromStream ? raster->LoadStream(StreamOver(icon).get())
                               : raster->LoadFile(Bstr(WriteFile(L"icon.ico", icon)).get()),
                    E_FAIL, L"Unknown file type.");
        EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), oftUnknown);
        EXPECT_FALSE(HasImage(raster.get()));
    }
    ASSERT_EQ(raster->LoadStream(StreamOver(MakeBmp(1, 1, {0xFF000000})).get()), S_OK);
    ExpectError(raster->LoadFile(Bstr(TempDir() + L"\\does-not-exist.png").get()), E_FAIL,
                L"Windows error in RasterObject.LoadFile: *");
    EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), oftBMP) << "a failed load keeps the file type";
    EXPECT_FALSE(HasImage(raster.get()));
    EXPECT_EQ(raster->LoadStream(StreamOver(std::vector<std::uint8_t>(64, 0x5A)).get()), E_FAIL);
    EXPECT_NE(TakeThreadError().description.find(L"LoadStream"), std::wstring::npos);
    ExpectError(raster->LoadStream(NewRaster().get()), E_NOINTERFACE, L"Cannot query IStream interface. ");
}

TEST(RasterObjectClone, CopiesPixelsResolutionsAndOutputTypeButNotTheFileType) {
    auto raster = NewRaster();
    ASSERT_EQ(raster->LoadStream(StreamOver(MakeBmp(3, 3, OpaqueGradient(3, 3))).get()), S_OK);
    raster->put_HorizontalResolution(150.0f), raster->put_VerticalResolution(75.0f), raster->put_OutputFileType(oftTIFF);
    ComPtr<IRasterObject> clone;
    ASSERT_EQ(raster->Clone(clone.put()), S_OK);
    EXPECT_EQ(PixelsOf(clone.get()), OpaqueGradient(3, 3));
    EXPECT_EQ(SettingsOf(clone.get()), Settings(150.0f, 75.0f, oftTIFF, oftUnknown));
    clone->put_Pixels(0, 0, 0x12345678);
    EXPECT_EQ(PixelsOf(raster.get()), OpaqueGradient(3, 3)) << "the copy is independent";
}

// The method list that makes the layer item's forwarding follows the type
// library's virtual table row by row (a row out of place would forward a
// call to another method).
TEST(RasterObjectMethodList, FollowsTheVirtualTableOfTheTypeLibrary) {
#define RASTELLE_LISTED_NAME(name, params, args) L"" #name,
    const std::vector<std::wstring> listed = {RASTELLE_RASTER_OBJECT_METHODS(RASTELLE_LISTED_NAME)};
#undef RASTELLE_LISTED_NAME
    ComPtr<ITypeInfo> dispatchInfo, info;
    ASSERT_EQ(NewRaster()->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatchInfo.put()), S_OK);
    HREFTYPE interfacePart = 0;
    ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &interfacePart), S_OK) << "IRasterObject is dual";
    ASSERT_EQ(dispatchInfo->GetRefTypeInfo(interfacePart, info.put()), S_OK);
    std::vector<std::wstring> spelled;  // get_/put_ for properties, in slot order from slot 7
    for (UINT i = 0;; ++i) {
        FUNCDESC* function = nullptr;
        if (info->GetFuncDesc(i, &function) != S_OK) break;
        com::UniqueBstr name;
        info->GetDocumentation(function->memid, name.put(), nullptr, nullptr, nullptr);
        EXPECT_EQ(static_cast<std::size_t>(function->oVft) / sizeof(void*), 7 + i);
        spelled.push_back(std::wstring(function->invkind == INVOKE_PROPERTYGET   ? L"get_"
                                       : function->invkind == INVOKE_PROPERTYPUT ? L"put_"
                                                                                 : L"") +
                          std::wstring(name.view()));
        info->ReleaseFuncDesc(function);
    }
    EXPECT_EQ(spelled, listed);
}

// The image methods make their transforms themselves: a registration that
// points a transform's class elsewhere (another copy of the DLL, a surrogate,
// a missing file) does not change what Resize runs.
TEST(RasterObjectInnerObjects, AreMadeDirectlyWhateverTheRegistrySays) {
    wchar_t clsid[64];
    StringFromGUID2(CLSID_TransformResize, clsid, 64);
    const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    HKEY server = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | KEY_WRITE, &server), ERROR_SUCCESS);
    wchar_t registered[MAX_PATH] = {};
    DWORD size = sizeof registered;
    ASSERT_EQ(RegQueryValueExW(server, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(registered), &size),
              ERROR_SUCCESS);
    const auto setServer = [&](const wchar_t* path) {
        RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                       static_cast<DWORD>((wcslen(path) + 1) * sizeof(wchar_t)));
    };
    setServer(L"C:\\nowhere\\NotRastelle.dll");
    ComPtr<IUnknown> throughRegistry;
    const HRESULT registryAnswer = CoCreateInstance(CLSID_TransformResize, nullptr, CLSCTX_INPROC_SERVER,
                                                    IID_IUnknown, throughRegistry.put_void());
    auto raster = RasterWith(4, 2, NumberedPixels(4, 2));
    const HRESULT resized = raster->Resize(2, 1, rqtNearestNeighborMode, 0);
    setServer(registered);
    RegCloseKey(server);
    EXPECT_TRUE(FAILED(registryAnswer)) << "the registry points elsewhere";
    EXPECT_EQ(resized, S_OK);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{2, 1}));
}

}  // namespace
}  // namespace rastelle::test
