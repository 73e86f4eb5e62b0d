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
        SCOPED_TRACE(type);
        auto raster = RasterWith(3, 2, source);
        ASSERT_EQ(raster->FlipAndRotate(static_cast<FlipAndRotateTypes>(type)), S_OK);
        const auto kind = static_cast<kernels::RotateFlip>(type);
        const int width = kernels::SwapsAxes(kind) ? 2 : 3, height = 5 - width;
        std::vector<std::uint32_t> expected(6);
        kernels::RotateFlipImage({source.data(), 3, 2, 12}, kernels::PackedView(expected.data(), width, height), kind);
        EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{width, height}));
        EXPECT_EQ(PixelsOf(raster.get()), expected);
    }
}

TEST(FlipAndRotate, FlipTypeAcceptsOnlyTheEightTypes) {
    auto flip = NewObject<ITransformFlipAndRotate>(CLSID_TransformFlipAndRotate);
    FlipAndRotateTypes type{};
    EXPECT_EQ(flip->get_FlipType(&type), S_OK);
    EXPECT_EQ(type, fartNoRotateNoFlip);
    EXPECT_EQ((std::vector<HRESULT>{flip->put_FlipType(fartRotate90FlipY), flip->put_FlipType(static_cast<FlipAndRotateTypes>(8)),
                                    flip->put_FlipType(static_cast<FlipAndRotateTypes>(-1))}),
              (std::vector<HRESULT>{S_OK, E_INVALIDARG, E_INVALIDARG}));
    flip->get_FlipType(&type);
    EXPECT_EQ(type, fartRotate90FlipY) << "a refused value keeps the old one";
}

std::pair<LONG, LONG> RotatedSize(int width, int height, float angle) {
    auto raster = NewRaster();
    raster->EmptyImage(width, height, -1);
    EXPECT_EQ(raster->Rotate(angle, -1), S_OK) << angle;
    return SizeOf(raster.get());
}

TEST(Rotate, CanvasFollowsTheWholeDegreeAngle) {
    // 45 degrees: 70 + 70; 725.9 degrees counts as 5: cos 5 = 0.99619, sin 5 = 0.08716.
    const struct {
        int width, height;
        float angle;
        LONG newWidth, newHeight;
    } cases[] = {{200, 100, 0, 200, 100},         {200, 100, 90, 100, 200},        {200, 100, -90, 100, 200},
                 {200, 100, 270, 100, 200},       {200, 100, 180, 200, 100},       {100, 100, 45, 140, 140},
                 {100, 100, -315, 140, 140},      {200, 100, 725.9f, 207, 116},    {200, 100, 95, 116, 207}};
    for (const auto& c : cases)
        EXPECT_EQ(RotatedSize(c.width, c.height, c.angle), std::make_pair(c.newWidth, c.newHeight)) << c.angle;
}

TEST(Rotate, UncoveredCanvasKeepsTheBackgroundExactlyTransparentWhiteByDefault) {
    auto raster = NewRaster();
    raster->EmptyImage(100, 100, 0xFFFF0000);
    ASSERT_EQ(raster->Rotate(45.0f, 0x00FFFFFF), S_OK);
    ASSERT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{140, 140}));
    // The turned square's corners lie at (70, 0), (140.7, 70.7), (70, 141.4)
    // and (-0.7, 70.7): the canvas corners and their neighbourhoods are bare.
    const auto pixels = PixelsOf(raster.get());
    for (auto [x, y] : {std::pair{0, 0}, {139, 0}, {0, 139}, {139, 139}, {20, 20}, {120, 15}, {15, 125}, {125, 125}})
        EXPECT_EQ(pixels[static_cast<size_t>(y * 140 + x)], 0x00FFFFFFu) << x << "," << y;
    EXPECT_EQ(pixels[70 * 140 + 70], 0xFFFF0000u);

    // A directly created transform has a transparent white background.
    auto rotate = NewObject<ITransformRotate>(CLSID_TransformRotate);
    LONG background = 0;
    rotate->get_BackgroundColor(&background);
    EXPECT_EQ(background, 0x00FFFFFF);
    raster->EmptyImage(10, 10, 0xFF0000FF);
    rotate->put_Angle(30.0f);
    ASSERT_EQ(raster->ApplyTransform(rotate.get()), S_OK);
    EXPECT_EQ(PixelsOf(raster.get())[0], 0x00FFFFFFu);
}

TEST(Resize, SizesTheMinimumBackgroundAlphaAndTheZeroSize) {
    auto resize = NewObject<ITransformResize>(CLSID_TransformResize);
    auto raster = NewRaster();
    raster->EmptyImage(37, 11, 0xFF00FF00);
    ASSERT_EQ(raster->ApplyTransform(resize.get()), S_OK);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{100, 100})) << "defaults";

    // A fully transparent image over a fully transparent background: alpha 1.
    raster->EmptyImage(4, 4, 0);
    ASSERT_EQ(raster->Resize(9, 6, rqtBilinearMode, 0), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(54, 0x01000000u));

    // A zero size fails with the GDI+ text.
    raster->EmptyImage(4, 4, -1);
    ExpectError(raster->Resize(0, 10, rqtBilinearMode, -1), com::kErrInvalidCall, platform::FailureMessage(Gdiplus::InvalidParameter, "TransformResize", "Apply", 0),
                "Rastelle.TransformResize.1", IID_ITransformResize);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{4, 4}));
}

TEST(Crop, CutsOrStretchesTheRectangleAndRefusesAnEmptyOne) {
    const auto pixels = NumberedPixels(20, 10);
    auto raster = RasterWith(20, 10, pixels);
    ASSERT_EQ(raster->Crop(3, 2, 5, 4, -1, VARIANT_FALSE, rqtNearestNeighborMode), S_OK);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{5, 4}));

    raster = RasterWith(20, 10, pixels);
    ASSERT_EQ(raster->Crop(3, 2, 5, 4, -1, VARIANT_TRUE, rqtBilinearMode), S_OK);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{20, 10})) << "stretched to the input's size";

    // Outside the input the background shows, with at least alpha 1.
    raster = NewRaster();
    raster->EmptyImage(4, 4, 0xFF0000FF);
    ASSERT_EQ(raster->Crop(10, 10, 3, 3, 0x00808080, VARIANT_FALSE, rqtBilinearMode), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), std::vector<std::uint32_t>(9, 0x01808080u));

    // An empty rectangle fails with its own text.
    ExpectError(raster->Crop(0, 0, 0, 3, -1, VARIANT_FALSE, rqtBilinearMode), com::kErrInvalidCall,
                L"Cannot make crop. Possible wrong Width or Height properties (less or equal 0) or not enough memory.",
                "Rastelle.TransformCrop.1", IID_ITransformCrop);
    // Stretched back to the input's size, an empty rectangle still makes an image.
    EXPECT_EQ(raster->Crop(0, 0, -5, 3, -1, VARIANT_TRUE, rqtBilinearMode), S_OK);
    ClearThreadError();
}


// Where the platform's modes collapse, the system's own kernels resample:
// each quality choice then has its defined result.
TEST(Resampling, QualityModesMeanWhatTheySay) {
    // A one-pixel checkerboard reduced four times: the widened triangle
    // averages every source pixel, so inside the image it is an even grey
    // (at the borders the clamped taps lean toward the edge pixels).
    std::vector<std::uint32_t> checker;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) checker.push_back(((x + y) & 1) ? 0xFFFFFFFF : 0xFF000000);
    auto raster = RasterWith(16, 16, checker);
    ASSERT_EQ(raster->Resize(4, 4, rqtHighQualityBilinearMode, -1), S_OK);
    const auto grey = PixelsOf(raster.get());
    for (int i : {5, 6, 9, 10}) EXPECT_NEAR(static_cast<int>(grey[static_cast<size_t>(i)] & 0xFF), 128, 1) << i;

    // On an irregular image reduced by a fractional factor every mode differs.
    std::vector<std::uint32_t> noise;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 17 * 13; ++i) noise.push_back(0xFF000000u | ((seed = seed * 1103515245u + 12345u) >> 8));
    std::vector<std::vector<std::uint32_t>> results;
    for (int quality = 0; quality <= 4; ++quality) {
        raster = RasterWith(17, 13, noise);
        ASSERT_EQ(raster->Resize(5, 4, static_cast<ResizeQualityTypes>(quality), -1), S_OK);
        results.push_back(PixelsOf(raster.get()));
    }
    for (int a = 0; a <= 4; ++a)
        for (int b = a + 1; b <= 4; ++b) EXPECT_NE(results[a], results[b]) << "modes " << a << " and " << b;
}

TEST(Resampling, ExactCasesAreExactInEveryMode) {
    const auto pixels = NumberedPixels(20, 10);
    for (int quality = 0; quality <= 4; ++quality) {
        SCOPED_TRACE(quality);
        // A 1:1 crop inside the image copies the pixels.
        auto raster = RasterWith(20, 10, pixels);
        ASSERT_EQ(raster->Crop(3, 2, 5, 4, -1, VARIANT_FALSE, static_cast<ResizeQualityTypes>(quality)), S_OK);
        std::vector<std::uint32_t> expected;
        for (int y = 2; y < 6; ++y)
            for (int x = 3; x < 8; ++x) expected.push_back(pixels[static_cast<size_t>(y * 20 + x)]);
        EXPECT_EQ(PixelsOf(raster.get()), expected);
        // A uniform image stays uniform to its edges, enlarged or reduced.
        for (auto [w, h] : {std::pair{23, 7}, std::pair{3, 2}, std::pair{1, 1}}) {
            raster = NewRaster();
            raster->EmptyImage(10, 6, 0xFF3366CC);
            ASSERT_EQ(raster->Resize(w, h, static_cast<ResizeQualityTypes>(quality), -1), S_OK);
            for (std::uint32_t pixel : PixelsOf(raster.get())) ASSERT_EQ(pixel, 0xFF3366CCu) << w << "x" << h;
        }
    }
    // Nearest neighbour on an exact multiple repeats each pixel.
    auto raster = RasterWith(2, 1, {0xFF000001, 0x80000002});
    ASSERT_EQ(raster->Resize(4, 2, rqtNearestNeighborMode, 0x00000000), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()),
              (std::vector<std::uint32_t>{0xFF000001, 0xFF000001, 0x80000002, 0x80000002, 0xFF000001, 0xFF000001,
                                          0x80000002, 0x80000002}));
}

}  // namespace
}  // namespace rastelle::test
