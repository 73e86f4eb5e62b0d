// The encoder option classes: identity, defaults, the setters' rules and the
// errors they raise. (Scripts check the same rules late-bound.)
#include "test_support.h"

#include <cstring>

namespace rastelle::test {
namespace {

// The map of one class (IUnknown's identity is the shared ComObject's, proven
// in the com tests).
template <class Itf>
void ExpectOnlyItsInterfaces(REFCLSID clsid) {
    auto object = NewObject<Itf>(clsid);
    ASSERT_TRUE(object);
    EXPECT_EQ(SupportsErrorInfo(object.get(), {__uuidof(Itf), IID_IDispatch}), (std::vector<HRESULT>{S_OK, S_FALSE}));
    const auto kinds = {IID_IUnknown, IID_IDispatch, IID_IMarshal, IID_IJPEGEncoderInfo, IID_ITIFFEncoderInfo,
                        IID_IGIFEncoderInfo, IID_IBMPEncoderInfo, IID_ISWFEncoderInfo, IID_IRasterObject};
    std::vector<HRESULT> expected(3, S_OK);
    for (const IID& iid : std::vector<IID>(kinds.begin() + 3, kinds.end()))
        expected.push_back(IsEqualIID(iid, __uuidof(Itf)) ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(Answers(object.get(), kinds), expected);
}

TEST(EncoderOptions, EachClassAnswersItsInterfaceDispatchErrorInfoAndMarshalOnly) {
    ExpectOnlyItsInterfaces<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    ExpectOnlyItsInterfaces<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    ExpectOnlyItsInterfaces<IGIFEncoderInfo>(CLSID_GIFEncoderInfo);
    ExpectOnlyItsInterfaces<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    ExpectOnlyItsInterfaces<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
}

TEST(EncoderOptions, SettersClampRefuseOrStoreAsEachPropertySaysAndGettersRefuseNull) {
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    auto swf = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    for (auto [put, expected] : {std::pair{INT32_MIN, 0}, std::pair{-5, 0}, std::pair{37, 37}, std::pair{150, 100}}) {
        LONG quality = -1, swfQuality = -1;
        EXPECT_EQ(std::make_pair(jpeg->put_Quality(put), swf->put_JPEGQuality(put)), std::make_pair(S_OK, S_OK));
        jpeg->get_Quality(&quality), swf->get_JPEGQuality(&swfQuality);
        EXPECT_EQ(std::make_pair(quality, swfQuality), std::make_pair(LONG{expected}, LONG{expected})) << put;
    }

    // Refusals keep the old value; the count member of depth and space passes.
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    const char* source = "Rastelle.TIFFEncoderInfo.1";
    EXPECT_EQ(tiff->put_ColorDepth(static_cast<ColorDepths>(2)), S_OK);
    EXPECT_EQ(tiff->put_ColorSpace(static_cast<ColorSpaces>(2)), S_OK);
    ExpectError(tiff->put_CompressionType(static_cast<TIFFCompressionTypes>(2)), E_INVALIDARG,
                L"This compression type is not supported!", source, IID_ITIFFEncoderInfo);
    ExpectError(tiff->put_ColorDepth(static_cast<ColorDepths>(-1)), E_INVALIDARG, L"This color depth is not supported!",
                source, IID_ITIFFEncoderInfo);
    ExpectError(tiff->put_ColorSpace(static_cast<ColorSpaces>(3)), E_INVALIDARG, L"This color space is not supported!",
                source, IID_ITIFFEncoderInfo);
    ExpectError(swf->put_CompressionType(static_cast<SWFCompressionTypes>(2)), E_INVALIDARG,
                L"Wrong compression type! It must be either lossless (0) or JPEG (1)...", "Rastelle.SWFEncoderInfo.1",
                IID_ISWFEncoderInfo);
    TIFFCompressionTypes compression{};
    ColorDepths depth{};
    ColorSpaces space{};
    SWFCompressionTypes swfCompression{};
    tiff->get_CompressionType(&compression), tiff->get_ColorDepth(&depth), tiff->get_ColorSpace(&space);
    swf->get_CompressionType(&swfCompression);
    EXPECT_EQ(std::make_tuple(compression, int{depth}, int{space}, swfCompression),
              std::make_tuple(tctLZW, 2, 2, swfctLossless));

    // Unchecked properties keep any value, 16-bit flags unchanged.
    auto gif = NewObject<IGIFEncoderInfo>(CLSID_GIFEncoderInfo);
    auto bmp = NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    VARIANT_BOOL flag = 0;
    EXPECT_EQ(std::make_pair(gif->put_IsTransparent(7), bmp->put_ColorDepth(static_cast<ColorDepths>(-7))),
              std::make_pair(S_OK, S_OK));
    gif->get_IsTransparent(&flag), bmp->get_ColorDepth(&depth);
    EXPECT_EQ(std::make_pair(int{flag}, int{depth}), std::make_pair(7, -7));

    // Null out pointers give the class's code without an error object.
    ClearThreadError();
    EXPECT_EQ((std::vector<HRESULT>{jpeg->get_Quality(nullptr), tiff->get_CompressionType(nullptr),
                                    tiff->get_ICCProfileFilename(nullptr), tiff->get_ColorSpace(nullptr),
                                    gif->get_AntialiasingPreprocessOn(nullptr), bmp->get_ColorDepth(nullptr),
                                    swf->get_BackgroundColor(nullptr)}),
              (std::vector<HRESULT>{E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_POINTER, E_POINTER,
                                    E_POINTER}));
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
