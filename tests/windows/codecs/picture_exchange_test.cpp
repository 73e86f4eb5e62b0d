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

// The script suite checks the type and transparent pixels coming back black.
TEST(Pictures, SaveThenLoadGivesTheImageOverBlackThePictureOwnsItsHandleAndFailuresLeaveTheImage) {
    auto raster = RasterWith(2, 1, {0xFF123456, 0x80FF8040});
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(raster->SavePicture(picture.put()), S_OK);
    const HBITMAP handle = HandleOf(picture.get());
    ASSERT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));
    auto loaded = NewRaster();
    loaded->put_OutputFileType(oftPNG);
    ASSERT_EQ(loaded->LoadPicture(picture.get()), S_OK);
    EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP)) << "the caller's picture keeps its image";
    EXPECT_EQ(std::get<2>(SettingsOf(loaded.get())), oftPNG);
    const auto back = PixelsOf(loaded.get());
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], 0xFF123456u);
    EXPECT_NEAR(static_cast<int>(back[1] >> 16 & 0xFF), 0x80, 2) << "half-transparent red over black";
    picture.reset();
    EXPECT_EQ(GetObjectType(handle), 0u) << "releasing the picture deletes its handle";

    // Empty pictures, null arguments and missing images fail.
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_NONE;
    ComPtr<IPictureDisp> empty;
    ASSERT_EQ(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, empty.put_void()), S_OK);
    ExpectError(loaded->LoadPicture(empty.get()), com::kErrGdiplusStartup, L"Cannot get image from IPictureDisp");
    EXPECT_EQ(PixelsOf(loaded.get()), back) << "the image stays";

    ClearThreadError();
    EXPECT_EQ(raster->SavePicture(nullptr), E_POINTER);
    EXPECT_EQ(raster->LoadPicture(nullptr), E_POINTER);
    auto notAPicture = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    EXPECT_EQ(raster->LoadPicture(reinterpret_cast<IPictureDisp*>(notAPicture.get())), E_NOINTERFACE);
    EXPECT_FALSE(TakeThreadError().present);

    ExpectError(NewRaster()->SavePicture(picture.put()), E_FAIL,
                L"Cannot save the image to Picture, because it is not loaded!");
}

}  // namespace
}  // namespace rastelle::test
