// Loads under hostile conditions: failure texts that name the real cause,
// and the largest image this process can hold.
#include "test_support.h"

#include <cstdio>

namespace rastelle::test {
namespace {

std::string SystemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const std::string result = Narrow(text ? text : L"");
    LocalFree(text);
    return result;
}

// The description of the error a failed call left.
std::string ErrorText(HRESULT hr) {
    EXPECT_TRUE(FAILED(hr));
    return Narrow(TakeThreadError().description);
}

TEST(FailureTexts, DamagedFilesReportNoCodeLeftByEarlierCalls) {
    // An earlier call left "The system cannot find the drive specified." on
    // the thread: a load that fails on its own must not report it. Files of
    // every format cut short, an empty one and one of noise.
    std::vector<std::vector<std::uint8_t>> damaged = {{}, std::vector<std::uint8_t>(300, 0x5A)};
    for (const wchar_t* type : {L"image/png", L"image/jpeg", L"image/gif", L"image/tiff", L"image/bmp"}) {
        std::vector<std::uint8_t> bytes = EncodeWithGdiplus(16, 16, OpaqueGradient(16, 16), type);
        for (size_t size : {bytes.size() / 2, size_t{12}}) damaged.emplace_back(bytes.begin(), bytes.begin() + size);
    }
    const std::string stale = SystemText(ERROR_INVALID_DRIVE);
    for (size_t i = 0; i < damaged.size(); ++i) {
        auto raster = NewRaster();
        SetLastError(ERROR_INVALID_DRIVE);
        const std::string fromFile =
            ErrorText(raster->LoadFile(Bstr(WriteFile(L"damaged" + std::to_wstring(i), damaged[i])).get()));
        SetLastError(ERROR_INVALID_DRIVE);
        const std::string fromStream = ErrorText(raster->LoadStream(StreamOver(damaged[i]).get()));
        EXPECT_EQ((fromFile + fromStream).find(stale), std::string::npos) << i << ": " << fromFile << " / " << fromStream;
    }
}

// A measurement, not a check (run with --gtest_also_run_disabled_tests):
// the largest square image EmptyImage accepts in this process, found by
// bisection on the side.
TEST(ResourceLimits, DISABLED_LargestSquareImage) {
    auto raster = NewRaster();
    LONG accepted = 1, refused = 46341;  // 46341^2 * 4 bytes is over the limit
    while (refused - accepted > 1) {
        const LONG side = accepted + (refused - accepted) / 2;
        const bool ok = SUCCEEDED(raster->EmptyImage(side, side, 0));
        TakeThreadError();
        (ok ? accepted : refused) = side;
        raster->EmptyImage(1, 1, 0);  // let the big one go before the next try
    }
    std::printf("largest square image: %ld x %ld (%.0f MB)\n", static_cast<long>(accepted), static_cast<long>(accepted),
                4.0 * accepted * accepted / 1048576.0);
}

}  // namespace
}  // namespace rastelle::test
