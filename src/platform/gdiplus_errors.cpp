#include "platform/gdiplus_errors.h"

#include "com/errors.h"

namespace rastelle::platform {

using com::Widen;

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
    text += com::WithSupportAddress(L" object. If you get this error, please contact ");
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

void ThrowGdiplusFailure(Status status, const char* objectName, const char* methodName, DWORD win32Error,
                         HRESULT hr) {
    com::ThrowError(hr, FailureMessage(status, objectName, methodName, win32Error));
}

}  // namespace rastelle::platform
