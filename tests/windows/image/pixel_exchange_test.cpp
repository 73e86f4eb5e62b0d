// PixelArray layout and the conversions between bitmaps, arrays and handles.
#include "test_support.h"

#include "com/errors.h"
#include "image/pixel_exchange.h"

#include <memory>

namespace rastelle::test {
namespace {

std::unique_ptr<Bitmap> BitmapWith(int width, int height, const std::vector<std::uint32_t>& argb,
                                   Gdiplus::PixelFormat format = PixelFormat32bppARGB) {
    std::unique_ptr<Bitmap> bitmap(Bitmap::Create(width, height, format));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            Gdiplus::DllExports::GdipBitmapSetPixel(bitmap->native(), x, y, argb[static_cast<size_t>(y * width + x)]);
    return bitmap;
}

std::vector<std::uint32_t> BitmapPixels(Bitmap& bitmap) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            Gdiplus::ARGB value = 0;
            Gdiplus::DllExports::GdipBitmapGetPixel(bitmap.native(), x, y, &value);
            pixels.push_back(value);
        }
    return pixels;
}

SAFEARRAY* NewArray(std::initializer_list<SAFEARRAYBOUND> bounds, VARTYPE type = VT_I4) {
    std::vector<SAFEARRAYBOUND> list(bounds);
    return SafeArrayCreate(type, static_cast<UINT>(list.size()), list.data());
}

TEST(PixelExchange, BitmapBecomesARowMajorArrayOfHeightByWidth) {
    const auto pixels = std::vector<std::uint32_t>{0x00000000, 0x80FF0000, 0xFF00FF00, 0x01020304, 0xFFFFFFFF, 0x7F7F7F7F};
    auto bitmap = BitmapWith(3, 2, pixels);
    com::UniqueSafeArray array;
    ASSERT_EQ(BitmapToPixelArray(bitmap.get(), array.put()), S_OK);
    VARTYPE type = VT_EMPTY;
    LONG rows = 0, columns = 0;
    SafeArrayGetVartype(array.get(), &type);
    SafeArrayGetUBound(array.get(), 1, &rows), SafeArrayGetUBound(array.get(), 2, &columns);
    EXPECT_EQ(std::make_tuple(SafeArrayGetDim(array.get()), type, rows, columns), std::make_tuple(2u, VARTYPE{VT_I4}, 1L, 2L))
        << "the first dimension rows, the second columns";
    EXPECT_EQ(ArrayValues(array.get()), pixels) << "p(0,0) p(1,0) p(2,0) p(0,1) ...";

    // And back: every value unchanged, alpha included.
    Bitmap* back = nullptr;
    ASSERT_EQ(PixelArrayToBitmap(array.get(), &back), S_OK);
    std::unique_ptr<Bitmap> owned(back);
    EXPECT_EQ(std::make_tuple(back->width(), back->height(), BitmapPixels(*back)), std::make_tuple(3, 2, pixels));
}

TEST(PixelExchange, ArrayLowerBoundsAreIgnoredAndTheSlotIsReplaced) {
    com::UniqueSafeArray array(NewArray({{2, 1}, {3, 1}}));
    {
        com::SafeArrayDataLock access(array.get());
        auto* data = static_cast<std::uint32_t*>(access.data());
        for (int i = 0; i < 6; ++i) data[i] = 0xFF000000u + static_cast<std::uint32_t>(i);
    }
    Bitmap* slot = Bitmap::Create(9, 9);  // deleted by the conversion
    ASSERT_EQ(PixelArrayToBitmap(array.get(), &slot), S_OK);
    std::unique_ptr<Bitmap> owned(slot);
    EXPECT_EQ(std::make_pair(slot->width(), slot->height()), std::make_pair(3, 2));
    EXPECT_EQ(BitmapPixels(*slot), (std::vector<std::uint32_t>{0xFF000000, 0xFF000001, 0xFF000002, 0xFF000003,
                                                               0xFF000004, 0xFF000005}));
}

TEST(PixelExchange, MalformedArraysAreRefused) {
    Bitmap* slot = nullptr;
    EXPECT_EQ(PixelArrayToBitmap(nullptr, &slot), E_FAIL);
    com::UniqueSafeArray flat(NewArray({{6, 0}}));
    EXPECT_EQ(PixelArrayToBitmap(flat.get(), &slot), E_INVALIDARG);
    com::UniqueSafeArray cube(NewArray({{2, 0}, {2, 0}, {2, 0}}));
    EXPECT_EQ(PixelArrayToBitmap(cube.get(), &slot), E_INVALIDARG);
    com::UniqueSafeArray bytes(NewArray({{2, 0}, {2, 0}}, VT_UI1));
    EXPECT_EQ(PixelArrayToBitmap(bytes.get(), &slot), E_INVALIDARG) << "elements narrower than a pixel";
    com::UniqueSafeArray empty(NewArray({{0, 0}, {4, 0}}));
    EXPECT_EQ(PixelArrayToBitmap(empty.get(), &slot), com::kErrArrayToBitmap);
    EXPECT_EQ(slot, nullptr);

    com::UniqueSafeArray out;
    EXPECT_EQ(BitmapToPixelArray(nullptr, out.put()), E_FAIL);
}

TEST(PixelExchange, OpaqueFormatsReadBackOpaque) {
    auto bitmap = BitmapWith(2, 1, {0xFF112233, 0xFF445566}, PixelFormat24bppRGB);
    com::UniqueSafeArray array;
    ASSERT_EQ(BitmapToPixelArray(bitmap.get(), array.put()), S_OK);
    EXPECT_EQ(ArrayValues(array.get()), (std::vector<std::uint32_t>{0xFF112233, 0xFF445566}));
}

TEST(PixelExchange, HandlesBlendTransparencyOverBlackAndComeBackWithoutAlpha) {
    auto bitmap = BitmapWith(2, 1, {0x00FFFFFF, 0xFF10A0F0});
    HBITMAP handle = BitmapToHandle(bitmap.get(), 0xFF000000);
    ASSERT_NE(handle, nullptr);
    std::unique_ptr<Bitmap> back(HandleToBitmap(handle, nullptr));
    DeleteObject(handle);
    ASSERT_TRUE(back && back->native());
    Gdiplus::PixelFormat format = 0;
    Gdiplus::DllExports::GdipGetImagePixelFormat(back->native(), &format);
    EXPECT_EQ(format, PixelFormat32bppRGB) << "a bitmap made from a handle has no alpha";
    EXPECT_EQ(BitmapPixels(*back), (std::vector<std::uint32_t>{0xFF000000, 0xFF10A0F0}));
    EXPECT_EQ(BitmapToHandle(nullptr, 0), nullptr);
}

}  // namespace
}  // namespace rastelle::test
