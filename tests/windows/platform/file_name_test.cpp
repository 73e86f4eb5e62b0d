// Every operation that takes a file name reaches exactly the file named:
// names outside the ANSI code page work, a fullwidth reverse solidus stays a
// character of the name, and a name with a NUL before its end touches no
// file at all (the file APIs would stop at the NUL and reach another one).
#include "layers/layers_test_support.h"

#include "com/errors.h"
#include "../../support/cmyk_press_profile.h"

#include <filesystem>
#include <functional>

namespace rastelle::test {
namespace {

ComPtr<IDispatch> CmykTiff(const std::wstring& profile = L"") { return TiffOptions(tctLZW, cd32bpp, csCMYK, profile); }
ComPtr<IRasterObject> Picture() { return RasterWith(3, 2, OpaqueGradient(3, 2)); }
ComPtr<IRasterCollection> TwoLayers() { return LayersOf({RasterWith(6, 6, OpaqueGradient(6, 6)), Picture()}); }

// One operation that takes a file name, and how it reports a name that
// cannot be used: the method's Win32 form, or its own text.
struct NamedOperation {
    const char* what;
    std::function<HRESULT(BSTR)> call;
    HRESULT hr;
    std::wstring description;
    std::string_view progId = "Rastelle.RasterObject.1";
    IID iid = IID_IRasterObject;
};

std::wstring InvalidNameText(const std::wstring& prefix) { return prefix + SystemText(ERROR_INVALID_NAME); }

std::vector<NamedOperation> EveryNamedOperation() {
    const std::wstring saveFile = InvalidNameText(L"Windows error in RasterObject.SaveFile: ");
    std::vector<NamedOperation> operations;
    operations.push_back({"LoadFile", [](BSTR name) { return NewRaster()->LoadFile(name); }, E_FAIL,
                          InvalidNameText(L"Windows error in RasterObject.LoadFile: ")});
    for (const OutputFileTypes type : {oftJPEG, oftBMP, oftPNG, oftTIFF, oftGIF, oftSWF}) {
        operations.push_back({"SaveFile by type",
                              [type](BSTR name) {
                                  auto raster = Picture();
                                  raster->put_OutputFileType(type);
                                  return raster->SaveFile(name, nullptr);
                              },
                              com::kErrSaveFile,
                              type == oftSWF
                                  ? L"Cannot save SWF file. It is possible permissions problem or wrong path."
                                  : saveFile});
    }
    operations.push_back({"SaveFile CMYK TIFF",
                          [](BSTR name) { return Picture()->SaveFile(name, CmykTiff().get()); },
                          com::kErrSaveFile, saveFile});
    operations.push_back({"LoadMultiframeImage",
                          [](BSTR name) { return NewCollection()->LoadMultiframeImage(name, VARIANT_TRUE); },
                          E_FAIL, InvalidNameText(L"Windows error in RasterCollection.LoadMultiframeImage: "),
                          "Rastelle.RasterCollection.1", IID_IRasterCollection});
    for (const LONG type : {LONG{oftTIFF}, LONG{oftGIF}}) {
        operations.push_back({"SaveMultiframeImage",
                              [type](BSTR name) {
                                  return TwoLayers()->SaveMultiframeImage(name, LongVariant(type), VARIANT_TRUE);
                              },
                              E_FAIL, InvalidNameText(L"Windows error in RasterCollection.SaveMultiframeImage: "),
                              "Rastelle.RasterCollection.1", IID_IRasterCollection});
    }
    return operations;
}

TEST(FileNames, ANameWithANulBeforeItsEndTouchesNoFile) {
    const std::vector<std::uint8_t> existing = MakeBmp(2, 2, std::vector<std::uint32_t>(4, 0xFF00FF00u));
    for (const NamedOperation& operation : EveryNamedOperation()) {
        SCOPED_TRACE(operation.what);
        for (const bool present : {false, true}) {
            const std::wstring before = TempPath(L"evil.asp");
            std::filesystem::remove(before);
            if (present) WriteFile(L"evil.asp", existing);
            std::wstring name = before;
            name.push_back(L'\0');
            name += L".jpg";
            ExpectError(operation.call(Bstr(name).get()), operation.hr, operation.description, operation.progId,
                        operation.iid);
            EXPECT_EQ(FileExists(before), present);
            EXPECT_EQ(ReadFileBytes(before), present ? existing : std::vector<std::uint8_t>{});
        }
    }
}

TEST(FileNames, ThePressProfileNameIsCheckedLikeAnyOther) {
    const std::wstring profile = TempPath(L"press.icc");
    ASSERT_TRUE(WriteCmykPressProfile(Narrow(profile).c_str()));
    std::wstring cut = profile;
    cut.push_back(L'\0');
    cut += L".icc";
    const std::wstring target = TempPath(L"cut-profile.tif");
    ExpectError(Picture()->SaveFile(Bstr(target).get(), CmykTiff(cut).get()), -1,
                L"Cannot open ICM profile*");
    EXPECT_FALSE(FileExists(target));
}

// A folder and names no ANSI code page holds, and a fullwidth reverse solidus
// that best-fit mapping would turn into a folder separator.
TEST(FileNames, WideNamesReachTheFileNamedByEveryReaderAndWriter) {
    const std::filesystem::path folder = std::filesystem::path(TempDir()) / L"h\u00e9ll\u00f3-\u03a9-\u56fe\u50cf";
    std::filesystem::create_directories(folder / L"trap");
    const std::wstring profile = (folder / L"\u00fcbung-press.icc").wstring();
    const std::wstring ascii = TempPath(L"press-ascii.icc");
    ASSERT_TRUE(WriteCmykPressProfile(Narrow(ascii).c_str()));
    std::filesystem::copy_file(ascii, profile, std::filesystem::copy_options::overwrite_existing);

    struct Writer {
        const wchar_t* extension;
        OutputFileTypes type;
        ComPtr<IDispatch> encoder;
    };
    const std::vector<Writer> writers = {{L".jpg", oftJPEG, nullptr}, {L".bmp", oftBMP, nullptr},
                                         {L".png", oftPNG, nullptr},  {L".tif", oftTIFF, nullptr},
                                         {L".gif", oftGIF, nullptr},  {L".swf", oftSWF, nullptr},
                                         {L".cmyk.tif", oftTIFF, CmykTiff(profile)}};
    for (const Writer& writer : writers) {
        SCOPED_TRACE(Narrow(writer.extension));
        for (const std::wstring& stem : {std::wstring(L"\u00fcbung"), std::wstring(L"trap\uff3cescape")}) {
            const std::wstring path = (folder / (stem + writer.extension)).wstring();
            auto raster = RasterWith(5, 4, OpaqueGradient(5, 4));
            raster->put_OutputFileType(writer.type);
            ASSERT_EQ(raster->SaveFile(Bstr(path).get(), writer.encoder.get()), S_OK);
            EXPECT_TRUE(FileExists(path));
            if (writer.type != oftSWF && !writer.encoder) {
                EXPECT_EQ(SizeOf(LoadedFile(path, writer.type).get()), std::make_pair(5L, 4L));
            }
        }
        EXPECT_FALSE(FileExists((folder / L"trap" / (std::wstring(L"escape") + writer.extension)).wstring()));
    }
    for (const LONG type : {LONG{oftTIFF}, LONG{oftGIF}}) {
        const std::wstring path = (folder / (type == oftTIFF ? L"\u9875\u9762.tif" : L"\u9875\u9762.gif")).wstring();
        ASSERT_EQ(TwoLayers()->SaveMultiframeImage(Bstr(path).get(), LongVariant(type), VARIANT_TRUE), S_OK);
        auto reloaded = NewCollection();
        ASSERT_EQ(reloaded->LoadMultiframeImage(Bstr(path).get(), VARIANT_TRUE), S_OK);
        EXPECT_EQ(CountOf(reloaded.get()), 2);
    }
}

}  // namespace
}  // namespace rastelle::test
