#include "codecs/codecs_test_support.h"

#include "codecs/save_image.h"
#include "com/errors.h"

#include <filesystem>

namespace rastelle::test {

std::vector<std::uint32_t> OpaqueGradient(int width, int height) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(0xFF000000u | static_cast<std::uint32_t>((x * 37) & 0xFF) << 16 |
                             static_cast<std::uint32_t>((y * 53) & 0xFF) << 8 |
                             static_cast<std::uint32_t>((x * y * 11) & 0xFF));
    return pixels;
}

void ExpectError(HRESULT hr, HRESULT expectedHr, const std::wstring& description, const std::wstring& source,
                 REFIID iid) {
    EXPECT_EQ(static_cast<unsigned long>(hr), static_cast<unsigned long>(expectedHr));
    const ThreadError error = TakeThreadError();
    ASSERT_TRUE(error.present) << "no error object";
    EXPECT_EQ(Narrow(error.description), Narrow(description));
    EXPECT_EQ(Narrow(error.source), Narrow(source));
    EXPECT_TRUE(IsEqualGUID(error.guid, iid));
}

void ExpectErrorPrefix(HRESULT hr, HRESULT expectedHr, const std::wstring& prefix) {
    EXPECT_EQ(static_cast<unsigned long>(hr), static_cast<unsigned long>(expectedHr));
    const ThreadError error = TakeThreadError();
    ASSERT_TRUE(error.present) << "no error object";
    EXPECT_EQ(Narrow(error.description.substr(0, prefix.size())), Narrow(prefix))
        << "whole text: " << Narrow(error.description);
    EXPECT_EQ(Narrow(error.source), "Rastelle.RasterObject.1");
}

std::wstring WithSupportAddress(const std::wstring& text) {
    std::wstring result = text;
    for (const char* c = com::kSupportAddress; *c; ++c) result += static_cast<wchar_t>(*c);
    return result;
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

Resolution ResolutionOfFile(const std::wstring& path) {
    StartGdiplus();
    Resolution resolution;
    Gdiplus::GpImage* image = nullptr;
    if (Gdiplus::DllExports::GdipLoadImageFromFile(path.c_str(), &image) != Gdiplus::Ok) return resolution;
    Gdiplus::DllExports::GdipGetImageHorizontalResolution(image, &resolution.horizontal);
    Gdiplus::DllExports::GdipGetImageVerticalResolution(image, &resolution.vertical);
    Gdiplus::DllExports::GdipDisposeImage(image);
    return resolution;
}

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

std::wstring TempPath(const std::wstring& name) { return (std::filesystem::path(TempDir()) / name).wstring(); }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// --- RecordingResponse ------------------------------------------------------

ComPtr<RecordingResponse> RecordingResponse::Create() { return ComPtr<RecordingResponse>(new RecordingResponse); }

STDMETHODIMP RecordingResponse::QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, codecs::kIID_IResponse)) {
        *out = static_cast<IResponse*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) RecordingResponse::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP RecordingResponse::BinaryWrite(VARIANT input) {
    calls.emplace_back("BinaryWrite");
    writtenType = input.vt;
    if ((input.vt & VT_ARRAY) && input.parray && SafeArrayGetDim(input.parray) == 1) {
        LONG lower = 0;
        LONG upper = -1;
        SafeArrayGetLBound(input.parray, 1, &lower);
        SafeArrayGetUBound(input.parray, 1, &upper);
        com::SafeArrayDataLock data(input.parray);
        if (data.data()) {
            const auto* bytes = static_cast<const std::uint8_t*>(data.data());
            written.assign(bytes, bytes + (upper - lower + 1));
        }
    }
    return S_OK;
}

// --- FakeEncoder ------------------------------------------------------------

ComPtr<FakeEncoder> FakeEncoder::Create() { return ComPtr<FakeEncoder>(new FakeEncoder); }

STDMETHODIMP FakeEncoder::QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    queried.push_back(iid);
    for (auto& [answered, object] : answers) {
        if (IsEqualIID(iid, answered)) return object->QueryInterface(iid, out);
    }
    return refusal;
}

STDMETHODIMP_(ULONG) FakeEncoder::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

// --- FailingJpegInfo --------------------------------------------------------

ComPtr<IUnknown> FailingJpegInfo::Create(HRESULT failure) {
    return ComPtr<IUnknown>(static_cast<IJPEGEncoderInfo*>(new FailingJpegInfo(failure)));
}

STDMETHODIMP FailingJpegInfo::QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IJPEGEncoderInfo)) {
        *out = static_cast<IJPEGEncoderInfo*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FailingJpegInfo::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

}  // namespace rastelle::test
