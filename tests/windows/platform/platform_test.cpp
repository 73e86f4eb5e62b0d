// Guarded bitmap creation: sizes no bitmap may have never reach GDI+.
#include "test_support.h"

#include "platform/bitmap_guard.h"
#include "image/bitmap.h"

#include <memory>

namespace rastelle::test {
namespace {

TEST(BitmapGuard, SizesOverTheLimitFailBeforeGdiplusIsCalled) {
    // 23170 x 23170 at 32 bits is 2 147 395 600 bytes; 65536 x 8193 x 4 overflows an int.
    using platform::BitmapSizeAllowed;
    EXPECT_EQ((std::vector<bool>{BitmapSizeAllowed(23170, 23170, 32), BitmapSizeAllowed(23171, 23171, 32),
                                 BitmapSizeAllowed(65536, 8193, 32), BitmapSizeAllowed(0x7FFFFFFF, 0x7FFFFFFF, 8),
                                 BitmapSizeAllowed(40000, 40000, 8)}),
              (std::vector<bool>{true, false, false, false, true}));
    Gdiplus::GpBitmap* bitmap = reinterpret_cast<Gdiplus::GpBitmap*>(1);
    EXPECT_EQ(platform::CreateBitmap(40000, 40000, PixelFormat32bppARGB, &bitmap), Gdiplus::OutOfMemory);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(platform::CreateBitmap(8, 8, 0x12345, &bitmap), Gdiplus::InvalidParameter)
        << "only the formats the system uses are made";

    std::unique_ptr<Bitmap> huge(Bitmap::Create(40000, 40000));
    ASSERT_TRUE(huge);
    EXPECT_EQ(std::make_pair(huge->native(), huge->lastStatus()),
              std::make_pair(static_cast<Gdiplus::GpBitmap*>(nullptr), Gdiplus::OutOfMemory));
}

}  // namespace
}  // namespace rastelle::test
