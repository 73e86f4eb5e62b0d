// SaveStream: delivery to an IStream and to an ASP Response, the flattened
// working copy, and the stream's own failures. SavePicture and LoadPicture:
// images to and from OLE picture objects, and who owns the bitmap handle.
#include "test_support.h"

#include "codecs/save_image.h"
#include "com/errors.h"

#include "fake_com.h"

#include <asptlb.h>
#include <olectl.h>

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IResponse, 0xD97A6DA0, 0xA864, 0x11CF, 0x83, 0xBE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8)
#endif

namespace rastelle::test {
namespace {

#define UNUSED_METHOD(name, ...) \
    STDMETHODIMP name(__VA_ARGS__) override { return E_NOTIMPL; }

// An ASP Response that records its calls and what BinaryWrite received.
class RecordingResponse final : public FakeDispatch<IResponse> {
public:
    std::vector<std::string> calls;
    VARTYPE writtenType = VT_EMPTY;
    std::vector<std::uint8_t> written;

    STDMETHODIMP BinaryWrite(VARIANT input) override {
        calls.emplace_back("BinaryWrite");
        writtenType = input.vt;
        com::SafeArrayDataLock data((input.vt & VT_ARRAY) ? input.parray : nullptr);
        if (const auto* bytes = static_cast<const std::uint8_t*>(data.data()))
            written.assign(bytes, bytes + input.parray->rgsabound[0].cElements);
        return S_OK;
    }
    STDMETHODIMP Write(VARIANT) override { return Record("Write"); }
    STDMETHODIMP Flush() override { return Record("Flush"); }
    STDMETHODIMP End() override { return Record("End"); }
    STDMETHODIMP Clear() override { return Record("Clear"); }
    UNUSED_METHOD(get_Buffer, VARIANT_BOOL*) UNUSED_METHOD(put_Buffer, VARIANT_BOOL) UNUSED_METHOD(Pics, BSTR)
    UNUSED_METHOD(get_ContentType, BSTR*) UNUSED_METHOD(put_ContentType, BSTR) UNUSED_METHOD(get_Expires, VARIANT*)
    UNUSED_METHOD(put_Expires, LONG) UNUSED_METHOD(get_ExpiresAbsolute, VARIANT*) UNUSED_METHOD(put_ExpiresAbsolute, DATE)
    UNUSED_METHOD(get_Status, BSTR*) UNUSED_METHOD(put_Status, BSTR) UNUSED_METHOD(get_CharSet, BSTR*)
    UNUSED_METHOD(put_CharSet, BSTR) UNUSED_METHOD(get_CacheControl, BSTR*) UNUSED_METHOD(put_CacheControl, BSTR)
    UNUSED_METHOD(get_Cookies, IRequestDictionary**) UNUSED_METHOD(Add, BSTR, BSTR) UNUSED_METHOD(AddHeader, BSTR, BSTR)
    UNUSED_METHOD(AppendToLog, BSTR) UNUSED_METHOD(Redirect, BSTR) UNUSED_METHOD(WriteBlock, short)
    UNUSED_METHOD(IsClientConnected, VARIANT_BOOL*)

private:
    HRESULT Record(const char* name) {
        calls.emplace_back(name);
        return S_OK;
    }
};

ComPtr<IStream> NewStream() {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    return stream;
}

TEST(SaveStream, AnIStreamAndAnAspResponseReceiveTheSameValidImage) {
    auto raster = RasterWith(7, 5, OpaqueGradient(7, 5));
    raster->put_HorizontalResolution(300.0f);
    raster->put_VerticalResolution(120.0f);
    raster->put_OutputFileType(oftPNG);
    const auto bytes = SavedStream(raster.get());
    EXPECT_EQ(PixelsOf(LoadedStream(bytes, oftPNG).get()), OpaqueGradient(7, 5));
    EXPECT_NEAR(ResolutionOf(bytes).second, 120.0f, 0.05f) << "the working copy carries the resolution";

    auto response = MakeFake<RecordingResponse>();
    ASSERT_EQ(raster->SaveStream(static_cast<IResponse*>(response.get()), nullptr), S_OK);
    EXPECT_EQ(std::make_tuple(response->calls, response->writtenType, response->written),
              std::make_tuple(std::vector<std::string>{"BinaryWrite"}, VARTYPE{VT_ARRAY | VT_UI1}, bytes));

    // JPEG at a quality, through the system's own encoder under Wine.
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    const auto jpegBytes = SavedStream(raster.get(), AsDispatch(jpeg).get());
    LoadedStream(jpegBytes, oftJPEG);
    EXPECT_NEAR(ResolutionOf(jpegBytes).first, 300.0f, 0.05f);
}

TEST(SaveStream, FailuresOfTheStreamSave) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    ExpectError(raster->SaveStream(NewRaster().get(), nullptr), E_NOINTERFACE,
                L"Cannot query neigther IStream nor IResponse interface.");
    ExpectError(NewRaster()->SaveStream(nullptr, nullptr), com::kErrSaveStream,
                L"Cannot save image to the stream, because there is no any data. Create new image or load it first.");
    ClearThreadError();
    EXPECT_EQ(raster->SaveStream(nullptr, nullptr), E_INVALIDARG);
    EXPECT_FALSE(TakeThreadError().present);

    // SWF cannot go to a stream, by output type or by encoder object.
    auto stream = NewStream();
    raster->put_OutputFileType(oftSWF);
    ExpectError(raster->SaveStream(stream.get(), nullptr), E_FAIL,
                com::WithSupportAddress(L"Cannot save file: requested file type does not supported. If you see this "
                                   L"message, please contact "));
    raster->put_OutputFileType(oftPNG);
    ExpectError(raster->SaveStream(stream.get(), AsDispatch(NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo)).get()),
                E_NOINTERFACE, L"Wrong Encoder object!");
    EXPECT_EQ(BytesOf(stream.get()).size(), 0u);
}

TEST(SaveStream, EncodersSeeACopyFlattenedAgainstTheBackground) {
    // The first transparent pixel is followed by white, the background (the
    // kernel tests check how the background is found).
    const std::vector<std::uint32_t> pixels = {0x00000000, 0xFFFFFFFF, 0x80FF0000, 0xFF102030, 0x00ABCDEF,
                                               0xFF000000, 0xFF000000, 0xFF0000FF, 0xFF000000};
    auto raster = RasterWith(3, 3, pixels);
    raster->put_OutputFileType(oftPNG);
    // PNG keeps alpha, so the flattened colours read back exactly.
    const auto flattened = PixelsOf(LoadedStream(SavedStream(raster.get()), oftPNG).get());
    EXPECT_EQ(std::make_pair(flattened[2], flattened[3]), std::make_pair(0x80FF7F7Fu, 0xFF102030u))
        << "red at alpha 128 over white";
    EXPECT_EQ(PixelsOf(raster.get()), pixels) << "the object's own image is not flattened";
    ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"unflattened.png")).get(), nullptr), S_OK);
    EXPECT_EQ(PixelsOf(LoadedFile(TempPath(L"unflattened.png"), oftPNG).get())[2], 0x80FF0000u)
        << "a file save hands the pixels over unchanged";

    // A CMYK colour space is ignored for streams: an RGB TIFF is written.
    LoadedStream(SavedStream(raster.get(), TiffOptions(tctLZW, cd32bpp, csCMYK).get()), oftTIFF);
}

HBITMAP HandleOf(IPictureDisp* picture) {
    ComPtr<IPicture> ole;
    EXPECT_EQ(picture->QueryInterface(IID_IPicture, ole.put_void()), S_OK);
    OLE_HANDLE handle = 0;
    ole->get_Handle(&handle);
    return reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
}

TEST(Pictures, SaveThenLoadGivesTheImageOverBlackThePictureOwnsItsHandleAndFailuresLeaveTheImage) {
    auto raster = RasterWith(3, 1, {0xFF123456, 0x80FF8040, 0x00ABCDEF});
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(raster->SavePicture(picture.put()), S_OK);
    const HBITMAP handle = HandleOf(picture.get());
    ASSERT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));
    auto loaded = NewRaster();
    loaded->put_OutputFileType(oftPNG);
    ASSERT_EQ(loaded->LoadPicture(picture.get()), S_OK);
    EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP)) << "the caller's picture keeps its image";
    EXPECT_EQ(std::make_pair(std::get<2>(SettingsOf(loaded.get())), std::get<3>(SettingsOf(loaded.get()))),
              std::make_pair(oftPNG, oftBMP)) << "a picture comes back as a BMP, the output type kept";
    const auto back = PixelsOf(loaded.get());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(std::make_pair(back[0], back[2]), std::make_pair(0xFF123456u, 0xFF000000u)) << "transparency black";
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
