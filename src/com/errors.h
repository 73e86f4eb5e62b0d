// Error reporting: COM error objects with the system's messages and the
// internal exception that method bodies throw so that
// the COM boundary can turn it into an error object and an HRESULT.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <string_view>

namespace rastelle::com {

// The maker's support address, quoted in messages that ask the user to get in
// touch. Set at build time.
extern const char kSupportAddress[];
// text followed by the support address.
std::wstring WithSupportAddress(std::wstring_view text);

// The system's own HRESULTs.
inline constexpr HRESULT kErrGdiplusStartup = static_cast<HRESULT>(0xE0000201);
inline constexpr HRESULT kErrSaveFile = static_cast<HRESULT>(0xE0000202);
inline constexpr HRESULT kErrSaveStream = static_cast<HRESULT>(0xE0000204);
inline constexpr HRESULT kErrInvalidCall = static_cast<HRESULT>(0xE0000205);
inline constexpr HRESULT kErrArrayToBitmap = static_cast<HRESULT>(0xE0000206);
inline constexpr HRESULT kErrBitmapToArray = static_cast<HRESULT>(0xE0000207);
inline constexpr HRESULT kErrPointArray = static_cast<HRESULT>(0xE000020A);
inline constexpr HRESULT kErrCollectionIndex = static_cast<HRESULT>(0xA0000038);
inline constexpr HRESULT kErrCollectionName = static_cast<HRESULT>(0xA0000039);
inline constexpr HRESULT kErrCollectionEmptyIndex = static_cast<HRESULT>(0xA0000066);

// Places an error object on the calling thread (GUID iid, source the ProgID
// registered for clsid, the given description) and returns hr, or
// DISP_E_EXCEPTION when hr is 0.
HRESULT RaiseComError(REFCLSID clsid, const wchar_t* description, REFIID iid, HRESULT hr);
// The same with an 8-bit description in the ANSI code page.
HRESULT RaiseComErrorA(REFCLSID clsid, const char* description, REFIID iid, HRESULT hr);

// An 8-bit text in the ANSI code page as UTF-16 (empty for null).
std::wstring Widen(const char* text);
// UTF-16 text in the ANSI code page (for APIs that take 8-bit names).
std::string ToAnsi(std::wstring_view text);

// Places the collection's fixed error object (GUID iid, no source).
HRESULT RaiseCollectionError(REFIID iid);

// Thrown inside method bodies and turned into the COM result at the boundary.
// With raise set, an error object with the message is placed; without, the
// bare HRESULT is returned.
struct ComError {
    HRESULT hr;
    std::wstring message;
    bool raise;
};

[[noreturn]] void ThrowError(HRESULT hr, std::wstring message);
// A failure that is reported by its HRESULT alone (null out-pointers,
// failures passed through from a callee that placed its own error object).
[[noreturn]] void ThrowSilent(HRESULT hr);

// Identifies a class for its error objects.
struct ErrorOrigin {
    const CLSID& clsid;
    const IID& iid;
};

// Runs body and turns any C++ exception into an HRESULT (E_OUTOFMEMORY for
// std::bad_alloc, `otherwise` for anything else), for code under exports and
// interfaces that must not let one escape.
template <class Body>
HRESULT NoThrow(Body&& body, HRESULT otherwise = E_UNEXPECTED) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return otherwise;
    }
}

// Runs a method body and maps everything it throws to an HRESULT, so that no
// C++ exception crosses a COM boundary.
template <class Body>
HRESULT Boundary(const ErrorOrigin& origin, Body&& body) noexcept {
    try {
        return body();
    } catch (const ComError& e) {
        if (!e.raise) return e.hr;
        return RaiseComError(origin.clsid, e.message.c_str(), origin.iid, e.hr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace rastelle::com
