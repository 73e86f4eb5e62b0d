// File names as callers give them, and every call that reaches a file by its
// name. Names stay wide all the way to the file system, so no code page can
// turn one character into another (a fullwidth reverse solidus into a
// folder separator), and a name that holds a NUL before its end opens
// nothing: the file APIs stop at the first NUL, so such a name would reach a
// different file from the one the caller checked ("page.asp\0.jpg" would
// write "page.asp"). It fails as the platform fails an invalid name.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace rastelle::platform {

class FileName {
public:
    // The whole BSTR, by its length; null is the empty name. The BSTR must
    // outlive the FileName.
    explicit FileName(BSTR name) noexcept;
    // A name held by the system (a profile path from a property); it must
    // outlive the FileName.
    explicit FileName(const std::wstring& name) noexcept;

    // The name for a file call, or null after setting the thread's last
    // error to ERROR_INVALID_NAME when the name holds a NUL before its end.
    // The only way to the text, so no call can skip the check.
    const wchar_t* Checked() const noexcept;

private:
    const wchar_t* text_;
    bool usable_;
};

// Each sets the thread's last error on failure, as the file APIs do.
HANDLE OpenForReading(const FileName& name) noexcept;   // INVALID_HANDLE_VALUE on failure
HANDLE CreateForWriting(const FileName& name) noexcept;  // replaces a file of that name
bool DeleteNamedFile(const FileName& name) noexcept;
std::FILE* OpenCFile(const FileName& name, const wchar_t* mode) noexcept;

// The whole file in bytes. Returns ERROR_SUCCESS or the Win32 error;
// ERROR_NOT_ENOUGH_MEMORY for a file above limit bytes or one that cannot
// be held.
DWORD ReadWholeFile(const FileName& name, std::uint64_t limit, std::vector<std::uint8_t>& bytes) noexcept;
// Writes bytes as the whole content of the file; ERROR_SUCCESS or the
// Win32 error, which is also left on the thread.
DWORD WriteWholeFile(const FileName& name, const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace rastelle::platform
