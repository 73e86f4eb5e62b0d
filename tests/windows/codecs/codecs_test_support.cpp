#include "codecs/codecs_test_support.h"

#include "com/errors.h"
#include "platform/gdiplus.h"

#include <filesystem>

namespace rastelle::test {

void ExpectError(HRESULT hr, HRESULT expectedHr, const std::wstring& description, const std::wstring& source,
                 REFIID iid) {
    EXPECT_EQ(static_cast<unsigned long>(hr), static_cast<unsigned long>(expectedHr));
    const ThreadError error = TakeThreadError();
    ASSERT_TRUE(error.present) << "no error object";
    if (!description.empty() && description.back() == L'*')
        EXPECT_EQ(Narrow(error.description.substr(0, description.size() - 1)),
                  Narrow(description.substr(0, description.size() - 1)))
            << Narrow(error.description);
    else
        EXPECT_EQ(Narrow(error.description), Narrow(description));
    EXPECT_EQ(Narrow(error.source), Narrow(source));
    EXPECT_TRUE(IsEqualGUID(error.guid, iid));
}

std::wstring WithSupportAddress(const std::wstring& text) {
    std::wstring result = text;
    for (const char* c = com::kSupportAddress; *c; ++c) result += static_cast<wchar_t>(*c);
    return result;
}

std::vector<std::uint32_t> OpaqueGradient(int width, int height) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(0xFF000000u | static_cast<std::uint32_t>((x * 37) & 0xFF) << 16 |
                             static_cast<std::uint32_t>((y * 53) & 0xFF) << 8 |
                             static_cast<std::uint32_t>((x * y * 11) & 0xFF));
    return pixels;
}

std::wstring TempPath(const std::wstring& name) { return (std::filesystem::path(TempDir()) / name).wstring(); }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::uint8_t> BytesOf(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<std::uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    return bytes;
}

std::pair<float, float> ResolutionOf(const std::vector<std::uint8_t>& bytes) {
    StartGdiplus();
    std::pair<float, float> resolution{};
    Gdiplus::GpImage* image = nullptr;
    if (Gdiplus::DllExports::GdipLoadImageFromStream(StreamOver(bytes).get(), &image) != Gdiplus::Ok) return {};
    Gdiplus::DllExports::GdipGetImageHorizontalResolution(image, &resolution.first);
    Gdiplus::DllExports::GdipGetImageVerticalResolution(image, &resolution.second);
    Gdiplus::DllExports::GdipDisposeImage(image);
    return resolution;
}

bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void StartGdiplus() {
    static ULONG_PTR token = [] {
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
}

}  // namespace rastelle::test
