#include "com/errors.h"

#include "com/automation.h"
#include "com/com_ptr.h"


#ifndef RASTELLE_SUPPORT_ADDRESS
#define RASTELLE_SUPPORT_ADDRESS "support@rastelle.invalid"
#endif

namespace rastelle::com {

const char kSupportAddress[] = RASTELLE_SUPPORT_ADDRESS;

std::wstring WithSupportAddress(std::wstring_view text) {
    std::wstring message(text);
    // The address is ASCII.
    for (const char* c = kSupportAddress; *c; ++c) message += static_cast<wchar_t>(*c);
    return message;
}

std::wstring Widen(const char* text) {
    if (!text || !*text) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring wide(static_cast<size_t>(n - 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    return wide;
}

std::string ToAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), size, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

namespace {

// Installs an error object built by fill on the calling thread.
template <class Fill>
void PlaceErrorObject(Fill&& fill) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return;
    fill(create.get());
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(info))) SetErrorInfo(0, info.get());
}

}  // namespace

HRESULT RaiseComError(REFCLSID clsid, const wchar_t* description, REFIID iid, HRESULT hr) {
    PlaceErrorObject([&](ICreateErrorInfo* create) {
        create->SetGUID(iid);
        LPOLESTR progId = nullptr;
        if (SUCCEEDED(ProgIDFromCLSID(clsid, &progId)) && progId) {
            create->SetSource(progId);
            CoTaskMemFree(progId);
        }
        create->SetDescription(const_cast<LPOLESTR>(description ? description : L""));
    });
    return hr == 0 ? DISP_E_EXCEPTION : hr;
}

HRESULT RaiseComErrorA(REFCLSID clsid, const char* description, REFIID iid, HRESULT hr) {
    return RaiseComError(clsid, Widen(description).c_str(), iid, hr);
}

HRESULT RaiseCollectionError(REFIID iid) {
    PlaceErrorObject([&](ICreateErrorInfo* create) {
        create->SetGUID(iid);
        create->SetDescription(const_cast<LPOLESTR>(L"Error in the collection occured (it is possible wrong index)"));
    });
    return S_OK;
}

void ThrowError(HRESULT hr, std::wstring message) { throw ComError{hr, std::move(message), true}; }

void ThrowSilent(HRESULT hr) { throw ComError{hr, {}, false}; }

}  // namespace rastelle::com
