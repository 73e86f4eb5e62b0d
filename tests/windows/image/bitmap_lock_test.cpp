// Whole-bitmap locks as views, the fill's fault path and the widening of
// OLE handles.
#include "test_support.h"

#include "image/bitmap_lock.h"
#include "image/gdi_handles.h"

#include <memory>

namespace rastelle::test {
namespace {

TEST(PixelLocks, ViewsCoverTheWholeBitmapAndEndWithTheirHolder) {
    std::unique_ptr<Bitmap> input(Bitmap::Create(5, 3));
    std::unique_ptr<Bitmap> output(Bitmap::Create(5, 3));
    ASSERT_EQ(FillBitmap(*input, 0x80112233), Gdiplus::Ok);
    {
        PixelLockPair locks;
        ASSERT_EQ(locks.Lock(*input, *output), Gdiplus::Ok);
        EXPECT_EQ(locks.input().width, 5);
        EXPECT_EQ(locks.output().height, 3);
        EXPECT_EQ(locks.input().row(2)[4], 0x80112233u);
        locks.output().row(2)[4] = 0xFF00FF00u;
        EXPECT_FALSE(Unlocked(*input));
    }
    EXPECT_TRUE(Unlocked(*input));
    ASSERT_TRUE(Unlocked(*output));
    Gdiplus::ARGB written = 0;
    gp::GdipBitmapGetPixel(output->native(), 4, 2, &written);
    EXPECT_EQ(written, 0xFF00FF00u) << "the output's lock wrote back";
}

TEST(PixelLocks, AFailedOutputLockLeavesNeitherBitmapLocked) {
    std::unique_ptr<Bitmap> input(Bitmap::Create(4, 4));
    std::unique_ptr<Bitmap> output(Bitmap::Create(4, 4));
    PixelLock elsewhere;
    ASSERT_EQ(elsewhere.Lock(*output, Gdiplus::ImageLockModeRead), Gdiplus::Ok);

    PixelLockPair locks;
    const Status status = locks.Lock(*input, *output);
    EXPECT_NE(status, Gdiplus::Ok);
    EXPECT_EQ(output->lastStatus(), status) << "recorded in the bitmap that failed";
    EXPECT_EQ(locks.input().pixels, nullptr);
    EXPECT_TRUE(Unlocked(*input));
    EXPECT_EQ(locks.Unlock(), Gdiplus::Ok);
}

TEST(PixelLocks, AFaultedFillReportsGenericErrorAndLeavesTheBitmapUnlocked) {
    std::unique_ptr<Bitmap> bitmap(Bitmap::Create(6, 2));
    SetFillHookForTesting(&Fault);
    const Status status = FillBitmap(*bitmap, 0xFFFFFFFF);
    SetFillHookForTesting(nullptr);
    EXPECT_EQ(status, Gdiplus::GenericError);
    EXPECT_TRUE(Unlocked(*bitmap));
    EXPECT_EQ(FillBitmap(*bitmap, 0xFF0000FF), Gdiplus::Ok);
}

TEST(OleHandles, WidenWithTheSignAsWindowsDoes) {
    const OLE_HANDLE high = 0x80001234u;
#if defined(_WIN64)
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(HandleFromOle<HBITMAP>(high)), 0xFFFFFFFF80001234ull);
#else
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(HandleFromOle<HBITMAP>(high)), 0x80001234u);
#endif
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(HandleFromOle<HPALETTE>(0x00001234u)), 0x1234u);
    EXPECT_EQ(OleHandleOf(HandleFromOle<HANDLE>(high)), high) << "round trip";
}

}  // namespace
}  // namespace rastelle::test
