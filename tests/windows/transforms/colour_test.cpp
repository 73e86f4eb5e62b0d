// The colour transforms: the per-channel colour matrix and colour-keyed
// transparency. Their kernels are proven in the native tests; here the
// properties and arguments must reach them.
#include "test_support.h"

namespace rastelle::test {
namespace {

TEST(Equalize, DefaultsChangeNothingAddendsAreClampedAndTheMethodWiresEachChannel) {
    auto raster = RasterWith(1, 1, {0xFF408080});
    auto equalize = NewObject<ITransformEqualize>(CLSID_TransformEqualize);
    ASSERT_EQ(raster->ApplyTransform(equalize.get()), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>{0xFF408080});
    float high = 0, low = 0, multiplier = 0;
    equalize->put_GreenAddend(5.0f), equalize->get_GreenAddend(&high);
    equalize->put_GreenAddend(-3.0f), equalize->get_GreenAddend(&low);
    equalize->put_BlueMultiplier(-7.5f), equalize->get_BlueMultiplier(&multiplier);
    EXPECT_EQ(std::make_tuple(high, low, multiplier), std::make_tuple(1.0f, -1.0f, -7.5f));
    EXPECT_EQ(equalize->get_AlphaAddend(nullptr), E_POINTER);
    // The raster method takes addends in colour levels.
    ASSERT_EQ(raster->Equalize(255, -51, 0, 0, 1.0f, 1.0f, 0.5f, 1.0f), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>{0xFFFF4D40});
    // Fully transparent results draw nothing onto the new, transparent black output.
    ASSERT_EQ(raster->Equalize(0, 0, 0, -255, 1.0f, 1.0f, 1.0f, 1.0f), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>{0});
}

TEST(Transparentize, PropertiesMethodAndArrays) {
    // Apply works on the arrays directly, with the default colour, white.
    auto transparentize = NewObject<ITransformTransparentize>(CLSID_TransformTransparentize);
    com::UniqueSafeArray input(PixelArray(2, 1, {0xFFFFFFFF, 0xFF000000})), output;
    ASSERT_EQ(transparentize->Apply(input.get(), output.put()), S_OK);
    EXPECT_EQ(ArrayValues(output.get()), (std::vector<std::uint32_t>{0x00FFFFFFu, 0xFF000000u}));
    SAFEARRAYBOUND flat{3, 0};
    com::UniqueSafeArray oneDimension(SafeArrayCreate(VT_I4, 1, &flat));
    SAFEARRAY* untouched = reinterpret_cast<SAFEARRAY*>(0x1234);
    EXPECT_EQ(transparentize->Apply(oneDimension.get(), &untouched), E_INVALIDARG);
    EXPECT_EQ(untouched, reinterpret_cast<SAFEARRAY*>(0x1234));
    EXPECT_EQ(std::make_pair(transparentize->Apply(nullptr, output.put()), transparentize->Apply(input.get(), nullptr)),
              std::make_pair(E_POINTER, E_POINTER));

    LONG colour = 0;
    BYTE threshold = 0;
    transparentize->put_TransparentColor(0x12345678), transparentize->get_TransparentColor(&colour);
    transparentize->get_Threshold(&threshold);
    EXPECT_EQ(std::make_pair(colour, threshold), std::make_pair(LONG(0xFF345678), BYTE{50})) << "read back opaque";
    EXPECT_EQ(std::make_pair(transparentize->get_TransparentColor(nullptr), transparentize->get_Threshold(nullptr)),
              std::make_pair(E_INVALIDARG, E_INVALIDARG));

    // Distance 0, 5 and 50 (the threshold) from the colour.
    auto raster = RasterWith(3, 1, {0xFF102030, 0xFF15252B, 0xFF425262});
    ASSERT_EQ(raster->Transparentize(0x102030, 50), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0x00102030u, 0x1915252Bu, 0xFF425262u}));
}

}  // namespace
}  // namespace rastelle::test
