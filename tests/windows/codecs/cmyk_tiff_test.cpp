// CMYK TIFF output: the file's fields, the ink amounts of the separation
// (through a profile or by the plain rule) and the failures.
#include "test_support.h"

#include "codecs/cmyk_tiff.h"
#include "com/errors.h"
#include "kernels/cmyk_separation.h"
#include "platform/gdiplus_errors.h"
#include "../../support/cmyk_press_profile.h"

#include <lcms2.h>
#include <tiffio.h>

#include <array>
#include <fstream>
#include <tuple>

namespace rastelle::test {
namespace {

// Neither compression nor depth takes part in a CMYK save.
ComPtr<IDispatch> CmykTiff(const std::wstring& profile = L"") { return TiffOptions(tctLZW, cd24bpp, csCMYK, profile); }

// The fields that the CMYK writer sets, and the pixels as C, M, Y, K bytes.
struct CmykFile {
    // Photometric, samples, bits, orientation, compression, planar configuration, inkset.
    std::array<std::uint16_t, 7> shorts{};
    std::uint32_t width = 0, height = 0, rowsPerStrip = 0, strips = 0;
    float xResolution = 0, yResolution = 0;
    std::vector<std::uint32_t> inks;
};

CmykFile ReadCmyk(const std::wstring& name) {
    CmykFile file;
    std::unique_ptr<TIFF, decltype(&TIFFClose)> tif(TIFFOpenW(TempPath(name).c_str(), "r"), &TIFFClose);
    EXPECT_TRUE(tif) << Narrow(name);
    if (!tif) return file;
    TIFF* t = tif.get();
    const ttag_t shortTags[] = {TIFFTAG_PHOTOMETRIC, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_BITSPERSAMPLE, TIFFTAG_ORIENTATION,
                                TIFFTAG_COMPRESSION, TIFFTAG_PLANARCONFIG, TIFFTAG_INKSET};
    for (size_t i = 0; i < file.shorts.size(); ++i) TIFFGetField(t, shortTags[i], &file.shorts[i]);
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &file.width), TIFFGetField(t, TIFFTAG_IMAGELENGTH, &file.height);
    TIFFGetField(t, TIFFTAG_ROWSPERSTRIP, &file.rowsPerStrip);
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &file.xResolution), TIFFGetField(t, TIFFTAG_YRESOLUTION, &file.yResolution);
    file.strips = TIFFNumberOfStrips(t);
    if (file.shorts[1] != 4 || file.shorts[2] != 8) return file;
    file.inks.resize(static_cast<size_t>(file.width) * file.height);
    for (std::uint32_t y = 0; y < file.height; ++y)
        EXPECT_EQ(TIFFReadScanline(t, file.inks.data() + static_cast<size_t>(y) * file.width, y, 0), 1) << y;
    return file;
}

// The few colours the separations are checked on (3 x 2).
const std::vector<std::uint32_t> kColours = {0xFFFFFFFFu, 0xFF000000u, 0xFFFF0000u,
                                             0xFF2080C0u, 0xFF808080u, 0xFFF0E060u};

bool OwnSeparation() { return !codecs::PlatformSeparatesOutputChannels(); }

TEST(CmykTiff, WritesAnUncompressedSeparatedFileOneRowAStrip) {
    auto raster = RasterWith(3, 2, kColours);
    raster->put_HorizontalResolution(300.0f);
    raster->put_VerticalResolution(150.0f);
    ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"cmyk.tif")).get(), CmykTiff().get()), S_OK);

    const CmykFile file = ReadCmyk(L"cmyk.tif");
    EXPECT_EQ(file.shorts, (std::array<std::uint16_t, 7>{PHOTOMETRIC_SEPARATED, 4, 8, ORIENTATION_TOPLEFT,
                                                         COMPRESSION_NONE, PLANARCONFIG_CONTIG, INKSET_CMYK}));
    EXPECT_EQ(std::tie(file.width, file.height, file.rowsPerStrip, file.strips, file.xResolution, file.yResolution),
              std::make_tuple(3u, 2u, 1u, 2u, 300.0f, 150.0f));
    ASSERT_EQ(file.inks.size(), kColours.size());
    EXPECT_EQ(file.inks[0], 0x00000000u);  // white: no ink
    if (!OwnSeparation()) return;          // the platform's own inks
    for (size_t i = 0; i < kColours.size(); ++i) EXPECT_EQ(file.inks[i], kernels::SeparateCmykPixel(kColours[i])) << i;
}

using press_profile::UniqueProfile;
using press_profile::UniqueTransform;

TEST(CmykTiff, AProfileSeparatesAsLittleCmsDoes) {
    if (!OwnSeparation()) GTEST_SKIP() << "the platform separates through its output channels";
    const std::wstring path = TempPath(L"press.icc");
    ASSERT_TRUE(WriteCmykPressProfile(Narrow(path).c_str()));
    auto raster = RasterWith(3, 2, kColours);
    ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"profiled.tif")).get(), CmykTiff(path).get()), S_OK);
    const CmykFile file = ReadCmyk(L"profiled.tif");
    ASSERT_EQ(file.inks.size(), kColours.size());

    UniqueProfile srgb(cmsCreate_sRGBProfile(), &cmsCloseProfile);
    UniqueProfile press(cmsOpenProfileFromFile(Narrow(path).c_str(), "r"), &cmsCloseProfile);
    UniqueTransform transform(
        cmsCreateTransform(srgb.get(), TYPE_BGRA_8, press.get(), TYPE_CMYK_8, INTENT_PERCEPTUAL, 0),
        &cmsDeleteTransform);
    ASSERT_TRUE(transform);
    std::vector<std::uint32_t> expected(kColours.size());
    cmsDoTransform(transform.get(), kColours.data(), expected.data(), static_cast<cmsUInt32Number>(kColours.size()));
    EXPECT_EQ(file.inks, expected);
}

TEST(CmykTiff, ProfilesAndFilesThatCannotBeOpenedFail) {
    // A file no profile can be read from (as a missing one), and an RGB profile.
    const std::wstring text = TempPath(L"not-a-profile.icc");
    std::ofstream(Narrow(text)) << "plain text, not an ICC profile";
    UniqueProfile srgb(cmsCreate_sRGBProfile(), &cmsCloseProfile);
    const std::wstring rgbProfile = TempPath(L"srgb.icc");
    cmsSaveProfileToFile(srgb.get(), Narrow(rgbProfile).c_str());

    auto raster = RasterWith(3, 2, kColours);
    for (const std::wstring& profile : {text, rgbProfile}) {
        ExpectError(raster->SaveFile(Bstr(TempPath(L"unprofiled.tif")).get(), CmykTiff(profile).get()),
                    static_cast<HRESULT>(0xFFFFFFFF),
                    L"Cannot open ICM profile. It is possible such a profile does not exist or you try to use non-ICM "
                    L"profile file as profile.");
    }
    // A target that cannot be opened gives the Windows error.
    ExpectError(raster->SaveFile(Bstr(TempPath(L"no-such-folder\\cmyk.tif")).get(), CmykTiff().get()),
                com::kErrSaveFile,
                platform::FailureMessage(Gdiplus::GenericError, "RasterObject", "SaveFile", ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace rastelle::test
