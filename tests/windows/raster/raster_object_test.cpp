// RasterObject through COM: state, loading, pixels, cloning and the errors a
// client sees.
#include "test_support.h"

#include "com/errors.h"
#include "image/bitmap.h"
#include "platform/gdiplus_errors.h"
#include "raster/raster_object.h"

#include <bit>

namespace rastelle::test {
namespace {

constexpr wchar_t kNoData[] =
    L"Cannot get image width, because there is no any data. Create new image or load it first.";

LONG Pixel(IRasterObject* raster, LONG x, LONG y) {
    LONG value = 0;
    EXPECT_EQ(raster->get_Pixels(x, y, &value), S_OK);
    return value;
}

// Whether the object holds an image (Width answers); leaves no error behind.
bool HasImage(IRasterObject* raster) {
    LONG width = 0;
    const HRESULT hr = raster->get_Width(&width);
    ClearThreadError();
    return hr == S_OK;
}

TEST(RasterObjectState, NewObjectHasNoImageAndDefaults) {
    auto raster = NewRaster();
    LONG value = 0;
    ExpectError(raster->get_Width(&value), E_FAIL, kNoData);
    ExpectError(raster->get_Height(&value), E_FAIL, kNoData);
    ExpectError(raster->get_Pixels(0, 0, &value), E_FAIL, L"Cannot get access to the pixels: no data loaded");
    ExpectError(raster->put_Pixels(0, 0, 1), E_FAIL, L"Cannot get access to the pixels: no data loaded");
    ComPtr<IRasterObject> clone;
    ExpectError(raster->Clone(clone.put()), E_FAIL, L"Cannot clone the object: there is no raster any data to be cloned!");
    EXPECT_EQ(SettingsOf(raster.get()), Settings(0.0f, 0.0f, oftJPEG, oftUnknown));
}

TEST(RasterObjectState, NullOutPointersGiveInvalidArgWithoutErrorObject) {
    auto raster = NewRaster();
    ClearThreadError();
    EXPECT_EQ((std::vector<HRESULT>{raster->get_OutputFileType(nullptr), raster->get_CurrentFileType(nullptr),
                                    raster->get_HorizontalResolution(nullptr), raster->get_VerticalResolution(nullptr),
                                    raster->Clone(nullptr), raster->get_Pixels(0, 0, nullptr),
                                    raster->LoadStream(nullptr)}),
              std::vector<HRESULT>(7, E_INVALIDARG));
    // With an image, Width and Height check the pointer after the data.
    ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
    EXPECT_EQ(std::make_pair(raster->get_Width(nullptr), raster->get_Height(nullptr)),
              std::make_pair(E_INVALIDARG, E_INVALIDARG));
    EXPECT_FALSE(TakeThreadError().present);
}

TEST(RasterObjectState, OutputFileTypeAcceptsOnlyWritableFormats) {
    auto raster = NewRaster();
    for (OutputFileTypes type : {oftJPEG, oftBMP, oftPNG, oftTIFF, oftGIF, oftSWF}) {
        EXPECT_EQ(raster->put_OutputFileType(type), S_OK);
        EXPECT_EQ(std::get<2>(SettingsOf(raster.get())), type);
    }
    for (int bad : {-1, 6, 7, 100}) {
        ExpectError(raster->put_OutputFileType(static_cast<OutputFileTypes>(bad)), E_INVALIDARG,
                    L"This output file type is unsupported!");
        EXPECT_EQ(std::get<2>(SettingsOf(raster.get())), oftSWF) << "a refused value must leave the previous one";
    }
}

TEST(RasterObjectEmptyImage, FillsWithColourSets72DpiAndKeepsTheFileType) {
    auto raster = NewRaster();
    ASSERT_EQ(raster->EmptyImage(3, 2, -1), S_OK);
    EXPECT_EQ(SizeOf(raster.get()), std::make_pair(3L, 2L));
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(6, 0xFFFFFFFFu));
    const auto [horizontal, vertical, output, current] = SettingsOf(raster.get());
    EXPECT_EQ(std::make_pair(std::bit_cast<std::uint32_t>(horizontal), vertical), std::make_pair(0x42900000u, 72.0f));

    // The colour is stored as given, not premultiplied.
    ASSERT_EQ(raster->EmptyImage(1, 1, 0x80FF4020), S_OK);
    EXPECT_EQ(Pixel(raster.get(), 0, 0), 0x80FF4020);
    ASSERT_EQ(raster->EmptyImage(1, 1, 0), S_OK);
    EXPECT_EQ(Pixel(raster.get(), 0, 0), 0);
    ASSERT_EQ(raster->EmptyImage(4, 3, 0), S_OK);
    for (auto [x, y] : {std::pair{4, 0}, std::pair{0, 3}, std::pair{-1, 0}, std::pair{0, -1}}) {
        LONG value = 0;
        ExpectError(raster->get_Pixels(x, y, &value), E_FAIL,
                    L"Cannot get pixel at this coordinates. It possible they are out of bounds!");
        ExpectError(raster->put_Pixels(x, y, 5), E_FAIL,
                    L"Cannot put pixel at this coordinates. It possible they are out of bounds!");
    }
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(12, 0)) << "refused puts change no pixel";
    // A new image keeps the current file type.
    ASSERT_EQ(raster->LoadStream(StreamOver(EncodeWithGdiplus(2, 2, OpaqueGradient(2, 2), L"image/png")).get()), S_OK);
    ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
    EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), oftPNG);
}

TEST(RasterObjectEmptyImage, BadAndHugeSizesFailKeepingThePreviousImage) {
    auto raster = NewRaster();
    ASSERT_EQ(raster->EmptyImage(4, 5, 0xFF00FF00), S_OK);
    raster->put_HorizontalResolution(300.0f);
    for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-1, -1}})
        ExpectError(raster->EmptyImage(w, h, -1), E_FAIL, L"Width and Height must be > 0.");
    EXPECT_EQ(SizeOf(raster.get()), std::make_pair(4L, 5L));
    EXPECT_EQ(Pixel(raster.get(), 3, 4), static_cast<LONG>(0xFF00FF00));
    EXPECT_EQ(std::get<0>(SettingsOf(raster.get())), 300.0f);
    // Huge sizes fail cleanly.
    raster = NewRaster();
    const std::wstring outOfMemory = platform::FailureMessage(Gdiplus::OutOfMemory, "RasterObject", "EmptyImage", 0);
    ExpectError(raster->EmptyImage(40000, 40000, -1), E_FAIL, outOfMemory);
    ExpectError(raster->EmptyImage(0x7FFFFFFF, 0x7FFFFFFF, -1), E_FAIL, outOfMemory);
    EXPECT_FALSE(HasImage(raster.get())) << "a failed creation leaves no image";
}

// The object is made from the test's own copy of the code, where the fill
// can be made to fault.
TEST(RasterObjectEmptyImage, AFaultedFillLeavesNoImage) {
    ComPtr<IRasterObject> raster;
    ASSERT_EQ(RasterObject::Create(nullptr, IID_IRasterObject, raster.put_void()), S_OK);
    ASSERT_EQ(raster->EmptyImage(3, 3, -1), S_OK);
    SetFillHookForTesting(&Fault);
    const HRESULT hr = raster->EmptyImage(2, 2, 0xFF00FF00);
    SetFillHookForTesting(nullptr);
    ExpectError(hr, E_FAIL, platform::FailureMessage(Gdiplus::GenericError, "RasterObject", "EmptyImage", 0));
    LONG width = 0;
    ExpectError(raster->get_Width(&width), E_FAIL, kNoData);

    ASSERT_EQ(raster->EmptyImage(2, 1, 0xFF00FF00), S_OK) << "the object stays usable";
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFF00FF00u, 0xFF00FF00u}));
}

TEST(RasterObjectLoad, LoadsEveryFormatIntoArgbWithAlphaAndReportsItsType) {
    const int w = 5, h = 4;
    const auto pixels = OpaqueGradient(w, h);
    const struct {
        const wchar_t* mime;
        OutputFileTypes type;
        bool lossless;
    } cases[] = {{L"image/png", oftPNG, true}, {L"image/bmp", oftBMP, true}, {L"image/tiff", oftTIFF, true},
                 {L"image/jpeg", oftJPEG, false}};
    // (GIF: the platform's encoder cannot write one from 32-bit pixels; the
    // script suites load a GIF fixture.)
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.mime));
        const auto bytes = c.type == oftBMP ? MakeBmp(w, h, pixels) : EncodeWithGdiplus(w, h, pixels, c.mime);
        for (bool fromStream : {false, true}) {
            auto raster = NewRaster();
            raster->put_OutputFileType(oftPNG);
            ASSERT_EQ(fromStream ? raster->LoadStream(StreamOver(bytes).get())
                                 : raster->LoadFile(Bstr(WriteFile(L"load.img", bytes)).get()),
                      S_OK);
            EXPECT_EQ(SizeOf(raster.get()), std::make_pair(LONG{w}, LONG{h}));
            // Loading leaves the output type alone; the resolution is a new
            // bitmap's, not the file's 72 dpi.
            const auto [horizontal, vertical, output, current] = SettingsOf(raster.get());
            EXPECT_EQ(std::make_tuple(horizontal, output, current), std::make_tuple(96.0f, oftPNG, c.type));
            if (c.lossless) {
                EXPECT_EQ(PixelsOf(raster.get()), pixels);
            }
        }
    }
    // A transparent PNG keeps its alpha.
    const std::vector<std::uint32_t> clear = {0x00000000, 0x80FF0000, 0xFF00FF00, 0x4000FF80};
    auto raster = NewRaster();
    ASSERT_EQ(raster->LoadStream(StreamOver(EncodeWithGdiplus(2, 2, clear, L"image/png")).get()), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), clear);
}

TEST(RasterObjectLoad, IconIsAnUnknownTypeAndLeavesNoImage) {
    const auto icon = MakeIcon();
    for (bool fromStream : {false, true}) {
        auto raster = NewRaster();
        ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
        const HRESULT hr = fromStream ? raster->LoadStream(StreamOver(icon).get())
                                      : raster->LoadFile(Bstr(WriteFile(L"icon.ico", icon)).get());
        ExpectError(hr, E_FAIL, L"Unknown file type.");
        EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), oftUnknown);
        EXPECT_FALSE(HasImage(raster.get()));
    }
}

TEST(RasterObjectLoad, MissingFilesGarbageAndNonStreamsAreRefused) {
    auto raster = NewRaster();
    ASSERT_EQ(raster->LoadStream(StreamOver(MakeBmp(1, 1, {0xFF000000})).get()), S_OK);
    EXPECT_EQ(raster->LoadFile(Bstr(TempDir() + L"\\does-not-exist.png").get()), E_FAIL);
    const ThreadError error = TakeThreadError();
    EXPECT_EQ(error.description.rfind(L"Windows error in RasterObject.LoadFile: ", 0), 0u) << Narrow(error.description);
    EXPECT_EQ(error.description.find(L"GDI+"), std::wstring::npos);
    EXPECT_EQ(Narrow(error.source), "Rastelle.RasterObject.1");
    EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), oftBMP);
    EXPECT_FALSE(HasImage(raster.get())) << "a failed load leaves no image";
    // Garbage and objects that are no stream are refused.
    EXPECT_EQ(raster->LoadStream(StreamOver(std::vector<std::uint8_t>(64, 0x5A)).get()), E_FAIL);
    EXPECT_NE(TakeThreadError().description.find(L"LoadStream"), std::wstring::npos);
    ExpectError(raster->LoadStream(NewRaster().get()), E_NOINTERFACE, L"Cannot query IStream interface. ");
}

TEST(RasterObjectClone, CopiesPixelsResolutionsAndOutputTypeButNotTheFileType) {
    auto raster = NewRaster();
    const auto pixels = OpaqueGradient(3, 3);
    ASSERT_EQ(raster->LoadStream(StreamOver(EncodeWithGdiplus(3, 3, pixels, L"image/png")).get()), S_OK);
    raster->put_HorizontalResolution(150.0f);
    raster->put_VerticalResolution(75.0f);
    raster->put_OutputFileType(oftTIFF);
    ComPtr<IRasterObject> clone;
    ASSERT_EQ(raster->Clone(clone.put()), S_OK);
    ASSERT_TRUE(clone);
    EXPECT_EQ(PixelsOf(clone.get()), pixels);
    EXPECT_EQ(SettingsOf(clone.get()), Settings(150.0f, 75.0f, oftTIFF, oftUnknown));

    // The copy is independent of the original.
    clone->put_Pixels(0, 0, 0x12345678);
    EXPECT_EQ(static_cast<std::uint32_t>(Pixel(raster.get(), 0, 0)), pixels[0]);
}

TEST(RasterObjectInternal, DataPointerLendsAndTakesOverTheBitmap) {
    auto raster = NewRaster();
    ComPtr<IRasterObjectInternal> internal;
    ASSERT_EQ(raster.As(internal), S_OK);
    EXPECT_EQ(internal->GetDataPointer(nullptr), E_POINTER);
    LONG* lent = reinterpret_cast<LONG*>(1);
    ASSERT_EQ(internal->GetDataPointer(&lent), S_OK);
    EXPECT_EQ(lent, nullptr) << "no image, no bitmap";

    // A bitmap made here changes owner: the raster object deletes it.
    Bitmap* bitmap = Bitmap::Create(2, 1);
    ASSERT_TRUE(bitmap && bitmap->native());
    ASSERT_EQ(FillBitmap(*bitmap, 0xFF102030), Gdiplus::Ok);
    ASSERT_EQ(internal->SetDataPointer(reinterpret_cast<LONG*>(bitmap)), S_OK);
    ASSERT_EQ(internal->GetDataPointer(&lent), S_OK);
    EXPECT_EQ(lent, reinterpret_cast<LONG*>(bitmap));
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFF102030u, 0xFF102030u}));
    EXPECT_EQ(std::get<0>(SettingsOf(raster.get())), 0.0f) << "resolutions are not touched";
    // Null deletes the present bitmap and leaves none.
    ASSERT_EQ(internal->SetDataPointer(nullptr), S_OK);
    EXPECT_FALSE(HasImage(raster.get()));
}

// The other image methods are checked with their transforms.
TEST(RasterObjectImageMethods, TransparentizeClearsTheColour) {
    auto raster = NewRaster();
    raster->EmptyImage(4, 4, 0x80FFFFFF);
    EXPECT_EQ(raster->Transparentize(-1, 50), S_OK);
    EXPECT_EQ(PixelsOf(raster.get())[0], 0x00FFFFFFu);
}

TEST(RasterObjectImageMethods, PassOnTheCreationErrorOfAMissingClass) {
    // With the class's registration gone, COM's answer is the method's. The
    // whole CLSID key goes (not just InprocServer32): with the class key left,
    // Wine's COM starts a dllhost.exe surrogate for it that never exits.
    auto raster = NewRaster();
    raster->EmptyImage(4, 4, -1);
    const wchar_t* const classKey = L"CLSID\\{37DE67C8-9268-4F60-B1A9-373DAEC95565}";
    const wchar_t* const savedKey = L"Software\\Rastelle tests\\saved class";
    HKEY saved = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, savedKey, &saved), ERROR_SUCCESS);
    ASSERT_EQ(RegCopyTreeW(HKEY_CLASSES_ROOT, classKey, saved), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey), ERROR_SUCCESS);
    const HRESULT hr = raster->FastBlur(2.0);
    HKEY restored = nullptr;
    RegCreateKeyW(HKEY_CLASSES_ROOT, classKey, &restored);
    RegCopyTreeW(saved, nullptr, restored);
    RegCloseKey(restored);
    RegCloseKey(saved);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Rastelle tests");
    EXPECT_EQ(static_cast<unsigned long>(hr), static_cast<unsigned long>(REGDB_E_CLASSNOTREG));
    EXPECT_EQ(PixelsOf(raster.get())[5], 0xFFFFFFFFu) << "the image is unchanged";
    EXPECT_EQ(raster->FastBlur(2.0), S_OK) << "registration restored";
}

}  // namespace
}  // namespace rastelle::test
