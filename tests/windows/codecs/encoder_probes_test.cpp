// The probes of the platform's encoders and the route they choose.
#include "codecs/codecs_test_support.h"

#include "codecs/encode.h"
#include "codecs/encoder_choice.h"
#include "codecs/encoder_probes.h"

namespace rastelle::test {
namespace {

TEST(EncoderProbes, WineIgnoresJpegQualityAndTiffOptions) {
    StartGdiplus();
    if (!RunningOnWine()) GTEST_SKIP() << "the gaps measured here are Wine's";
    EXPECT_FALSE(codecs::PlatformHonoursJpegQuality());
    EXPECT_FALSE(codecs::PlatformHonoursTiffCompression());
    EXPECT_FALSE(codecs::PlatformHonoursTiffColorDepth());
}

TEST(EncoderProbes, OnlySavesWithIgnoredParametersTakeTheOwnEncoders) {
    StartGdiplus();
    using codecs::EncoderParameterBlock;
    const auto quality = EncoderParameterBlock::Of({{codecs::kEncoderQuality, 40}});
    const auto tiff = EncoderParameterBlock::Of({{codecs::kEncoderCompression, 2}, {codecs::kEncoderColorDepth, 24}});

    EXPECT_FALSE(codecs::UsesOwnEncoder(FileType::JPEG, nullptr)) << "default JPEG stays with the platform";
    EXPECT_FALSE(codecs::UsesOwnEncoder(FileType::TIFF, nullptr));
    EXPECT_FALSE(codecs::UsesOwnEncoder(FileType::PNG, quality.get()));
    EXPECT_EQ(codecs::UsesOwnEncoder(FileType::JPEG, quality.get()), !codecs::PlatformHonoursJpegQuality());
    EXPECT_EQ(codecs::UsesOwnEncoder(FileType::TIFF, tiff.get()),
              !codecs::PlatformHonoursTiffCompression() || !codecs::PlatformHonoursTiffColorDepth());
}

TEST(EncoderParameters, ABlockHoldsItsValuesInOrderAndSurvivesAMove) {
    auto block = codecs::EncoderParameterBlock::Of({{codecs::kEncoderCompression, 6}, {codecs::kEncoderColorDepth, 24}});
    codecs::EncoderParameterBlock moved = std::move(block);
    EXPECT_EQ(block.get(), nullptr);
    const Gdiplus::EncoderParameters* parameters = moved.get();
    ASSERT_NE(parameters, nullptr);
    ASSERT_EQ(parameters->Count, 2u);
    EXPECT_TRUE(IsEqualGUID(parameters->Parameter[0].Guid, codecs::kEncoderCompression));
    EXPECT_TRUE(IsEqualGUID(parameters->Parameter[1].Guid, codecs::kEncoderColorDepth));
    for (UINT i = 0; i < 2; ++i) {
        EXPECT_EQ(parameters->Parameter[i].NumberOfValues, 1u);
        EXPECT_EQ(parameters->Parameter[i].Type, 4u) << "EncoderParameterValueTypeLong";
    }
    EXPECT_EQ(*static_cast<const ULONG*>(parameters->Parameter[0].Value), 6u);
    EXPECT_EQ(codecs::FindParameter(parameters, codecs::kEncoderColorDepth).value_or(0), 24u);
    EXPECT_FALSE(codecs::FindParameter(parameters, codecs::kEncoderQuality).has_value());
    EXPECT_FALSE(codecs::FindParameter(nullptr, codecs::kEncoderQuality).has_value());
}

}  // namespace
}  // namespace rastelle::test
