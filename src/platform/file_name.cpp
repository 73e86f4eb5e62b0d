#include "platform/file_name.h"

#include <algorithm>
#include <cwchar>
#include <limits>
#include <utility>

namespace rastelle::platform {

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) noexcept : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (open()) CloseHandle(handle_);
    }
    bool open() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

// Leaves error on the thread and returns it.
DWORD Fail(DWORD error) noexcept {
    SetLastError(error);
    return error;
}

}  // namespace

FileName::FileName(BSTR name) noexcept
    : text_(name ? name : L""), usable_(!name || std::wcslen(name) == SysStringLen(name)) {}

FileName::FileName(const std::wstring& name) noexcept
    : text_(name.c_str()), usable_(name.find(L'\0') == std::wstring::npos) {}

const wchar_t* FileName::Checked() const noexcept {
    if (usable_) return text_;
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
}

HANDLE OpenForReading(const FileName& name) noexcept {
    const wchar_t* path = name.Checked();
    if (!path) return INVALID_HANDLE_VALUE;
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE CreateForWriting(const FileName& name) noexcept {
    const wchar_t* path = name.Checked();
    if (!path) return INVALID_HANDLE_VALUE;
    return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool DeleteNamedFile(const FileName& name) noexcept {
    const wchar_t* path = name.Checked();
    return path && DeleteFileW(path);
}

std::FILE* OpenCFile(const FileName& name, const wchar_t* mode) noexcept {
    const wchar_t* path = name.Checked();
    return path ? _wfopen(path, mode) : nullptr;
}

DWORD ReadWholeFile(const FileName& name, std::uint64_t limit, std::vector<std::uint8_t>& bytes) noexcept {
    bytes.clear();
    const FileHandle file(OpenForReading(name));
    if (!file.open()) return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return GetLastError();
    if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > limit ||
        static_cast<std::uint64_t>(size.QuadPart) > std::numeric_limits<std::size_t>::max())
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    try {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (...) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    // Read in pieces a DWORD can count; a file that shrank meanwhile ends
    // where its data ends.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, want, &read, nullptr)) {
            const DWORD error = GetLastError();
            bytes.clear();
            return Fail(error);
        }
        if (read == 0) break;
        done += read;
    }
    bytes.resize(done);
    return ERROR_SUCCESS;
}

DWORD WriteWholeFile(const FileName& name, const std::uint8_t* data, std::size_t size) noexcept {
    const FileHandle file(CreateForWriting(name));
    if (!file.open()) return GetLastError();
    std::size_t done = 0;
    while (done < size) {
        const auto want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), data + done, want, &written, nullptr)) return Fail(GetLastError());
        if (written == 0) return Fail(ERROR_WRITE_FAULT);
        done += written;
    }
    return ERROR_SUCCESS;
}

}  // namespace rastelle::platform
