// The encoder option classes: identity, defaults, the setters' rules and the
// errors they raise.
#include "codecs/codecs_test_support.h"

#include <cstdint>
#include <cstring>

namespace rastelle::test {
namespace {

template <class Itf>
void ExpectInterfaceMap(REFCLSID clsid) {
    auto object = NewObject<Itf>(clsid);
    ASSERT_TRUE(object);
    ComPtr<IUnknown> unknown1, unknown2;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, unknown1.put_void()), S_OK);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(object.get()));
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, unknown2.put_void()), S_OK);
    EXPECT_EQ(unknown1.get(), unknown2.get());

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(object.As(support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(Itf)), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IRasterObject), S_FALSE);
    ComPtr<IMarshal> marshal;
    EXPECT_EQ(object.As(marshal), S_OK);

    // No other encoder interface, and no raster interface.
    ComPtr<IUnknown> other;
    for (const IID* iid : {&IID_IJPEGEncoderInfo, &IID_ITIFFEncoderInfo, &IID_IGIFEncoderInfo, &IID_IBMPEncoderInfo,
                           &IID_ISWFEncoderInfo, &IID_IRasterObject}) {
        if (IsEqualIID(*iid, __uuidof(Itf))) continue;
        EXPECT_EQ(object->QueryInterface(*iid, other.put_void()), E_NOINTERFACE);
    }
}

TEST(EncoderOptions, EachClassAnswersItsOwnInterfaceDispatchErrorInfoAndMarshal) {
    ExpectInterfaceMap<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    ExpectInterfaceMap<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    ExpectInterfaceMap<IGIFEncoderInfo>(CLSID_GIFEncoderInfo);
    ExpectInterfaceMap<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    ExpectInterfaceMap<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
}

TEST(EncoderOptions, NewObjectsHoldTheDefaults) {
    LONG number = 0;
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    EXPECT_EQ(jpeg->get_Quality(&number), S_OK);
    EXPECT_EQ(number, 75);

    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    TIFFCompressionTypes compression{};
    ColorDepths depth{};
    ColorSpaces space{};
    EXPECT_EQ(tiff->get_CompressionType(&compression), S_OK);
    EXPECT_EQ(compression, tctLZW);
    EXPECT_EQ(tiff->get_ColorDepth(&depth), S_OK);
    EXPECT_EQ(depth, cd32bpp);
    EXPECT_EQ(tiff->get_ColorSpace(&space), S_OK);
    EXPECT_EQ(space, csRGB);
    com::UniqueBstr profile;
    EXPECT_EQ(tiff->get_ICCProfileFilename(profile.put()), S_OK);
    ASSERT_TRUE(profile.get()) << "an allocated empty string, not null";
    EXPECT_EQ(SysStringLen(profile.get()), 0u);

    auto gif = NewObject<IGIFEncoderInfo>(CLSID_GIFEncoderInfo);
    PaletteTypes palette = ptHalftone;
    VARIANT_BOOL flag = -1;
    EXPECT_EQ(gif->get_PaletteType(&palette), S_OK);
    EXPECT_EQ(palette, ptOctree);
    EXPECT_EQ(gif->get_IsTransparent(&flag), S_OK);
    EXPECT_EQ(flag, 0);
    flag = -1;
    EXPECT_EQ(gif->get_AntialiasingPreprocessOn(&flag), S_OK);
    EXPECT_EQ(flag, 0);

    auto bmp = NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    EXPECT_EQ(bmp->get_ColorDepth(&depth), S_OK);
    EXPECT_EQ(depth, cd32bpp);

    auto swf = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    SWFCompressionTypes swfCompression = swfctJPEG;
    EXPECT_EQ(swf->get_CompressionType(&swfCompression), S_OK);
    EXPECT_EQ(swfCompression, swfctLossless);
    EXPECT_EQ(swf->get_BackgroundColor(&number), S_OK);
    EXPECT_EQ(number, -1);
    EXPECT_EQ(swf->get_JPEGQuality(&number), S_OK);
    EXPECT_EQ(number, 75);
}

TEST(EncoderOptions, QualitiesAreClampedWithoutError) {
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    auto swf = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    for (auto [put, expected] : {std::pair{150, 100}, std::pair{-5, 0}, std::pair{100, 100}, std::pair{0, 0},
                                 std::pair{37, 37}, std::pair{INT32_MIN, 0}, std::pair{INT32_MAX, 100}}) {
        LONG read = -1;
        EXPECT_EQ(jpeg->put_Quality(put), S_OK);
        jpeg->get_Quality(&read);
        EXPECT_EQ(read, expected) << put;
        EXPECT_EQ(swf->put_JPEGQuality(put), S_OK);
        swf->get_JPEGQuality(&read);
        EXPECT_EQ(read, expected) << put;
    }
}

TEST(EncoderOptions, TiffSettersRefuseValuesOutsideTheirRangeAndKeepTheOldOne) {
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    const std::wstring source = L"Rastelle.TIFFEncoderInfo.1";

    EXPECT_EQ(tiff->put_CompressionType(tctNone), S_OK);
    for (int bad : {2, -1, 100}) {
        ExpectError(tiff->put_CompressionType(static_cast<TIFFCompressionTypes>(bad)), E_INVALIDARG,
                    L"This compression type is not supported!", source, IID_ITIFFEncoderInfo);
    }
    TIFFCompressionTypes compression{};
    tiff->get_CompressionType(&compression);
    EXPECT_EQ(compression, tctNone);

    // The count member is accepted for the colour depth and space.
    EXPECT_EQ(tiff->put_ColorDepth(static_cast<ColorDepths>(2)), S_OK);
    for (int bad : {3, -1}) {
        ExpectError(tiff->put_ColorDepth(static_cast<ColorDepths>(bad)), E_INVALIDARG,
                    L"This color depth is not supported!", source, IID_ITIFFEncoderInfo);
    }
    ColorDepths depth{};
    tiff->get_ColorDepth(&depth);
    EXPECT_EQ(depth, 2);

    EXPECT_EQ(tiff->put_ColorSpace(static_cast<ColorSpaces>(2)), S_OK);
    EXPECT_EQ(tiff->put_ColorSpace(csCMYK), S_OK);
    for (int bad : {3, -1}) {
        ExpectError(tiff->put_ColorSpace(static_cast<ColorSpaces>(bad)), E_INVALIDARG,
                    L"This color space is not supported!", source, IID_ITIFFEncoderInfo);
    }
    ColorSpaces space{};
    tiff->get_ColorSpace(&space);
    EXPECT_EQ(space, csCMYK);
}

TEST(EncoderOptions, SwfCompressionAcceptsOnlyLosslessAndJpeg) {
    auto swf = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    EXPECT_EQ(swf->put_CompressionType(swfctJPEG), S_OK);
    for (int bad : {2, -1}) {
        ExpectError(swf->put_CompressionType(static_cast<SWFCompressionTypes>(bad)), E_INVALIDARG,
                    L"Wrong compression type! It must be either lossless (0) or JPEG (1)...",
                    L"Rastelle.SWFEncoderInfo.1", IID_ISWFEncoderInfo);
    }
    SWFCompressionTypes compression{};
    swf->get_CompressionType(&compression);
    EXPECT_EQ(compression, swfctJPEG);
}

TEST(EncoderOptions, UncheckedPropertiesStoreAnyValue) {
    auto bmp = NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    auto gif = NewObject<IGIFEncoderInfo>(CLSID_GIFEncoderInfo);
    auto swf = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    ClearThreadError();
    EXPECT_EQ(bmp->put_ColorDepth(static_cast<ColorDepths>(-7)), S_OK);
    EXPECT_EQ(gif->put_PaletteType(static_cast<PaletteTypes>(5)), S_OK);
    EXPECT_EQ(gif->put_IsTransparent(static_cast<VARIANT_BOOL>(7)), S_OK);
    EXPECT_EQ(gif->put_AntialiasingPreprocessOn(static_cast<VARIANT_BOOL>(-2)), S_OK);
    EXPECT_EQ(swf->put_BackgroundColor(0x12345678), S_OK);
    EXPECT_FALSE(TakeThreadError().present);

    ColorDepths depth{};
    PaletteTypes palette{};
    VARIANT_BOOL flag = 0;
    LONG colour = 0;
    bmp->get_ColorDepth(&depth);
    EXPECT_EQ(depth, -7);
    gif->get_PaletteType(&palette);
    EXPECT_EQ(palette, 5);
    gif->get_IsTransparent(&flag);
    EXPECT_EQ(flag, 7) << "the 16-bit value is stored unchanged";
    gif->get_AntialiasingPreprocessOn(&flag);
    EXPECT_EQ(flag, -2);
    swf->get_BackgroundColor(&colour);
    EXPECT_EQ(colour, 0x12345678);
}

TEST(EncoderOptions, NullOutPointersGiveTheClassCodeWithoutErrorObject) {
    auto jpeg = NewObject<IJPEGEncoderInfo>(CLSID_JPEGEncoderInfo);
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    auto gif = NewObject<IGIFEncoderInfo>(CLSID_GIFEncoderInfo);
    auto bmp = NewObject<IBMPEncoderInfo>(CLSID_BMPEncoderInfo);
    auto swf = NewObject<ISWFEncoderInfo>(CLSID_SWFEncoderInfo);
    ClearThreadError();
    EXPECT_EQ(jpeg->get_Quality(nullptr), E_INVALIDARG);
    EXPECT_EQ(tiff->get_CompressionType(nullptr), E_INVALIDARG);
    EXPECT_EQ(tiff->get_ColorDepth(nullptr), E_INVALIDARG);
    EXPECT_EQ(tiff->get_ICCProfileFilename(nullptr), E_INVALIDARG);
    EXPECT_EQ(tiff->get_ColorSpace(nullptr), E_INVALIDARG);
    EXPECT_EQ(gif->get_PaletteType(nullptr), E_POINTER);
    EXPECT_EQ(gif->get_IsTransparent(nullptr), E_POINTER);
    EXPECT_EQ(gif->get_AntialiasingPreprocessOn(nullptr), E_POINTER);
    EXPECT_EQ(bmp->get_ColorDepth(nullptr), E_POINTER);
    EXPECT_EQ(swf->get_CompressionType(nullptr), E_POINTER);
    EXPECT_EQ(swf->get_BackgroundColor(nullptr), E_POINTER);
    EXPECT_EQ(swf->get_JPEGQuality(nullptr), E_POINTER);
    EXPECT_FALSE(TakeThreadError().present);
}

TEST(EncoderOptions, IccProfileNameIsCopiedByteForByteAndMayBeNull) {
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    // A string with an odd byte length and an embedded zero survives intact.
    com::UniqueBstr odd(SysAllocStringByteLen("C:\\p\0f.icc", 11));
    EXPECT_EQ(tiff->put_ICCProfileFilename(odd.get()), S_OK);
    com::UniqueBstr read;
    EXPECT_EQ(tiff->get_ICCProfileFilename(read.put()), S_OK);
    ASSERT_TRUE(read.get());
    EXPECT_NE(read.get(), odd.get()) << "a copy, not the caller's string";
    ASSERT_EQ(SysStringByteLen(read.get()), 11u);
    EXPECT_EQ(std::memcmp(read.get(), odd.get(), 11), 0);

    // The getter frees what the out pointer held before.
    BSTR held = SysAllocString(L"stale");
    EXPECT_EQ(tiff->get_ICCProfileFilename(&held), S_OK);
    EXPECT_EQ(SysStringByteLen(held), 11u);
    SysFreeString(held);

    EXPECT_EQ(tiff->put_ICCProfileFilename(nullptr), S_OK);
    EXPECT_EQ(tiff->get_ICCProfileFilename(read.put()), S_OK);
    EXPECT_EQ(read.get(), nullptr);
}

}  // namespace
}  // namespace rastelle::test
