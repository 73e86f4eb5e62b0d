// The texts of GDI+ failures and the error they raise.
#pragma once

#include "platform/gdiplus.h"

#include <oleauto.h>

#include <string>

namespace rastelle::platform {

// The 8-bit text describing a GDI+ status.
const char* GdiplusStatusText(Status status);

// Describes a failed GDI+ call: the Windows form when win32Error is not 0,
// the GDI+ form otherwise. The caller owns the returned BSTR (null when out of
// memory).
BSTR FormatFailureMessage(Status status, const char* objectName, const char* methodName, DWORD win32Error);
// The same as a std::wstring, for callers that build on it.
std::wstring FailureMessage(Status status, const char* objectName, const char* methodName, DWORD win32Error);

// Throws the failure as a ComError with the message of FailureMessage.
[[noreturn]] void ThrowGdiplusFailure(Status status, const char* objectName, const char* methodName,
                                      DWORD win32Error, HRESULT hr = E_FAIL);

}  // namespace rastelle::platform
