// Whole-bitmap locks, the fill's fault path and the widening of
// OLE handles.
#include "test_support.h"

#include "image/bitmap_lock.h"
#include "image/gdi_handles.h"

#include <memory>

namespace rastelle::test {
namespace {

TEST(PixelLocks, AFailedOutputLockLeavesNeitherBitmapLocked) {
    std::unique_ptr<Bitmap> input(Bitmap::Create(5, 3)), output(Bitmap::Create(5, 3));
    PixelLock elsewhere;
    ASSERT_EQ(elsewhere.Lock(*output, Gdiplus::ImageLockModeRead), Gdiplus::Ok);
    PixelLockPair locks;
    const Status status = locks.Lock(*input, *output);
    EXPECT_NE(status, Gdiplus::Ok);
    EXPECT_EQ(output->lastStatus(), status) << "recorded in the bitmap that failed";
    EXPECT_EQ(locks.input().pixels, nullptr);
    EXPECT_TRUE(Unlocked(*input));
}

TEST(OleHandles, WidenWithTheSignAsWindowsDoes) {
    const OLE_HANDLE high = 0x80001234u;
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(HandleFromOle<HBITMAP>(high)), static_cast<LONG_PTR>(LONG(high)));
    EXPECT_EQ(OleHandleOf(HandleFromOle<HANDLE>(high)), high) << "round trip";
}

}  // namespace
}  // namespace rastelle::test
