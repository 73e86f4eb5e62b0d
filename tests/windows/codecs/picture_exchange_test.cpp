// SavePicture and LoadPicture: images to and from OLE picture objects, and
// who owns the bitmap handle.
#include "codecs/codecs_test_support.h"

#include "com/errors.h"

#include <olectl.h>

namespace rastelle::test {
namespace {

HBITMAP HandleOf(IPictureDisp* picture) {
    ComPtr<IPicture> ole;
    EXPECT_EQ(picture->QueryInterface(IID_IPicture, ole.put_void()), S_OK);
    OLE_HANDLE handle = 0;
    ole->get_Handle(&handle);
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

ComPtr<IPictureDisp> PictureOf(PICTDESC& description, BOOL own) {
    ComPtr<IPictureDisp> picture;
    EXPECT_EQ(OleCreatePictureIndirect(&description, IID_IPictureDisp, own, picture.put_void()), S_OK);
    return picture;
}

TEST(Pictures, SaveThenLoadKeepsTheImageWithTransparencyOverBlack) {
    const std::vector<std::uint32_t> pixels = {0xFFFF0000, 0xFF00FF00, 0x00FFFFFF, 0xFF123456,
                                               0x80FF8040, 0xFF0000FF, 0xFFFFFFFF, 0x00000000};
    auto raster = RasterWith(4, 2, pixels);
    raster->put_HorizontalResolution(300.0f);
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(raster->SavePicture(picture.put()), S_OK);
    ASSERT_TRUE(picture);
    EXPECT_EQ(PixelsOf(raster.get()), pixels) << "the object keeps its image";

    auto loaded = NewRaster();
    ASSERT_EQ(loaded->put_OutputFileType(oftPNG), S_OK);
    ASSERT_EQ(loaded->LoadPicture(picture.get()), S_OK);
    const auto [width, height] = SizeOf(loaded.get());
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 2);
    OutputFileTypes type = oftUnknown;
    loaded->get_CurrentFileType(&type);
    EXPECT_EQ(type, oftBMP);
    loaded->get_OutputFileType(&type);
    EXPECT_EQ(type, oftPNG) << "the output file type is not changed";

    const auto back = PixelsOf(loaded.get());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t alpha = pixels[i] >> 24;
        if (alpha == 0xFF) {
            EXPECT_EQ(back[i], pixels[i]) << i;
        } else if (alpha == 0) {
            EXPECT_EQ(back[i], 0xFF000000u) << "transparent areas come back black: " << i;
        }
        EXPECT_EQ(back[i] >> 24, 0xFFu) << i;
    }
    // Half-transparent red over black: about half its colour.
    EXPECT_NEAR(static_cast<int>((back[4] >> 16) & 0xFF), 0x80, 2);

    float resolution = 0;
    loaded->get_HorizontalResolution(&resolution);
    EXPECT_NE(resolution, 300.0f) << "a new bitmap's resolution, not the saving object's";
    EXPECT_GT(resolution, 0.0f);
}

TEST(Pictures, ThePictureOwnsTheHandleAndLoadingLeavesItAlone) {
    auto raster = RasterWith(3, 3, OpaqueGradient(3, 3));
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(raster->SavePicture(picture.put()), S_OK);
    const HBITMAP handle = HandleOf(picture.get());
    ASSERT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));

    auto loaded = NewRaster();
    ASSERT_EQ(loaded->LoadPicture(picture.get()), S_OK);
    EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP)) << "the caller's picture still has its image";
    EXPECT_EQ(HandleOf(picture.get()), handle);
    EXPECT_EQ(PixelsOf(loaded.get()), OpaqueGradient(3, 3));

    picture.reset();
    EXPECT_EQ(GetObjectType(handle), 0u) << "releasing the picture deletes the handle it owns";

    // A picture that does not own its handle: loading neither deletes nor
    // keeps it.
    HBITMAP own = CreateBitmap(2, 2, 1, 32, nullptr);
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = own;
    auto borrowed = PictureOf(description, FALSE);
    ASSERT_EQ(loaded->LoadPicture(borrowed.get()), S_OK);
    borrowed.reset();
    EXPECT_EQ(GetObjectType(own), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_TRUE(DeleteObject(own));
}

TEST(Pictures, AnEmptyPictureFailsAndKeepsThePreviousImage) {
    auto raster = RasterWith(2, 1, {0xFF112233, 0xFF445566});
    raster->put_OutputFileType(oftPNG);
    ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"before-picture.png")).get(), nullptr), S_OK);
    auto previous = NewRaster();
    ASSERT_EQ(previous->LoadFile(Bstr(TempPath(L"before-picture.png")).get()), S_OK);

    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_NONE;
    auto empty = PictureOf(description, TRUE);
    ExpectError(previous->LoadPicture(empty.get()), com::kErrGdiplusStartup, L"Cannot get image from IPictureDisp",
                L"Rastelle.RasterObject.1", IID_IRasterObject);
    EXPECT_EQ(PixelsOf(previous.get()), (std::vector<std::uint32_t>{0xFF112233, 0xFF445566}));
    OutputFileTypes type = oftUnknown;
    previous->get_CurrentFileType(&type);
    EXPECT_EQ(type, oftPNG);
}

TEST(Pictures, NullArgumentsMissingImagesAndOtherObjects) {
    auto raster = NewRaster();
    ClearThreadError();
    EXPECT_EQ(raster->SavePicture(nullptr), E_POINTER);
    EXPECT_EQ(raster->LoadPicture(nullptr), E_POINTER);
    EXPECT_FALSE(TakeThreadError().present);

    ComPtr<IPictureDisp> picture;
    ExpectError(raster->SavePicture(picture.put()), E_FAIL,
                L"Cannot save the image to Picture, because it is not loaded!", L"Rastelle.RasterObject.1",
                IID_IRasterObject);
    EXPECT_FALSE(picture);

    // An object that is not a picture: the query's result, no error object.
    auto other = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    ClearThreadError();
    EXPECT_EQ(raster->LoadPicture(reinterpret_cast<IPictureDisp*>(other.get())), E_NOINTERFACE);
    EXPECT_FALSE(TakeThreadError().present);
}

}  // namespace
}  // namespace rastelle::test
