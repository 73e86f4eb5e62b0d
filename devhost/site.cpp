#include "site.h"

#include "text.h"

#include <windows.h>

namespace devhost {

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Extension(const std::wstring& file) {
    const size_t dot = file.rfind(L'.');
    const size_t slash = file.rfind(L'\\');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
    std::wstring ext = file.substr(dot + 1);
    for (wchar_t& c : ext)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return ext;
}

// The full path GetFullPathNameW makes of path: the name the file system
// opens, which drops trailing dots and spaces and maps device names.
std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(n < size ? n : 0);
    return full;
}

}  // namespace

int ResolvePath(const std::wstring& root, const std::string& urlPath, std::wstring& file, std::string& redirect) {
    std::wstring relative;
    size_t pos = 1;
    while (pos <= urlPath.size()) {
        size_t end = urlPath.find('/', pos);
        if (end == std::string::npos) end = urlPath.size();
        const std::string segment = urlPath.substr(pos, end - pos);
        pos = end + 1;
        if (segment.empty()) continue;
        // Dot segments, drive letters, alternate streams and back-slashes
        // could reach past the site folder. The file system drops a trailing
        // dot or space ("page.asp." opens page.asp), so such names, all-dot
        // ones among them, would name a file other than they spell.
        if (segment.back() == '.' || segment.back() == ' ' || segment.find_first_of("\\:*?\"<>|") != std::string::npos)
            return 400;
        relative += L"\\" + Widen(segment);
    }
    file = !root.empty() && root.back() == L'\\' && !relative.empty() ? root + relative.substr(1) : root + relative;
    // Whatever else the file system would read differently (a device name
    // such as "nul") is refused too: the path must be its own full name.
    if (!EqualsIgnoreCase(std::wstring_view(FullPath(file)), std::wstring_view(file))) return 400;
    if (IsFolder(file)) {
        if (urlPath.empty() || urlPath.back() != '/') {
            redirect = urlPath + "/";
            return 301;
        }
        for (const wchar_t* name : {L"\\default.asp", L"\\index.html"}) {
            if (IsFile(file + name)) {
                file += name;
                return 0;
            }
        }
        return 404;
    }
    return IsFile(file) ? 0 : 404;
}

const char* ContentTypeOf(const std::wstring& file) {
    static const struct {
        const wchar_t* extension;
        const char* type;
    } kTypes[] = {
        {L"html", "text/html; charset=utf-8"}, {L"htm", "text/html; charset=utf-8"}, {L"css", "text/css"},
        {L"js", "text/javascript"},           {L"json", "application/json"},         {L"txt", "text/plain; charset=utf-8"},
        {L"jpg", "image/jpeg"},               {L"jpeg", "image/jpeg"},               {L"png", "image/png"},
        {L"gif", "image/gif"},                {L"bmp", "image/bmp"},                 {L"tif", "image/tiff"},
        {L"tiff", "image/tiff"},              {L"svg", "image/svg+xml"},             {L"ico", "image/x-icon"},
        {L"webp", "image/webp"},              {L"swf", "application/x-shockwave-flash"},
    };
    const std::wstring ext = Extension(file);
    for (const auto& entry : kTypes)
        if (ext == entry.extension) return entry.type;
    return "application/octet-stream";
}

bool IsAspPage(const std::wstring& file) {
    if (Extension(file) == L"asp") return true;
    // The name on disk decides, whatever spelling (a short name, say) the
    // request used.
    const DWORD size = GetLongPathNameW(file.c_str(), nullptr, 0);
    if (size == 0) return false;
    std::wstring longName(size, L'\0');
    const DWORD n = GetLongPathNameW(file.c_str(), longName.data(), size);
    longName.resize(n < size ? n : 0);
    return Extension(longName) == L"asp";
}

bool ReadWholeFile(const std::wstring& file, std::string& bytes) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(handle, &size) && size.QuadPart < (1LL << 31);
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    CloseHandle(handle);
    return ok;
}

}  // namespace devhost
