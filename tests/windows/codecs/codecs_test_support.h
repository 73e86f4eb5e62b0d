// Helpers of the saving tests: error checks for any class, files and streams.
#pragma once

#include "test_support.h"

namespace rastelle::test {

template <class Itf>
ComPtr<Itf> NewObject(REFCLSID clsid) {
    ComPtr<Itf> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Itf), object.put_void()), S_OK);
    return object;
}

template <class Itf>
ComPtr<IDispatch> AsDispatch(const ComPtr<Itf>& object) {
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(object.As(dispatch), S_OK);
    return dispatch;
}

// The HRESULT and error object of a failed call of any class; a description
// ending in "*" is compared as a prefix.
void ExpectError(HRESULT hr, HRESULT expectedHr, const std::wstring& description,
                 const std::wstring& source = L"Rastelle.RasterObject.1", REFIID iid = IID_IRasterObject);
std::wstring WithSupportAddress(const std::wstring& text);

std::vector<std::uint32_t> OpaqueGradient(int width, int height);
std::wstring TempPath(const std::wstring& name);
bool FileExists(const std::wstring& path);
std::vector<std::uint8_t> BytesOf(IStream* stream);
// Resolution GDI+ reads from encoded bytes.
std::pair<float, float> ResolutionOf(const std::vector<std::uint8_t>& bytes);
bool RunningOnWine();
void StartGdiplus();

}  // namespace rastelle::test
