// A JPEG with an embedded ICC profile loads converted to sRGB exactly as
// Little CMS converts djpeg's pixels, from a file and from a stream.
#include "test_support.h"

#include "icc_jpeg.h"

namespace rastelle::test {
namespace {

TEST(JpegDecoding, AnEmbeddedProfileIsAppliedAsLittleCmsAppliesIt) {
    const ProfiledJpeg jpeg = MakeProfiledJpeg(48, 32);
    ASSERT_FALSE(jpeg.file.empty());
    ASSERT_NE(jpeg.converted, jpeg.decoded) << "the profile must change the pixels for the test to mean anything";
    auto fromFile = NewRaster(), fromStream = NewRaster();
    ASSERT_EQ(fromFile->LoadFile(Bstr(WriteFile(L"profiled.jpg", jpeg.file)).get()), S_OK);
    ASSERT_EQ(fromStream->LoadStream(StreamOver(jpeg.file).get()), S_OK);
    EXPECT_TRUE(PixelsOf(fromFile.get()) == jpeg.converted);
    EXPECT_TRUE(PixelsOf(fromStream.get()) == jpeg.converted);
}

}  // namespace
}  // namespace rastelle::test
