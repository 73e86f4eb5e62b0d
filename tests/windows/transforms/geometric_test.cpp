// Resize, crop, rotation and the quarter turns with mirrors.
#include "test_support.h"

#include "com/errors.h"
#include "kernels/rotate_flip.h"
#include "platform/gdiplus_errors.h"

namespace rastelle::test {
namespace {

// The kernel is checked pixel by pixel against a plain reference in the
// native tests; here each of the eight types must reach it as that type.
TEST(FlipAndRotate, AllEightTypesReachTheKernel) {
    const auto source = NumberedPixels(3, 2);
    for (int type = 0; type < 8; ++type) {
        auto raster = RasterWith(3, 2, source);
        ASSERT_EQ(raster->FlipAndRotate(static_cast<FlipAndRotateTypes>(type)), S_OK);
        const auto kind = static_cast<kernels::RotateFlip>(type);
        const int width = kernels::SwapsAxes(kind) ? 2 : 3;
        std::vector<std::uint32_t> expected(6);
        kernels::RotateFlipImage({source.data(), 3, 2, 12}, kernels::PackedView(expected.data(), width, 5 - width), kind);
        EXPECT_EQ(std::make_pair(SizeOf(raster.get()).first, PixelsOf(raster.get())), std::make_pair(LONG{width}, expected))
            << "type " << type;
    }
    auto flip = NewObject<ITransformFlipAndRotate>(CLSID_TransformFlipAndRotate);
    EXPECT_EQ((std::vector<HRESULT>{flip->put_FlipType(fartRotate90FlipY), flip->put_FlipType(FlipAndRotateTypes(8)),
                                    flip->put_FlipType(FlipAndRotateTypes(-1))}),
              (std::vector<HRESULT>{S_OK, E_INVALIDARG, E_INVALIDARG}));
    FlipAndRotateTypes type{};
    flip->get_FlipType(&type);
    EXPECT_EQ(type, fartRotate90FlipY) << "a refused value keeps the old one";
}

TEST(Rotate, CanvasFollowsTheWholeDegreeAngleAndUncoveredPartsShowTheBackground) {
    // 45 degrees: 70 + 70; 725.9 degrees counts as 5: cos 5 = 0.99619, sin 5 = 0.08716.
    auto raster = NewRaster();
    for (auto [w, h, angle, size] : {std::tuple{200, 100, -90.0f, std::pair{100L, 200L}},
                                     {200, 100, 725.9f, std::pair{207L, 116L}}, {200, 100, 95.0f, std::pair{116L, 207L}},
                                     {100, 100, 45.0f, std::pair{140L, 140L}}}) {
        raster->EmptyImage(w, h, 0xFFFF0000);
        ASSERT_EQ(raster->Rotate(angle, 0x00FFFFFF), S_OK);
        EXPECT_EQ(SizeOf(raster.get()), size) << angle;
    }
    // The turned square's corners lie at (70, 0), (140.7, 70.7), (70, 141.4)
    // and (-0.7, 70.7): the canvas corners are bare, exactly the background.
    const auto pixels = PixelsOf(raster.get());
    EXPECT_EQ(std::make_tuple(pixels[0], pixels[139 * 140 + 139], pixels[70 * 140 + 70]),
              std::make_tuple(0x00FFFFFFu, 0x00FFFFFFu, 0xFFFF0000u));
}

TEST(Resize, MinimumBackgroundAlphaAndSizesRefused) {
    // A fully transparent image over a fully transparent background: alpha 1.
    auto raster = NewRaster();
    raster->EmptyImage(4, 4, 0);
    ASSERT_EQ(raster->Resize(9, 6, rqtBilinearMode, 0), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(54, 0x01000000u));
    // A zero size, and one whose pixels would exceed 2^31 - 1 bytes.
    for (auto [w, h, status] : {std::tuple{0, 10, Gdiplus::InvalidParameter}, {46341, 46341, Gdiplus::OutOfMemory}})
        ExpectError(raster->Resize(w, h, rqtBilinearMode, -1), com::kErrInvalidCall,
                    platform::FailureMessage(status, "TransformResize", "Apply", 0), "Rastelle.TransformResize.1",
                    IID_ITransformResize);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{9, 6}));
}

TEST(Crop, CutsOrStretchesTheRectangleAndRefusesAnEmptyOne) {
    const auto pixels = NumberedPixels(20, 10);
    auto raster = RasterWith(20, 10, pixels);
    ASSERT_EQ(raster->Crop(3, 2, 5, 1, -1, VARIANT_FALSE, rqtNearestNeighborMode), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(pixels.begin() + 43, pixels.begin() + 48));
    raster = RasterWith(20, 10, pixels);
    ASSERT_EQ(raster->Crop(3, 2, 5, 4, -1, VARIANT_TRUE, rqtBilinearMode), S_OK);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{20, 10})) << "stretched to the input's size";
    // Outside the input the background shows, with at least alpha 1.
    raster->EmptyImage(4, 4, 0xFF0000FF);
    ASSERT_EQ(raster->Crop(10, 10, 3, 3, 0x00808080, VARIANT_FALSE, rqtBilinearMode), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(9, 0x01808080u));
    ExpectError(raster->Crop(0, 0, 0, 3, -1, VARIANT_FALSE, rqtBilinearMode), com::kErrInvalidCall,
                L"Cannot make crop. Possible wrong Width or Height properties (less or equal 0) or not enough memory.",
                "Rastelle.TransformCrop.1", IID_ITransformCrop);
}

// Where the platform's modes collapse, the system's own kernels resample
// (proven against their references in the native tests): each quality
// choice must reach its own kernel, so on an irregular image reduced by a
// fractional factor every mode differs.
TEST(Resampling, EachQualityModeReachesItsKernel) {
    std::vector<std::uint32_t> noise;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 17 * 13; ++i) noise.push_back(0xFF000000u | ((seed = seed * 1103515245u + 12345u) >> 8));
    std::vector<std::vector<std::uint32_t>> results;
    for (int q = 0; q <= 4; ++q) {
        auto raster = RasterWith(17, 13, noise);
        ASSERT_EQ(raster->Resize(5, 4, static_cast<ResizeQualityTypes>(q), -1), S_OK);
        for (const auto& earlier : results) EXPECT_NE(PixelsOf(raster.get()), earlier) << "mode " << q;
        results.push_back(PixelsOf(raster.get()));
    }
}

}  // namespace
}  // namespace rastelle::test
