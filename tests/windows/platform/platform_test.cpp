// The platform layer: guarded bitmap creation, capability probes, file
// signatures.
#include "test_support.h"

#include "platform/bitmap_guard.h"
#include "platform/capability_probe.h"
#include "platform/file_signature.h"
#include "platform/interpolation_probe.h"
#include "image/bitmap.h"

#include <memory>

namespace rastelle::test {
namespace {

TEST(BitmapGuard, SizesOverTheLimitFailBeforeGdiplusIsCalled) {
    // 23170 x 23170 at 32 bits is 2 147 395 600 bytes.
    EXPECT_EQ((std::vector<bool>{platform::BitmapSizeAllowed(23170, 23170, 32), platform::BitmapSizeAllowed(23171, 23171, 32),
                                 platform::BitmapSizeAllowed(40000, 40000, 32),
                                 platform::BitmapSizeAllowed(0x7FFFFFFF, 0x7FFFFFFF, 8),
                                 platform::BitmapSizeAllowed(40000, 40000, 8)}),
              (std::vector<bool>{true, false, false, false, true}));

    Gdiplus::GpBitmap* bitmap = reinterpret_cast<Gdiplus::GpBitmap*>(1);
    EXPECT_EQ(platform::CreateBitmap(40000, 40000, PixelFormat32bppARGB, &bitmap), Gdiplus::OutOfMemory);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(platform::CreateBitmap(8, 8, 0x12345, &bitmap), Gdiplus::InvalidParameter)
        << "only the formats the system uses are made";
}

TEST(BitmapGuard, BitmapObjectRecordsTheCreationStatus) {
    std::unique_ptr<Bitmap> huge(Bitmap::Create(40000, 40000));
    ASSERT_TRUE(huge);
    EXPECT_EQ(std::make_pair(huge->native(), huge->lastStatus()), std::make_pair(static_cast<Gdiplus::GpBitmap*>(nullptr), Gdiplus::OutOfMemory));

    std::unique_ptr<Bitmap> small(Bitmap::Create(3, 2));
    ASSERT_TRUE(small && small->native());
    EXPECT_EQ(std::make_pair(small->width(), small->height()), std::make_pair(3, 2));
    EXPECT_EQ(FillBitmap(*small, 0x80112233), Gdiplus::Ok);
    Bitmap* copy = nullptr;
    ASSERT_EQ(CloneBitmap32(small.get(), &copy), Gdiplus::Ok);
    std::unique_ptr<Bitmap> owned(copy);
    Gdiplus::ARGB pixel = 0;
    Gdiplus::DllExports::GdipBitmapGetPixel(copy->native(), 2, 1, &pixel);
    EXPECT_EQ(pixel, 0x80112233u);
    EXPECT_EQ(std::make_pair(CloneBitmap32(nullptr, &copy), CloneBitmap32(small.get(), nullptr)),
              std::make_pair(Gdiplus::GenericError, Gdiplus::GenericError));
}

volatile LONG g_probeRuns = 0;

bool CountingProbe() {
    InterlockedIncrement(&g_probeRuns);
    Sleep(20);  // widen the window in which other threads arrive
    return true;
}

platform::CapabilityProbe g_probe("counting", &CountingProbe);

TEST(CapabilityProbe, RunsOnceAcrossThreadsAndCachesItsAnswer) {
    const auto answers = RunOnThreads(6, []() -> DWORD { return g_probe.Result() ? 1 : 0; });
    EXPECT_EQ(answers, std::vector<DWORD>(6, 1));
    EXPECT_EQ(std::make_pair(g_probe.Result(), LONG{g_probeRuns}), std::make_pair(true, 1L));
}

TEST(CapabilityProbe, AProbeThatThrowsAnswersNo) {
    static platform::CapabilityProbe throwing("throwing", []() -> bool { throw 1; });
    EXPECT_FALSE(throwing.Result());
}

TEST(PlatformProbes, InterpolationModesCollapseUnderWine) {
    // Wine draws every mode but nearest neighbour as the same bilinear image.
    EXPECT_EQ(platform::ProbeInterpolationModes(), !RunningUnderWine());
    EXPECT_EQ(platform::InterpolationModesAreDistinct(), platform::ProbeInterpolationModes());
}

TEST(FileSignature, RecognisesIconsAndCursorsOnly) {
    // An icon's first bytes with one byte changed (index, value) or cut short.
    const auto icon = MakeIcon();
    for (auto [index, value, size, expected] : {std::tuple{0, 0, 8, true}, {2, 2, 8, true} /* a cursor */,
                                                {2, 3, 8, false}, {4, 0, 8, false} /* no images */, {0, 0, 5, false}}) {
        platform::LeadingBytes lead;
        std::copy(icon.begin(), icon.begin() + 8, lead.bytes);
        lead.bytes[index] = static_cast<std::uint8_t>(value);
        lead.size = static_cast<decltype(lead.size)>(size);
        EXPECT_EQ(platform::IsIconOrCursor(lead), expected) << index << " " << value << " " << size;
    }
    const auto bmp = MakeBmp(1, 1, {0});
    EXPECT_FALSE(platform::IsIconOrCursor(platform::ReadLeadingBytes(WriteFile(L"sig.bmp", bmp).c_str())));
    EXPECT_TRUE(platform::IsIconOrCursor(platform::ReadLeadingBytes(WriteFile(L"sig.ico", icon).c_str())));
    EXPECT_EQ(platform::ReadLeadingBytes(L"Z:\\no\\such\\file").size, 0u);
}

TEST(FileSignature, PeekingAStreamLeavesItsPosition) {
    auto stream = StreamOver(MakeIcon());
    LARGE_INTEGER skip;
    skip.QuadPart = 2;
    stream->Seek(skip, STREAM_SEEK_SET, nullptr);
    const auto lead = platform::PeekLeadingBytes(stream.get());
    EXPECT_EQ(std::make_pair(lead.size, int{lead.bytes[0]}), std::make_pair(decltype(lead.size){8}, 1));
    ULARGE_INTEGER position{};
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_CUR, &position);
    EXPECT_EQ(position.QuadPart, 2u);

    // A short stream gives only what it holds.
    auto tiny = StreamOver({0, 0, 1});
    EXPECT_EQ(platform::PeekLeadingBytes(tiny.get()).size, 3u);
}

}  // namespace
}  // namespace rastelle::test
