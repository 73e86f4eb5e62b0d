// The pixel limit is a machine setting read once per process: each case runs
// this program again, as a child, after the setting is written.
#include "layers/layers_test_support.h"

#include <cstdlib>
#include <string>

namespace rastelle::test {
namespace {

constexpr wchar_t kKey[] = L"SOFTWARE\\Rastelle";
constexpr wchar_t kValue[] = L"MaxImagePixels";
constexpr char kCase[] = "RASTELLE_PIXEL_LIMIT_CASE";

// Sets the value (or removes it, for a negative one) in the 64-bit view.
void SetLimit(long long value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (value < 0) {
        RegDeleteValueW(key, kValue);
    } else {
        const DWORD dword = static_cast<DWORD>(value);
        RegSetValueExW(key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), sizeof dword);
    }
    RegCloseKey(key);
}

// Runs the child case of this program with the limit set; its exit code.
DWORD RunChild(long long limit, const char* expectation) {
    SetLimit(limit);
    SetEnvironmentVariableA(kCase, expectation);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) +
                           L"\" --gtest_also_run_disabled_tests --gtest_filter=PixelLimit.DISABLED_ChildLoads";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    DWORD code = 99;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 120000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread), CloseHandle(process.hProcess);
    }
    SetEnvironmentVariableA(kCase, nullptr);
    return code;
}

bool Refused(HRESULT hr) {
    return hr == E_FAIL && TakeThreadError().description.find(L"GDI+ status code 3") != std::wstring::npos;
}

// The child: with "low", 10 x 10 pixels load and 11 x 10 are refused, and a
// collection refuses two 8 x 8 frames together; otherwise (the default, or
// no limit) all of them load.
TEST(PixelLimit, DISABLED_ChildLoads) {
    const char* expectation = std::getenv(kCase);
    ASSERT_NE(expectation, nullptr);
    const bool low = std::string(expectation) == "low";
    EXPECT_EQ(NewRaster()->LoadStream(StreamOver(MakeBmp(10, 10, OpaqueGradient(10, 10))).get()), S_OK);
    const HRESULT wider = NewRaster()->LoadStream(StreamOver(MakeBmp(11, 10, OpaqueGradient(11, 10))).get());
    EXPECT_EQ(Refused(wider), low);
    EXPECT_EQ(wider == S_OK, !low);
    const std::vector<std::uint32_t> frame(64, 0xFF336699u);
    const std::wstring path = TempPath(L"two-frames.gif");
    ASSERT_EQ(LayersOf({RasterWith(8, 8, frame), RasterWith(8, 8, frame)})
                  ->SaveMultiframeImage(Bstr(path).get(), LongVariant(oftGIF), VARIANT_TRUE),
              S_OK);
    const HRESULT both = NewCollection()->LoadMultiframeImage(Bstr(path).get(), VARIANT_TRUE);
    EXPECT_EQ(Refused(both), low);
    EXPECT_EQ(NewRaster()->LoadFile(Bstr(path).get()), S_OK) << "one frame of 64 pixels is within any limit here";
}

TEST(PixelLimit, TheSettingLowersAndLiftsTheLimitForANewProcess) {
    struct RemoveAtEnd {
        ~RemoveAtEnd() { SetLimit(-1); }
    } removeAtEnd;
    EXPECT_EQ(RunChild(100, "low"), 0u) << "MaxImagePixels = 100";
    EXPECT_EQ(RunChild(0, "none"), 0u) << "MaxImagePixels = 0: no limit";
    EXPECT_EQ(RunChild(-1, "default"), 0u) << "no value: the default";
}

}  // namespace
}  // namespace rastelle::test
