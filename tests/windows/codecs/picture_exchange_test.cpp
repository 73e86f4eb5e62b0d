// SavePicture and LoadPicture: images to and from OLE picture objects, and
// who owns the bitmap handle.
#include "test_support.h"

#include "com/errors.h"

#include <olectl.h>

namespace rastelle::test {
namespace {

HBITMAP HandleOf(IPictureDisp* picture) {
    ComPtr<IPicture> ole;
    EXPECT_EQ(picture->QueryInterface(IID_IPicture, ole.put_void()), S_OK);
    OLE_HANDLE handle = 0;
    ole->get_Handle(&handle);
    return reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
}

TEST(Pictures, SaveThenLoadGivesTheImageOverBlackAndThePictureOwnsItsHandle) {
    const std::vector<std::uint32_t> pixels = {0xFFFF0000, 0xFF00FF00, 0x00FFFFFF, 0xFF123456,
                                               0x80FF8040, 0xFF0000FF, 0xFFFFFFFF, 0x00000000};
    auto raster = RasterWith(4, 2, pixels);
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(raster->SavePicture(picture.put()), S_OK);
    const HBITMAP handle = HandleOf(picture.get());
    ASSERT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));

    auto loaded = NewRaster();
    loaded->put_OutputFileType(oftPNG);
    ASSERT_EQ(loaded->LoadPicture(picture.get()), S_OK);
    EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP)) << "the caller's picture keeps its image";
    EXPECT_EQ(std::get<2>(SettingsOf(loaded.get())), oftPNG);
    EXPECT_EQ(std::get<3>(SettingsOf(loaded.get())), oftBMP);
    const auto back = PixelsOf(loaded.get());
    ASSERT_EQ(back.size(), pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t alpha = pixels[i] >> 24;
        EXPECT_EQ(back[i], alpha == 0xFF ? pixels[i] : alpha == 0 ? 0xFF000000u : back[i]) << i;
    }
    EXPECT_NEAR(static_cast<int>(back[4] >> 16 & 0xFF), 0x80, 2) << "half-transparent red over black";

    picture.reset();
    EXPECT_EQ(GetObjectType(handle), 0u) << "releasing the picture deletes its handle";
}

TEST(Pictures, EmptyPicturesNullArgumentsAndMissingImagesFail) {
    auto raster = RasterWith(2, 1, {0xFF112233, 0xFF445566});
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_NONE;
    ComPtr<IPictureDisp> empty;
    ASSERT_EQ(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, empty.put_void()), S_OK);
    ExpectError(raster->LoadPicture(empty.get()), com::kErrGdiplusStartup, L"Cannot get image from IPictureDisp");
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFF112233, 0xFF445566})) << "the image stays";

    ClearThreadError();
    EXPECT_EQ(raster->SavePicture(nullptr), E_POINTER);
    EXPECT_EQ(raster->LoadPicture(nullptr), E_POINTER);
    auto notAPicture = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    EXPECT_EQ(raster->LoadPicture(reinterpret_cast<IPictureDisp*>(notAPicture.get())), E_NOINTERFACE);
    EXPECT_FALSE(TakeThreadError().present);

    ComPtr<IPictureDisp> picture;
    ExpectError(NewRaster()->SavePicture(picture.put()), E_FAIL,
                L"Cannot save the image to Picture, because it is not loaded!");
}

}  // namespace
}  // namespace rastelle::test
