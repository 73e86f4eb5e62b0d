// Helpers of the saving and encoder tests: images made pixel by pixel, test
// doubles of an ASP Response and of encoder objects, and file inspection.
#pragma once

#include "test_support.h"

#include "platform/gdiplus.h"

#include <asptlb.h>

#include <functional>
#include <map>
#include <optional>

namespace rastelle::test {

// Opaque pixels of many colours.
std::vector<std::uint32_t> OpaqueGradient(int width, int height);

template <class Itf>
ComPtr<Itf> NewObject(REFCLSID clsid) {
    ComPtr<Itf> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Itf), object.put_void()), S_OK);
    return object;
}

// The error object a failed call left: HRESULT, text, source and GUID.
void ExpectError(HRESULT hr, HRESULT expectedHr, const std::wstring& description, const std::wstring& source,
                 REFIID iid);
// The same for a description of which only the start is fixed.
void ExpectErrorPrefix(HRESULT hr, HRESULT expectedHr, const std::wstring& prefix);

// The save's output: the error a RasterObject raised with a description that
// ends in the support address.
std::wstring WithSupportAddress(const std::wstring& text);

// True when running under Wine.
bool RunningOnWine();

// Starts GDI+ in this process for tests that call it directly.
void StartGdiplus();

// Resolution GDI+ reads from an encoded file.
struct Resolution {
    float horizontal = 0;
    float vertical = 0;
};
Resolution ResolutionOfFile(const std::wstring& path);

// Bytes of a stream from its start.
std::vector<std::uint8_t> BytesOf(IStream* stream);

// Path of a file in the test folder.
std::wstring TempPath(const std::wstring& name);
bool FileExists(const std::wstring& path);

// An ASP Response double that records every call made on it.
class RecordingResponse final : public IResponse {
public:
    static ComPtr<RecordingResponse> Create();

    std::vector<std::string> calls;  // method names in call order
    VARTYPE writtenType = VT_EMPTY;  // the variant type BinaryWrite received
    std::vector<std::uint8_t> written;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return Record("GetTypeInfoCount"); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Record("GetTypeInfo"); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return Record("GetIDsOfNames"); }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return Record("Invoke");
    }
    STDMETHODIMP get_Buffer(VARIANT_BOOL*) override { return Record("get_Buffer"); }
    STDMETHODIMP put_Buffer(VARIANT_BOOL) override { return Record("put_Buffer"); }
    STDMETHODIMP get_ContentType(BSTR*) override { return Record("get_ContentType"); }
    STDMETHODIMP put_ContentType(BSTR) override { return Record("put_ContentType"); }
    STDMETHODIMP get_Expires(VARIANT*) override { return Record("get_Expires"); }
    STDMETHODIMP put_Expires(LONG) override { return Record("put_Expires"); }
    STDMETHODIMP get_ExpiresAbsolute(VARIANT*) override { return Record("get_ExpiresAbsolute"); }
    STDMETHODIMP put_ExpiresAbsolute(DATE) override { return Record("put_ExpiresAbsolute"); }
    STDMETHODIMP get_Cookies(IRequestDictionary**) override { return Record("get_Cookies"); }
    STDMETHODIMP get_Status(BSTR*) override { return Record("get_Status"); }
    STDMETHODIMP put_Status(BSTR) override { return Record("put_Status"); }
    STDMETHODIMP Add(BSTR, BSTR) override { return Record("Add"); }
    STDMETHODIMP AddHeader(BSTR, BSTR) override { return Record("AddHeader"); }
    STDMETHODIMP AppendToLog(BSTR) override { return Record("AppendToLog"); }
    STDMETHODIMP BinaryWrite(VARIANT input) override;
    STDMETHODIMP Clear() override { return Record("Clear"); }
    STDMETHODIMP End() override { return Record("End"); }
    STDMETHODIMP Flush() override { return Record("Flush"); }
    STDMETHODIMP Redirect(BSTR) override { return Record("Redirect"); }
    STDMETHODIMP Write(VARIANT) override { return Record("Write"); }
    STDMETHODIMP WriteBlock(short) override { return Record("WriteBlock"); }
    STDMETHODIMP IsClientConnected(VARIANT_BOOL*) override { return Record("IsClientConnected"); }
    STDMETHODIMP get_CharSet(BSTR*) override { return Record("get_CharSet"); }
    STDMETHODIMP put_CharSet(BSTR) override { return Record("put_CharSet"); }
    STDMETHODIMP Pics(BSTR) override { return Record("Pics"); }
    STDMETHODIMP get_CacheControl(BSTR*) override { return Record("get_CacheControl"); }
    STDMETHODIMP put_CacheControl(BSTR) override { return Record("put_CacheControl"); }

private:
    RecordingResponse() = default;
    virtual ~RecordingResponse() = default;
    HRESULT Record(const char* name) {
        calls.emplace_back(name);
        return E_NOTIMPL;
    }
    volatile LONG refs_ = 0;
};

// An encoder object double: an IDispatch that logs every QueryInterface
// and answers the IIDs listed in answers with the object given for each
// (typically a real encoder object of the DLL, or a FailingJpegInfo).
class FakeEncoder final : public IDispatch {
public:
    static ComPtr<FakeEncoder> Create();

    std::vector<IID> queried;
    std::vector<std::pair<IID, ComPtr<IUnknown>>> answers;
    HRESULT refusal = E_NOINTERFACE;  // the result of every query it refuses

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

private:
    FakeEncoder() = default;
    virtual ~FakeEncoder() = default;
    volatile LONG refs_ = 0;
};

// A JPEG encoder interface whose Quality cannot be read.
class FailingJpegInfo final : public IJPEGEncoderInfo {
public:
    static ComPtr<IUnknown> Create(HRESULT failure);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Quality(LONG*) override { return failure_; }
    STDMETHODIMP put_Quality(LONG) override { return S_OK; }

private:
    explicit FailingJpegInfo(HRESULT failure) : failure_(failure) {}
    virtual ~FailingJpegInfo() = default;
    HRESULT failure_;
    volatile LONG refs_ = 0;
};

}  // namespace rastelle::test
