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
    EXPECT_TRUE(PixelsOf(LoadedFile(WriteFile(L"profiled.jpg", jpeg.file), oftJPEG).get()) == jpeg.converted);
    EXPECT_TRUE(PixelsOf(LoadedStream(jpeg.file, oftJPEG).get()) == jpeg.converted);
}

}  // namespace
}  // namespace rastelle::test
