// The colour transforms: the per-channel colour matrix and colour-keyed
// transparency.
#include "test_support.h"

namespace rastelle::test {
namespace {

const std::vector<std::uint32_t> kSample = {0xFF000000, 0xFFFFFFFF, 0xFF204060, 0x80204060,
                                            0xFF7F8081, 0xC0FF0000, 0xFF00FF00, 0xFF0000FF};

TEST(Equalize, DefaultsLeaveTheImageAsItIs) {
    auto raster = RasterWith(4, 2, kSample);
    auto equalize = NewObject<ITransformEqualize>(CLSID_TransformEqualize);
    ASSERT_EQ(raster->ApplyTransform(equalize.get()), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), kSample);
}

TEST(Equalize, AddendsAreClampedMultipliersAreNot) {
    auto equalize = NewObject<ITransformEqualize>(CLSID_TransformEqualize);
    float high = 0, low = 0, multiplier = 0;
    equalize->put_GreenAddend(5.0f), equalize->get_GreenAddend(&high);
    equalize->put_GreenAddend(-3.0f), equalize->get_GreenAddend(&low);
    equalize->put_BlueMultiplier(-7.5f), equalize->get_BlueMultiplier(&multiplier);
    EXPECT_EQ(std::make_tuple(high, low, multiplier), std::make_tuple(1.0f, -1.0f, -7.5f));
    EXPECT_EQ(equalize->get_AlphaAddend(nullptr), E_POINTER);
}

TEST(Equalize, MatrixScalesAndShiftsEachChannel) {
    auto raster = RasterWith(4, 2, kSample);
    auto equalize = NewObject<ITransformEqualize>(CLSID_TransformEqualize);
    equalize->put_RedMultiplier(0.0f);
    equalize->put_RedAddend(1.0f);
    equalize->put_AlphaMultiplier(0.5f);
    ASSERT_EQ(raster->ApplyTransform(equalize.get()), S_OK);
    const auto pixels = PixelsOf(raster.get());
    for (size_t i = 0; i < pixels.size(); ++i) {
        EXPECT_EQ(pixels[i] >> 16 & 0xFF, 0xFFu) << "red is full everywhere";
        EXPECT_EQ(pixels[i] & 0xFFFF, kSample[i] & 0xFFFF) << "green and blue stay";
        EXPECT_NEAR(static_cast<int>(pixels[i] >> 24), static_cast<int>(kSample[i] >> 24) / 2, 1) << "alpha halves";
    }
}

TEST(Equalize, RasterMethodTakesAddendsInColourLevels) {
    auto raster = RasterWith(2, 1, {0xFF102030, 0xFFFFFFFF});
    ASSERT_EQ(raster->Equalize(255, 0, 0, 0, 1.0f, 1.0f, 1.0f, 1.0f), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFFFF2030, 0xFFFFFFFF}));
    ASSERT_EQ(raster->Equalize(-51, 0, 0, 0, 1.0f, 1.0f, 1.0f, 1.0f), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFFCC2030, 0xFFCCFFFF}));
    // Fully transparent results draw nothing onto the new, transparent black
    // output.
    ASSERT_EQ(raster->Equalize(0, 0, 0, -255, 1.0f, 1.0f, 1.0f, 1.0f), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0, 0}));
}

TEST(Transparentize, ColourReadsBackOpaqueAndGettersRefuseNull) {
    auto transparentize = NewObject<ITransformTransparentize>(CLSID_TransformTransparentize);
    LONG colours[3] = {};
    BYTE threshold = 0;
    transparentize->get_TransparentColor(&colours[0]);
    transparentize->put_TransparentColor(0x00FFFFFF);
    transparentize->get_TransparentColor(&colours[1]);
    transparentize->put_TransparentColor(0x12345678);
    transparentize->get_TransparentColor(&colours[2]);
    transparentize->get_Threshold(&threshold);
    // White by default; read back opaque.
    EXPECT_EQ(std::make_tuple(colours[0], colours[1], colours[2], threshold),
              std::make_tuple(-1L, -1L, static_cast<LONG>(0xFF345678), BYTE{50}));
    EXPECT_EQ(std::make_pair(transparentize->get_TransparentColor(nullptr), transparentize->get_Threshold(nullptr)),
              std::make_pair(E_INVALIDARG, E_INVALIDARG));
}

TEST(Transparentize, AlphaGrowsWithTheDistanceFromTheColour) {
    // White, distance 5, 49 and 50 from white, and a faint pixel at distance 45.
    const std::vector<std::uint32_t> pixels = {0xFFFFFFFF, 0xFFFAFAFA, 0xFFCECECE, 0xFFCDCDCD, 0x0AD2D2D2};
    auto raster = RasterWith(5, 1, pixels);
    ASSERT_EQ(raster->Transparentize(-1, 50), S_OK);
    // Alphas 0, 25 and 249; at the threshold unchanged; alpha 229 replaces a lower one.
    EXPECT_EQ(PixelsOf(raster.get()),
              (std::vector<std::uint32_t>{0x00FFFFFFu, 0x19FAFAFAu, 0xF9CECECEu, 0xFFCDCDCDu, 0xE5D2D2D2u}));

    raster = RasterWith(5, 1, pixels);
    ASSERT_EQ(raster->Transparentize(-1, 0), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), pixels) << "threshold 0 changes nothing";
}

TEST(Transparentize, ApplyWorksOnTheArraysDirectly) {
    auto transparentize = NewObject<ITransformTransparentize>(CLSID_TransformTransparentize);
    com::UniqueSafeArray input(PixelArray(3, 1, {0xFFFFFFFF, 0xFFFAFAFA, 0xFF000000}));
    com::UniqueSafeArray output;
    ASSERT_EQ(transparentize->Apply(input.get(), output.put()), S_OK);
    LONG upper = 0;
    SafeArrayGetUBound(output.get(), 2, &upper);
    EXPECT_EQ(upper, 2);
    EXPECT_EQ(ArrayValues(output.get()), (std::vector<std::uint32_t>{0x00FFFFFFu, 0x19FAFAFAu, 0xFF000000u}));

    SAFEARRAYBOUND flat{3, 0};
    com::UniqueSafeArray oneDimension(SafeArrayCreate(VT_I4, 1, &flat));
    SAFEARRAY* untouched = reinterpret_cast<SAFEARRAY*>(0x1234);
    EXPECT_EQ(transparentize->Apply(oneDimension.get(), &untouched), E_INVALIDARG);
    EXPECT_EQ(untouched, reinterpret_cast<SAFEARRAY*>(0x1234));
    EXPECT_EQ(transparentize->Apply(nullptr, output.put()), E_POINTER);
    EXPECT_EQ(transparentize->Apply(input.get(), nullptr), E_POINTER);
}

}  // namespace
}  // namespace rastelle::test
