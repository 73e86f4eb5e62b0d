// The encoder option classes: identity, the setters' rules and the errors
// they raise.
#include "test_support.h"

#include <cstring>

namespace rastelle::test {
namespace {

// Each class answers its own interface, IDispatch and IMarshal, no other
// encoder's (IUnknown's identity is the shared ComObject's, proven in the com tests).
TEST(EncoderOptions, EachClassAnswersItsInterfaceDispatchErrorInfoAndMarshalOnly) {
    const std::pair<CLSID, IID> classes[] = {{CLSID_JPEGEncoderInfo, IID_IJPEGEncoderInfo},
                                             {CLSID_TIFFEncoderInfo, IID_ITIFFEncoderInfo},
                                             {CLSID_GIFEncoderInfo, IID_IGIFEncoderInfo},
                                             {CLSID_BMPEncoderInfo, IID_IBMPEncoderInfo},
                                             {CLSID_SWFEncoderInfo, IID_ISWFEncoderInfo}};
    for (const auto& [clsid, own] : classes) {
        auto object = NewObject<IUnknown>(clsid);
        ASSERT_TRUE(object);
        EXPECT_EQ(SupportsErrorInfo(object.get(), {own, IID_IDispatch}), (std::vector<HRESULT>{S_OK, S_FALSE}));
        std::vector<HRESULT> expected(3, S_OK);
        for (const auto& [other, iid] : classes) expected.push_back(IsEqualIID(iid, own) ? S_OK : E_NOINTERFACE);
        expected.push_back(E_NOINTERFACE);
        EXPECT_EQ(Answers(object.get(), {IID_IUnknown, IID_IDispatch, IID_IMarshal, IID_IJPEGEncoderInfo, IID_ITIFFEncoderInfo,
                                         IID_IGIFEncoderInfo, IID_IBMPEncoderInfo, IID_ISWFEncoderInfo, IID_IRasterObject}),
                  expected);
    }
}

TEST(EncoderOptions, SettersClampRefuseOrStoreAsEachPropertySaysAndGettersRefuseNull) {
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    auto swf = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    auto gif = NewObject<IGIFEncoderInfo>(CLSID_GIFEncoderInfo);
    LONG quality = -1, swfQuality = -1, background = 0;
    TIFFCompressionTypes compression{};
    ColorDepths depth{};
    ColorSpaces space{};
    PaletteTypes palette{};
    SWFCompressionTypes swfCompression{};
    jpeg->get_Quality(&quality), swf->get_JPEGQuality(&swfQuality), swf->get_BackgroundColor(&background);
    tiff->get_CompressionType(&compression), tiff->get_ColorDepth(&depth), tiff->get_ColorSpace(&space);
    gif->get_PaletteType(&palette), swf->get_CompressionType(&swfCompression);
    EXPECT_EQ((std::vector<LONG>{quality, swfQuality, background, compression, depth, space, palette, swfCompression}),
              (std::vector<LONG>{75, 75, -1, 1, 1, 0, 0, 0}));  // the defaults

    jpeg->put_Quality(INT32_MIN), swf->put_JPEGQuality(150);
    jpeg->get_Quality(&quality), swf->get_JPEGQuality(&swfQuality);
    EXPECT_EQ(std::make_pair(quality, swfQuality), std::make_pair(LONG{0}, LONG{100}));
    jpeg->put_Quality(150), jpeg->get_Quality(&quality);
    EXPECT_EQ(quality, 100);

    // Refusals keep the old value; the count member of depth and space passes.
    const char* source = "Rastelle.TIFFEncoderInfo.1";
    ExpectError(tiff->put_ColorDepth(static_cast<ColorDepths>(3)), E_INVALIDARG, L"This color depth is not supported!",
                source, IID_ITIFFEncoderInfo);
    EXPECT_EQ(std::make_pair(tiff->put_ColorDepth(ColorDepths(2)), tiff->put_ColorSpace(ColorSpaces(2))), std::make_pair(S_OK, S_OK));
    ExpectError(tiff->put_CompressionType(static_cast<TIFFCompressionTypes>(2)), E_INVALIDARG,
                L"This compression type is not supported!", source, IID_ITIFFEncoderInfo);
    ExpectError(tiff->put_ColorSpace(static_cast<ColorSpaces>(3)), E_INVALIDARG, L"This color space is not supported!",
                source, IID_ITIFFEncoderInfo);
    ExpectError(swf->put_CompressionType(static_cast<SWFCompressionTypes>(2)), E_INVALIDARG,
                L"Wrong compression type! It must be either lossless (0) or JPEG (1)...", "Rastelle.SWFEncoderInfo.1",
                IID_ISWFEncoderInfo);
    tiff->get_CompressionType(&compression), tiff->get_ColorSpace(&space), swf->get_CompressionType(&swfCompression);
    EXPECT_EQ(std::make_tuple(compression, int{space}, swfCompression), std::make_tuple(tctLZW, 2, swfctLossless));

    // Null out pointers give the class's code without an error object.
    ClearThreadError();
    EXPECT_EQ((std::vector<HRESULT>{jpeg->get_Quality(nullptr), tiff->get_ICCProfileFilename(nullptr),
                                    gif->get_AntialiasingPreprocessOn(nullptr),
                                    NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo)->get_ColorDepth(nullptr),
                                    swf->get_BackgroundColor(nullptr)}),
              (std::vector<HRESULT>{E_INVALIDARG, E_INVALIDARG, E_POINTER, E_POINTER, E_POINTER}));
    EXPECT_FALSE(TakeThreadError().present);
}

TEST(EncoderOptions, IccProfileNameIsAByteCopyFreesTheOutStringAndMayBeNull) {
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    com::UniqueBstr read;
    EXPECT_EQ(tiff->get_ICCProfileFilename(read.put()), S_OK);
    ASSERT_TRUE(read.get()) << "a new object holds an allocated empty string";
    EXPECT_EQ(SysStringLen(read.get()), 0u);

    com::UniqueBstr odd(SysAllocStringByteLen("C:\\p\0f.icc", 11));  // odd length, embedded zero
    EXPECT_EQ(tiff->put_ICCProfileFilename(odd.get()), S_OK);
    BSTR held = SysAllocString(L"the getter frees this");
    EXPECT_EQ(tiff->get_ICCProfileFilename(&held), S_OK);
    ASSERT_EQ(SysStringByteLen(held), 11u);
    EXPECT_NE(held, odd.get());
    EXPECT_EQ(std::memcmp(held, odd.get(), 11), 0);
    SysFreeString(held);

    EXPECT_EQ(tiff->put_ICCProfileFilename(nullptr), S_OK);
    EXPECT_EQ(tiff->get_ICCProfileFilename(read.put()), S_OK);
    EXPECT_EQ(read.get(), nullptr);
}

}  // namespace
}  // namespace rastelle::test
