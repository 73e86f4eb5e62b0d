// The colour transforms: the per-channel colour matrix and colour-keyed
// transparency.
#include "test_support.h"

namespace rastelle::test {
namespace {

ComPtr<ITransformEqualize> NewEqualize() {
    ComPtr<ITransformEqualize> equalize;
    EXPECT_EQ(CoCreateInstance(CLSID_TransformEqualize, nullptr, CLSCTX_INPROC_SERVER, IID_ITransformEqualize,
                               equalize.put_void()),
              S_OK);
    return equalize;
}

const std::vector<std::uint32_t> kSample = {0xFF000000, 0xFFFFFFFF, 0xFF204060, 0x80204060,
                                            0xFF7F8081, 0xC0FF0000, 0xFF00FF00, 0xFF0000FF};

TEST(Equalize, DefaultsLeaveTheImageAsItIs) {
    auto raster = RasterWith(4, 2, kSample);
    auto equalize = NewEqualize();
    ASSERT_EQ(raster->ApplyTransform(equalize.get()), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), kSample);
}

TEST(Equalize, AddendsAreClampedMultipliersAreNot) {
    auto equalize = NewEqualize();
    float value = 0;
    equalize->put_GreenAddend(5.0f);
    equalize->get_GreenAddend(&value);
    EXPECT_EQ(value, 1.0f);
    equalize->put_GreenAddend(-3.0f);
    equalize->get_GreenAddend(&value);
    EXPECT_EQ(value, -1.0f);
    equalize->put_GreenAddend(0.25f);
    equalize->get_GreenAddend(&value);
    EXPECT_EQ(value, 0.25f);
    equalize->put_BlueMultiplier(-7.5f);
    equalize->get_BlueMultiplier(&value);
    EXPECT_EQ(value, -7.5f);
    EXPECT_EQ(equalize->get_AlphaAddend(nullptr), E_POINTER);
}

TEST(Equalize, MatrixScalesAndShiftsEachChannel) {
    auto raster = RasterWith(4, 2, kSample);
    auto equalize = NewEqualize();
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

}  // namespace
}  // namespace rastelle::test
