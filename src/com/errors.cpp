#include "com/errors.h"

#include "com/automation.h"
#include "com/com_ptr.h"
#include "module/string_heap.h"

#include <cstdarg>

#ifndef RASTELLE_SUPPORT_ADDRESS
#define RASTELLE_SUPPORT_ADDRESS "support@rastelle.invalid"
#endif

namespace rastelle::com {

const char kSupportAddress[] = RASTELLE_SUPPORT_ADDRESS;

namespace {

std::wstring Widen(const char* text) {
    if (!text || !*text) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring wide(static_cast<size_t>(n - 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    return wide;
}

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

const char* GdiplusStatusText(Status status) {
    static const char* const kTexts[] = {
        "Success! Gdi+ status is Ok. GDI+ status code 0",
        "Some unspecified GDI+ error. GDI+ status code 1",
        "Invalid parameter. GDI+ status code 2",
        "Out of memory or GDI+ constructor error. GDI+ status code 3",
        "Some GDI+ object you want to process is used in another thread. GDI+ status code 4",
        "Buffer is too short to hold the data. GDI+ status code 5",
        "The method is not implemented in GDI+. GDI+ status code 6",
        "Some Win32 API error is occured. GDI+ status code 7",
        "GDI+ object is in an invalid state. GDI+ status code 8",
        "Method is aborted. GDI+ status code 9",
        "Specified file not found. GDI+ status code 10",
        "Numeric overflow during some arithmetic operations made by GDI+ method. GDI+ status code 11",
        "Access denied. GDI+ status code 12",
        "Required image format is not supported. GDI+ status code 13",
        "Specified font family is not installed on your computer. GDI+ status code 14",
        "Specified font style is not available for the specified font family. GDI+ status code 15",
        "Specified font is not TrueType font thus it cannot be used with GDI+. GDI+ status code 16",
        "GDI+ version you use is incompatible with the version with which our software was compiled. GDI+ "
        "status code 17",
        "GDI+ is not initialized. GDI+ status code 18",
        "Specified property does not exist in the image. GDI+ status code 19",
        "Specified property is not supported by the format of the image. GDI+ status code 20",
    };
    const auto index = static_cast<unsigned>(status);
    if (index < sizeof(kTexts) / sizeof(kTexts[0])) return kTexts[index];
    return "GDI+ error which is not provided during coding this software.";
}

std::wstring FailureMessage(Status status, const char* objectName, const char* methodName, DWORD win32Error) {
    std::wstring text;
    if (win32Error != 0) {
        text += L"Windows error in ";
        text += Widen(objectName);
        text += L".";
        text += Widen(methodName);
        text += L": ";
        LPWSTR system = nullptr;
        const DWORD n = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
            win32Error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&system), 0, nullptr);
        if (n != 0 && system) text.append(system, n);
        if (system) LocalFree(system);
        return text;
    }
    text += L"GDI+ error occured in ";
    text += Widen(methodName);
    text += L" method of the ";
    text += Widen(objectName);
    text += L" object. If you get this error, please contact ";
    text += Widen(kSupportAddress);
    text += L". Error message: ";
    text += Widen(GdiplusStatusText(status));
    return text;
}

BSTR FormatFailureMessage(Status status, const char* objectName, const char* methodName, DWORD win32Error) {
    try {
        const std::wstring text = FailureMessage(status, objectName, methodName, win32Error);
        return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HRESULT RaiseCollectionError(REFIID iid, ...) {
    constexpr size_t kBufferSize = 64 * 1024;
    char* buffer = static_cast<char*>(module::StringHeapAlloc(kBufferSize));
    if (!buffer) return E_OUTOFMEMORY;
    va_list args;
    va_start(args, iid);
    wvsprintfA(buffer, "Error in the collection occured (it is possible wrong index)", args);
    va_end(args);
    std::wstring text;
    try {
        text = Widen(buffer);
    } catch (const std::bad_alloc&) {
    }
    module::StringHeapFree(buffer);
    PlaceErrorObject([&](ICreateErrorInfo* create) {
        create->SetGUID(iid);
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
    });
    return S_OK;
}

void ThrowError(HRESULT hr, std::wstring message) { throw ComError{hr, std::move(message), true}; }

void ThrowSilent(HRESULT hr) { throw ComError{hr, {}, false}; }

void ThrowGdiplusFailure(Status status, const char* objectName, const char* methodName, DWORD win32Error,
                         HRESULT hr) {
    ThrowError(hr, FailureMessage(status, objectName, methodName, win32Error));
}

}  // namespace rastelle::com
