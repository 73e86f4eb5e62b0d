// SaveStream: delivery to an IStream and to an ASP Response, the flattened
// working copy, and the stream's own errors.
#include "codecs/codecs_test_support.h"

#include "com/errors.h"

namespace rastelle::test {
namespace {

ComPtr<IStream> NewStream() {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    return stream;
}

ComPtr<IRasterObject> LoadBytes(const std::vector<std::uint8_t>& bytes) {
    auto raster = NewRaster();
    EXPECT_EQ(raster->LoadStream(StreamOver(bytes).get()), S_OK);
    return raster;
}

template <class Itf>
ComPtr<IDispatch> AsDispatch(const ComPtr<Itf>& object) {
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(object.As(dispatch), S_OK);
    return dispatch;
}

// An image whose first transparent pixel is followed by white, with a
// half-transparent red pixel.
std::vector<std::uint32_t> WhiteBackgroundImage() {
    return {0x00000000, 0xFFFFFFFF, 0x80FF0000,  //
            0xFF102030, 0x00ABCDEF, 0xFF000000,  //
            0xFF000000, 0xFF0000FF, 0xFF000000};
}

std::vector<std::uint8_t> SaveToStream(IRasterObject* raster, IDispatch* encoder = nullptr) {
    auto stream = NewStream();
    EXPECT_EQ(raster->SaveStream(stream.get(), encoder), S_OK);
    return BytesOf(stream.get());
}

TEST(SaveStream, AnIStreamReceivesAValidImage) {
    const auto pixels = OpaqueGradient(7, 5);
    auto raster = RasterWith(7, 5, pixels);
    for (OutputFileTypes type : {oftPNG, oftBMP, oftTIFF, oftJPEG}) {
        raster->put_OutputFileType(type);
        auto loaded = LoadBytes(SaveToStream(raster.get()));
        OutputFileTypes current = oftUnknown;
        loaded->get_CurrentFileType(&current);
        EXPECT_EQ(current, type);
        if (type != oftJPEG) {
            EXPECT_EQ(PixelsOf(loaded.get()), pixels) << type;
        }
    }

    // The bytes are appended at the stream's position.
    auto stream = NewStream();
    ULONG written = 0;
    stream->Write("head", 4, &written);
    raster->put_OutputFileType(oftPNG);
    ASSERT_EQ(raster->SaveStream(stream.get(), nullptr), S_OK);
    const auto bytes = BytesOf(stream.get());
    ASSERT_GT(bytes.size(), 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "head");
    EXPECT_EQ(bytes[5], 'P');
}

TEST(SaveStream, AnAspResponseGetsTheBytesInOneBinaryWrite) {
    auto raster = RasterWith(7, 5, OpaqueGradient(7, 5));
    raster->put_OutputFileType(oftPNG);
    const auto expected = SaveToStream(raster.get());

    auto response = RecordingResponse::Create();
    ASSERT_EQ(raster->SaveStream(static_cast<IResponse*>(response.get()), nullptr), S_OK);
    ASSERT_EQ(response->calls, std::vector<std::string>{"BinaryWrite"});
    EXPECT_EQ(response->writtenType, VT_ARRAY | VT_UI1);
    EXPECT_EQ(response->written, expected);

    // With an encoder object as well.
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    jpeg->put_Quality(30);
    auto second = RecordingResponse::Create();
    ASSERT_EQ(raster->SaveStream(static_cast<IResponse*>(second.get()), AsDispatch(jpeg).get()), S_OK);
    ASSERT_EQ(second->calls.size(), 1u);
    ASSERT_GT(second->written.size(), 3u);
    EXPECT_EQ(second->written[0], 0xFF);
    EXPECT_EQ(second->written[1], 0xD8);
}

TEST(SaveStream, ADestinationThatIsNeitherStreamNorResponseIsRefused) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    auto other = NewRaster();
    ExpectError(raster->SaveStream(other.get(), nullptr), E_NOINTERFACE,
                L"Cannot query neigther IStream nor IResponse interface.", L"Rastelle.RasterObject.1",
                IID_IRasterObject);
}

TEST(SaveStream, NoImageAndNullStreamFailAsTheirOwnCases) {
    auto empty = NewRaster();
    auto stream = NewStream();
    ExpectError(empty->SaveStream(stream.get(), nullptr), com::kErrSaveStream,
                L"Cannot save image to the stream, because there is no any data. Create new image or load it first.",
                L"Rastelle.RasterObject.1", IID_IRasterObject);
    ExpectError(empty->SaveStream(nullptr, nullptr), com::kErrSaveStream,
                L"Cannot save image to the stream, because there is no any data. Create new image or load it first.",
                L"Rastelle.RasterObject.1", IID_IRasterObject);

    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    ClearThreadError();
    EXPECT_EQ(raster->SaveStream(nullptr, nullptr), E_INVALIDARG);
    EXPECT_FALSE(TakeThreadError().present);
}

TEST(SaveStream, SwfCannotGoToAStream) {
    auto raster = RasterWith(2, 2, OpaqueGradient(2, 2));
    auto stream = NewStream();
    raster->put_OutputFileType(oftSWF);
    ExpectError(raster->SaveStream(stream.get(), nullptr), E_FAIL,
                WithSupportAddress(
                    L"Cannot save file: requested file type does not supported. If you see this message, please contact "),
                L"Rastelle.RasterObject.1", IID_IRasterObject);

    // SWF is not among the kinds a stream save asks for.
    raster->put_OutputFileType(oftPNG);
    auto swf = FakeEncoder::Create();
    swf->answers = {{IID_ISWFEncoderInfo, NewObject<IUnknown>(CLSID_SWFEncoderInfo)}};
    ExpectError(raster->SaveStream(stream.get(), swf.get()), E_NOINTERFACE, L"Wrong Encoder object!",
                L"Rastelle.RasterObject.1", IID_IRasterObject);
    const std::vector<IID> order = {IID_IJPEGEncoderInfo, IID_ITIFFEncoderInfo, IID_IGIFEncoderInfo,
                                    IID_IBMPEncoderInfo};
    ASSERT_EQ(swf->queried.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) EXPECT_TRUE(IsEqualIID(swf->queried[i], order[i])) << i;
    EXPECT_EQ(BytesOf(stream.get()).size(), 0u);
}

TEST(SaveStream, EncodersWithoutAlphaSeeAFlattenedCopy) {
    const auto pixels = WhiteBackgroundImage();
    auto raster = RasterWith(3, 3, pixels);
    raster->put_OutputFileType(oftPNG);

    // PNG keeps alpha, so the flattened colours can be read back exactly.
    auto fromStream = PixelsOf(LoadBytes(SaveToStream(raster.get())).get());
    EXPECT_EQ(fromStream[2], 0x80FF7F7Fu) << "red at alpha 128 over the white background";
    EXPECT_EQ(fromStream[3], 0xFF102030u);
    EXPECT_EQ(PixelsOf(raster.get()), pixels) << "the object's own image is not flattened";

    // A file save hands the encoder the pixels unchanged.
    ASSERT_EQ(raster->SaveFile(Bstr(TempPath(L"unflattened.png")).get(), nullptr), S_OK);
    auto fromFile = NewRaster();
    ASSERT_EQ(fromFile->LoadFile(Bstr(TempPath(L"unflattened.png")).get()), S_OK);
    // Loading draws the image, so fully transparent pixels read back as 0.
    std::vector<std::uint32_t> expected = pixels;
    expected[4] = 0;
    EXPECT_EQ(PixelsOf(fromFile.get()), expected);

    // Without a nearly transparent pixel the background is yellow.
    auto yellow = RasterWith(2, 2, {0x80000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF});
    yellow->put_OutputFileType(oftPNG);
    EXPECT_EQ(PixelsOf(LoadBytes(SaveToStream(yellow.get())).get())[0], 0x807F7F00u);
}

TEST(SaveStream, A24BitBmpIsFlattenedBeforeItLosesAlpha) {
    auto raster = RasterWith(3, 3, WhiteBackgroundImage());
    auto bmp = NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    bmp->put_ColorDepth(cd24bpp);
    const auto bytes = SaveToStream(raster.get(), AsDispatch(bmp).get());
    ASSERT_GT(bytes.size(), 30u);
    EXPECT_EQ(bytes[28], 24);
    const auto loaded = PixelsOf(LoadBytes(bytes).get());
    EXPECT_EQ(loaded[0], 0xFFFFFFFFu) << "the transparent pixel shows the background";
    EXPECT_EQ(loaded[2], 0xFFFF7F7Fu);
    EXPECT_EQ(loaded[7], 0xFF0000FFu);
}

TEST(SaveStream, TiffToAStreamIgnoresTheColourSpaceAndKeepsTheOptions) {
    auto raster = RasterWith(4, 3, OpaqueGradient(4, 3));
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    tiff->put_ColorSpace(csCMYK);
    tiff->put_ColorDepth(cd24bpp);
    tiff->put_CompressionType(tctNone);
    const auto bytes = SaveToStream(raster.get(), AsDispatch(tiff).get());
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes[0], 'I');
    auto loaded = LoadBytes(bytes);
    EXPECT_EQ(PixelsOf(loaded.get()), OpaqueGradient(4, 3));
    // Uncompressed RGB: three bytes per pixel are in the file as they are.
    const std::vector<std::uint8_t> firstPixel = {static_cast<std::uint8_t>(OpaqueGradient(4, 3)[1] >> 16),
                                                  static_cast<std::uint8_t>(OpaqueGradient(4, 3)[1] >> 8),
                                                  static_cast<std::uint8_t>(OpaqueGradient(4, 3)[1])};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), firstPixel.begin(), firstPixel.end()), bytes.end());
}

TEST(SaveStream, TheResolutionReachesTheStream) {
    StartGdiplus();
    auto raster = RasterWith(4, 3, OpaqueGradient(4, 3));
    raster->put_HorizontalResolution(300.0f);
    raster->put_VerticalResolution(120.0f);
    raster->put_OutputFileType(oftPNG);
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    for (IDispatch* encoder : {static_cast<IDispatch*>(nullptr), AsDispatch(jpeg).get()}) {
        auto stream = StreamOver(SaveToStream(raster.get(), encoder));
        Gdiplus::GpImage* image = nullptr;
        ASSERT_EQ(Gdiplus::DllExports::GdipLoadImageFromStream(stream.get(), &image), Gdiplus::Ok);
        float horizontal = 0;
        float vertical = 0;
        Gdiplus::DllExports::GdipGetImageHorizontalResolution(image, &horizontal);
        Gdiplus::DllExports::GdipGetImageVerticalResolution(image, &vertical);
        Gdiplus::DllExports::GdipDisposeImage(image);
        EXPECT_NEAR(horizontal, 300.0f, 0.05f);
        EXPECT_NEAR(vertical, 120.0f, 0.05f);
    }
}

}  // namespace
}  // namespace rastelle::test
